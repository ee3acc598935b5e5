// The code analyzer fuzz target's checks over its kept inputs.
#include "../../fuzz/code_analyzer_fuzzer.cpp"
#include "fuzz/fuzz_replay.h"

namespace {

TEST(CodeAnalyzerFuzzReplayTest, KeptInputsPassTheChecks) {
  tessary::fuzzing::replayKeptInputs("code_analyzer_fuzzer");
}

}  // namespace

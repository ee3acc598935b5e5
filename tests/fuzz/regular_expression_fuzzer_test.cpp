// The regular expression fuzz target's checks over its kept inputs.
#include "../../fuzz/regular_expression_fuzzer.cpp"
#include "fuzz/fuzz_replay.h"

namespace {

TEST(RegularExpressionFuzzReplayTest, KeptInputsPassTheChecks) {
  tessary::fuzzing::replayKeptInputs("regular_expression_fuzzer");
}

}  // namespace

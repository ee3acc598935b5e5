// The swift highlighter fuzz target's checks over its kept inputs.
#include "../../fuzz/swift_highlighter_fuzzer.cpp"
#include "fuzz/fuzz_replay.h"

namespace {

TEST(SwiftHighlighterFuzzReplayTest, KeptInputsPassTheChecks) {
  tessary::fuzzing::replayKeptInputs("swift_highlighter_fuzzer");
}

}  // namespace

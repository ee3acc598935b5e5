// The effect file fuzz target's checks over its kept inputs.
#include "../../fuzz/effect_file_fuzzer.cpp"
#include "fuzz/fuzz_replay.h"

namespace {

TEST(EffectFileFuzzReplayTest, KeptInputsPassTheChecks) {
  tessary::fuzzing::replayKeptInputs("effect_file_fuzzer");
}

}  // namespace

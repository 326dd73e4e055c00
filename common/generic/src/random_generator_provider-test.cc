// The generator's sequence, its seeding, the uniform draw's rejections, and the flags' defaults.
#include "generic/random_generator_provider.h"

#include <gflags/gflags.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <time.h>

#include <string>

namespace {

using generic::Engine;
using generic::RandomGeneratorProvider;
using generic::UniformInt;

// An engine whose outputs are scripted, to see which outputs a draw consumes.
class ScriptedOutputs {
 public:
  // Seeds an engine so that its next output is `output`: x' = 16807 x mod p, so x = output / 16807
  // in the field, found as output * 16807^-1 (the inverse of 16807 mod p is 1407677000).
  static Engine EngineWhoseNextOutputIs(uint32_t output) {
    const uint64_t previous = uint64_t{output} * 1407677000u % Engine::kModulus;
    return Engine(static_cast<uint32_t>(previous));
  }
};

uint32_t LowClockBits() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000000000u +
                               static_cast<uint64_t>(now.tv_nsec));
}

TEST(Engine, ProducesTheMinimalStandardSequence) {
  Engine engine(1);
  EXPECT_EQ(engine(), 16807u);
  EXPECT_EQ(engine(), 282475249u);
  EXPECT_EQ(engine(), 1622650073u);
}

TEST(Engine, SeedsZeroAndTheModulusAsStateOne) {
  EXPECT_EQ(Engine(0).state(), 1u);
  EXPECT_EQ(Engine(2147483647u).state(), 1u);
  EXPECT_EQ(Engine(2147483648u).state(), 1u);
  EXPECT_EQ(Engine(4294967295u).state(), 1u);
}

TEST(Engine, ReducesLargeSeedsModuloTheModulus) {
  EXPECT_EQ(Engine(2147483650u).state(), 3u);
  EXPECT_EQ(Engine(4000000000u).state(), 4000000000u - 2147483647u);
}

TEST(UniformInt, ZeroToZeroRejectsOnlyTheLargestOutput) {
  Engine largest = ScriptedOutputs::EngineWhoseNextOutputIs(2147483646u);
  Engine two_steps = largest;
  two_steps();
  two_steps();
  EXPECT_EQ(UniformInt(largest, 0, 0), 0);
  EXPECT_EQ(largest.state(), two_steps.state());  // the rejected output was consumed

  Engine next_to_largest = ScriptedOutputs::EngineWhoseNextOutputIs(2147483645u);
  Engine one_step = next_to_largest;
  one_step();
  EXPECT_EQ(UniformInt(next_to_largest, 0, 0), 0);
  EXPECT_EQ(next_to_largest.state(), one_step.state());
}

TEST(UniformInt, ZeroToTwoRejectsTheThreeLargestOutputs) {
  for (uint32_t output : {2147483644u, 2147483645u, 2147483646u}) {
    Engine engine = ScriptedOutputs::EngineWhoseNextOutputIs(output);
    Engine replay = engine;
    replay();                            // rejected
    const uint32_t accepted = replay();  // the draw uses the next one
    EXPECT_EQ(UniformInt(engine, 0, 2), static_cast<int>((accepted - 1) / 715827881u));
    EXPECT_EQ(engine.state(), replay.state());
  }
  Engine last_accepted = ScriptedOutputs::EngineWhoseNextOutputIs(2147483643u);
  EXPECT_EQ(UniformInt(last_accepted, 0, 2), 2);
  Engine first = ScriptedOutputs::EngineWhoseNextOutputIs(1u);
  EXPECT_EQ(UniformInt(first, 5, 7), 5);
}

TEST(UniformInt, DrawsTheKnownIndicesForSeedOne) {
  Engine engine(1);
  // (16807 - 1) / (2147483645 / 10) = 0; (282475249 - 1) / 214748364 = 1.
  EXPECT_EQ(UniformInt(engine, 0, 9), 0);
  EXPECT_EQ(UniformInt(engine, 0, 9), 1);
}

TEST(RandomGeneratorProvider, UsesTheSeedFlagWhenRandomSeedingIsOff) {
  gflags::FlagSaver saver;
  FLAGS_random_generator_use_random_seed = false;
  FLAGS_random_generator_seed = 1;
  RandomGeneratorProvider provider;
  EXPECT_EQ(provider.seed(), 1u);
  EXPECT_EQ(provider.generator()(), 16807u);

  FLAGS_random_generator_seed = -1;  // taken as uint32
  EXPECT_EQ(RandomGeneratorProvider().seed(), 4294967295u);
}

TEST(RandomGeneratorProvider, SeedsFromTheClockByDefault) {
  gflags::FlagSaver saver;
  FLAGS_random_generator_use_random_seed = true;
  const uint32_t before = LowClockBits();
  RandomGeneratorProvider provider;
  const uint32_t after = LowClockBits();
  // Unsigned differences stay right when the low 32 bits wrap between the two readings.
  EXPECT_LE(provider.seed() - before, after - before);
}

TEST(Flags, AreRegisteredWithTheirDefaults) {
  std::string value;
  ASSERT_TRUE(gflags::GetCommandLineOption("random_generator_use_random_seed", &value));
  EXPECT_EQ(value, "true");
  ASSERT_TRUE(gflags::GetCommandLineOption("random_generator_seed", &value));
  EXPECT_EQ(value, "1");
  gflags::CommandLineFlagInfo info;
  ASSERT_TRUE(gflags::GetCommandLineFlagInfo("random_generator_seed", &info));
  EXPECT_EQ(info.type, "int32");
  EXPECT_EQ(info.description, "Seed for random generator provider.");
  EXPECT_THAT(info.filename,
              ::testing::EndsWith("common/generic/src/random_generator_provider.cc"));
}

}  // namespace

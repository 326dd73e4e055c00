// Seeding of the random generator provider, uniform integer draws, and their flags.
#include "generic/random_generator_provider.h"

#include <time.h>

#include "logging/ensure.h"

DEFINE_bool(random_generator_use_random_seed, true,
            "Enable random seeding of random generator provider.");
DEFINE_int32(random_generator_seed, 1, "Seed for random generator provider.");

namespace generic {
namespace {

uint32_t ClockSeed() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t nanoseconds = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  return static_cast<uint32_t>(static_cast<uint64_t>(nanoseconds));
}

}  // namespace

int UniformInt(Engine& engine, int lo, int hi) {
  ENSURE(lo <= hi);
  const uint32_t range = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo);
  // The generator yields 2147483646 distinct values; v = output - 1 lies in 0 .. 2147483645.
  constexpr uint32_t kValues = 2147483645u;
  if (range >= kValues) {
    // Wider ranges than the generator covers never arise here (ranges are point indices).
    return static_cast<int>(static_cast<uint32_t>(lo) + (engine() - 1));
  }
  const uint32_t buckets = range + 1;
  const uint32_t scale = kValues / buckets;
  const uint32_t limit = buckets * scale;
  uint32_t v;
  do {
    v = engine() - 1;
  } while (v >= limit);
  return static_cast<int>(static_cast<uint32_t>(lo) + v / scale);
}

RandomGeneratorProvider::RandomGeneratorProvider()
    : seed_(FLAGS_random_generator_use_random_seed
                ? ClockSeed()
                : static_cast<uint32_t>(FLAGS_random_generator_seed)) {
  generator_ = std::make_unique<Engine>(seed_);
}

}  // namespace generic

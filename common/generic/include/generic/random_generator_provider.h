// The minimal-standard generator, its seeding from the flags or the clock, and uniform draws.
#ifndef GENERIC_RANDOM_GENERATOR_PROVIDER_H_
#define GENERIC_RANDOM_GENERATOR_PROVIDER_H_

#include <gflags/gflags.h>

#include <cstdint>
#include <memory>

DECLARE_bool(random_generator_use_random_seed);
DECLARE_int32(random_generator_seed);

namespace generic {

// x <- 16807 * x mod (2^31 - 1); outputs lie in 1 .. 2147483646.
class Engine {
 public:
  static constexpr uint32_t kModulus = 2147483647u;

  explicit Engine(uint32_t seed) { Seed(seed); }
  // The state is the seed reduced modulo 2^31 - 1, and 1 where that is 0.
  void Seed(uint32_t seed) {
    state_ = seed % kModulus;
    if (state_ == 0) state_ = 1;
  }
  uint32_t operator()() {
    state_ = static_cast<uint32_t>(uint64_t{16807} * state_ % kModulus);
    return state_;
  }
  uint32_t state() const { return state_; }

 private:
  uint32_t state_ = 1;
};

// A uniform integer in [lo, hi], drawn by rejection so that a fixed seed replays the same values
// on every platform. Every rejected output is consumed. Requires lo <= hi.
int UniformInt(Engine& engine, int lo, int hi);

// Owns one seeded Engine. The flags are read once, at construction: with
// random_generator_use_random_seed the seed is the low 32 bits of the real-time clock in
// nanoseconds, otherwise random_generator_seed.
class RandomGeneratorProvider {
 public:
  RandomGeneratorProvider();

  Engine& generator() { return *generator_; }
  uint32_t seed() const { return seed_; }

 private:
  std::unique_ptr<Engine> generator_;
  uint32_t seed_;
};

}  // namespace generic

#endif  // GENERIC_RANDOM_GENERATOR_PROVIDER_H_

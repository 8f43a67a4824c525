// ClassicRandom: a 24-bit linear congruential generator.
#include "core/testgen/classic_random.h"

#include <bit>
#include <cmath>

namespace tessarin::testgen {

float ClassicRandom::Restart(float n) {
  const uint32_t bits = std::bit_cast<uint32_t>(n);
  state_ = (bits + (bits >> 24)) & 0xFFFFFFu;
  return Next();
}

void ClassicRandom::Randomize(double n) {
  const uint64_t bits = std::bit_cast<uint64_t>(n);
  const auto high = static_cast<uint32_t>(bits >> 32);
  const uint32_t mixed = (high ^ (high >> 16)) & 0xFFFFu;
  state_ = (state_ & 0xFFu) | (mixed << 8);
}

void ClassicRandom::Reseed(double code) {
  Restart(-1.0f);
  Randomize(code);
}

int32_t ClassicRandom::DrawInDouble(int32_t n, float r) {
  return static_cast<int32_t>(std::floor(static_cast<double>(n) * static_cast<double>(r) + 1.0));
}

}  // namespace tessarin::testgen

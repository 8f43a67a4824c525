// ClassicRandom: the classic BASIC pseudo-random generator (Rnd, Randomize), so that a test made
// from a random code can be made again exactly.
#pragma once

#include <cstdint>

namespace tessarin::testgen {

class ClassicRandom {
 public:
  // The generator's state when a program starts.
  static constexpr uint32_t kInitialState = 0x50000;

  // Rnd(): the next number in [0, 1), in single precision.
  float Next() {
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<float>(state_) / 16777216.0f;
  }
  // Rnd(n) with n < 0: restarts from a state derived from n alone, then steps once.
  float Restart(float n);
  // Randomize n: mixes the seed into the state, keeping its low byte.
  void Randomize(double n);
  // Rnd(-1) then Randomize code: the same code always gives the same sequence.
  void Reseed(double code);
  // A draw from 1 to n: floor(n * r + 1), computed in double precision.
  int32_t Draw(int32_t n) {
    const float r = Next();
    // r is state / 2^24 exactly, so below 2^28 the product and the sum are exact in double and
    // the floor is the integer product shifted; shuffles of long lists draw millions of times.
    if (n >= 0 && n < kExactDrawLimit) {
      return static_cast<int32_t>((uint64_t{static_cast<uint32_t>(n)} * state_) >> 24) + 1;
    }
    return DrawInDouble(n, r);
  }

  uint32_t state() const { return state_; }

 private:
  static constexpr int32_t kExactDrawLimit = 1 << 28;
  // Draw's formula as written, in double precision.
  static int32_t DrawInDouble(int32_t n, float r);

  uint32_t state_ = kInitialState;
};

}  // namespace tessarin::testgen

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
  float Next();
  // Rnd(n) with n < 0: restarts from a state derived from n alone, then steps once.
  float Restart(float n);
  // Randomize n: mixes the seed into the state, keeping its low byte.
  void Randomize(double n);
  // Rnd(-1) then Randomize code: the same code always gives the same sequence.
  void Reseed(double code);
  // A draw from 1 to n: floor(n * r + 1), computed in double precision.
  int32_t Draw(int32_t n);

  uint32_t state() const { return state_; }

 private:
  uint32_t state_ = kInitialState;
};

}  // namespace tessarin::testgen

// A plain-array rendering of the selection rules (weights, the classic generator, the two
// shuffles and the weight order), written out step by step so that the tests can check the
// product's order against something that does not share its code.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tessarin::testgen::reference {

struct Options {
  bool ignore_wrong = false;
  bool exclude_asked = false;
  bool must_appear = false;
};

// One question row: its mark cells F..O as texts ("" empty), its times-set count (negative for
// a Q that holds text), and whether R says 必出.
struct Row {
  std::vector<std::string> marks;
  int times = 0;
  bool must = false;
};

inline bool Exclusion(const std::string& m) {
  for (const char* x : {"S", "s", "Ｓ", "E", "e", "Ｅ", "除", "止", "修", "外"}) {
    if (m == x) return true;
  }
  return false;
}
inline bool Wrong(const std::string& m) { return m == "X" || m == "x" || m == "Ｘ"; }

// Weights indexed by row; [0] = 0 and the array is at least two long.
inline std::vector<int> Weights(const std::vector<Row>& rows, const Options& o) {
  std::vector<int> w(std::max<size_t>(2, rows.size() + 1), 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    int v = 0;
    if (r.must && !o.must_appear) {
      v = -1000;
    } else if (o.exclude_asked && r.times > 0) {
      v = -1000;
    } else {
      if (r.must) v = 100000;
      for (size_t c = 0; c < 10 && c < r.marks.size() && !r.marks[c].empty(); ++c) {
        if (Exclusion(r.marks[c])) {
          v = -1000;
          break;
        }
        if (o.ignore_wrong && v == 0) break;
        if (Wrong(r.marks[c])) v += 10;
      }
    }
    w[i + 1] = v;
  }
  return w;
}

// The classic generator from its published facts: 24-bit state, reset by the bits of -1.0f,
// seeded with the upper half of the code as a double.
struct Rnd {
  uint32_t s = 0x50000;
  float Next() {
    s = (s * 0x43FD43FDu + 0xC39EC3u) % 0x1000000u;
    return static_cast<float>(s) / 16777216.0f;
  }
  void Reseed(double code) {
    const float minus_one = -1.0f;
    uint32_t b;
    std::memcpy(&b, &minus_one, 4);
    s = (b + (b >> 24)) & 0xFFFFFF;
    Next();
    uint64_t bits;
    std::memcpy(&bits, &code, 8);
    const uint32_t h = static_cast<uint32_t>(bits >> 32);
    const uint32_t m = (h ^ (h >> 16)) & 0xFFFF;
    s = (s & 0xFF) | (m << 8);
  }
  int Draw(int n) { return static_cast<int>(std::floor(n * static_cast<double>(Next()) + 1)); }
};

// Candidates in test order, position 0 holding 0.
inline std::vector<int> Order(const std::vector<int>& w, int start, int end, int requested,
                              int code, const Options& o) {
  std::vector<int> c{0};
  for (int a = start; a <= end; ++a) {
    if (w[a] >= 0) c.push_back(a);
  }
  const int n = static_cast<int>(c.size()) - 1;
  Rnd rnd;
  rnd.Reseed(code);
  for (int pass = 0; pass < 10; ++pass) {
    for (int i = 1; i <= n; ++i) {
      int k = rnd.Draw(n);
      if (w[k] >= 0 && k != i) std::swap(c[i], c[k]);
    }
  }
  if (o.ignore_wrong && !o.must_appear) return c;
  for (int k = 2; k <= n; ++k) {
    for (int d = k; d >= 2; --d) {
      if (w[c[d]] > w[c[d - 1]]) std::swap(c[d], c[d - 1]);
    }
  }
  const int e = std::min(requested, n);
  rnd.Reseed(code);
  for (int pass = 0; pass < 5; ++pass) {
    for (int i = 1; i <= e; ++i) {
      int k = rnd.Draw(e);
      if (w[k] >= 0 && k != i) std::swap(c[i], c[k]);
    }
  }
  return c;
}

}  // namespace tessarin::testgen::reference

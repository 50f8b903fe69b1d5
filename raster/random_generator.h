#pragma once
// The program's one source of randomness: the classic rand() recurrence with its 15-bit results,
// seeded explicitly so that a picture can be reproduced exactly.
#include <cstdint>

class RandomGenerator {
 public:
  static constexpr int kMax = 0x7FFF;
  explicit RandomGenerator(uint32_t seed = 1) : state_(seed) {}
  void Seed(uint32_t seed) { state_ = seed; }
  // 0 .. kMax
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return int((state_ >> 16) & 0x7FFFu);
  }

 private:
  uint32_t state_;
};

// Values drawn from a fuzzer's input bytes. Numbers come either as their raw bits (so NaN,
// infinities, denormals and every exponent turn up) or, one tag byte saying which, from a
// short list of the values that matter most (zero, signed zero, the ordinary range of the
// controls, the largest and smallest doubles), which raw bits almost never hit.
#pragma once

#include <cstdint>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <limits>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : in_(data, size) {}

  bool Bool() { return in_.ConsumeBool(); }
  template <typename Int>
  Int IntIn(Int low, Int high) {
    return in_.template ConsumeIntegralInRange<Int>(low, high);
  }
  std::string Text() { return in_.ConsumeRemainingBytesAsString(); }

  double Double() {
    static constexpr double kTypical[] = {0.0,
                                          -0.0,
                                          1.0,
                                          -1.0,
                                          0.5,
                                          2.0,
                                          -0.05,
                                          0.01,
                                          0.3,
                                          -3.0,
                                          100.0,
                                          1920.0,
                                          1e-9,
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::denorm_min(),
                                          1e308,
                                          -1e308,
                                          268435456.0};
    const uint8_t tag = in_.ConsumeIntegral<uint8_t>();
    if (tag < 128) {  // the value itself, or a little off it
      return kTypical[tag % std::size(kTypical)] * (tag < 64 ? 1.0 : 1.0 + 1.0 / 64);
    }
    const uint64_t bits = in_.ConsumeIntegral<uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  float Float() { return static_cast<float>(Double()); }

 private:
  FuzzedDataProvider in_;
};

// Golden values: results the code produced once, checked in as hexadecimal doubles (an .inc
// file of C++ literals) and compared bit for bit, so that any change to an operation, its
// order or a constant shows. Reviewed by eye where a value can be worked by hand.
//
// After a change that is meant to alter results, print the list anew and replace the file:
//   VTAFX_PRINT_GOLDEN=1 build/plain/tests/models/test_models --gtest_filter=*Golden* > new.inc
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// FNV-1a over `n` bytes, continuing from `hash`: the fingerprint of data too large to list.
inline uint64_t Fnv1a(const void* bytes, size_t n, uint64_t hash = 14695981039346656037ull) {
  for (size_t i = 0; i < n; ++i)
    hash = (hash ^ static_cast<const uint8_t*>(bytes)[i]) * 1099511628211ull;
  return hash;
}

class GoldenValues {
 public:
  void Add(const std::string& what, double value) {
    labels_.push_back(what);
    values_.push_back(value);
  }

  void Expect(const double* golden, size_t count) const {
    if (std::getenv("VTAFX_PRINT_GOLDEN")) {
      for (size_t i = 0; i < values_.size(); ++i) {
        std::printf(std::isnan(values_[i]) ? "NAN," : "%a,", values_[i]);
        std::printf(i % 4 == 3 || i + 1 == values_.size() ? "\n" : " ");
      }
      return;
    }
    ASSERT_EQ(values_.size(), count);
    int failures = 0;
    for (size_t i = 0; i < count; ++i) {
      const bool same = std::isnan(golden[i]) ? std::isnan(values_[i])
                                              : std::memcmp(&golden[i], &values_[i], 8) == 0;
      if (!same && ++failures <= 10) {
        ADD_FAILURE() << labels_[i] << ": " << std::hexfloat << values_[i] << ", golden "
                      << golden[i];
      }
    }
    EXPECT_EQ(failures, 0);
  }

 private:
  std::vector<std::string> labels_;
  std::vector<double> values_;
};

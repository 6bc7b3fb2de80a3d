// Golden values: results the code produced once, checked in as hexadecimal doubles (an .inc
// file of C++ literals) and compared bit for bit, so that any change to an operation, its
// order or a constant shows. Reviewed by eye where a value can be worked by hand.
//
// After a change that is meant to alter results, print the list anew and replace the file:
//   VTAFX_PRINT_GOLDEN=1 build/plain/tests/lens/test_lens --gtest_filter=*Golden* > new.inc
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

class GoldenValues {
 public:
  void Add(const std::string& what, double value) {
    labels_.push_back(what);
    values_.push_back(value);
  }

  void Expect(const double* golden, size_t count) const {
    if (std::getenv("VTAFX_PRINT_GOLDEN")) {
      for (size_t i = 0; i < values_.size(); ++i) {
        const double v = values_[i];
        if (std::isnan(v)) {
          std::printf("NAN,");
        } else if (std::isinf(v)) {
          std::printf(v > 0 ? "INFINITY," : "-INFINITY,");
        } else {
          std::printf("%a,", v);
        }
        std::printf(i % 4 == 3 || i + 1 == values_.size() ? "\n" : " ");
      }
      return;
    }
    ASSERT_EQ(values_.size(), count);
    int failures = 0;
    for (size_t i = 0; i < count; ++i) {
      const bool same =
          std::isnan(golden[i])
              ? std::isnan(values_[i])
              : std::memcmp(&golden[i], &values_[i], 8) == 0 ||
                    (kUlpsAllowed > 0 && UlpsApart(golden[i], values_[i]) <= kUlpsAllowed);
      if (!same && ++failures <= 10) {
        ADD_FAILURE() << labels_[i] << ": " << std::hexfloat << values_[i] << ", golden "
                      << golden[i];
      }
    }
    EXPECT_EQ(failures, 0);
  }

 private:
#if defined(_WIN32)
  // The golden values come from glibc, whose sin, tan, atan and asin the Windows C runtime
  // does not match in the last bit; the fisheye kinds call them. Positions reach the
  // samplers rounded to float, and the transcript comparison proves the frames identical.
  static constexpr uint64_t kUlpsAllowed = 2;
#else
  static constexpr uint64_t kUlpsAllowed = 0;
#endif

  // Distance in units in the last place (doubles ordered as integers, negatives mirrored).
  static uint64_t UlpsApart(double a, double b) {
    int64_t ia = 0, ib = 0;
    std::memcpy(&ia, &a, 8);
    std::memcpy(&ib, &b, 8);
    if (ia < 0) ia = INT64_MIN - ia;
    if (ib < 0) ib = INT64_MIN - ib;
    return ia > ib ? uint64_t(ia) - uint64_t(ib) : uint64_t(ib) - uint64_t(ia);
  }

  std::vector<std::string> labels_;
  std::vector<double> values_;
};

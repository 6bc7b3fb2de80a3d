#include "Resampling/FilterKernelTables.h"

#include <cstdlib>
#include <new>

namespace {

// The constants are the nearest doubles, written out so every build multiplies by the same
// bits whatever its math library's idea of pi.
constexpr double kPi = 3.141592653589793;
constexpr double kPiSquared = 9.869604401089358;
constexpr double kPiOverTwo = 1.5707963267948966;
constexpr double kPiOverThree = 1.0471975511965976;
constexpr double kPhaseStep = 0.015625;  // 1 / 64, exact

// Lanczos window of radius 2 or 3 at distance d >= 0.
double Lanczos(double d, double radius, double piOverRadius, KernelSineFunction sine) {
  if (d >= radius) return 0.0;
  if (d == 0.0) return 1.0;
  return sine(d * kPi) * radius * sine(d * piOverRadius) / (d * kPiSquared * d);
}

double Lanczos2(double d, KernelSineFunction sine) { return Lanczos(d, 2.0, kPiOverTwo, sine); }
double Lanczos3(double d, KernelSineFunction sine) { return Lanczos(d, 3.0, kPiOverThree, sine); }

// Cubic with B = C = 1/3, coefficients as the nearest doubles of 7/3, 32/3, 16/3 and 1/6.
double Mitchell(double d, KernelSineFunction) {
  if (d >= 2.0) return 0.0;
  if (d >= 1.0) {
    return (((12.0 - 2.3333333333333335 * d) * d - 20.0) * d + 10.666666666666666) *
           0.16666666666666666;
  }
  return ((7.0 * d - 12.0) * d * d + 5.333333333333333) * 0.16666666666666666;
}

struct KernelShape {
  int32_t taps;
  int32_t tapOffset;
  int32_t blockStride;
  double radius;
  double (*kernel)(double, KernelSineFunction);
  bool zeroFill;  // only needed where a block has floats no weight is written to
};

constexpr KernelShape kLanczos2Shape{kLanczos2Taps, kLanczos2TapOffset, kLanczos2BlockStride,
                                     2.0,           Lanczos2,           true};
constexpr KernelShape kLanczos3Shape{kLanczos3Taps, kLanczos3TapOffset, kLanczos3BlockStride,
                                     3.0,           Lanczos3,           true};
constexpr KernelShape kMitchellShape{kMitchellTaps, kMitchellTapOffset, kMitchellBlockStride,
                                     2.0,           Mitchell,           false};

// Distance, in pixels, between tap `tap` and a position `phase` / 64 past its pixel.
double TapDistance(int32_t tap, int32_t tapOffset, int32_t phase) {
  return std::abs(kKernelPhases * (tap - tapOffset) - phase) * kPhaseStep;
}

// Allocates and fills one table; null if an allocation fails.
FilterKernelTable* BuildTable(const KernelShape& shape, KernelSineFunction sine) {
  const int32_t floats = KernelTableFloats(shape.blockStride);
  std::unique_ptr<FilterKernelTable> table(new (std::nothrow) FilterKernelTable{});
  if (!table) return nullptr;
  table->blockStride = shape.blockStride;
  table->blocks.reset(new (std::nothrow) float[static_cast<size_t>(floats)]);
  if (!table->blocks) return nullptr;
  if (shape.zeroFill) {
    for (int32_t k = 0; k < floats; ++k) table->blocks[k] = 0.0f;
  }
  const int32_t taps = shape.taps;
  double weight[kLanczos3Taps * kLanczos3Taps];
  float* block = table->blocks.get();
  for (int32_t ky = 0; ky < kKernelPhases; ++ky) {
    for (int32_t kx = 0; kx < kKernelPhases; ++kx) {
      double sum = 0.0;
      for (int32_t i = 0; i < taps; ++i) {
        const double dy = TapDistance(i, shape.tapOffset, ky);
        for (int32_t j = 0; j < taps; ++j) {
          const double dx = TapDistance(j, shape.tapOffset, kx);
          double w = shape.kernel(dx, sine);
          // At dy = 0 the horizontal factor stands alone, for every kernel: the vertical
          // factor is taken as 1 there, not as K(0), which matters where K(0) is not 1.
          if (dy >= shape.radius) {
            w = 0.0;
          } else if (dy != 0.0) {
            w = w * shape.kernel(dy, sine);
          }
          weight[taps * i + j] = w;
          sum = sum + w;
        }
      }
      const double r = 1.0 / sum;
      for (int32_t k = 0; k < taps * taps; ++k) block[k] = static_cast<float>(weight[k] * r);
      block += shape.blockStride;
    }
  }
  return table.release();
}

FilterKernelTables gFilterKernelTables = {nullptr, nullptr, nullptr, 0};

}  // namespace

void BuildFilterKernelTableSet(FilterKernelTables& tables, KernelSineFunction sine) {
  if (tables.built || !sine) return;
  if (!tables.lanczos2) tables.lanczos2 = BuildTable(kLanczos2Shape, sine);
  if (!tables.lanczos3) tables.lanczos3 = BuildTable(kLanczos3Shape, sine);
  if (!tables.mitchell) tables.mitchell = BuildTable(kMitchellShape, sine);
  tables.built = (tables.lanczos2 && tables.lanczos3 && tables.mitchell) ? 1 : 0;
}

void ReleaseFilterKernelTableSet(FilterKernelTables& tables) {
  delete tables.lanczos2;
  delete tables.lanczos3;
  delete tables.mitchell;
  tables = FilterKernelTables{nullptr, nullptr, nullptr, 0};
}

void BuildFilterKernelTables(KernelSineFunction sine) {
  BuildFilterKernelTableSet(gFilterKernelTables, sine);
}

void GetFilterKernelTables(const FilterKernelTable** lanczos2, const FilterKernelTable** lanczos3,
                           const FilterKernelTable** mitchell) {
  if (lanczos2) *lanczos2 = gFilterKernelTables.lanczos2;
  if (lanczos3) *lanczos3 = gFilterKernelTables.lanczos3;
  if (mitchell) *mitchell = gFilterKernelTables.mitchell;
}

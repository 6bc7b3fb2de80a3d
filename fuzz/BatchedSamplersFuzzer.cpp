// The batched samplers on a world of any size, row padding and depth, with any filter
// geometry and up to 64 positions of any value (NaN, the marker of a failed mapping, huge,
// on and beside pixel edges), on every processor path this machine has. The world is
// allocated to the byte and the padding at the end of every row is poisoned, so
// AddressSanitizer reports any read outside the pixels; the output holds exactly the run.
#include <cmath>
#include <cstdint>
#include <sanitizer/asan_interface.h>
#include <vector>

#include "FuzzInput.h"
#include "Resampling/BatchedSamplers.h"
#include "Resampling/CpuFeatures.h"
#include "Resampling/FilterKernelTables.h"

namespace {

struct Format {
  int32_t bitsPerChannel, bytesPerPixel;
  float colourMax, alphaMax;
};
// The three the effect renders, as its row callbacks describe them.
constexpr Format kFormats[] = {
    {8, 4, 255.0f, 255.0f}, {16, 8, 32768.0f, 32768.0f}, {32, 16, 1.0e10f, 1.0f}};

struct Kernel {
  int32_t taps, tapOffset, blockStride;
  int32_t table;  // 0 Lanczos-2, 1 Lanczos-3, 2 Mitchell-Netravali
};
constexpr Kernel kKernels[] = {{kLanczos2Taps, kLanczos2TapOffset, kLanczos2BlockStride, 0},
                               {kLanczos3Taps, kLanczos3TapOffset, kLanczos3BlockStride, 1},
                               {kMitchellTaps, kMitchellTapOffset, kMitchellBlockStride, 2}};

const FilterKernelTables& Tables() {
  static FilterKernelTables tables = [] {
    FilterKernelTables built{nullptr, nullptr, nullptr, 0};
    BuildFilterKernelTableSet(built, [](double x) { return std::sin(x); });
    return built;
  }();
  return tables;
}

// A position of interest along an axis of `size` pixels.
float Position(FuzzInput& in, int32_t size) {
  const int32_t pixel = in.IntIn<int32_t>(-3, size + 2);
  switch (in.IntIn<int>(0, 7)) {
    case 0: return in.Float();
    case 1: return std::nanf("");
    case 2: return 268435456.0f;  // the marker
    case 3: return pixel + 0.5f;  // a pixel edge
    case 4: return std::nextafter(pixel + 0.5f, -1e30f);
    case 5: return std::nextafter(static_cast<float>(pixel), 1e30f);
    case 6: return in.Bool() ? 3.0e38f : -3.0e38f;
    default: return pixel + in.IntIn<int32_t>(0, 63) / 64.0f;  // every phase
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  OverrideCpuFeatures(in.IntIn<uint32_t>(0, 7));
  const Format& format = kFormats[in.IntIn<size_t>(0, 2)];
  const int32_t width = in.IntIn<int32_t>(0, 40);
  const int32_t height = in.IntIn<int32_t>(0, 40);
  // Rows start 8-byte aligned, so that the poisoned padding begins where the pixels end.
  const int32_t rowPixelBytes = width * format.bytesPerPixel;
  const int32_t rowBytes = (rowPixelBytes + 7) / 8 * 8 + 8 * in.IntIn<int32_t>(0, 4);
  std::vector<uint8_t> world(size_t(rowBytes) * size_t(height));
  for (size_t i = 0; i < world.size(); ++i) world[i] = uint8_t(i * 131 + 7);
  for (int32_t y = 0; y < height; ++y) {
    ASAN_POISON_MEMORY_REGION(world.data() + y * rowBytes + rowPixelBytes,
                              rowBytes - rowPixelBytes);
  }

  SampleSource source{};
  source.pixels = world.data();
  source.rowBytes = rowBytes;
  source.bytesPerPixel = format.bytesPerPixel;
  source.bitsPerChannel = format.bitsPerChannel;
  source.width = width;
  source.height = height;
  source.colourMax = format.colourMax;
  source.alphaMax = format.alphaMax;
  const int filter = in.IntIn<int>(0, 3);  // nearest, bilinear, a kernel, a kernel gone wrong
  if (filter >= 2) {
    const Kernel& kernel = kKernels[in.IntIn<size_t>(0, 2)];
    const FilterKernelTable* tables[] = {Tables().lanczos2, Tables().lanczos3, Tables().mitchell};
    source.tapsX = source.tapsY = kernel.taps;
    source.tapOffsetX = source.tapOffsetY = kernel.tapOffset;
    source.phases = static_cast<float>(kKernelPhases);
    source.blockStride = static_cast<float>(kernel.blockStride);
    source.weights = tables[kernel.table];
    if (filter == 3) {  // geometry that does not fit its table
      source.tapsX = in.IntIn<int32_t>(-2, 8);
      source.tapsY = in.IntIn<int32_t>(-2, 8);
      source.weights = in.Bool() ? nullptr : source.weights;
    }
  }

  PointPacket positions;
  positions.x.count = in.IntIn<int32_t>(0, 64);
  positions.y.count = in.Bool() ? positions.x.count : in.IntIn<int32_t>(0, 64);
  for (int32_t i = 0; i < 64; ++i) {
    positions.x[i] = Position(in, width);
    positions.y[i] = Position(in, height);
  }
  std::vector<uint8_t> out(size_t(positions.x.count) * size_t(format.bytesPerPixel));
  switch (filter) {
    case 0: SampleNearest(source, positions, out.data()); break;
    case 1: SampleBilinear(source, positions, out.data()); break;
    default: SampleKernel(source, positions, out.data()); break;
  }
  ASAN_UNPOISON_MEMORY_REGION(world.data(), world.size());
  return 0;
}

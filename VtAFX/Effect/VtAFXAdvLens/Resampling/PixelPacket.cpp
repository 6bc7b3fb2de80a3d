#include "Resampling/PixelPacket.h"

#include <emmintrin.h>

#include <cstring>

namespace {

// Memory holds alpha, red, green, blue; packets are red, green, blue, alpha.
constexpr int32_t kPacketOfMemoryChannel[4] = {kAlpha, kRed, kGreen, kBlue};

int32_t RunLength(int32_t count) {
  return count < 0 ? 0 : count > kPacketCapacity ? kPacketCapacity : count;
}

// True when every offset of a pixel inside the world fits in 32 bits, the width of the
// offsets the packed path computes. Worlds beyond 2 GiB take the 64-bit path instead.
bool OffsetsFitIn32Bits(const SampleSource& source) {
  const int64_t rows = static_cast<int64_t>(source.height - 1) * source.rowBytes;
  const int64_t low = rows < 0 ? rows : 0;
  const int64_t high = static_cast<int64_t>(source.width - 1) * source.bytesPerPixel +
                       (rows > 0 ? rows : 0);
  return low >= INT32_MIN && high <= INT32_MAX;
}

int64_t WideOffset(const SampleSource& source, float x, float y) {
  const int64_t column = _mm_cvttss_si32(_mm_set_ss(x));
  const int64_t row = _mm_cvttss_si32(_mm_set_ss(y));
  return column * source.bytesPerPixel + row * source.rowBytes;
}

template <typename Channel>
void ReadPixel(const uint8_t* address, int32_t k, PixelPacket& pixels) {
  Channel value[4];
  std::memcpy(value, address, sizeof value);
  for (int32_t c = 0; c < 4; ++c) {
    pixels.channels[kPacketOfMemoryChannel[c]][k] = static_cast<float>(value[c]);
  }
}

template <typename Channel>
Channel ToChannel(float v) {
  const uint32_t whole = static_cast<uint32_t>(_mm_cvttss_si32(_mm_set_ss(v)));
  return static_cast<Channel>(whole & ((1u << (8 * sizeof(Channel))) - 1u));
}

template <>
float ToChannel<float>(float v) {
  return v;
}

}  // namespace

int32_t SourceChannelBits(const SampleSource& source) {
  const int32_t bits = source.bitsPerChannel;
  if ((bits == 8 || bits == 16 || bits == 32) && source.bytesPerPixel == bits / 2) return bits;
  return 0;
}

template <typename Channel>
void FetchPixelsOf(const SampleSource& source, const PointPacket& positions,
                   PixelPacket& pixels) {
  const int32_t n = RunLength(positions.x.count);
  if (OffsetsFitIn32Bits(source)) {
    int32_t offsets[kPacketCapacity];
    PixelOffsets(offsets, positions, source.rowBytes, source.bytesPerPixel);
    for (int32_t k = 0; k < n; ++k) ReadPixel<Channel>(source.pixels + offsets[k], k, pixels);
  } else {
    for (int32_t k = 0; k < n; ++k) {
      const int64_t offset = WideOffset(source, positions.x[k], positions.y[k]);
      ReadPixel<Channel>(source.pixels + offset, k, pixels);
    }
  }
}

template <typename Channel>
void StorePixelsOf(const SampleSource& source, const PixelPacket& pixels, void* out) {
  const int32_t n = RunLength(pixels.channels[kRed].count);
  uint8_t* address = static_cast<uint8_t*>(out);
  for (int32_t k = 0; k < n; ++k) {
    Channel value[4];
    for (int32_t c = 0; c < 4; ++c) {
      value[c] = ToChannel<Channel>(pixels.channels[kPacketOfMemoryChannel[c]][k]);
    }
    std::memcpy(address, value, sizeof value);
    address += source.bytesPerPixel;
  }
}

template void FetchPixelsOf<uint8_t>(const SampleSource&, const PointPacket&, PixelPacket&);
template void FetchPixelsOf<uint16_t>(const SampleSource&, const PointPacket&, PixelPacket&);
template void FetchPixelsOf<float>(const SampleSource&, const PointPacket&, PixelPacket&);
template void StorePixelsOf<uint8_t>(const SampleSource&, const PixelPacket&, void*);
template void StorePixelsOf<uint16_t>(const SampleSource&, const PixelPacket&, void*);
template void StorePixelsOf<float>(const SampleSource&, const PixelPacket&, void*);

void FetchPixels(const SampleSource& source, const PointPacket& positions, PixelPacket& pixels) {
  switch (SourceChannelBits(source)) {
    case 8: FetchPixelsOf<uint8_t>(source, positions, pixels); break;
    case 16: FetchPixelsOf<uint16_t>(source, positions, pixels); break;
    case 32: FetchPixelsOf<float>(source, positions, pixels); break;
    default: break;
  }
}

void StorePixels(const SampleSource& source, const PixelPacket& pixels, void* out) {
  switch (SourceChannelBits(source)) {
    case 8: StorePixelsOf<uint8_t>(source, pixels, out); break;
    case 16: StorePixelsOf<uint16_t>(source, pixels, out); break;
    case 32: StorePixelsOf<float>(source, pixels, out); break;
    default: break;
  }
}

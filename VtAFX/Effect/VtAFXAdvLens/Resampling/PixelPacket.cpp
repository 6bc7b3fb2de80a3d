#include "Resampling/PixelPacket.h"

#include <emmintrin.h>

#include <cstring>

namespace {

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

// Turns four vectors of four into the four vectors of their columns: pixels of four
// channels into channels of four pixels, and back. Shuffles only: every bit is kept.
void Transpose(__m128& v0, __m128& v1, __m128& v2, __m128& v3) {
  const __m128 low01 = _mm_unpacklo_ps(v0, v1), high01 = _mm_unpackhi_ps(v0, v1);
  const __m128 low23 = _mm_unpacklo_ps(v2, v3), high23 = _mm_unpackhi_ps(v2, v3);
  v0 = _mm_movelh_ps(low01, low23);
  v1 = _mm_movehl_ps(low23, low01);
  v2 = _mm_movelh_ps(high01, high23);
  v3 = _mm_movehl_ps(high23, high01);
}

// One pixel's four channels as floats, in memory order (alpha, red, green, blue).
template <typename Channel>
__m128 LoadPixel(const uint8_t* address);

template <>
__m128 LoadPixel<uint8_t>(const uint8_t* address) {
  int32_t packed;
  std::memcpy(&packed, address, sizeof packed);
  const __m128i zero = _mm_setzero_si128();
  const __m128i shorts = _mm_unpacklo_epi8(_mm_cvtsi32_si128(packed), zero);
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(shorts, zero));
}

template <>
__m128 LoadPixel<uint16_t>(const uint8_t* address) {
  const __m128i shorts = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(address));
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(shorts, _mm_setzero_si128()));
}

template <>
__m128 LoadPixel<float>(const uint8_t* address) {
  return _mm_loadu_ps(reinterpret_cast<const float*>(address));
}

// Reads the pixels at `offsets` from `base`, four at a time and then the rest one by one.
template <typename Channel, typename Offset>
void ReadPixels(const uint8_t* base, const Offset* offsets, int32_t n, PixelPacket& pixels) {
  float* alpha = &pixels.channels[kAlpha][0];
  float* red = &pixels.channels[kRed][0];
  float* green = &pixels.channels[kGreen][0];
  float* blue = &pixels.channels[kBlue][0];
  int32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    __m128 a = LoadPixel<Channel>(base + offsets[k]);
    __m128 r = LoadPixel<Channel>(base + offsets[k + 1]);
    __m128 g = LoadPixel<Channel>(base + offsets[k + 2]);
    __m128 b = LoadPixel<Channel>(base + offsets[k + 3]);
    Transpose(a, r, g, b);
    _mm_storeu_ps(alpha + k, a);
    _mm_storeu_ps(red + k, r);
    _mm_storeu_ps(green + k, g);
    _mm_storeu_ps(blue + k, b);
  }
  for (; k < n; ++k) {
    alignas(16) float v[4];
    _mm_store_ps(v, LoadPixel<Channel>(base + offsets[k]));
    alpha[k] = v[0];
    red[k] = v[1];
    green[k] = v[2];
    blue[k] = v[3];
  }
}

// Writes one pixel given in memory order. Integers are truncated toward zero and keep their
// low 8 or 16 bits (out-of-range floats truncate to 0x80000000, as one by one would).
template <typename Channel>
void WritePixel(uint8_t* address, __m128 pixel);

template <>
void WritePixel<uint8_t>(uint8_t* address, __m128 pixel) {
  const __m128i low = _mm_and_si128(_mm_cvttps_epi32(pixel), _mm_set1_epi32(0xFF));
  const __m128i shorts = _mm_packs_epi32(low, low);
  const int32_t packed = _mm_cvtsi128_si32(_mm_packus_epi16(shorts, shorts));
  std::memcpy(address, &packed, sizeof packed);
}

template <>
void WritePixel<uint16_t>(uint8_t* address, __m128 pixel) {
  // Sign-extending the low half makes the saturating pack keep exactly those 16 bits.
  const __m128i low = _mm_srai_epi32(_mm_slli_epi32(_mm_cvttps_epi32(pixel), 16), 16);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(address), _mm_packs_epi32(low, low));
}

template <>
void WritePixel<float>(uint8_t* address, __m128 pixel) {
  _mm_storeu_ps(reinterpret_cast<float*>(address), pixel);
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
    ReadPixels<Channel>(source.pixels, offsets, n, pixels);
  } else {
    int64_t offsets[kPacketCapacity];
    for (int32_t k = 0; k < n; ++k) offsets[k] = WideOffset(source, positions.x[k], positions.y[k]);
    ReadPixels<Channel>(source.pixels, offsets, n, pixels);
  }
}

template <typename Channel>
void StorePixelsOf(const SampleSource& source, const PixelPacket& pixels, void* out) {
  const int32_t n = RunLength(pixels.channels[kRed].count);
  const float* alpha = &pixels.channels[kAlpha][0];
  const float* red = &pixels.channels[kRed][0];
  const float* green = &pixels.channels[kGreen][0];
  const float* blue = &pixels.channels[kBlue][0];
  uint8_t* address = static_cast<uint8_t*>(out);
  const int32_t step = source.bytesPerPixel;
  int32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    __m128 p0 = _mm_loadu_ps(alpha + k), p1 = _mm_loadu_ps(red + k);
    __m128 p2 = _mm_loadu_ps(green + k), p3 = _mm_loadu_ps(blue + k);
    Transpose(p0, p1, p2, p3);
    WritePixel<Channel>(address, p0);
    WritePixel<Channel>(address + step, p1);
    WritePixel<Channel>(address + 2 * step, p2);
    WritePixel<Channel>(address + 3 * step, p3);
    address += 4 * step;
  }
  for (; k < n; ++k) {
    WritePixel<Channel>(address, _mm_setr_ps(alpha[k], red[k], green[k], blue[k]));
    address += step;
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

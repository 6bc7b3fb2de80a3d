// Pixels of a run held as four float packets, and the two moves between them and a world in
// memory: the gather of pixels at whole positions and the store of a run of pixels.
#pragma once

#include <cstdint>

#include "Resampling/FloatPacket.h"
#include "Resampling/SampleSource.h"

// Channel k of `channels` holds, in element i, that channel of the run's pixel i on the
// world's own scale (0..255, 0..32768, or float as stored).
enum PixelChannel : int32_t { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

struct PixelPacket {
  FloatPacket channels[4];  // red, green, blue, alpha
};

// Reads the pixels at `positions` (whole numbers inside 0..width-1 and 0..height-1; the
// caller clamps them) into `pixels`, as many as the x packet's count. Channel values become
// floats exactly (floats are copied bit for bit); the channel packets keep their counts.
// Reads nothing when `bitsPerChannel` and `bytesPerPixel` do not match one of the three
// formats.
void FetchPixels(const SampleSource& source, const PointPacket& positions, PixelPacket& pixels);

// Writes as many pixels as the red packet's count to `out`, one every `bytesPerPixel`
// bytes, channels in memory order alpha, red, green, blue. Integer channels are truncated
// toward zero and their low 8 or 16 bits stored (callers round and clamp first); floats are
// stored as they are. Writes nothing when the format is not one of the three.
void StorePixels(const SampleSource& source, const PixelPacket& pixels, void* out);

// The same, for a channel type known at compile time (uint8_t, uint16_t or float), as the
// samplers use them; the source's format must be that type's.
template <typename Channel>
void FetchPixelsOf(const SampleSource& source, const PointPacket& positions,
                   PixelPacket& pixels);
template <typename Channel>
void StorePixelsOf(const SampleSource& source, const PixelPacket& pixels, void* out);

// The channel type of the source's format: 8, 16 or 32 for a matching pixel size, 0 when the
// pair of `bitsPerChannel` and `bytesPerPixel` is not one of the three formats.
int32_t SourceChannelBits(const SampleSource& source);

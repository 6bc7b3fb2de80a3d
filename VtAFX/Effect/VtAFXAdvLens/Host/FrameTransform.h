// How the pixels of one image relate to the lens model's normalised coordinates, and the
// output extent that follows from the distorted image's relation.
//
// Normalised coordinates measure x in half image widths and y in half image heights from
// the optical centre. A pixel index i covers [i, i + 1): the to-normalised direction is
// applied to an integer pixel index and lands on that pixel's centre; the to-pixel
// direction yields a sampling position in which the centre of pixel i is i.
#pragma once

#include <cstdint>

#include "AE_Effect.h"

// Per axis (element 0 x, element 1 y):
//   normalised = pixel * toNormScale + toNormOffset
//   pixel      = normalised * toPixelScale + toPixelOffset
struct FrameTransform {
  double toNormScale[2];
  double toNormOffset[2];
  double toPixelScale[2];
  double toPixelOffset[2];
};

// Derives the half of `frame` that was not set. With `fromPixelSide` false the
// to-normalised half is given: its offset is moved by half a pixel onto the pixel centre,
// then inverted into the to-pixel half. With `fromPixelSide` true the to-pixel half is
// given: its offset is moved back by half a pixel, then inverted into the to-normalised
// half. Plain double arithmetic; a zero scale gives infinities, never a trap.
void CompleteFrameTransform(bool fromPixelSide, FrameTransform& frame);

// The image sizes that the user types arrive as doubles. Rounds `value` to single
// precision, then to the nearest integer (ties to even). Values that have no int32
// result are decided here rather than left undefined: NaN becomes 0, anything at or
// beyond +2^31 becomes INT32_MAX, anything below -2^31 becomes INT32_MIN.
int32_t RoundSizeToInt32(double value);

// Converts `value` to int32 toward zero, saturating the same way as RoundSizeToInt32
// (NaN 0, too large INT32_MAX, too small INT32_MIN).
int32_t TruncateToInt32(double value);

// Builds both frames for `distortMode` (1 "Remove WF2", 2 "Apply WF2", 3 "Remove WF1"; any
// other value is treated as 1) from the rounded sizes (width, height) and the lens centre
// in layer pixels. The output side's to-normalised half and the input side's to-pixel
// half come from the sizes, rounded to single precision at the points where stored projects
// need it to re-render bit for bit; the other halves are completed.
void SetUpFrameTransforms(int32_t distortMode, const int32_t undistortedSize[2],
                          const int32_t distortedSize[2], const double lensCenter[2],
                          FrameTransform& undistortedFrame, FrameTransform& distortedFrame);

// The pixel extent of the normalised square [-1, 1] x [-1, 1] under `distortedFrame`,
// which is the output extent in every distort mode. Right and bottom reach one and a half
// pixels past the square so that the last partly covered pixel is included. Where that
// gives right < left or bottom < top (negative sizes) the extent is the empty rectangle
// at (left, top): right = left, bottom = top.
PF_LRect DistortedExtent(const FrameTransform& distortedFrame);

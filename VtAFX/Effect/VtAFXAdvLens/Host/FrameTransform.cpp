#include "Host/FrameTransform.h"

#include <cmath>
#include <limits>

namespace {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "single-precision roundings below assume IEEE floats (overflow to infinity)");

// v computed in double, kept at single precision.
double Single(double value) { return static_cast<double>(static_cast<float>(value)); }

// Saturating conversion of a whole-number double; NaN is 0.
int32_t SaturateToInt32(double whole) {
  if (whole != whole) return 0;
  if (whole >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (whole < -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(whole);
}

}  // namespace

void CompleteFrameTransform(bool fromPixelSide, FrameTransform& frame) {
  for (int axis = 0; axis < 2; ++axis) {
    if (fromPixelSide) {
      frame.toPixelOffset[axis] -= 0.5;
      frame.toNormScale[axis] = 1.0 / frame.toPixelScale[axis];
      frame.toNormOffset[axis] = -frame.toPixelOffset[axis] * frame.toNormScale[axis];
    } else {
      frame.toNormOffset[axis] += 0.5 * frame.toNormScale[axis];
      frame.toPixelScale[axis] = 1.0 / frame.toNormScale[axis];
      frame.toPixelOffset[axis] = -frame.toNormOffset[axis] * frame.toPixelScale[axis];
    }
  }
}

int32_t RoundSizeToInt32(double value) {
  // The process runs in the default rounding mode, so nearbyint rounds ties to even.
  return SaturateToInt32(static_cast<double>(std::nearbyint(static_cast<float>(value))));
}

int32_t TruncateToInt32(double value) { return SaturateToInt32(std::trunc(value)); }

void SetUpFrameTransforms(int32_t distortMode, const int32_t undistortedSize[2],
                          const int32_t distortedSize[2], const double lensCenter[2],
                          FrameTransform& undistortedFrame, FrameTransform& distortedFrame) {
  undistortedFrame = FrameTransform{};
  distortedFrame = FrameTransform{};
  for (int axis = 0; axis < 2; ++axis) {
    const int32_t u = undistortedSize[axis];
    const int32_t d = distortedSize[axis];
    const double centre = lensCenter[axis];
    if (distortMode == 2) {
      // The difference is exact in 64 bits; in 32 bits it could overflow for absurd sizes.
      const double sizeGap = static_cast<double>(static_cast<int64_t>(u) - d);
      distortedFrame.toNormScale[axis] = Single(2.0 / u);
      distortedFrame.toNormOffset[axis] = Single((-2.0 / u) * (centre + 0.5 * sizeGap));
      undistortedFrame.toPixelScale[axis] = Single(0.5 * u);
      undistortedFrame.toPixelOffset[axis] = Single(0.5 * u);
    } else {
      const bool sameUnits = distortMode == 3;  // "Remove WF1": each image in its own units
      undistortedFrame.toNormScale[axis] = Single(2.0 / u);
      // Negating in float rather than in int keeps INT32_MIN defined; the float result is
      // the same, rounding being symmetric.
      undistortedFrame.toNormOffset[axis] =
          sameUnits ? -1.0 : static_cast<double>(-static_cast<float>(d) / static_cast<float>(u));
      distortedFrame.toPixelScale[axis] =
          static_cast<double>(0.5f * static_cast<float>(sameUnits ? d : u));
      distortedFrame.toPixelOffset[axis] = Single(centre);
    }
  }
  if (distortMode == 2) {
    CompleteFrameTransform(false, distortedFrame);
    CompleteFrameTransform(true, undistortedFrame);
  } else {
    CompleteFrameTransform(false, undistortedFrame);
    CompleteFrameTransform(true, distortedFrame);
  }
}

PF_LRect DistortedExtent(const FrameTransform& distortedFrame) {
  const double* offset = distortedFrame.toPixelOffset;
  const double* scale = distortedFrame.toPixelScale;
  PF_LRect rect;
  rect.left = TruncateToInt32(offset[0] - scale[0]);
  rect.top = TruncateToInt32(offset[1] - scale[1]);
  rect.right = TruncateToInt32(offset[0] + scale[0] + 1.5);
  rect.bottom = TruncateToInt32(offset[1] + scale[1] + 1.5);
  // Point controls have no range, so a user can type a negative size, which turns the
  // extent inside out. A host reads a reversed rectangle as damaged or as a huge area; an
  // empty one at the same corner renders nothing, which is all such sizes can mean.
  if (rect.right < rect.left || rect.bottom < rect.top) {
    rect.right = rect.left;
    rect.bottom = rect.top;
  }
  return rect;
}

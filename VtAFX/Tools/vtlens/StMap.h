// ST maps: the warp as an image, for compositing programs that apply a warp by looking
// each output pixel's source up in a map. Red and green hold the source position as
// normalised coordinates of the input image, s = (x + 0.5) / width and
// t = 1 - (y + 0.5) / height (s to the right, t upward, pixel centres at half steps),
// blue 0, alpha 1 where the lens could map the pixel and all four 0 where it could not.
#pragma once

#include "Image.h"
#include "LensGeometry.h"

// A float image over the context's output extent holding the ST map of an input layer of
// `layerWidth` x `layerHeight`, computed on `threads` threads (rows shared out).
Image MakeStMap(const RenderContext& context, int32_t layerWidth, int32_t layerHeight, int threads);

// The ST coordinates of an input position (x, y) on a layer of `width` x `height`,
// computed in double and rounded to float.
void StCoordinates(double x, double y, int32_t width, int32_t height, float& s, float& t);

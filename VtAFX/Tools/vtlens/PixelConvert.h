// Pixel values between image files and the host's worlds. The worlds hold 8-bit (0..255),
// 16-bit (0..32768, the host's scale) or 32-bit float channels; files hold 8-bit, 16-bit
// (0..65535) or float. Integer conversions round half up, computed exactly in integers:
// 16-bit file to world is round(v x 32768 / 65535) and back round(w x 65535 / 32768).
#pragma once

#include <cstdint>

// Rescales the integer `v` from 0..fromMax to 0..toMax, rounding half up. Values above
// fromMax are clamped first.
uint32_t RescaleChannel(uint32_t v, uint32_t fromMax, uint32_t toMax);

// A float channel (1.0 full scale) as an integer 0..max: clamped to [0, 1] (NaN gives 0),
// then round(f x max) half up.
uint32_t FloatToChannel(float f, uint32_t max);

// An integer channel 0..max as a float, v / max.
float ChannelToFloat(uint32_t v, uint32_t max);

// Associates (premultiplies) one colour channel with its alpha in a world whose full
// scale is `max`: round(c x a / max), half up.
uint32_t AssociateChannel(uint32_t c, uint32_t a, uint32_t max);

// The inverse for writing unassociated files: round(c x max / a) clamped to max; 0 when
// alpha is 0, where the colour is lost.
uint32_t DissociateChannel(uint32_t c, uint32_t a, uint32_t max);

// Float versions: c x a, and c / a (0 when a is not above 0).
float AssociateChannel(float c, float a);
float DissociateChannel(float c, float a);

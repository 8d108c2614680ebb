// Photo dither: 4-bit dot codes for the three-plane photo mode.
#pragma once

#include <cstdint>

struct Page;

// Each sample through its plane's tone curve, cut into 16 levels of 17 steps,
// with the matrix choosing between the two nearest levels; two codes a byte,
// first pixel in the high nibble.
void DitherPhoto(Page& page, std::uint32_t y);

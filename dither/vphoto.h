// Variable-dot dither: 4-bit dot codes for grey pages and for colour pages
// with a generated black plane.
#pragma once

#include <cstdint>

struct Page;

// On four-plane pages first generates black into band 3 (the least of the
// three colour samples; a full black leaves the colour samples empty), then
// gives each pixel the code of its cell's level and rank at the plane's tone;
// two codes a byte, first pixel in the high nibble.
void DitherVPhoto(Page& page, std::uint32_t y);

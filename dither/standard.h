// Standard ordered dither (CMYK, black, the gold ink sets, White).
#pragma once

#include <cstdint>

struct Page;

// Turns the current line's input bands into one 1-bit dot row per plane: a
// dot where the sample is greater than the plane's threshold at column x mod
// width and row y mod height, first pixel in the most significant bit.  y is
// the line's index in the page, blank lines included.
void DitherStandard(Page& page, std::uint32_t y);

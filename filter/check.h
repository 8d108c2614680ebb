// The blank test for raster lines and dot rows.
#pragma once

#include <cstdint>

// 1 when every one of the length bytes is zero, else 0; a length of 0 or less
// counts as blank.  Stops at the first non-zero byte, eight bytes a step.
int cupsCheckBytes(const std::uint8_t* bytes, int length);

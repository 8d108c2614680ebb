// The plain halftoning routines: pixel by pixel, with the modulo and the
// bit and nibble packing written out.  They are the definition: the fast
// routines must give the same bytes, and tests and benchmarks compare them.
#pragma once

#include <cstdint>

struct Page;

void DitherStandardReference(Page& page, std::uint32_t y);
void DitherPhotoReference(Page& page, std::uint32_t y);
void DitherVPhotoReference(Page& page, std::uint32_t y);

// The three halftoning routines.  Each turns the current raster line, one
// input band per plane in InputBuffers, into one dot row per plane in
// DotBuffers, using the tables StartPage bound to the page's planes.  y is the
// line's index in the page, blank lines included: matrix rows follow it, and
// columns follow the pixel index, both from the top left of the page.
#pragma once

#include <cups/raster.h>

#include <cstdint>

// Ordered dither to 1 bit per pixel (modes 0, 1, 2, 4): a dot where the
// sample is greater than the threshold; first pixel in the most significant
// bit.
void DitherStandard(const cups_page_header_t* header, std::uint32_t y);

// Photo mode: the plane's tone curve, then 16 levels with the matrix choosing
// between the two nearest; 4-bit codes, first pixel in the high nibble.
void DitherPhoto(const cups_page_header_t* header, std::uint32_t y);

// Variable-dot mode: black generation on four-plane pages, then the
// multi-level dither of each plane's tone table; 4-bit codes.
void DitherVPhoto(const cups_page_header_t* header, std::uint32_t y);

// Plain versions of the three routines: one pixel at a time, exactly as the
// printer's dither is defined.  The fast versions above must give the same
// bytes; tests and benchmarks compare them.
void DitherStandardReference(const cups_page_header_t* header, std::uint32_t y);
void DitherPhotoReference(const cups_page_header_t* header, std::uint32_t y);
void DitherVPhotoReference(const cups_page_header_t* header, std::uint32_t y);

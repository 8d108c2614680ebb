// The tone-reproduction check: the CUPS raster a job came from against the
// stream the filter made of it.  For every page and plane it sets the mean
// ink of the plane's input band beside the plane's printed coverage.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/stream_decoder.h"

namespace zelt::view {

// One raster page: the header fields that shape the stream, and the mean ink
// (0 to 1) of each plane's input as the filter halftones it.  Band p of each
// line (cupsWidth samples from p × cupsWidth) feeds plane p.  On a four-plane
// variable-dot page the black plane's input is the least of the three colour
// samples, and a pixel whose black is full leaves its colour planes empty.
struct RasterPage {
  unsigned width = 0, height = 0, bytes_per_line = 0;
  unsigned color_space = 0, compression = 0, bits_per_color = 0;
  int color_mode = 0;
  int planes = 0;
  std::array<double, kMaxPlanes> input_ink = {};
};

// Reads every page of a raster file; false with a message in `error` when the
// file cannot be opened or a page's lines cannot be read.
bool ReadRasterPages(const std::string& path, std::vector<RasterPage>* pages, std::string* error);

// What a raster page tells the decoder: mode, planes and dot-row length.
stream::PageHint HintFor(const RasterPage& page);

struct ToneResult {
  int plane = 0;
  double input = 0;    // mean ink of the input, 0 to 1
  double printed = 0;  // dots printed over the page's dots (1-bit), or mean
                       // dot code / 15 (4-bit), over cupsWidth × cupsHeight
};

// Input against print for each plane of the page, from the first copy.
std::vector<ToneResult> CompareTone(const RasterPage& raster, const stream::DecodedPage& page);

}  // namespace zelt::view

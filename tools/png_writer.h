// PNG files for the previews, through libpng's simplified interface: 8-bit
// greyscale or RGB, rows top to bottom, no padding between rows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zelt::view {

struct PngImage {
  int width = 0;
  int height = 0;
  int channels = 0;  // 1 grey, 3 RGB
  std::vector<std::uint8_t> pixels;
};

// Writes `image` to `path`; false with libpng's message in `error` when the
// image is empty or the file cannot be written.
bool WritePng(const std::string& path, const PngImage& image, std::string* error);

// Reads a PNG as 8-bit grey (channels 1) or RGB (channels 3).
bool ReadPng(const std::string& path, int channels, PngImage* image, std::string* error);

}  // namespace zelt::view

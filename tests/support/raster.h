// Test rasters written with libcups' own raster writer.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zelt_test {

// A page header with sane defaults: 8 bits per colour, banded, the bytes per
// line of the colour space's bands (3 for CMY/YMC/RGB, 4 for the four-colour
// spaces, 1 for K/White), Letter at the given resolution.
cups_page_header2_t MakeHeader(unsigned width, unsigned height, cups_cspace_t space,
                               unsigned dpi = 600);

// Bands in the raster line of a colour space.
unsigned BandsOf(cups_cspace_t space);

// Fills one raster line (cupsBytesPerLine bytes) for line y.
using LineFill = std::function<void(unsigned y, std::span<std::uint8_t> line)>;

// Writes a raster file page by page.  Lines can be cut short to make a
// truncated stream.
class RasterWriter {
 public:
  explicit RasterWriter(const std::string& path, cups_mode_t mode = CUPS_RASTER_WRITE);
  ~RasterWriter();
  RasterWriter(const RasterWriter&) = delete;
  RasterWriter& operator=(const RasterWriter&) = delete;

  // Writes the header and `lines` lines (all of cupsHeight when negative).
  void AddPage(const cups_page_header2_t& header, const LineFill& fill, long lines = -1);
  void Close();

 private:
  int fd_ = -1;
  cups_raster_t* raster_ = nullptr;
};

// Writes a raster file of one page; its path.
std::string WritePage(const std::string& path, const cups_page_header2_t& header,
                      const LineFill& fill, cups_mode_t mode = CUPS_RASTER_WRITE);

// Common fills.
LineFill Flat(std::uint8_t value);
LineFill Random(std::uint32_t seed);

}  // namespace zelt_test

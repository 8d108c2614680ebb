#include "tests/support/raster.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

namespace zelt_test {

unsigned BandsOf(cups_cspace_t space) {
  switch (space) {
    case CUPS_CSPACE_K:
    case CUPS_CSPACE_W:
    case CUPS_CSPACE_WHITE:
      return 1;
    case CUPS_CSPACE_RGB:
    case CUPS_CSPACE_CMY:
    case CUPS_CSPACE_YMC:
      return 3;
    default:
      return 4;
  }
}

cups_page_header2_t MakeHeader(unsigned width, unsigned height, cups_cspace_t space, unsigned dpi) {
  cups_page_header2_t h;
  std::memset(&h, 0, sizeof h);
  h.HWResolution[0] = h.HWResolution[1] = dpi;
  h.PageSize[0] = 612;
  h.PageSize[1] = 792;
  h.NumCopies = 1;
  h.cupsWidth = width;
  h.cupsHeight = height;
  h.cupsBitsPerColor = 8;
  h.cupsColorSpace = space;
  h.cupsColorOrder = CUPS_ORDER_BANDED;
  h.cupsCompression = 1;
  h.cupsBitsPerPixel = 8;
  h.cupsBytesPerLine = width * BandsOf(space);
  return h;
}

RasterWriter::RasterWriter(const std::string& path, cups_mode_t mode) {
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd_ < 0) throw std::runtime_error("cannot create " + path);
  raster_ = cupsRasterOpen(fd_, mode);
}

RasterWriter::~RasterWriter() { Close(); }

void RasterWriter::AddPage(const cups_page_header2_t& header, const LineFill& fill, long lines) {
  cups_page_header2_t h = header;
  if (!cupsRasterWriteHeader2(raster_, &h))
    throw std::runtime_error("cupsRasterWriteHeader2 failed");
  const unsigned count = lines < 0 ? h.cupsHeight : static_cast<unsigned>(lines);
  std::vector<std::uint8_t> line(count ? h.cupsBytesPerLine : 0);
  for (unsigned y = 0; y < count; ++y) {
    std::fill(line.begin(), line.end(), 0);
    fill(y, line);
    cupsRasterWritePixels(raster_, line.data(), h.cupsBytesPerLine);
  }
}

void RasterWriter::Close() {
  if (raster_) cupsRasterClose(raster_);
  if (fd_ >= 0) close(fd_);
  raster_ = nullptr;
  fd_ = -1;
}

std::string WritePage(const std::string& path, const cups_page_header2_t& header,
                      const LineFill& fill, cups_mode_t mode) {
  RasterWriter(path, mode).AddPage(header, fill);
  return path;
}

LineFill Flat(std::uint8_t value) {
  return [value](unsigned, std::span<std::uint8_t> line) {
    std::fill(line.begin(), line.end(), value);
  };
}

LineFill Random(std::uint32_t seed) {
  return [seed](unsigned y, std::span<std::uint8_t> line) {
    std::mt19937 rng(seed * 7919u + y);
    for (auto& b : line) b = static_cast<std::uint8_t>(rng());
  };
}

}  // namespace zelt_test

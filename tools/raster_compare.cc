// The tone-reproduction check.
#include "tools/raster_compare.h"

#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "page/page.h"
#include "page/page_start.h"

namespace zelt::view {

namespace {

// Sums each plane's ink over one page's lines.
bool SumPage(cups_raster_t* raster, const cups_page_header2_t& header, RasterPage* page,
             std::string* error) {
  std::vector<std::uint8_t> line(header.cupsBytesPerLine);
  std::array<std::uint64_t, kMaxPlanes> sums = {};
  const std::size_t width = header.cupsWidth;
  bool black_generation = page->color_mode == Index(ColorMode::kVariableDot) && page->planes == 4;
  auto sample = [&](int band, std::size_t x) -> unsigned {
    std::size_t at = band * width + x;
    return at < line.size() ? line[at] : 0;
  };
  for (unsigned y = 0; y < header.cupsHeight; ++y) {
    if (header.cupsBytesPerLine > 0 &&
        cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine) == 0) {
      *error = "cannot read line " + std::to_string(y) + " of raster page";
      return false;
    }
    for (std::size_t x = 0; x < width; ++x) {
      if (black_generation) {
        unsigned c = sample(0, x), m = sample(1, x), ye = sample(2, x);
        unsigned k = std::min({c, m, ye});
        sums[3] += k;
        if (k != 255) {
          sums[0] += c;
          sums[1] += m;
          sums[2] += ye;
        }
      } else {
        for (int p = 0; p < page->planes; ++p) sums[p] += sample(p, x);
      }
    }
  }
  double area = static_cast<double>(width) * header.cupsHeight * 255.0;
  for (int p = 0; p < page->planes; ++p)
    page->input_ink[p] = area > 0 ? static_cast<double>(sums[p]) / area : 0.0;
  return true;
}

}  // namespace

bool ReadRasterPages(const std::string& path, std::vector<RasterPage>* pages, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  bool ok = raster != nullptr;
  if (!ok) *error = path + ": not a CUPS raster stream";
  cups_page_header2_t header;
  while (ok && cupsRasterReadHeader2(raster, &header)) {
    RasterPage page;
    page.width = header.cupsWidth;
    page.height = header.cupsHeight;
    page.bytes_per_line = header.cupsBytesPerLine;
    page.color_space = Raw(header.cupsColorSpace);
    page.compression = header.cupsCompression;
    page.bits_per_color = header.cupsBitsPerColor;
    const ModeDecision m = DecideColorMode(page.color_space, page.compression);
    page.color_mode = Index(m.mode);
    page.planes = m.planes;
    // A page the printer could not print is not read: its sizes are not a
    // real page's, and its line could be any size.
    if (const Status refused = CheckPageHeader(header); !refused.ok()) {
      *error = path + ": page " + std::to_string(pages->size() + 1) + ": " + refused.detail;
      ok = false;
      break;
    }
    ok = SumPage(raster, header, &page, error);
    if (!ok) *error = path + ": " + *error + " " + std::to_string(pages->size() + 1);
    pages->push_back(page);
  }
  if (raster != nullptr) cupsRasterClose(raster);
  close(fd);
  return ok;
}

stream::PageHint HintFor(const RasterPage& page) {
  stream::PageHint hint;
  hint.color_mode = page.color_mode;
  hint.planes = page.planes;
  hint.row_length =
      static_cast<int>(DotRowBytes(page.width, static_cast<ColorMode>(page.color_mode)));
  hint.height = page.height;
  return hint;
}

std::vector<ToneResult> CompareTone(const RasterPage& raster, const stream::DecodedPage& page) {
  std::vector<ToneResult> results;
  double max_code = page.info.row_bits == 4 ? 15.0 : 1.0;
  double dots = static_cast<double>(raster.width) * raster.height * max_code;
  for (int p = 0; p < raster.planes; ++p) {
    ToneResult result;
    result.plane = p;
    result.input = raster.input_ink[p];
    if (const stream::DecodedPass* pass = page.Pass(0, p); pass != nullptr && dots > 0)
      result.printed = static_cast<double>(pass->stats.ink) / dots;
    results.push_back(result);
  }
  return results;
}

}  // namespace zelt::view

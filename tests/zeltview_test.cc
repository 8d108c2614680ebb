// zeltview's parts: previews written and read back, the tone check against a
// raster written with libcups, and the command line's report and exit status.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tools/png_writer.h"
#include "tools/preview.h"
#include "tools/raster_compare.h"
#include "tools/stream_builder.h"

namespace {

using namespace zelt::stream;
using namespace zelt::stream::build;
using zelt::view::PngImage;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "zeltview_test_" + std::to_string(getpid()) + "_" + name;
}

// A one-page job of `rows[plane][line]`.
Bytes OnePage(int mode, int planes, int height, std::vector<std::vector<Bytes>> rows,
              bool glossy = false) {
  PageLayout page;
  page.mode = mode;
  page.planes = planes;
  page.height = height;
  page.glossy = glossy;
  page.rows = std::move(rows);
  Bytes out;
  JobStart(out);
  AppendPage(out, page);
  JobEnd(out);
  return out;
}

PngImage Read(const std::string& path, int channels) {
  PngImage image;
  std::string error;
  EXPECT_TRUE(zelt::view::ReadPng(path, channels, &image, &error)) << error;
  return image;
}

TEST(Preview, PlaneImagesAverageBlocksOfDots) {
  // 1-bit rows of 2 bytes (16 dots) on 5 lines, scale 3: 6 × 2 pixels, the
  // last column one dot wide and the last band two lines high.
  std::vector<std::vector<Bytes>> rows(2);
  rows[0] = {{0xE0, 0x01}, {0xE0, 0x01}, {0x00, 0x00}, {0x00, 0x01}, {0x00, 0x01}};
  rows[1] = {{}, {}, {}, {0xFF, 0xFF}};
  Bytes stream = OnePage(0, 4, 5, rows);
  std::string prefix = TempPath("blocks");
  zelt::view::PreviewBuilder preview(prefix, 3);
  Error error;
  ASSERT_TRUE(DecodeBytes(stream, preview, {}, &error)) << error.message;
  EXPECT_TRUE(preview.error().empty()) << preview.error();
  ASSERT_EQ(preview.written().size(), 5u);

  PngImage plane0 = Read(prefix + "-page1-plane0.png", 1);
  ASSERT_EQ(plane0.width, 6);
  ASSERT_EQ(plane0.height, 2);
  EXPECT_EQ(plane0.pixels[0], 255 - 170);  // 6 of 9 dots
  EXPECT_EQ(plane0.pixels[1], 255);
  EXPECT_EQ(plane0.pixels[5], 255 - 170);  // 1 of 1 dot on 2 of 3 lines
  EXPECT_EQ(plane0.pixels[6 + 5], 0);      // 2 of 2
  PngImage plane1 = Read(prefix + "-page1-plane1.png", 1);
  EXPECT_EQ(plane1.pixels[6], 127);  // one line of two
  PngImage plane3 = Read(prefix + "-page1-plane3.png", 1);
  EXPECT_EQ(plane3.pixels, std::vector<std::uint8_t>(12, 255));

  PngImage composite = Read(prefix + "-page1.png", 3);
  ASSERT_EQ(composite.width, 6);
  ASSERT_EQ(composite.height, 2);
  EXPECT_EQ(composite.pixels[3 * 1], 255);  // paper
  EXPECT_LT(composite.pixels[0], 128);      // cyan takes red away
  for (const auto& path : preview.written()) std::remove(path.c_str());
}

TEST(Preview, FourBitCodesAndWhiteInk) {
  // 4-bit rows: code 15 and code 5 side by side; width 4 dots, 2 lines.
  Bytes stream = OnePage(5, 1, 2, {{{0xF5, 0x00}, {0xF5, 0x00}}});
  std::string prefix = TempPath("codes");
  zelt::view::PreviewBuilder codes(prefix, 1);
  Error error;
  ASSERT_TRUE(DecodeBytes(stream, codes, {}, &error)) << error.message;
  PngImage grey = Read(prefix + "-page1-plane0.png", 1);
  ASSERT_EQ(grey.width, 4);
  ASSERT_EQ(grey.height, 2);
  EXPECT_EQ(grey.pixels[0], 0);
  EXPECT_EQ(grey.pixels[1], 255 - 85);
  EXPECT_EQ(grey.pixels[2], 255);

  Bytes white = OnePage(4, 1, 1, {{{0x80}}});
  zelt::view::PreviewBuilder on_dark(prefix, 1);
  ASSERT_TRUE(DecodeBytes(white, on_dark, {}, &error)) << error.message;
  PngImage composite = Read(prefix + "-page1.png", 3);
  ASSERT_EQ(composite.width, 8);
  EXPECT_EQ(composite.pixels[0], 255);  // white ink
  EXPECT_LT(composite.pixels[3], 64);   // dark ground
  for (const auto& path : on_dark.written()) std::remove(path.c_str());
}

// Writes a raster of one page, 8-bit banded, `lines` holding every line.
void WriteRaster(const std::string& path, unsigned width, cups_cspace_t space, unsigned compression,
                 unsigned bands, const std::vector<Bytes>& lines) {
  cups_page_header2_t header = {};
  header.cupsWidth = width;
  header.cupsHeight = static_cast<unsigned>(lines.size());
  header.cupsBitsPerColor = 8;
  header.cupsBitsPerPixel = 8;
  header.cupsBytesPerLine = width * bands;
  header.cupsColorOrder = CUPS_ORDER_BANDED;
  header.cupsColorSpace = space;
  header.cupsCompression = compression;
  header.HWResolution[0] = header.HWResolution[1] = 600;
  header.NumCopies = 1;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  ASSERT_TRUE(cupsRasterWriteHeader2(raster, &header));
  for (Bytes line : lines)
    ASSERT_EQ(cupsRasterWritePixels(raster, line.data(), static_cast<unsigned>(line.size())),
              line.size());
  cupsRasterClose(raster);
  close(fd);
}

TEST(ToneCheck, InputBandsAgainstPrintedCoverage) {
  std::string path = TempPath("tone.ras");
  // Variable-dot colour page of two pixels: full black, and (200, 120, 90).
  WriteRaster(path, 2, CUPS_CSPACE_CMY, 0, 3, {{255, 200, 255, 120, 255, 90}});
  std::vector<zelt::view::RasterPage> pages;
  std::string error;
  ASSERT_TRUE(zelt::view::ReadRasterPages(path, &pages, &error)) << error;
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].color_mode, 5);
  EXPECT_EQ(pages[0].planes, 4);
  EXPECT_DOUBLE_EQ(pages[0].input_ink[0], 200 / 510.0);
  EXPECT_DOUBLE_EQ(pages[0].input_ink[2], 90 / 510.0);
  EXPECT_DOUBLE_EQ(pages[0].input_ink[3], (255 + 90) / 510.0);
  PageHint hint = zelt::view::HintFor(pages[0]);
  EXPECT_EQ(hint.row_length, 1);

  // Black only: half the samples at 255, printed as every other dot.
  WriteRaster(path, 16, CUPS_CSPACE_K, 1, 1, {Bytes(16, 255), Bytes(16, 0)});
  pages.clear();
  ASSERT_TRUE(zelt::view::ReadRasterPages(path, &pages, &error)) << error;
  EXPECT_EQ(pages[0].color_mode, 0);
  EXPECT_DOUBLE_EQ(pages[0].input_ink[0], 0.5);
  Bytes stream = OnePage(0, 1, 2, {{{0xFF, 0xFF}}});
  DecodeOptions options;
  options.pages = {zelt::view::HintFor(pages[0])};
  DecodedJob job = DecodeStream(stream, options);
  ASSERT_TRUE(job.ok) << job.error.message;
  auto tone = zelt::view::CompareTone(pages[0], job.pages[0]);
  ASSERT_EQ(tone.size(), 1u);
  EXPECT_DOUBLE_EQ(tone[0].printed, 0.5);
  std::remove(path.c_str());
}

TEST(ZeltviewCommand, ReportsStructureAndFaults) {
  const std::string zeltview = std::string(ZELT_BUILD_DIR) + "/zeltview";
  if (access(zeltview.c_str(), X_OK) != 0) GTEST_SKIP() << "zeltview not built";
  zelt_test::TempDir dir;
  const std::string stream_path = dir.File("job.zelt"), raster_path = dir.File("job.ras");
  Bytes stream = OnePage(0, 1, 2, {{{0xFF, 0xFF}}});
  auto write = [&](const Bytes& bytes) {
    std::ofstream(stream_path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  };
  write(stream);
  WriteRaster(raster_path, 16, CUPS_CSPACE_K, 1, 1, {Bytes(16, 255), Bytes(16, 0)});

  const auto good = zelt_test::RunProgram({zeltview, "--against", raster_path, stream_path});
  EXPECT_EQ(good.status, 0) << good.err;
  for (const std::string& line :
       {"job: 1 page, " + std::to_string(stream.size()) + " bytes",
        std::string("plane 0 Cyan: 1 rows, 0 skips (0 lines), coverage 50.000%"),
        std::string("input 50.000%, printed 50.000%, difference +0.000%")})
    EXPECT_NE(good.out.find(line), std::string::npos) << good.out;

  stream[stream.size() - 6] = 0x99;  // inside the rC command of the page end
  write(stream);
  zelt_test::RunOptions from_stdin;
  from_stdin.stdin_path = stream_path;
  const auto bad = zelt_test::RunProgram({zeltview, "-"}, from_stdin);
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("zeltview: offset " + std::to_string(stream.size() - 8) + ": ", 0), 0u)
      << bad.err;

  EXPECT_EQ(zelt_test::RunProgram({zeltview, "--scale", "0", stream_path}).status, 2);
}

}  // namespace

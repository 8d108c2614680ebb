// The printer application end to end: a real server on loopback, printers on
// file: devices, jobs through both input paths, compared with the classic
// filter chain (cupsfilter with the project's PPD) and decoded strictly.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/drivers.h"
#include "app/print_settings.h"
#include "tests/support/app_server.h"
#include "tests/support/cups_env.h"

namespace zelt_test {
namespace {

namespace fs = std::filesystem;
constexpr const char* kCard = "om_card_55.03x90.66mm";

// A one-page PDF of the card's size drawn by `body`, made by ghostscript.
std::string MakePdf(const TempDir& dir, const std::string& name, const std::string& body) {
  const std::string ps = dir.File(name + ".ps"), pdf = dir.File(name + ".pdf");
  std::ofstream(ps) << "%!PS\n<</PageSize [156 257]>> setpagedevice\n" << body << "\nshowpage\n";
  RunProgram({"gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite",
              "-sOutputFile=" + pdf, ps});
  return pdf;
}

// Patches of every hue, a grey and a CMYK patch, a grey ramp and text.
const char* kChart =
    "0 1 9 { /i exch def i 10 div 1 1 sethsbcolor i 13 mul 10 add 10 12 120 rectfill } for\n"
    "0 1 15 { /i exch def i 15 div setgray 10 i 8 mul add 140 8 40 rectfill } for\n"
    "0.1 0.5 0 0.2 setcmykcolor 20 190 50 40 rectfill 0.4 setgray 80 190 50 40 rectfill\n"
    "0 setgray /Helvetica findfont 14 scalefont setfont 20 240 moveto (Zelt) show";

// A PWG raster of the card written with libcups: every pixel `value`.
std::string MakePwg(const TempDir& dir, const std::string& name, const char* type, int dpi,
                    std::uint8_t value) {
  const std::string path = dir.File(name + ".pwg");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
  cups_page_header2_t h;
  cupsRasterInitPWGHeader(&h, pwgMediaForPWG(kCard), type, dpi, dpi, "one-sided", nullptr);
  cupsRasterWriteHeader2(r, &h);
  std::vector<std::uint8_t> line(h.cupsBytesPerLine, value);
  for (unsigned y = 0; y < h.cupsHeight; ++y) cupsRasterWritePixels(r, line.data(), h.cupsBytesPerLine);
  cupsRasterClose(r);
  close(fd);
  return path;
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(out_);
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    ASSERT_TRUE(server_.AddPrinter("zelt", "zelt-pro", "file://" + out_, &error)) << error;
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << server_.Log().substr(server_.Log().size() > 20000 ? server_.Log().size() - 20000 : 0);
  }

  // Prints `file` and returns its stream, or "" when the job did not complete.
  std::string Print(const std::string& file, Options options, const std::string& printer = "zelt") {
    const std::string name = "job" + std::to_string(++jobs_);
    options.emplace_back("job-name", name);
    std::string error;
    const int id = server_.Submit(printer, file, options, &error);
    EXPECT_GT(id, 0) << error;
    const JobInfo info = server_.WaitForJob(printer, id);
    EXPECT_EQ(info.state, IPP_JSTATE_COMPLETED) << info.reasons << ": " << info.message;
    return ReadFile(out_ + "/" + name + ".prn");
  }

  // The classic chain's stream for the same document and options.
  std::string Cupsfilter(const std::string& ppd, const std::string& pdf, const Options& options) {
    if (serverbin_.empty()) MakeServerBin(serverbin_ = dir_.File("serverbin"), ZELT_FILTER_PATH);
    const std::string out = dir_.File("cupsfilter.prn");
    const ToolResult r = RunCupsfilter(serverbin_, {PpdPath(ppd), pdf, options}, out);
    EXPECT_EQ(r.status, 0) << r.err;
    return ReadFile(out);
  }

  TempDir dir_;
  AppServer server_{dir_.path()};
  const std::string out_ = dir_.File("out");
  std::string serverbin_;
  int jobs_ = 0;
};

zelt::stream::DecodedJob Decode(const std::string& bytes) {
  return zelt::stream::DecodeStream(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, {}, false);
}

// Every ColorModel of the PPD against the ink set (and print-color-mode)
// that stands for it, with the other options varied across the rows.
struct ModeCase {
  const char* ppd;
  const char* printer;
  Options classic, app;
};

TEST_F(AppTest, PdfStreamIsByteIdenticalToTheClassicFilterForEveryColourModel) {
  const std::string pdf = MakePdf(dir_, "chart", kChart);
  std::string error;
  ASSERT_TRUE(server_.AddPrinter("basic", "zelt-basic", "file://" + out_, &error)) << error;
  const std::vector<ModeCase> cases = {
      {"zeltpro.ppd", "zelt", {{"ColorModel", "CMYK"}}, {{"zelt-ink-set", "standard"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "Gray"}, {"Resolution", "300dpi"}},
       {{"print-color-mode", "monochrome"}, {"printer-resolution", "300dpi"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "GoldBlack"}, {"Resolution", "1200dpi"}},
       {{"zelt-ink-set", "gold-black"}, {"print-quality", "high"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "GoldSilver"}, {"OutputType", "Glossy"}},
       {{"zelt-ink-set", "gold-silver"}, {"zelt-finish", "glossy"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "Photo"}, {"MediaType", "Type16"}},
       {{"zelt-ink-set", "photo"}, {"media-type", "zelt-type-16"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "White"}, {"Resolution", "300dpi"}},
       {{"zelt-ink-set", "white"}, {"print-quality", "draft"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "VDotColor"}, {"MediaType", "Type17"}, {"OutputType", "Glossy"}},
       {{"zelt-ink-set", "variable-dot-color"}, {"media-type", "zelt-type-17"}, {"zelt-finish", "glossy"}}},
      {"zeltpro.ppd", "zelt", {{"ColorModel", "VDotGray"}}, {{"zelt-ink-set", "variable-dot-gray"}}},
      {"zeltbas.ppd", "basic", {{"ColorModel", "CMYK"}}, {}},
  };
  for (const auto& c : cases) {
    Options classic = c.classic, app = c.app;
    classic.emplace_back("PageSize", "55.03x90.66mm");
    app.emplace_back("media", kCard);
    const std::string expected = Cupsfilter(c.ppd, pdf, classic);
    const std::string got = Print(pdf, app, c.printer);
    EXPECT_TRUE(Decode(got).ok) << c.classic[0].second;
    EXPECT_TRUE(got == expected) << c.ppd << " " << c.classic[0].second << ": " << got.size()
                                 << " bytes, the classic filter " << expected.size();
  }
}

}  // namespace
}  // namespace zelt_test

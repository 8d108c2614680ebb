// The printer application end to end: a real server on loopback, printers on
// file: devices, jobs through both input paths, compared with the classic
// filter chain (cupsfilter with the project's PPD) and decoded strictly.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
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

// A one-page PDF drawn by `body`, made by ghostscript: the card, or `size`.
std::string MakePdf(const TempDir& dir, const std::string& name, const std::string& body,
                    const char* size = "156 257") {
  const std::string ps = dir.File(name + ".ps"), pdf = dir.File(name + ".pdf");
  std::ofstream(ps) << "%!PS\n<</PageSize [" << size << "]>> setpagedevice\n" << body << "\nshowpage\n";
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
    // Every stream must pass the viewer's strict check.
    const std::string stream = out_ + "/" + name + ".prn";
    const RunResult view = RunProgram({std::string(ZELT_BUILD_DIR) + "/zeltview", stream});
    EXPECT_EQ(view.status, 0) << view.out << view.err;
    return ReadFile(stream);
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

// Each plane's ink (dots, or dot codes for 4-bit rows) over the page's
// capacity: the printed coverage, 0 to 1.
std::array<double, 4> Coverage(const std::string& stream) {
  std::array<double, 4> c{};
  const auto job = Decode(stream);
  if (!job.ok || job.pages.empty()) return {-1, -1, -1, -1};
  const auto& page = job.pages[0];
  const double dots = double(page.info.Width()) * double(page.info.Height()) *
                      (page.info.row_bits == 4 ? 15 : 1);
  for (const auto& pass : page.copies[0].passes) c[pass.info.plane] = pass.stats.ink / dots;
  return c;
}

// The raster path's tolerance: each plane's coverage within this of the PDF
// path's for the same colour.
constexpr double kTolerance = 0.02;

TEST_F(AppTest, RasterPathPrintsWithinToleranceOfThePdfPath) {
  struct Case {
    const char* ink_set;
    const char* color_mode;
    const char* color;     // PostScript colour of the whole page
    const char* pwg_type;  // a PWG raster of every sample `value`, or nullptr for a PNG
    std::uint8_t value;
  };
  const std::vector<Case> cases = {
      {"standard", "color", "0.8 0.4 0.2 setrgbcolor", nullptr, 0},
      {"standard", "monochrome", "0.45 setgray", nullptr, 0},
      {"gold-black", "color", "0.2 0.6 0.4 setrgbcolor", nullptr, 0},
      {"gold-silver", "color", "0.1 0.2 0.7 setrgbcolor", nullptr, 0},
      {"photo", "color", "0.9 0.85 0.3 setrgbcolor", nullptr, 0},
      {"white", "color", "0.3 setgray", nullptr, 0},
      {"variable-dot-color", "color", "0.4 0.1 0.45 setrgbcolor", nullptr, 0},
      {"variable-dot-gray", "monochrome", "0.6 setgray", nullptr, 0},
      {"standard", "color", "0.5 0.5 0.5 setrgbcolor", "srgb_8", 128},
      {"variable-dot-color", "color", "0.25 0.25 0.25 setrgbcolor", "srgb_8", 64},
      {"standard", "color", "0.25 0.25 0.25 0.25 setcmykcolor", "cmyk_8", 64},
  };
  for (const auto& c : cases) {
    const std::string name = std::string(c.ink_set) + "-" + (c.pwg_type ? c.pwg_type : "png");
    const std::string pdf = MakePdf(dir_, name, std::string(c.color) + " 0 0 156 257 rectfill");
    std::string raster = dir_.File(name + ".png");
    if (c.pwg_type)
      raster = MakePwg(dir_, name, c.pwg_type, 300, c.value);
    else
      RunProgram({"gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=png16m", "-r100",
                  "-sOutputFile=" + raster, dir_.File(name + ".ps")});
    Options options = {{"media", kCard}, {"zelt-ink-set", c.ink_set},
                       {"print-color-mode", c.color_mode}, {"printer-resolution", "300dpi"}};
    const auto want = Coverage(Print(pdf, options));
    options.emplace_back("print-scaling", "fill");
    const auto got = Coverage(Print(raster, options));
    for (int p = 0; p < 4; ++p) EXPECT_NEAR(got[p], want[p], kTolerance) << name << " plane " << p;
  }
}

TEST_F(AppTest, RefusesWhatItCannotPrintWithAReasonAndKeepsServing) {
  struct Case {
    std::string file;
    Options options;
    const char* reason;
    const char* message;
  };
  const std::vector<Case> cases = {
      // PAPPL itself stops a 16-bit raster ("Bad raster data seen" in the log).
      {MakePwg(dir_, "deep", "srgb_16", 300, 0x80), {}, "document-format-error", ""},
      {MakePwg(dir_, "fine", "srgb_8", 360, 0x80), {}, "document-format-error", "360x360dpi"},
      {MakePdf(dir_, "gold", kChart), {{"zelt-ink-set", "gold-black"}, {"print-color-mode", "monochrome"}},
       "document-unprintable-error", "has no monochrome form"},
  };
  for (const auto& c : cases) {
    std::string error;
    const int id = server_.Submit("zelt", c.file, c.options, &error);
    ASSERT_GT(id, 0) << error;
    const JobInfo info = server_.WaitForJob("zelt", id);
    EXPECT_EQ(info.state, IPP_JSTATE_ABORTED) << c.message;
    EXPECT_NE(info.reasons.find(c.reason), std::string::npos) << info.reasons;
    EXPECT_NE(info.message.find(c.message), std::string::npos) << c.message << " / " << info.message;
  }
  EXPECT_TRUE(Decode(Print(dir_.File("gold.pdf"), {{"media", kCard}})).ok);
}

TEST_F(AppTest, CancelledJobLeavesNoSpoolFilesAndItsStreamEndsCleanly) {
  const std::string sample = std::string(ZELT_SOURCE_DIR) + "/samples/sample.pdf";
  std::string error;
  const int id = server_.Submit("zelt", sample,
      {{"media", "iso_a4_210x297mm"}, {"print-quality", "high"}, {"job-name", "big"}}, &error);
  ASSERT_GT(id, 0) << error;
  // Cancel once the first plane is on its way to the printer.
  const std::string stream = out_ + "/big.prn";
  while (server_.Job("zelt", id).state < IPP_JSTATE_CANCELED &&
         (!fs::exists(stream) || fs::file_size(stream) < 100000))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ippDelete(server_.Request("zelt", IPP_OP_CANCEL_JOB, [id](ipp_t* r) {
    ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
  }));
  EXPECT_EQ(server_.WaitForJob("zelt", id).state, IPP_JSTATE_CANCELED);
  for (const auto& e : fs::recursive_directory_iterator(server_.spool()))
    EXPECT_FALSE(e.path().filename().string().starts_with("job")) << e.path();
  const auto job = Decode(ReadFile(stream));
  EXPECT_TRUE(job.ok) << job.error.message;
  ASSERT_FALSE(job.pages.empty());
  EXPECT_TRUE(job.pages[0].copies[0].closed);
}

TEST_F(AppTest, TwoPrintersPrintAtOnce) {
  std::string error;
  ASSERT_TRUE(server_.AddPrinter("basic", "zelt-basic", "file://" + out_, &error)) << error;
  const std::string sample = std::string(ZELT_SOURCE_DIR) + "/samples/sample.pdf";
  const int pro = server_.Submit("zelt", sample, {{"media", "iso_a4_210x297mm"}, {"job-name", "pro"}}, &error);
  const int basic = server_.Submit("basic", sample, {{"media", "iso_a4_210x297mm"}, {"job-name", "basic"}}, &error);
  EXPECT_EQ(server_.WaitForJob("zelt", pro).state, IPP_JSTATE_COMPLETED);
  EXPECT_EQ(server_.WaitForJob("basic", basic).state, IPP_JSTATE_COMPLETED);
  // Each job started its first page before the other finished its last.
  const std::string log = server_.Log();
  auto at = [&log](int job, const char* what) { return log.find("[Job " + std::to_string(job) + "] " + what); };
  EXPECT_LT(at(pro, "Starting page 1"), at(basic, "Finished page 2"));
  EXPECT_LT(at(basic, "Starting page 1"), at(pro, "Finished page 2"));
  // Same raster, same rows: nothing of one job reached the other's stream.
  const auto a = Decode(ReadFile(out_ + "/pro.prn")), b = Decode(ReadFile(out_ + "/basic.prn"));
  ASSERT_TRUE(a.ok && b.ok);
  ASSERT_EQ(a.pages.size(), b.pages.size());
  for (std::size_t p = 0; p < a.pages.size(); ++p)
    for (std::size_t i = 0; i < a.pages[p].copies[0].passes.size(); ++i)
      EXPECT_EQ(a.pages[p].copies[0].passes[i].stats.digest, b.pages[p].copies[0].passes[i].stats.digest);
}

TEST_F(AppTest, PrinterDefaultsSurviveARestartAndApplyToJobsThatDoNotSetThem) {
  ippDelete(server_.Request("zelt", IPP_OP_SET_PRINTER_ATTRIBUTES, [](ipp_t* r) {
    ippAddString(r, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "zelt-ink-set-default", nullptr, "white");
    ippAddString(r, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "zelt-finish-default", nullptr, "glossy");
  }));
  ASSERT_EQ(cupsLastError(), IPP_STATUS_OK) << cupsLastErrorString();
  server_.Stop();
  std::string error;
  ASSERT_TRUE(server_.Start(&error)) << error;
  const auto job = Decode(Print(MakePdf(dir_, "chart", kChart), {{"media", kCard}}));
  ASSERT_TRUE(job.ok && !job.pages.empty());
  EXPECT_EQ(job.pages[0].info.ColorMode(), 4);
  EXPECT_TRUE(job.pages[0].info.glossy);
}

// Through a CUPS queue made with `lpadmin -m everywhere`, the queue's own
// pdftopdf step runs first.  It places the page on the queue's paper size,
// which CUPS derives from the app's sizes in hundredths of a millimetre: the
// inch sizes come out exact, the metric ones (A4, the card) a fraction of a
// point off the PPD's whole points, which moves a metric page by up to a
// pixel.  A Letter page goes through untouched.
TEST_F(AppTest, PdfThroughACupsEverywhereQueueMatchesTheClassicFilter) {
  const std::string pdf = MakePdf(dir_, "letter", std::string("3 3 scale ") + kChart, "612 792");
  fs::permissions(dir_.path(), fs::perms(0755));
  Cupsd cupsd(dir_.File("cupsd"), SystemServerBin(), SystemDataDir());
  std::string error;
  ASSERT_TRUE(cupsd.Start(&error)) << error;
  const ToolResult add = cupsd.Client({"lpadmin", "-p", "everywhere", "-E", "-v",
                                       server_.PrinterUri("zelt"), "-m", "everywhere"});
  ASSERT_EQ(add.status, 0) << add.out << add.err;
  ASSERT_GT(cupsd.Submit("everywhere", pdf, {"-t", "viacups", "-o", "media=Letter"}, &error), 0)
      << error;
  const JobInfo info = server_.WaitForJob("zelt", 1);
  EXPECT_EQ(info.state, IPP_JSTATE_COMPLETED) << info.message << cupsd.ErrorLog();
  EXPECT_TRUE(ReadFile(out_ + "/viacups.prn") == Cupsfilter("zeltpro.ppd", pdf, {{"media", "Letter"}}));
}

// The web interface: the printer's page and its settings page answer, the
// settings page offers every ink set by its label, a default chosen there
// reaches jobs that do not name one, and headless Chromium renders both pages.
TEST_F(AppTest, WebInterfaceOffersTheInkSetAndItsDefaultReachesJobs) {
  const std::string base = "http://localhost:" + std::to_string(server_.port()) + "/zelt";
  const std::string jar = dir_.File("cookies");
  auto curl = [&jar](std::vector<std::string> args) {
    args.insert(args.begin(), {"curl", "-sf", "-b", jar, "-c", jar});
    return RunProgram(args);
  };
  const RunResult home = curl({base});
  EXPECT_NE(home.out.find("Printing Defaults"), std::string::npos) << home.err;
  const std::string page = curl({base + "/printing"}).out;
  for (const auto& ink : zelt_app::kInkSets)
    EXPECT_NE(page.find(std::string("<option value=\"") + ink.keyword + "\"" ), std::string::npos);
  EXPECT_NE(page.find("Variable-Dot Grey"), std::string::npos);
  const std::string marker = "name=\"session\" value=\"";
  const std::size_t at = page.find(marker) + marker.size();
  const std::string session = page.substr(at, page.find('"', at) - at);
  const RunResult saved = curl({"-d", "session=" + session + "&zelt-ink-set=variable-dot-gray", base + "/printing"});
  EXPECT_NE(saved.out.find("Changes saved."), std::string::npos) << saved.out;
  const auto job = Decode(Print(MakePdf(dir_, "chart", kChart), {{"media", kCard}}));
  ASSERT_TRUE(job.ok && !job.pages.empty());
  EXPECT_EQ(job.pages[0].info.ColorMode(), 5);
  EXPECT_EQ(job.pages[0].info.planes, 1);

  for (const std::string path : {"", "/printing"}) {
    const std::string shot = dir_.File("shot.png");
    const RunResult r = RunProgram(
        {"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + dir_.File("chromium"), "--window-size=1000,1200",
         "--screenshot=" + shot, base + path});
    const std::string png = ReadFile(shot);
    EXPECT_TRUE(png.starts_with("\x89PNG") && png.size() > 20000) << path << r.err;
    fs::remove(shot);
  }
}

}  // namespace
}  // namespace zelt_test

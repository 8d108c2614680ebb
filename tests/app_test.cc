// The printer application end to end: a real server on loopback, printers on
// file: devices, jobs through both input paths compared with the classic
// chain (cupsfilter with the project's PPD), every stream checked by zeltview.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/print_settings.h"
#include "tests/support/app_server.h"
#include "tests/support/cups_env.h"
#include "tests/support/raster.h"

namespace zelt_test {
namespace {

namespace fs = std::filesystem;
constexpr const char *kCard = "om_card_55.03x90.66mm", *kA4 = "iso_a4_210x297mm";
const std::string kSample = std::string(ZELT_SOURCE_DIR) + "/samples/sample.pdf";

// Patches of every hue, a grey ramp, a CMYK and a grey patch, text.
const char* kChart =
    "0 1 9 { /i exch def i 10 div 1 1 sethsbcolor i 13 mul 10 add 10 12 120 rectfill } for\n"
    "0 1 15 { /i exch def i 15 div setgray 10 i 8 mul add 140 8 40 rectfill } for\n"
    "0.1 0.5 0 0.2 setcmykcolor 20 190 50 40 rectfill 0.4 setgray 80 190 50 40 rectfill\n"
    "0 setgray /Helvetica findfont 14 scalefont setfont 20 240 moveto (Zelt) show";

// A one-page PDF (and the PostScript it came from) drawn by `body`.
std::string MakePdf(const TempDir& dir, const std::string& name, const std::string& body,
                    const char* size = "156 257") {
  const std::string ps = dir.File(name + ".ps"), pdf = dir.File(name + ".pdf");
  std::ofstream(ps) << "%!PS\n<</PageSize [" << size << "]>> setpagedevice\n"
                    << body << " showpage\n";
  RunProgram({"gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite",
              "-sOutputFile=" + pdf, ps});
  return pdf;
}

// The PostScript of MakePdf's `name` as a PNG at 100 dpi.
std::string MakePng(const TempDir& dir, const std::string& name) {
  RunProgram({"gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=png16m", "-r100",
              "-sOutputFile=" + dir.File(name + ".png"), dir.File(name + ".ps")});
  return dir.File(name + ".png");
}

// A PWG raster of the card written with libcups, every sample `value`.
std::string MakePwg(const TempDir& dir, const std::string& name, const char* type, int dpi,
                    std::uint8_t value) {
  cups_page_header2_t h;
  cupsRasterInitPWGHeader(&h, pwgMediaForPWG(kCard), type, dpi, dpi, "one-sided", nullptr);
  return WritePage(dir.File(name + ".pwg"), h, Flat(value), CUPS_RASTER_WRITE_PWG);
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
    server_.Stop();
    const std::string out = server_.Output();
    EXPECT_TRUE(out.find("Sanitizer") == out.npos && out.find("runtime error") == out.npos) << out;
    if (HasFailure()) std::cerr << server_.Log().substr(0, 30000);
  }

  // Submits `file`; the stream, checked by zeltview, once the job completed.
  std::string Print(const std::string& file, Options options, const std::string& printer = "zelt") {
    const std::string name = "job" + std::to_string(++jobs_);
    options.emplace_back("job-name", name);
    std::string error;
    const JobInfo info =
        server_.WaitForJob(printer, server_.Submit(printer, file, options, &error));
    EXPECT_EQ(info.state, IPP_JSTATE_COMPLETED) << error << info.reasons << ": " << info.message;
    const RunResult view = RunProgram({ZELT_BUILD_DIR "/zeltview", out_ + "/" + name + ".prn"});
    EXPECT_EQ(view.status, 0) << view.out << view.err;
    return ReadFile(out_ + "/" + name + ".prn");
  }

  // The classic chain's stream for the same document and PPD options.
  std::string Cupsfilter(const std::string& ppd, const std::string& pdf, const Options& options,
                         int copies = 1) {
    if (!fs::exists(dir_.File("serverbin")))
      MakeServerBin(dir_.File("serverbin"), ZELT_FILTER_PATH);
    const RunResult r = RunCupsfilter(dir_.File("serverbin"), {PpdPath(ppd), pdf, options, copies},
                                      dir_.File("c.prn"));
    EXPECT_EQ(r.status, 0) << r.err;
    return ReadFile(dir_.File("c.prn"));
  }

  TempDir dir_;
  AppServer server_{dir_.path()};
  const std::string out_ = dir_.File("out");
  int jobs_ = 0;
};

// Every ColorModel of the PPDs against the ink set (or print-color-mode)
// that stands for it, the other options varied across the rows.
TEST_F(AppTest, PdfStreamIsByteIdenticalToTheClassicFilterForEveryColourModel) {
  const std::string pdf = MakePdf(dir_, "chart", kChart);
  std::string error;
  ASSERT_TRUE(server_.AddPrinter("basic", "zelt-basic", "file://" + out_, &error)) << error;
  // clang-format off
  const std::vector<std::tuple<const char*, Options, Options, int>> cases = {
      {"zeltpro.ppd", {{"ColorModel", "CMYK"}}, {{"zelt-ink-set", "standard"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "Gray"}, {"Resolution", "300dpi"}}, {{"print-color-mode", "monochrome"}, {"printer-resolution", "300dpi"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "GoldBlack"}, {"Resolution", "1200dpi"}}, {{"zelt-ink-set", "gold-black"}, {"print-quality", "high"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "GoldSilver"}, {"OutputType", "Glossy"}}, {{"zelt-ink-set", "gold-silver"}, {"zelt-finish", "glossy"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "Photo"}, {"MediaType", "Type16"}}, {{"zelt-ink-set", "photo"}, {"media-type", "zelt-type-16"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "White"}, {"Resolution", "300dpi"}}, {{"zelt-ink-set", "white"}, {"print-quality", "draft"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "VDotColor"}, {"MediaType", "Type17"}, {"OutputType", "Glossy"}}, {{"zelt-ink-set", "variable-dot-color"}, {"media-type", "zelt-type-17"}, {"zelt-finish", "glossy"}}, 1},
      {"zeltpro.ppd", {{"ColorModel", "VDotGray"}, {"OutputType", "Glossy"}}, {{"zelt-ink-set", "variable-dot-gray"}, {"zelt-finish", "glossy"}, {"copies", "2"}}, 2},
      {"zeltbas.ppd", {{"ColorModel", "CMYK"}}, {}, 1},
  };
  // clang-format on
  for (auto [ppd, classic, app, copies] : cases) {
    classic.emplace_back("PageSize", "55.03x90.66mm");
    app.emplace_back("media", kCard);
    const std::string got = Print(pdf, app, ppd == std::string("zeltbas.ppd") ? "basic" : "zelt");
    EXPECT_TRUE(!got.empty() && got == Cupsfilter(ppd, pdf, classic, copies))
        << ppd << " " << classic[0].second;
  }
}

// Through a queue made with `lpadmin -m everywhere` the queue's pdftopdf runs
// first and places the page on the queue's paper, which CUPS derives from the
// app's sizes in hundredths of a millimetre: the inch sizes come out exact,
// the metric ones (A4, the card) a fraction of a point off the PPD's whole
// points, which moves a metric page by up to a pixel.  Letter goes through as
// it is.
TEST_F(AppTest, PdfThroughACupsEverywhereQueueMatchesTheClassicFilter) {
  const std::string pdf = MakePdf(dir_, "letter", std::string("3 3 scale ") + kChart, "612 792");
  fs::permissions(dir_.path(), fs::perms(0755));
  Cupsd cupsd(dir_.File("cupsd"), SystemServerBin(), SystemDataDir());
  std::string error;
  ASSERT_TRUE(cupsd.Start(&error)) << error;
  const RunResult add =
      cupsd.Client({"lpadmin", "-p", "ev", "-E", "-v", server_.Uri("zelt"), "-m", "everywhere"});
  ASSERT_EQ(add.status, 0) << add.out << add.err;
  // cupsd makes the queue's PPD after lpadmin returns, and until it has taken
  // it in a job gets the defaults of a monochrome printer: the job says
  // colour, as the classic chain's default colour model does.
  for (int i = 0; i < 600 && !fs::exists(dir_.File("cupsd/etc/ppd/ev.ppd")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::vector<std::string> lp = {"-t",           "viacups", "-o",
                                       "media=Letter", "-o",      "print-color-mode=color"};
  ASSERT_GT(cupsd.Submit("ev", pdf, lp, &error), 0) << error;
  EXPECT_EQ(server_.WaitForJob("zelt", 1).state, IPP_JSTATE_COMPLETED) << cupsd.ErrorLog();
  const std::string got = ReadFile(out_ + "/viacups.prn");
  EXPECT_TRUE(!got.empty() && got == Cupsfilter("zeltpro.ppd", pdf, {{"media", "Letter"}}));
}

// The raster path's tolerance: each plane's printed coverage (dots, or dot
// codes of 4-bit rows, over the page) within this of the PDF path's.
constexpr double kTolerance = 0.02;

TEST_F(AppTest, RasterPathPrintsWithinToleranceOfThePdfPath) {
  // Ink set, print-color-mode, the page's colour; a PNG, or a PWG raster of
  // the given type with every sample `value`.
  const std::vector<std::tuple<const char*, const char*, const char*, const char*, int>> cases = {
      {"standard", "color", "0.8 0.4 0.2 setrgbcolor", nullptr, 0},
      {"standard", "monochrome", "0.45 setgray", nullptr, 0},
      {"gold-black", "color", "0.2 0.6 0.4 setrgbcolor", nullptr, 0},
      {"gold-silver", "color", "0.1 0.2 0.7 setrgbcolor", nullptr, 0},
      {"photo", "color", "0.9 0.85 0.3 setrgbcolor", nullptr, 0},
      {"white", "color", "0.3 setgray", nullptr, 0},
      {"variable-dot-color", "color", "0.4 0.1 0.45 setrgbcolor", nullptr, 0},
      {"variable-dot-gray", "monochrome", "0.6 setgray", nullptr, 0},
      {"standard", "color", "0.5 0.5 0.5 setrgbcolor", "srgb_8", 128},
      {"variable-dot-color", "color", "0.25 setgray", "sgray_8", 64},
      {"standard", "color", "0.25 0.25 0.25 0.25 setcmykcolor", "cmyk_8", 64},
  };
  for (const auto& [ink, mode, color, pwg, value] : cases) {
    const std::string name = std::string(ink) + (pwg ? pwg : "png") + std::to_string(value);
    const std::string pdf = MakePdf(dir_, name, std::string(color) + " 0 0 156 257 rectfill");
    const std::string raster =
        pwg ? MakePwg(dir_, name, pwg, 300, static_cast<std::uint8_t>(value)) : MakePng(dir_, name);
    Options options = {{"media", kCard},
                       {"zelt-ink-set", ink},
                       {"print-color-mode", mode},
                       {"printer-resolution", "300dpi"}};
    const auto want = DecodeBytes(Print(pdf, options));
    options.emplace_back("print-scaling", "fill");
    const auto got = DecodeBytes(Print(raster, options));
    ASSERT_TRUE(want.ok && got.ok && !want.pages.empty() && !got.pages.empty()) << name;
    const auto& w = want.pages[0];
    const auto& g = got.pages[0];
    ASSERT_EQ(g.info.Width(), w.info.Width()) << name;
    ASSERT_EQ(g.info.Height(), w.info.Height()) << name;
    std::array<double, 4> ink_of[2] = {};
    for (int i = 0; i < 2; ++i)
      for (const auto& pass : (i ? g : w).copies[0].passes)
        ink_of[i][pass.info.plane] =
            double(pass.stats.ink) /
            (double(w.info.Width()) * double(w.info.Height()) * (w.info.row_bits == 4 ? 15 : 1));
    for (int p = 0; p < 4; ++p)
      EXPECT_NEAR(ink_of[1][p], ink_of[0][p], kTolerance) << name << " plane " << p;
  }
}

TEST_F(AppTest, RefusesWhatItCannotPrintWithAReasonAndKeepsServing) {
  const std::vector<std::tuple<std::string, Options, const char*, const char*>> cases = {
      // PAPPL itself stops a 16-bit raster ("Bad raster data seen").
      {MakePwg(dir_, "deep", "srgb_16", 300, 0x80), {}, "document-format-error", ""},
      {MakePwg(dir_, "fine", "srgb_8", 360, 0x80), {}, "document-format-error", "360x360dpi"},
      {MakePdf(dir_, "gold", kChart),
       {{"zelt-ink-set", "gold-black"}, {"print-color-mode", "monochrome"}},
       "document-unprintable-error",
       "has no monochrome form"},
  };
  for (const auto& [file, options, reason, message] : cases) {
    std::string error;
    const JobInfo info = server_.WaitForJob("zelt", server_.Submit("zelt", file, options, &error));
    EXPECT_EQ(info.state, IPP_JSTATE_ABORTED) << file << error;
    EXPECT_NE(info.reasons.find(reason), std::string::npos) << info.reasons;
    EXPECT_NE(info.message.find(message), std::string::npos) << info.message;
  }
  EXPECT_TRUE(DecodeBytes(Print(dir_.File("gold.pdf"), {{"media", kCard}})).ok);
}

TEST_F(AppTest, CancelledJobLeavesNoSpoolFilesAndItsStreamEndsCleanly) {
  // A PDF, and a PWG raster that the server prints as it arrives: submitted
  // in the background, jobs 1 and 2.
  const std::string files[] = {kSample, dir_.File("big.pwg")};
  RunProgram({"gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pwgraster", "-r1200",
              "-sOutputFile=" + files[1], kSample});
  for (int id = 1; id <= 2; ++id) {
    const pid_t submit = Spawn(ZELT_APP_PATH,
                               {"zelt-printer-app", "submit", "-u", server_.Uri("zelt"), "-o",
                                "print-quality=high", "-o", "job-name=big", files[id - 1]},
                               {}, "/dev/null", "/dev/null");
    // Cancelled once plane 0 is on its way to the printer.
    const std::string stream = out_ + "/big.prn";
    while (!fs::exists(stream) || fs::file_size(stream) < 100000)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ippDelete(server_.Request("zelt", IPP_OP_CANCEL_JOB, [id](ipp_t* r) {
      ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
    }));
    EXPECT_EQ(server_.WaitForJob("zelt", id).state, IPP_JSTATE_CANCELED) << files[id - 1];
    waitpid(submit, nullptr, 0);
    for (const auto& e : fs::recursive_directory_iterator(server_.spool()))
      EXPECT_FALSE(e.path().filename().string().starts_with("job")) << e.path();
    const auto job = DecodeFile(stream);
    EXPECT_TRUE(job.ok && !job.pages.empty() && job.pages[0].copies[0].closed)
        << files[id - 1] << job.error.message;
    EXPECT_LT(job.pages[0].copies[0].passes[0].stats.end_line, 6000) << files[id - 1];
    fs::remove(stream);
  }
}

TEST_F(AppTest, TwoPrintersPrintAtOnce) {
  std::string error;
  ASSERT_TRUE(server_.AddPrinter("basic", "zelt-basic", "file://" + out_, &error)) << error;
  // At 1200 dpi a page takes long enough for the other job's to start.
  Options p = {{"media", kA4}, {"print-quality", "high"}, {"job-name", "p"}}, b = p;
  b.back().second = "b";
  const int pro = server_.Submit("zelt", kSample, p, &error);
  const int basic = server_.Submit("basic", kSample, b, &error);
  EXPECT_EQ(server_.WaitForJob("zelt", pro).state, IPP_JSTATE_COMPLETED);
  EXPECT_EQ(server_.WaitForJob("basic", basic).state, IPP_JSTATE_COMPLETED);
  // Both jobs had their first page, and its spool files, open at once.
  const std::string log = server_.Log();
  auto at = [&log](int job, const char* what) {
    return log.find("[Job " + std::to_string(job) + "] " + what);
  };
  EXPECT_LT(at(pro, "Starting page 1"), at(basic, "Finished page 1"));
  EXPECT_LT(at(basic, "Starting page 1"), at(pro, "Finished page 1"));
  // Same raster, same rows: nothing of one job reached the other's stream.
  const auto pj = DecodeFile(out_ + "/p.prn"), bj = DecodeFile(out_ + "/b.prn");
  ASSERT_TRUE(pj.ok && bj.ok && pj.pages.size() == 2 && bj.pages.size() == 2);
  for (int page = 0; page < 2; ++page)
    for (int plane = 0; plane < 4; ++plane)
      EXPECT_EQ(pj.pages[page].Pass(0, plane)->stats.digest,
                bj.pages[page].Pass(0, plane)->stats.digest);
}

// The settings page offers every ink set; a default chosen there survives a
// restart and reaches a job that names none.  Chromium renders both pages.
TEST_F(AppTest, InkSetDefaultFromTheWebInterfaceSurvivesARestartAndReachesJobs) {
  const std::string base = "http://localhost:" + std::to_string(server_.port()) + "/zelt";
  auto curl = [this](std::vector<std::string> args) {
    args.insert(args.begin(), {"curl", "-sf", "-b", dir_.File("jar"), "-c", dir_.File("jar")});
    return RunProgram(args).out;
  };
  EXPECT_NE(curl({base}).find("Printing Defaults"), std::string::npos);
  const std::string page = curl({base + "/printing"});
  for (const auto& ink : zelt_app::kInkSets)
    EXPECT_TRUE(page.find(std::string("value=\"") + ink.keyword) != std::string::npos &&
                page.find(ink.label) != std::string::npos)
        << ink.keyword;
  const std::string key = "name=\"session\" value=\"";
  const std::size_t at = page.find(key) + key.size();
  const std::string form =
      "session=" + page.substr(at, 64) + "&zelt-ink-set=variable-dot-gray&zelt-finish=glossy";
  EXPECT_NE(curl({"-d", form, base + "/printing"}).find("Changes saved."), std::string::npos);

  server_.Stop();
  std::string error;
  ASSERT_TRUE(server_.Start(&error)) << error;
  const auto job = DecodeBytes(Print(MakePdf(dir_, "chart", kChart), {{"media", kCard}}));
  ASSERT_TRUE(job.ok && !job.pages.empty());
  EXPECT_EQ(job.pages[0].info.ColorMode(), 5);
  EXPECT_EQ(job.pages[0].info.planes, 1);
  EXPECT_TRUE(job.pages[0].info.glossy);

  for (const std::string path : {"", "/printing"}) {
    const RunResult r = RunProgram(
        {"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + dir_.File("chromium"), "--window-size=1000,1100",
         "--screenshot=" + dir_.File("shot.png"), base + path});
    const std::string png = ReadFile(dir_.File("shot.png"));
    EXPECT_TRUE(png.starts_with("\x89PNG") && png.size() > 20000) << path << r.err;
    fs::remove(dir_.File("shot.png"));
  }
}

}  // namespace
}  // namespace zelt_test

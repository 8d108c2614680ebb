// The driver under a real print server: the project installed into a scratch
// root, a cupsd of the test's own that finds the installed filter and PPD
// files, a queue made with lpadmin from the model list, jobs sent with lp and
// read back from the queue's file: device, and a job cancelled while the
// filter is printing.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "tests/support/cups_env.h"
#include "tests/support/process.h"

namespace zelt_test {
namespace {

namespace fs = std::filesystem;
using zelt::stream::DecodedJob;

const std::string kSample = std::string(ZELT_SOURCE_DIR) + "/samples/sample.pdf";
constexpr std::chrono::seconds kJobTimeout{120};

// What cupsd logged about the end of the filter process ("... exited with no
// errors.", "... was terminated normally with signal 15."), or "".
std::string FilterEnd(const std::string& log) {
  const std::string marker = "/rastertozelt) ";
  const std::size_t at = log.find(marker);
  if (at == std::string::npos) return "";
  const std::size_t from = at + marker.size();
  return log.substr(from, log.find('\n', from) - from);
}

class CupsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // cupsd runs the filters as its own user, which must reach everything here.
    fs::permissions(dir_.path(), fs::perms(0755));
    const std::string root = dir_.File("root");
    const ToolResult install = InstallInto(root);
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    MakeServerBin(dir_.File("serverbin"), root + SystemServerBin() + "/filter/rastertozelt");
    MakeDataDir(dir_.File("datadir"), root + SystemDataDir() + "/model/zelt");
    cupsd_ = std::make_unique<Cupsd>(dir_.path(), dir_.File("serverbin"), dir_.File("datadir"));
    std::string error;
    ASSERT_TRUE(cupsd_->Start(&error)) << error;
  }
  void TearDown() override {
    if (HasFailure() && cupsd_) std::cerr << "cupsd error_log:\n" << cupsd_->ErrorLog();
  }

  // A queue for the Pro model, made from the model list as a user would.
  void AddQueue() {
    const ToolResult r = cupsd_->Client(
        {"lpadmin", "-p", "zelt", "-E", "-v", "file://" + Output(), "-m", "zelt/zeltpro.ppd"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }
  std::string Output() const { return dir_.File("printer.prn"); }

  int Submit(const std::vector<std::string>& options) {
    std::string error;
    const int id = cupsd_->Submit("zelt", kSample, options, &error);
    EXPECT_GT(id, 0) << error;
    return id;
  }

  std::vector<std::string> SpoolFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(cupsd_->TempDir()))
      if (e.path().filename().string().starts_with("kvo")) names.push_back(e.path().filename());
    return names;
  }

  TempDir dir_;
  std::unique_ptr<Cupsd> cupsd_;
};

TEST_F(CupsServerTest, PrintsJobsThroughAQueueMadeFromTheModelList) {
  const ToolResult models = cupsd_->Client({"lpinfo", "-m"});
  ASSERT_EQ(models.status, 0) << models.err;
  EXPECT_NE(models.out.find("zelt/zeltbas.ppd Zelt Basic"), std::string::npos) << models.out;
  EXPECT_NE(models.out.find("zelt/zeltpro.ppd Zelt Pro"), std::string::npos) << models.out;
  AddQueue();

  struct Job {
    std::vector<std::string> options;  // lp options besides size and resolution
    int mode, planes, copies;
    bool glossy;
    int media_type;
  };
  const Job jobs[] = {
      {{"-o", "ColorModel=GoldBlack", "-n", "2"}, 1, 4, 2, false, 0},
      // The server turns an IPP monochrome request into ColorModel=Gray.
      {{"-o", "print-color-mode=monochrome"}, 0, 1, 1, false, 0},
      {{"-o", "ColorModel=VDotColor", "-o", "OutputType=Glossy", "-o", "MediaType=Type16"},
       5,
       4,
       1,
       true,
       16},
  };
  for (const auto& job : jobs) {
    SCOPED_TRACE(::testing::PrintToString(job.options));
    std::vector<std::string> options = {"-o", "PageSize=55.03x90.66mm", "-o", "Resolution=300dpi"};
    options.insert(options.end(), job.options.begin(), job.options.end());
    const int id = Submit(options);
    ASSERT_GT(id, 0);
    ASSERT_EQ(cupsd_->WaitForJob(id, kJobTimeout), IPP_JSTATE_COMPLETED);

    const DecodedJob stream = DecodeFile(Output());
    ASSERT_TRUE(stream.ok) << stream.error.offset << ": " << stream.error.message;
    ASSERT_EQ(stream.pages.size(), 2u);
    for (const auto& page : stream.pages) {
      EXPECT_EQ(page.info.ColorMode(), job.mode);
      EXPECT_EQ(page.info.planes, job.planes);
      EXPECT_EQ(page.info.glossy, job.glossy);
      EXPECT_EQ(page.info.setup.media_type, job.media_type);
      EXPECT_EQ(page.info.setup.page_size_code, 5);
      ASSERT_EQ(page.copies.size(), static_cast<std::size_t>(job.copies));
      for (const auto& copy : page.copies) {
        EXPECT_TRUE(copy.closed);
        EXPECT_EQ(copy.passes.size(), static_cast<std::size_t>(job.planes));
      }
    }
    EXPECT_TRUE(SpoolFiles().empty());
  }
}

TEST_F(CupsServerTest, CancelledJobLeavesNoSpoolFilesAndTheQueueWorks) {
  AddQueue();
  // Legal at 1200 dpi in colour takes many seconds: the filter is surely
  // still printing when its spool files show up and the job is cancelled.
  const int big = Submit({"-o", "PageSize=Legal", "-o", "Resolution=1200dpi"});
  ASSERT_GT(big, 0);
  const auto deadline = std::chrono::steady_clock::now() + kJobTimeout;
  while (SpoolFiles().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_FALSE(SpoolFiles().empty()) << "the filter never started a page";
  const ToolResult cancel = cupsd_->Client({"cancel", "zelt-" + std::to_string(big)});
  ASSERT_EQ(cancel.status, 0) << cancel.err;
  ASSERT_EQ(cupsd_->WaitForJob(big, kJobTimeout), IPP_JSTATE_CANCELED);

  // The job is marked cancelled before its processes are gone; wait for the
  // server to log the filter's end, which must be the SIGTERM it sent.
  std::string filter_end;
  for (int i = 0; i < 300 && filter_end.empty(); ++i) {
    filter_end = FilterEnd(cupsd_->ErrorLog());
    if (filter_end.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(filter_end.empty()) << "no end of rastertozelt in the log";
  EXPECT_NE(filter_end.find("signal 15"), std::string::npos) << filter_end;
  EXPECT_TRUE(SpoolFiles().empty()) << ::testing::PrintToString(SpoolFiles());

  // The queue goes on printing.
  const int next =
      Submit({"-o", "PageSize=55.03x90.66mm", "-o", "Resolution=300dpi", "-o", "ColorModel=Gray"});
  ASSERT_GT(next, 0);
  ASSERT_EQ(cupsd_->WaitForJob(next, kJobTimeout), IPP_JSTATE_COMPLETED);
  const DecodedJob stream = DecodeFile(Output());
  EXPECT_TRUE(stream.ok) << stream.error.offset << ": " << stream.error.message;
  EXPECT_EQ(stream.pages.size(), 2u);
  EXPECT_TRUE(SpoolFiles().empty());
}

}  // namespace
}  // namespace zelt_test

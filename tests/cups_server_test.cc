// The driver under a real print server: the project installed into a scratch
// root (every file where CUPS and man look for it, PPD files that pass
// cupstestppd), a cupsd of the test's own that finds the installed filter and
// PPD files, a queue made with lpadmin from the model list, a job sent with lp
// and read back from the queue's file: device.
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

class CupsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // cupsd runs the filters as its own user, which must reach everything here.
    fs::permissions(dir_.path(), fs::perms(0755));
    const RunResult install = InstallInto(root_);
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    MakeServerBin(dir_.File("serverbin"), root_ + SystemServerBin() + "/filter/rastertozelt");
    MakeDataDir(dir_.File("datadir"), root_ + SystemDataDir() + "/model/zelt");
    cupsd_ = std::make_unique<Cupsd>(dir_.path(), dir_.File("serverbin"), dir_.File("datadir"));
    std::string error;
    ASSERT_TRUE(cupsd_->Start(&error)) << error;
  }
  void TearDown() override {
    if (HasFailure() && cupsd_) std::cerr << "cupsd error_log:\n" << cupsd_->ErrorLog();
  }

  TempDir dir_;
  const std::string root_ = dir_.File("root");
  std::unique_ptr<Cupsd> cupsd_;
};

TEST_F(CupsServerTest, InstallsAndPrintsThroughAQueueMadeFromTheModelList) {
  // The filter and the PPD files go where CUPS looks, never under
  // /usr/local; the manual page follows the install prefix.
  struct stat st {};
  const std::string filter = root_ + SystemServerBin() + "/filter/rastertozelt";
  ASSERT_EQ(stat(filter.c_str(), &st), 0) << filter;
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  bool man_page = false;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    const std::string path = entry.path().string().substr(root_.size());
    man_page = man_page || path.ends_with("/man8/rastertozelt.8");
    EXPECT_FALSE(path.find("/cups/") != path.npos && path.starts_with("/usr/local/")) << path;
  }
  EXPECT_TRUE(man_page);
  for (const char* ppd : {"zeltbas.ppd", "zeltpro.ppd"}) {
    // -R makes the installed filter count for the cupsFilter check.
    const RunResult r = RunProgram(
        {"cupstestppd", "-R", root_, "-v", root_ + SystemDataDir() + "/model/zelt/" + ppd});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("WARN"), std::string::npos) << r.out;
  }

  const RunResult models = cupsd_->Client({"lpinfo", "-m"});
  ASSERT_EQ(models.status, 0) << models.err;
  EXPECT_NE(models.out.find("zelt/zeltbas.ppd Zelt Basic"), std::string::npos) << models.out;
  EXPECT_NE(models.out.find("zelt/zeltpro.ppd Zelt Pro"), std::string::npos) << models.out;
  // A queue for the Pro model, made from the model list as a user would.
  const std::string output = dir_.File("printer.prn");
  const RunResult add = cupsd_->Client(
      {"lpadmin", "-p", "zelt", "-E", "-v", "file://" + output, "-m", "zelt/zeltpro.ppd"});
  ASSERT_EQ(add.status, 0) << add.out << add.err;
  std::string error;
  const int id = cupsd_->Submit("zelt", kSample,
                                {"-o", "PageSize=55.03x90.66mm", "-o", "Resolution=300dpi", "-o",
                                 "ColorModel=GoldBlack", "-o", "MediaType=Type16", "-n", "2"},
                                &error);
  ASSERT_GT(id, 0) << error;
  ASSERT_EQ(cupsd_->WaitForJob(id, kJobTimeout), IPP_JSTATE_COMPLETED);
  const DecodedJob stream = DecodeFile(output);
  ASSERT_TRUE(stream.ok) << stream.error.offset << ": " << stream.error.message;
  ASSERT_EQ(stream.pages.size(), 2u);
  for (const auto& page : stream.pages) {
    EXPECT_EQ(page.info.ColorMode(), 1);
    EXPECT_EQ(page.info.setup.media_type, 16);
    EXPECT_EQ(page.copies.size(), 2u);
  }
  for (const auto& e : fs::directory_iterator(cupsd_->TempDir()))
    EXPECT_FALSE(e.path().filename().string().starts_with("kvo")) << "left behind: " << e.path();
}

}  // namespace
}  // namespace zelt_test

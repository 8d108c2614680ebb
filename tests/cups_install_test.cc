// The install rules, run into a scratch root: the filter, the PPD files and
// the manual page land where CUPS and man look for them, and the installed
// PPD files pass cupstestppd with that root.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/cups_env.h"
#include "tests/support/process.h"

namespace zelt_test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPpds[] = {"zeltbas.ppd", "zeltpro.ppd"};

class CupsInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ToolResult r = InstallInto(root_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }
  std::string Ppd(const char* file) const {
    return root_.path() + SystemDataDir() + "/model/zelt/" + file;
  }
  TempDir root_;
};

TEST_F(CupsInstallTest, PutsEveryFileWhereCupsAndManLookForIt) {
  struct stat st {};
  const std::string filter = root_.path() + SystemServerBin() + "/filter/rastertozelt";
  ASSERT_EQ(stat(filter.c_str(), &st), 0) << filter;
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  for (const char* ppd : kPpds) EXPECT_TRUE(fs::is_regular_file(Ppd(ppd))) << ppd;

  // CUPS looks neither for filters nor for models under /usr/local; the
  // manual page follows the install prefix.
  bool man_page = false;
  for (const auto& entry : fs::recursive_directory_iterator(root_.path())) {
    const std::string path = entry.path().string().substr(root_.path().size());
    if (path.ends_with("/man8/rastertozelt.8")) man_page = true;
    if (path.find("/cups/") != std::string::npos) {
      EXPECT_EQ(path.find("/usr/local/"), std::string::npos) << path;
    }
  }
  EXPECT_TRUE(man_page);
}

TEST_F(CupsInstallTest, InstalledPpdsPassCupstestppd) {
  for (const char* ppd : kPpds) {
    SCOPED_TRACE(ppd);
    // -R makes the installed filter count for the cupsFilter check.
    const ToolResult r = RunTool({"cupstestppd", "-R", root_.path(), "-v", Ppd(ppd)});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("FAIL"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("WARN"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("NO ERRORS FOUND"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace zelt_test

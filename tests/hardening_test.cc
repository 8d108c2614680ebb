// Every way a job ends leaves nothing behind, and nothing a job does can be
// turned against another user: signals through real pipes, files planted
// under the spool names in a sticky directory, a spool directory so long that
// the names are cut, a closed standard output, absurd copy counts, and
// zeltview's limits on what a stream or raster claims.  (Hostile header bits
// are a seed of the raw raster fuzzer, run under the sanitizers.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/cups_env.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"
#include "tools/stream_decoder.h"

namespace zelt_test {
namespace {

namespace fs = std::filesystem;
constexpr uid_t kOtherUser = 65534;  // nobody

// A filter in the middle of a CMYK page: its raster arrives through a pipe
// that stalls a few lines before the end of the page, and its output goes
// into a pipe.  The rest of the raster is small enough to go into the pipe in
// one atomic write.
class StalledJob {
 public:
  StalledJob(const TempDir& tmp, const std::string& spool) {
    bytes_ =
        ReadFile(WritePage(tmp.File("in.ras"), MakeHeader(64, 200, CUPS_CSPACE_CMYK), Random(9)));
    EXPECT_EQ(pipe2(input_, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(output_, O_CLOEXEC), 0);
    EXPECT_EQ(write(input_[1], bytes_.data(), bytes_.size() - kRest), bytes_.size() - kRest);
    RunOptions o;
    o.env = {{"PPD", PpdPath()}, {"TMPDIR", spool}};
    o.stdin_path = "/proc/self/fd/" + std::to_string(input_[0]);
    o.stdout_fd = output_[1];
    pid_ = Spawn(ZELT_FILTER_PATH, {ZELT_FILTER_PATH, "1", "u", "t", "1", ""}, o, tmp.File("out"),
                 tmp.File("err"));
    close(output_[1]);
    close(input_[0]);
    // Printing has begun once the page's spool files exist.
    for (int i = 0; i < 500 && fs::is_empty(spool); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  ~StalledJob() {
    close(input_[1]);
    if (output_[0] >= 0) close(output_[0]);
  }
  pid_t pid() const { return pid_; }
  int output() const { return output_[0]; }
  void CloseOutput() {
    close(output_[0]);
    output_[0] = -1;
  }
  // The rest of the raster arrives.
  void Release() {
    EXPECT_EQ(write(input_[1], bytes_.data() + bytes_.size() - kRest, kRest), kRest);
  }
  // The signal that ended the filter, 0 when it exited.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

 private:
  static constexpr ssize_t kRest = PIPE_BUF;
  std::string bytes_;
  int input_[2] = {-1, -1}, output_[2] = {-1, -1};
  pid_t pid_ = -1;
};

TEST(Hardening, EverySignalThatEndsAJobRemovesItsSpoolFiles) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
    TempDir tmp, spool;
    StalledJob job(tmp, spool.path());
    if (sig == SIGPIPE) {
      // The printer's connection goes away; the next row written meets it.
      job.CloseOutput();
      job.Release();
    } else {
      kill(job.pid(), sig);
    }
    EXPECT_EQ(job.Wait(), sig) << strsignal(sig);
    EXPECT_TRUE(spool.Entries().empty()) << strsignal(sig) << " left spool files";
  }
}

// The spooler cancels a job by signalling the backend and the filter at once.
TEST(Hardening, CancelsWithTheReaderKilledLeaveNothing) {
  for (int run = 0; run < 50; ++run) {
    TempDir tmp, spool;
    StalledJob job(tmp, spool.path());
    RunOptions o;
    o.stdin_path = "/proc/self/fd/" + std::to_string(job.output());
    const pid_t reader = Spawn("/bin/cat", {"cat"}, o, "/dev/null", "/dev/null");
    kill(reader, SIGKILL);
    kill(job.pid(), SIGTERM);
    const int sig = job.Wait();
    waitpid(reader, nullptr, 0);
    EXPECT_TRUE(sig == SIGTERM || sig == SIGPIPE) << "run " << run << ": " << sig;
    ASSERT_TRUE(spool.Entries().empty()) << "run " << run << " left spool files";
  }
}

// Whatever stands under a spool file's name in a sticky, world-writable
// directory is never written, truncated or followed; only a leftover of the
// filter's own user is replaced.
TEST(Hardening, NothingPlantedUnderASpoolNameIsUsed) {
  enum Plant { kRegular, kHardLink, kFifo, kSymlink, kOwnStale, kNoDirectory };
  for (const Plant plant : {kRegular, kHardLink, kFifo, kSymlink, kOwnStale, kNoDirectory}) {
    SCOPED_TRACE(plant);
    TempDir tmp, spool;
    fs::permissions(spool.path(), fs::perms(01777));
    const std::string target = tmp.File("target");
    WriteFile(target, "keep me");
    ASSERT_EQ(chown(target.c_str(), kOtherUser, kOtherUser), 0);
    RunOptions o;
    o.args = JobArgs(WritePage(tmp.File("in.ras"), MakeHeader(16, 4, CUPS_CSPACE_CMYK), Random(2)));
    o.env = {{"PPD", PpdPath()},
             {"TMPDIR", plant == kNoDirectory ? spool.File("none") : spool.path()}};
    std::string planted;
    o.before_exec = [&](int pid) {
      planted = spool.File("kvo" + std::to_string(pid) + ".Y");  // the second file of the page
      if (plant == kRegular) WriteFile(planted, "theirs");
      if (plant == kHardLink) link(target.c_str(), planted.c_str());
      if (plant == kFifo) mkfifo(planted.c_str(), 0666);
      if (plant == kSymlink) symlink(target.c_str(), planted.c_str());
      if (plant != kOwnStale) lchown(planted.c_str(), kOtherUser, kOtherUser);
      if (plant == kOwnStale) WriteFile(planted, "an earlier job's");
    };
    const RunResult r = RunFilter(o);
    EXPECT_EQ(ReadFile(target), "keep me");
    if (plant == kOwnStale) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_TRUE(spool.Entries().empty());
      continue;
    }
    EXPECT_EQ(r.status, 1);
    const auto errors = r.LinesStartingWith("ERROR: ");
    ASSERT_EQ(errors.size(), 2u) << r.err;
    EXPECT_EQ(errors[0].rfind("ERROR: Unable to open temporary file ", 0), 0u);
    EXPECT_EQ(errors[1],
              plant == kNoDirectory ? "ERROR: No such file or directory" : "ERROR: File exists");
    if (plant == kRegular) {
      EXPECT_EQ(ReadFile(planted), "theirs");
    }
    // Only the planted name is left.
    EXPECT_EQ(spool.Entries().size(), plant == kNoDirectory ? 0u : 1u);
  }
}

// Spool names are cut at 254 characters.  Where the cut takes the plane
// letters off, two planes would share one file: the page fails instead.  A
// page with a single spool file prints under its cut name.
TEST(Hardening, CutSpoolNamesNeverShareAFile) {
  TempDir tmp;
  std::string dir = tmp.path();
  while (dir.size() < 250) dir += "/dddddddddddddddddddddddddddddddd";
  fs::create_directories(dir);
  for (const bool one_plane : {false, true}) {
    auto h = MakeHeader(16, 4, one_plane ? CUPS_CSPACE_K : CUPS_CSPACE_CMYK);
    h.NumCopies = 2;
    const RunResult r = RunFilterOn(WritePage(tmp.File("in.ras"), h, Random(3)), dir);
    EXPECT_EQ(r.status, one_plane ? 0 : 1) << r.err;
    if (!one_plane) {
      EXPECT_TRUE(r.HasLine("ERROR: File exists")) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir));
  }
}

TEST(Hardening, StartedWithoutStandardOutputNoSpoolFileTakesIt) {
  TempDir tmp;
  RunOptions o;  // the raster from standard input: the first file the filter opens is a spool file
  o.stdin_path = WritePage(tmp.File("in.ras"), MakeHeader(16, 4, CUPS_CSPACE_CMYK), Random(4));
  o.env = {{"PPD", PpdPath()}, {"TMPDIR", tmp.path()}};
  o.stdout_fd = -2;
  const RunResult r = RunFilter(o);
  EXPECT_EQ(r.status, 0) << r.err;
  for (const auto& line : r.LinesStartingWith("INFO: PrinterFiles["))
    EXPECT_EQ(line.find("] = 1 ("), std::string::npos) << line;
}

TEST(Hardening, CopiesAreCutAtTheMaximum) {
  TempDir tmp;
  for (const unsigned copies : {9999u, 10000u, 4294967295u}) {
    auto h = MakeHeader(16, 2, CUPS_CSPACE_K);
    h.NumCopies = copies;
    const RunResult r = RunFilterOn(WritePage(tmp.File("in.ras"), h, Random(5)), tmp.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.HasLine("WARNING: Page 1 asks for " + std::to_string(copies) +
                        " copies; printing 9999, the most this driver prints"),
              copies > 9999);
    EXPECT_TRUE(r.HasLine("PAGE: 1 9999"));
    const auto job = DecodeBytes(r.out);
    ASSERT_TRUE(job.ok) << job.error.message;
    EXPECT_EQ(job.pages[0].info.copies, 9999);
  }
}

// zeltview checks every size its input claims before it allocates anything:
// one error line with the offset, exit status 1, never an abort.
TEST(Hardening, ZeltviewRefusesWhatNoPageCanBe) {
  const std::string zeltview = std::string(ZELT_BUILD_DIR) + "/zeltview";
  TempDir tmp;
  // A stream whose one row claims the widest page on a page of 65535 lines.
  std::string stream =
      Hex("1B 65 1B 65 1B 65 1B 25 80 41 1B 1A 00 00 41 1B 26 6C 00 00 4D"
          " 1B 26 6C 00 00 50 1B 1A 01 00 4F 1B 2A 72 00 55 1B 2A 72 00 41"
          " 1B 2A 62 00 00 4D 1B 2A 62 FF FF 57");
  stream += std::string(65535, '\x01') + Hex("0C 1B 2A 72 43 1B 25 00 58");
  WriteFile(tmp.File("big.zelt"), stream);
  const RunResult huge = RunProgram({zeltview, "--png", tmp.File("p"), tmp.File("big.zelt")});
  EXPECT_EQ(huge.status, 1) << huge.err;
  EXPECT_NE(huge.err.find("zeltview: offset 48: page 1 is too large to preview"), std::string::npos)
      << huge.err;

  // A raster of a few bytes that claims lines of 2^29 bytes.
  std::string bytes =
      ReadFile(WritePage(tmp.File("big.ras"), MakeHeader(16, 1, CUPS_CSPACE_K), Random(7)));
  const std::uint32_t wide = 1u << 29;
  for (const std::size_t field :
       {offsetof(cups_page_header2_t, cupsWidth), offsetof(cups_page_header2_t, cupsBytesPerLine)})
    std::memcpy(bytes.data() + 4 + field, &wide, sizeof wide);
  WriteFile(tmp.File("big.ras"), bytes);
  const RunResult raster =
      RunProgram({zeltview, "--against", tmp.File("big.ras"), tmp.File("big.zelt")});
  EXPECT_EQ(raster.status, 2);
  EXPECT_NE(raster.err.find("Page too wide for the printer"), std::string::npos) << raster.err;

  // A million one-row pages: each page is reported and forgotten.  (The
  // sanitizers' own bookkeeping makes memory figures meaningless there.)
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "memory is not measured under the address sanitizer";
#endif
#endif
  const std::string page =
      Hex("1B 26 6C 00 00 4D 1B 26 6C 02 00 50 1B 1A 01 00 4F 1B 2A 72 00 55"
          " 1B 2A 72 00 41 1B 2A 62 00 00 4D 1B 2A 62 01 00 57 FF 0C 1B 2A 72 43");
  {
    std::ofstream out(tmp.File("million.zelt"), std::ios::binary);
    out << Hex("1B 65 1B 65 1B 65 1B 25 80 41 1B 1A 00 00 41");
    for (int i = 0; i < 1000000; ++i) out << page;
    out << Hex("1B 25 00 58");
  }
  const pid_t pid =
      Spawn(zeltview, {zeltview, tmp.File("million.zelt")}, {}, "/dev/null", "/dev/null");
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  EXPECT_EQ(status, 0);
  EXPECT_LT(usage.ru_maxrss, 32 * 1024) << "kilobytes";
}

}  // namespace
}  // namespace zelt_test

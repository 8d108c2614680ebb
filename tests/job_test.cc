// A job as an object: two jobs at once in one process, every fault that ends
// a job (its "ERROR: " line, exit status 1, nothing left in the spool
// directory), plane 0 flushed row by row, and replay progress on large spool
// files.
#include "tests/support/job.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <thread>

#include "page/page_finish.h"
#include "page/page_start.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"
#include "tools/stream_decoder.h"

namespace zelt_test {
namespace {

TEST(Job, TwoJobsOnTwoThreadsPrintAsTwoFilterRuns) {
  TempDir tmp, spool_a, spool_b;
  auto cmyk = MakeHeader(700, 300, CUPS_CSPACE_CMYK);
  cmyk.NumCopies = 2;
  auto vdot = MakeHeader(500, 300, CUPS_CSPACE_CMY);
  vdot.cupsCompression = 0;
  const std::string a = WritePage(tmp.File("a.ras"), cmyk, Random(3));
  const std::string b = WritePage(tmp.File("b.ras"), vdot, Random(4));
  std::unique_ptr<InProcessRun> run_a, run_b;
  std::thread ta([&] { run_a = PrintInProcess(a, spool_a.path()); });
  std::thread tb([&] { run_b = PrintInProcess(b, spool_b.path()); });
  ta.join();
  tb.join();
  for (const auto& [raster, run] : {std::pair{a, run_a.get()}, std::pair{b, run_b.get()}}) {
    EXPECT_TRUE(run->exit_status == 0 && run->Out() == RunFilterOn(raster, tmp.path()).out)
        << raster;
  }
  EXPECT_TRUE(spool_a.Entries().empty() && spool_b.Entries().empty());
}

TEST(Job, EveryFaultEndsTheJobWithItsErrorAndLeavesNothing) {
  TempDir tmp, spool;
  auto h = MakeHeader(800, 200, CUPS_CSPACE_CMYK);
  h.NumCopies = 2;
  const std::string raster = WritePage(tmp.File("in.ras"), h, Random(5));

  // The page's buffers cannot be had.
  auto no_memory =
      PrintInProcess(raster, spool.path(), [](std::size_t) -> void* { return nullptr; });
  EXPECT_EQ(no_memory->exit_status, 1);
  EXPECT_EQ(no_memory->log.lines.back(), "ERROR: Unable to allocate memory for the page buffers\n");
  EXPECT_TRUE(spool.Entries().empty());

  // A spool file that cannot be read back cannot print its plane whole: the
  // page fails instead of replaying what it can.
  Page page;
  MemorySink sink;
  RecordingLog log;
  Job job{.model_number = 2, .sink = sink, .log = log, .spool_directory = spool.path()};
  h.cupsHeight = 2;
  ASSERT_TRUE(StartPage(job, h, page).ok());
  std::fill_n(page.InputBuffers[0], 4 * 800, 200);
  for (std::uint32_t y = 0; y < 2; ++y) ASSERT_TRUE(SendLine(page, sink, y, false).ok());
  const std::string name = page.PrinterFiles[2].name();
  const int write_only = open(name.c_str(), O_WRONLY);
  ASSERT_EQ(dup2(write_only, page.PrinterFiles[2].fd()), page.PrinterFiles[2].fd());
  close(write_only);
  const Status unreadable = EndPage(job, page, 1);
  EXPECT_EQ(DescribeFault(unreadable),
            "ERROR: Unable to read the Magenta plane back from temporary file " + name +
                ": Bad file descriptor\n");
  EXPECT_TRUE(spool.Entries().empty());
}

// The spool directory fills up in the middle of the page: the filter says
// which plane could not be written, exits 1 and leaves nothing behind.
TEST(Job, FullSpoolDirectoryFailsThePage) {
  TempDir tmp, spool;
  if (mount("tmpfs", spool.path().c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  auto h = MakeHeader(2400, 600, CUPS_CSPACE_CMYK);
  h.NumCopies = 2;
  const RunResult r = RunFilterOn(WritePage(tmp.File("in.ras"), h, Random(6)), spool.path());
  const auto entries = spool.Entries();
  umount(spool.path().c_str());
  EXPECT_EQ(r.status, 1);
  const auto errors = r.LinesStartingWith("ERROR: ");
  ASSERT_EQ(errors.size(), 1u) << r.err;
  EXPECT_EQ(errors[0].rfind("ERROR: Unable to write the ", 0), 0u) << errors[0];
  EXPECT_NE(errors[0].find(": No space left on device"), std::string::npos) << errors[0];
  EXPECT_TRUE(entries.empty()) << "spool files left behind";
  EXPECT_NE(r.out.substr(r.out.size() - 4), Hex("1B 25 00 58")) << "no job end after a lost page";
}

TEST(Job, PlaneZeroReachesThePrinterRowByRow) {
  TempDir tmp;
  const auto run = PrintInProcess(
      WritePage(tmp.File("in.ras"), MakeHeader(256, 40, CUPS_CSPACE_CMYK), Random(8)), tmp.path());
  const auto job = zelt::stream::DecodeStream(run->sink.bytes);
  ASSERT_TRUE(job.ok);
  const auto& flushes = run->sink.flushes;
  for (const auto& row : job.pages[0].Pass(0, 0)->rows)
    EXPECT_TRUE(std::count(flushes.begin(), flushes.end(), row.offset + 6 + row.data.size()))
        << "row at line " << row.line << " waits in the buffer";
}

// Percentages of a spool file larger than 21 MB, whose byte count times 100
// no longer fits 32 bits.
TEST(Job, ReplayProgressOnLargeSpoolFiles) {
  TempDir spool;
  Page page;
  MemorySink sink;
  RecordingLog log;
  Job job{.model_number = 2, .sink = sink, .log = log, .spool_directory = spool.path()};
  auto h = MakeHeader(8, 1, CUPS_CSPACE_CMYK);
  ASSERT_TRUE(StartPage(job, h, page).ok());
  ASSERT_EQ(ftruncate(page.PrinterFiles[1].fd(), 22'000'000), 0);
  ASSERT_TRUE(EndPage(job, page, 1).ok());
  const std::vector<std::string> last = {"INFO: Printing page 1, Yellow, 98%...\n",
                                         "INFO: Printing page 1, Yellow, 100%...\n"};
  EXPECT_EQ(std::vector<std::string>(log.lines.end() - 2, log.lines.end()), last);
}

}  // namespace
}  // namespace zelt_test

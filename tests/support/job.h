// The driver run inside the test process: a raster through the page loop into
// memory, and pages set up for halftoning alone.
#pragma once

#include <cups/raster.h>

#include <memory>
#include <string>
#include <vector>

#include "filter/page_loop.h"
#include "output/sink.h"
#include "page/page.h"

namespace zelt_test {

// Keeps every status line.
class RecordingLog final : public StatusLog {
 public:
  void Line(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

struct InProcessRun {
  MemorySink sink;
  RecordingLog log;
  JobResult result;
  int exit_status = -1;
  std::string Out() const { return {sink.bytes.begin(), sink.bytes.end()}; }
};

// Prints a raster file as the filter would, with spool files in `spool_dir`.
std::unique_ptr<InProcessRun> PrintInProcess(const std::string& raster,
                                             const std::string& spool_dir,
                                             Allocator allocate = AllocateZeroed);

// A page of the given colour space and width with its mode decided, its
// tables bound and its buffers allocated: ready for the halftoning routines.
std::unique_ptr<Page> HalftonePage(cups_cspace_t space, unsigned width, unsigned dpi = 600,
                                   unsigned compression = 1, unsigned media = 0);

}  // namespace zelt_test

// One print job: what its pages share, the status lines it reports, and the
// faults that end it.
//
// Nothing below the page loop ends the process or decides what a fault means
// to the user: every fault comes back as a Status, and the front end (the
// filter's main, or the printer application) reports it once, with the
// "ERROR: " lines of DescribeFault, and ends the job.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class Sink;

// Where a job's status lines go: standard error for the filter, the job log
// for the printer application.  Each call is one whole line, newline included.
class StatusLog {
 public:
  virtual ~StatusLog() = default;
  virtual void Line(std::string_view line) = 0;
};

// A log that drops every line (benchmarks, fuzzing, quiet tests).
class NullLog final : public StatusLog {
 public:
  void Line(std::string_view) override {}
};

// Formats one status line ("INFO: ...\n") and hands it to the log.
void Report(StatusLog& log, const char* format, ...) __attribute__((format(printf, 2, 3)));

enum class Fault {
  kNone,
  kPageRefused,  // a page the printer cannot print; the job ends after its framing
  kSpoolCreate,  // a spool file could not be created
  kSpoolWrite,   // a spool write failed or was short
  kSpoolRead,    // a spool file could not be measured or read back whole
  kNoMemory,     // a page's buffers could not be allocated
  kCanceled,     // the front end canceled the job
};

// The outcome of a step of the job.
struct [[nodiscard]] Status {
  Fault fault = Fault::kNone;
  const char* plane_name = "";  // spool faults: the plane's name
  int error = 0;                // errno of the failing call, 0 when none
  std::string detail;           // spool faults: the file; kPageRefused: why

  bool ok() const { return fault == Fault::kNone; }
};

// The "ERROR: " lines that tell the user about a fault; empty for none and
// for a canceled job.
std::string DescribeFault(const Status& status);

// Zero-filled memory for a page's two blocks; the default is calloc.
using Allocator = void* (*)(std::size_t bytes);
void* AllocateZeroed(std::size_t bytes);

// The most copies of a page the driver prints, the spooler's own default
// limit: a raster can ask for 4294967295.
inline constexpr unsigned kMaxCopies = 9999;

struct Job {
  int model_number = 0;         // above 1: the printer takes the U command at page start
  Sink& sink;                   // the printer stream
  StatusLog& log;               // status lines
  std::string spool_directory;  // where the page's spool files go
  Allocator allocate = AllocateZeroed;
  unsigned max_copies = kMaxCopies;  // more are cut to this, with a "WARNING: " line
  // Asked between lines and pages; true ends the job (kCanceled).
  std::function<bool()> canceled;
};

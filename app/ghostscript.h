// Ghostscript's raster device as the PDF path's renderer: the arguments that
// give a page the header the printer descriptions would give it, and the
// process that writes the raster into a pipe.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "app/print_settings.h"

namespace zelt_app {

// The command line of the classic filter chain's ghostscript for the same
// choices (its gstoraster step, as logged with LogLevel debug), reading
// `document` instead of standard input, plus -dFIXEDMEDIA and -dPDFFitPage:
// a page of the job's media size renders exactly as there, a page of another
// size is fitted to the media instead of printed at its own size (the chain's
// pdftopdf step fits it before ghostscript sees it).
std::vector<std::string> GhostscriptArgs(const PrintSettings& settings, int copies,
                                         const std::string& document);

// One ghostscript run: its raster comes out of output(), its messages go to
// a file.  Killed and reaped when it goes, whatever happened before.
class Ghostscript {
 public:
  Ghostscript() = default;
  ~Ghostscript() { Finish(true); }
  Ghostscript(const Ghostscript&) = delete;
  Ghostscript& operator=(const Ghostscript&) = delete;

  // Starts `args` (args[0] found in PATH) with standard output into a pipe
  // and standard error into `messages`; false (with the reason) on failure.
  bool Start(const std::vector<std::string>& args, const std::string& messages, std::string* error);

  // The read end of the raster pipe.
  int output() const { return read_fd_; }

  // Closes the pipe, ends the process (with SIGTERM first when `stop`) and
  // returns its exit status, -1 when it was killed by a signal or never ran.
  int Finish(bool stop);

 private:
  pid_t pid_ = -1;
  int read_fd_ = -1;
  int status_ = -1;
};

}  // namespace zelt_app

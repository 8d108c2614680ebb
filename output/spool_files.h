// Spool files: one temporary file per plane whose rows are needed again after
// the page has been read, named from the spool directory, the process id and
// the plane letter, and owned by the page.
//
// The one piece of process-wide state that jobs write lives here: a table of
// the spool file names that exist, which the signal handler must reach to
// remove them when the job is cancelled.  Everything else belongs to a job or
// a page (the kernels' instruction-set choice, made once from the processor
// in dither/kernel_targets.cc, is the same for every job).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "output/sink.h"

struct Job;
struct Page;
struct Status;

// One spool file.  It is closed and removed when its owner lets it go, so no
// path through the code can leave one behind.
class SpoolFile {
 public:
  SpoolFile() = default;
  ~SpoolFile() { Remove(); }
  SpoolFile(SpoolFile&& other) noexcept { *this = static_cast<SpoolFile&&>(other); }
  SpoolFile& operator=(SpoolFile&& other) noexcept;
  SpoolFile(const SpoolFile&) = delete;
  SpoolFile& operator=(const SpoolFile&) = delete;

  // Creates the file (read-write, mode 0600), never opening anything that
  // already stands under the name; a stale file of this user's own is removed
  // first.  On failure returns an empty SpoolFile and sets *error.
  static SpoolFile Create(const std::string& name, int* error);

  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  // Appends a command's head and then its data (a row's bytes, or nothing)
  // in one write, resuming after interrupts and short writes; false (with
  // errno) when the file cannot take them all.
  bool Append(Bytes head, Bytes data = {}) const;

  // Closes and removes the file; nothing when there is none.
  void Remove();

 private:
  int fd_ = -1;
  int slot_ = -1;  // entry in the table the signal handler reads
  std::string name_;
};

// The spool directory of a job run by the filter: TMPDIR when it is set, even
// empty, else /var/tmp.
std::string SpoolDirectory();

// The name of a plane's spool file: "<dir>/kvo<pid>.K" on a one-plane page,
// else the plane's letter from "YMC" (three planes) or "CMYK" (four), cut at
// 254 characters.
std::string SpoolName(const std::string& dir, int planes, int plane);

// Creates the page's spool files, plane 0's only when the page has several
// copies, with an "INFO: " line for each.  Fails when a file cannot be made or
// two planes' names fall together (a spool directory so long that the names
// are cut); the files already made stay with the page, which removes them.
Status CreateSpoolFiles(Job& job, Page& page);

// On SIGTERM (a cancelled job), SIGINT, SIGHUP and SIGPIPE (the printer's
// connection gone) every spool file of the process is removed, and the process
// ends as the signal would have ended it.
void InstallCancelHandler();

// A real zelt-printer-app server on loopback with its own state file, spool
// directory, log and free port, driven with its sub-commands and plain IPP.
#pragma once

#include <cups/cups.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"

namespace zelt_test {

using Options = std::vector<std::pair<std::string, std::string>>;

struct JobInfo {
  int state = 0;  // IPP job-state, 0 when unknown
  std::string reasons, message;
};

class AppServer {
 public:
  explicit AppServer(const std::string& dir);  // state, spool and log under dir
  ~AppServer() { Stop(); }

  // Starts the server (again on the same port and state after a Stop) and
  // waits until it answers; false with the reason in `error`.
  bool Start(std::string* error);
  void Stop();  // SIGTERM, as systemd stops it

  int port() const { return port_; }
  std::string Uri(const std::string& printer) const;  // the system's when empty
  const std::string& spool() const { return spool_; }
  std::string Log() const { return ReadFile(dir_ + "/app.log"); }
  std::string Output() const { return ReadFile(dir_ + "/server.out"); }  // sanitizer reports

  bool AddPrinter(const std::string& name, const std::string& driver, const std::string& device,
                  std::string* error) const;
  // Submits with the `submit` sub-command: the job id, or 0.
  int Submit(const std::string& printer, const std::string& file, const Options& options,
             std::string* error) const;
  // One IPP request; `fill` adds what follows printer-uri and the user.
  ipp_t* Request(const std::string& printer, ipp_op_t op,
                 const std::function<void(ipp_t*)>& fill = {}) const;
  // The job once it has reached `until` (by default: ended), or as it is
  // after two minutes.
  JobInfo WaitForJob(const std::string& printer, int id, int until = IPP_JSTATE_CANCELED) const;

 private:
  std::string dir_, spool_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace zelt_test

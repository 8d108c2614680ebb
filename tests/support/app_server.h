// The printer application as the tests run it: a real zelt-printer-app
// server on loopback with its own state file, spool directory, log and free
// port, driven with its own sub-commands and plain IPP requests.
#pragma once

#include <cups/cups.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"

namespace zelt_test {

using Options = std::vector<std::pair<std::string, std::string>>;

struct JobInfo {
  int state = 0;        // IPP job-state, 0 when unknown
  std::string reasons;  // job-state-reasons, comma-separated
  std::string message;  // job-state-message
};

class AppServer {
 public:
  explicit AppServer(const std::string& dir);  // state, spool and log under dir
  ~AppServer();
  AppServer(const AppServer&) = delete;
  AppServer& operator=(const AppServer&) = delete;

  // Starts the server (on the same port and state as before, after a Stop)
  // and waits until it answers; false with the reason in `error`.
  bool Start(std::string* error);
  void Stop();  // SIGTERM, as systemd stops it; PAPPL saves its state

  int port() const { return port_; }
  std::string PrinterUri(const std::string& printer) const;
  const std::string& spool() const { return spool_; }
  std::string Log() const { return ReadFile(dir_ + "/app.log"); }

  // Runs a sub-command of the application against this server.
  RunResult Command(const std::vector<std::string>& args) const;

  // Adds a printer; false with the command's output in `error`.
  bool AddPrinter(const std::string& name, const std::string& driver,
                  const std::string& device_uri, std::string* error) const;
  // Submits a file with the `submit` sub-command; the job id, or 0.
  int Submit(const std::string& printer, const std::string& file, const Options& options,
             std::string* error) const;

  // One IPP request to a printer, `fill` adding what follows the printer-uri
  // and user; the response (the caller deletes it).
  ipp_t* Request(const std::string& printer, ipp_op_t op,
                 const std::function<void(ipp_t*)>& fill = {}) const;
  JobInfo Job(const std::string& printer, int job_id) const;
  // Waits until the job has ended (or `until` state is reached).
  JobInfo WaitForJob(const std::string& printer, int job_id,
                     std::chrono::seconds timeout = std::chrono::seconds(120),
                     int until = IPP_JSTATE_CANCELED) const;

 private:
  std::string dir_, spool_;
  int port_ = 0;
  pid_t pid_ = -1;
};

// A port on 127.0.0.1 that nothing listens on at the moment.
int FreePort();

}  // namespace zelt_test

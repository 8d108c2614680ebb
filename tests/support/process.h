// Runs the built filter as a process and captures what it writes.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zelt_test {

struct RunResult {
  std::string out;                   // stdout bytes
  std::string err;                   // stderr text
  std::vector<std::string> lines;    // stderr split into lines
  int status = -1;                   // exit status, or -1 when signalled
  int signal = 0;                    // terminating signal, or 0

  // Lines that begin with prefix, in order.
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const;
  bool HasLine(const std::string& line) const;
};

struct RunOptions {
  std::vector<std::string> args;             // argv[1..]; defaults to the 5 job args
  std::map<std::string, std::string> env;    // set variables
  std::vector<std::string> unset;            // variables left out
  std::string stdin_path;                    // empty: /dev/null
  // Called with the child's pid before it runs the program (for example to
  // plant files under names that contain the pid).
  std::function<void(int pid)> before_exec;
};

// The five standard job arguments, with the raster file appended when given.
std::vector<std::string> JobArgs(const std::string& file = "",
                                 const std::string& copies = "1");

// Runs program (the filter by default) and waits for it.
RunResult RunFilter(const RunOptions& options, const std::string& program = "");

// A PPD built from the project's driver file: "zeltbas.ppd" (model 1) or
// "zeltpro.ppd" (model 2).
std::string PpdPath(const std::string& name = "zeltpro.ppd");

// A fresh directory under /tmp, removed with its contents at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// Bytes from a hex string such as "1B 2A 74 03 52".
std::string Hex(const std::string& text);

}  // namespace zelt_test

// Runs programs, the built filter above all, and captures what they write.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zelt_test {

struct RunResult {
  std::string out;                 // stdout bytes, unless sent to a file
  std::string err;                 // stderr text
  std::vector<std::string> lines;  // stderr split into lines
  int status = -1;                 // exit status, or -1 when signalled
  int signal = 0;                  // terminating signal, or 0

  // Lines that begin with prefix, in order.
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const;
  bool HasLine(const std::string& line) const;
};

struct RunOptions {
  std::vector<std::string> args;           // the filter's argv[1..]; default: JobArgs()
  std::map<std::string, std::string> env;  // set on top of this process's
  std::vector<std::string> unset;          // left out
  std::string stdin_path;                  // empty: /dev/null
  std::string out_path;                    // stdout to this file instead
  int stdout_fd = -1;                      // or to this descriptor; -2: closed
  // Called with the child's pid before it runs the program (for example to
  // plant files under names that contain the pid).
  std::function<void(int pid)> before_exec;
};

// The five standard job arguments, with the raster file appended when given.
std::vector<std::string> JobArgs(const std::string& file = "", const std::string& copies = "1");

// Runs the built filter and waits for it.
RunResult RunFilter(const RunOptions& options);
// The same on a raster file, with a PPD built from the project's driver file
// and spool files in `spool`.
RunResult RunFilterOn(const std::string& raster, const std::string& spool,
                      const std::string& copies = "1", const std::string& ppd = "zeltpro.ppd");

// Runs argv (argv[0] a path, or a name looked up in PATH, /usr/sbin and
// /sbin) and waits for it; options.args is not used.  A program that is not
// installed gives status 127.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Starts exe without waiting: standard input from stdin_path (or /dev/null),
// output and error into the named files (they may be the same).  The child
// gets SIGTERM if the test process dies, so a crashed test leaves no server
// behind.
pid_t Spawn(const std::string& exe, const std::vector<std::string>& argv, const RunOptions& options,
            const std::string& out, const std::string& err);

// The full path of a program, or "" when it is not installed.
std::string FindTool(const std::string& name);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

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

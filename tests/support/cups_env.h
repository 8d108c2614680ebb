// The real CUPS parts for end-to-end tests: the project installed into a
// scratch root with its own install rules, a CUPS ServerBin and DataDir that
// add the driver to the system's filters and models, cupsfilter run against
// them, and a private cupsd with its own configuration, spool and socket.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"
#include "tools/stream_decoder.h"

namespace zelt_test {

// Decodes a printer stream (or the file holding one); every row's bytes are
// dropped, the counts and digests kept.
zelt::stream::DecodedJob DecodeBytes(const std::string& bytes);
inline zelt::stream::DecodedJob DecodeFile(const std::string& path) {
  return DecodeBytes(ReadFile(path));
}

// The system's CUPS directories, from cups-config.
std::string SystemServerBin();
std::string SystemDataDir();

// Makes `dir` a CUPS ServerBin: every directory of the system's ServerBin
// linked, except filter/, whose entries are linked one by one beside a copy of
// `filter` (mode 0755) named rastertozelt.
void MakeServerBin(const std::string& dir, const std::string& filter);

// Makes `dir` a CUPS DataDir: the system's data linked, with model/ extended
// by model/zelt holding copies of the PPD files in `ppd_dir`.
void MakeDataDir(const std::string& dir, const std::string& ppd_dir);

// Installs the build under test with `cmake --install` into the DESTDIR
// `root`; returns cmake's result.
RunResult InstallInto(const std::string& root);

// One cupsfilter run: the document through the PPD's whole filter chain
// (pdftopdf, ghostscript's raster device, rastertozelt) to the printer stream.
struct FilterJob {
  std::string ppd;
  std::string document;
  std::vector<std::pair<std::string, std::string>> options;  // -o name=value
  int copies = 1;
};

// Runs cupsfilter with a private cups-files.conf naming `serverbin`, writing
// the printer stream to `out_path`.
RunResult RunCupsfilter(const std::string& serverbin, const FilterJob& job,
                        const std::string& out_path);

// A cupsd of its own, run in the foreground from `dir` (which it must be able
// to traverse as the user it runs filters as): ServerRoot, spool, cache, state
// and logs under `dir`, listening only on the local socket `dir`/cups.sock,
// with file: device URIs allowed and any request accepted from that socket.
class Cupsd {
 public:
  Cupsd(const std::string& dir, const std::string& serverbin, const std::string& datadir);
  ~Cupsd();  // stops the server
  Cupsd(const Cupsd&) = delete;
  Cupsd& operator=(const Cupsd&) = delete;

  // Starts cupsd and waits until it answers; false (with the reason in
  // `error`) when it does not.
  bool Start(std::string* error);
  void Stop();

  // Runs a CUPS client program (lpadmin, lp, lpinfo, cancel...) against this
  // server.
  RunResult Client(const std::vector<std::string>& argv) const;

  // Sends a document with lp; returns the job id, or 0 (with lp's output in
  // `error`).
  int Submit(const std::string& queue, const std::string& document,
             const std::vector<std::string>& lp_options, std::string* error) const;

  // Waits until the job has ended (canceled, aborted or completed) and
  // returns its state, or 0 on timeout.
  int WaitForJob(int job_id, std::chrono::seconds timeout) const;

  const std::string& socket() const { return socket_; }
  std::string TempDir() const { return dir_ + "/spool/tmp"; }  // the filters' TMPDIR
  std::string ErrorLog() const { return ReadFile(dir_ + "/log/error_log"); }

 private:
  std::string dir_, serverbin_, datadir_, socket_;
  pid_t pid_ = -1;
};

}  // namespace zelt_test

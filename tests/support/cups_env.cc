#include "tests/support/cups_env.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zelt_test {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// Makes `dir` hold a link to every entry of `from` except those in `skip`.
void LinkEntries(const std::string& from, const std::string& dir,
                 const std::vector<std::string>& skip = {}) {
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms(0755));
  for (const auto& entry : fs::directory_iterator(from)) {
    const std::string name = entry.path().filename().string();
    if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
    fs::create_symlink(entry.path(), fs::path(dir) / name);
  }
}

void CopyWithMode(const std::string& from, const std::string& to, fs::perms mode) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, mode);
}

}  // namespace

zelt::stream::DecodedJob DecodeBytes(const std::string& bytes) {
  return zelt::stream::DecodeStream(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, {}, false);
}

std::string SystemServerBin() {
  static const std::string dir = FirstLine(RunProgram({"cups-config", "--serverbin"}).out);
  return dir;
}

std::string SystemDataDir() {
  static const std::string dir = FirstLine(RunProgram({"cups-config", "--datadir"}).out);
  return dir;
}

void MakeServerBin(const std::string& dir, const std::string& filter) {
  LinkEntries(SystemServerBin(), dir, {"filter"});
  LinkEntries(SystemServerBin() + "/filter", dir + "/filter", {"rastertozelt"});
  // A copy, not a link: cupsd runs filters as its own user and checks that
  // they belong to root and are not writable by others.
  CopyWithMode(filter, dir + "/filter/rastertozelt", fs::perms(0755));
}

void MakeDataDir(const std::string& dir, const std::string& ppd_dir) {
  LinkEntries(SystemDataDir(), dir, {"model"});
  fs::create_directories(dir + "/model/zelt");
  fs::permissions(dir + "/model", fs::perms(0755));
  fs::permissions(dir + "/model/zelt", fs::perms(0755));
  // An installed copy of the driver's models gives way to the ones under test.
  if (fs::exists(SystemDataDir() + "/model"))
    LinkEntries(SystemDataDir() + "/model", dir + "/model", {"zelt"});
  for (const auto& entry : fs::directory_iterator(ppd_dir))
    if (entry.path().extension() == ".ppd")
      CopyWithMode(entry.path(), dir + "/model/zelt/" + entry.path().filename().string(),
                   fs::perms(0644));
}

RunResult InstallInto(const std::string& root) {
  // The cmake that configured the build, as its cache records it.
  const std::string key = "CMAKE_COMMAND:INTERNAL=";
  std::istringstream cache(ReadFile(std::string(ZELT_BUILD_DIR) + "/CMakeCache.txt"));
  std::string cmake = "cmake";
  for (std::string line; std::getline(cache, line);)
    if (line.starts_with(key)) cmake = line.substr(key.size());
  return RunProgram({cmake, "--install", ZELT_BUILD_DIR}, {.env = {{"DESTDIR", root}}});
}

RunResult RunCupsfilter(const std::string& serverbin, const FilterJob& job,
                        const std::string& out_path) {
  // cupsfilter takes its ServerBin from a cups-files.conf; -e with the
  // printer/ destination type runs the PPD's own filter at the end.
  const std::string conf = out_path + ".cups-files.conf";
  WriteFile(conf, "ServerBin " + serverbin + "\n");
  std::vector<std::string> argv = {
      "cupsfilter", "-c", conf,           "-p", job.ppd,
      "-e",         "-m", "printer/zelt", "-n", std::to_string(job.copies)};
  for (const auto& [name, value] : job.options) {
    argv.push_back("-o");
    argv.push_back(name + "=" + value);
  }
  argv.push_back(job.document);
  return RunProgram(argv, {.out_path = out_path});
}

// --- Cupsd ---------------------------------------------------------------

Cupsd::Cupsd(const std::string& dir, const std::string& serverbin, const std::string& datadir)
    : dir_(dir), serverbin_(serverbin), datadir_(datadir), socket_(dir + "/cups.sock") {}

Cupsd::~Cupsd() { Stop(); }

bool Cupsd::Start(std::string* error) {
  for (const char* sub : {"etc", "spool", "cache", "state", "log"})
    fs::create_directories(dir_ + "/" + sub);
  const std::string etc = dir_ + "/etc";
  // Every path cupsd would write to lies under dir_, the printcap included.
  std::string files = "ServerRoot " + etc + "\nServerBin " + serverbin_ + "\nDataDir " + datadir_ +
                      "\nPrintcap " + dir_ + "/printcap\nFileDevice Yes\n";
  for (const auto& [key, path] : {std::pair{"RequestRoot", "spool"},
                                  {"CacheDir", "cache"},
                                  {"StateDir", "state"},
                                  {"AccessLog", "log/access_log"},
                                  {"ErrorLog", "log/error_log"},
                                  {"PageLog", "log/page_log"}})
    files += std::string(key) + " " + dir_ + "/" + path + "\n";
  WriteFile(etc + "/cups-files.conf", files);
  WriteFile(etc + "/cupsd.conf",
            "LogLevel debug\nMaxLogSize 0\nListen " + socket_ +
                "\nBrowsing No\nWebInterface No\nDefaultShared No\nErrorPolicy abort-job\n"
                "PassEnv ASAN_OPTIONS UBSAN_OPTIONS\n"
                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");

  const std::string cupsd = FindTool("cupsd");
  if (cupsd.empty()) {
    *error = "cupsd is not installed";
    return false;
  }
  const std::string log = dir_ + "/log/cupsd.out";
  pid_ = Spawn(cupsd, {"cupsd", "-f", "-c", etc + "/cupsd.conf", "-s", etc + "/cups-files.conf"},
               {}, log, log);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    int wstatus = 0;
    if (waitpid(pid_, &wstatus, WNOHANG) == pid_) {
      pid_ = -1;
      *error = "cupsd ended at start:\n" + ReadFile(dir_ + "/log/cupsd.out") +
               ReadFile(dir_ + "/log/error_log");
      return false;
    }
    if (access(socket_.c_str(), F_OK) == 0 && Client({"lpstat", "-r"}).status == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  *error = "cupsd did not answer on " + socket_ + ":\n" + ReadFile(dir_ + "/log/error_log");
  return false;
}

void Cupsd::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int wstatus = 0;
  for (int i = 0; i < 200 && waitpid(pid_, &wstatus, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (waitpid(pid_, &wstatus, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &wstatus, 0);
  }
  pid_ = -1;
}

RunResult Cupsd::Client(const std::vector<std::string>& argv) const {
  // HOME keeps the user's own lpoptions out of the jobs.
  return RunProgram(argv, {.env = {{"CUPS_SERVER", socket_}, {"HOME", dir_}}});
}

int Cupsd::Submit(const std::string& queue, const std::string& document,
                  const std::vector<std::string>& lp_options, std::string* error) const {
  std::vector<std::string> argv = {"lp", "-d", queue};
  argv.insert(argv.end(), lp_options.begin(), lp_options.end());
  argv.push_back(document);
  const RunResult r = Client(argv);
  static const std::regex kRequest("request id is [^ ]+-([0-9]+) ");
  std::smatch m;
  if (r.status == 0 && std::regex_search(r.out, m, kRequest)) return std::stoi(m[1].str());
  *error = r.out + r.err;
  return 0;
}

int Cupsd::WaitForJob(int job_id, std::chrono::seconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (int state = 0; std::chrono::steady_clock::now() < deadline;) {
    http_t* http = httpConnect2(socket_.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                                5000, nullptr);
    cups_job_t* jobs = nullptr;
    const int count = http ? cupsGetJobs2(http, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL) : 0;
    for (int i = 0; i < count; ++i)
      if (jobs[i].id == job_id) state = jobs[i].state;
    cupsFreeJobs(count, jobs);
    httpClose(http);
    if (state >= IPP_JSTATE_CANCELED) return state;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 0;
}

}  // namespace zelt_test

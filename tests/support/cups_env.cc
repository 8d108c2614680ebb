#include "tests/support/cups_env.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
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

extern char** environ;

namespace zelt_test {

namespace fs = std::filesystem;

namespace {

// The environment of this process with `extra` set on top.
std::vector<std::string> Environment(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [k, v] : extra) env[k] = v;
  std::vector<std::string> list;
  for (const auto& [k, v] : env) list.push_back(k + "=" + v);
  return list;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

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

// Starts `exe` with standard input from /dev/null and standard output and
// error written to the named files (which may be the same file).  The child
// gets SIGTERM when the test process dies, so a crashed test leaves no
// cupsd behind.
pid_t Spawn(const std::string& exe, const std::vector<std::string>& argv,
            const std::vector<std::string>& env, const std::string& out, const std::string& err) {
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err_fd =
      err == out ? out_fd : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out_fd < 0 || err_fd < 0) throw std::runtime_error("cannot create " + out + " or " + err);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    execve(exe.c_str(), args.data(), envp.data());
    _exit(127);
  }
  close(out_fd);
  if (err_fd != out_fd) close(err_fd);
  if (pid < 0) throw std::runtime_error("cannot start " + exe);
  return pid;
}

}  // namespace

std::string FindTool(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  dirs += ":/usr/sbin:/sbin";
  std::istringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');) {
    const std::string path = dir + "/" + name;
    if (!dir.empty() && access(path.c_str(), X_OK) == 0) return path;
  }
  return "";
}

ToolResult RunTool(const std::vector<std::string>& argv,
                   const std::map<std::string, std::string>& env,
                   const std::string& out_path) {
  ToolResult result;
  const std::string exe = FindTool(argv.at(0));
  if (exe.empty()) {
    result.status = 127;
    result.err = argv[0] + ": not installed";
    return result;
  }
  // Both streams go to files, so nothing blocks on a full pipe.
  char out_tmp[] = "/tmp/zelt-tool-out-XXXXXX";
  char err_tmp[] = "/tmp/zelt-tool-err-XXXXXX";
  close(mkstemp(out_tmp));
  close(mkstemp(err_tmp));
  const pid_t pid = Spawn(exe, argv, Environment(env), out_path.empty() ? out_tmp : out_path,
                          err_tmp);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
  if (out_path.empty()) result.out = ReadFile(out_tmp);
  result.err = ReadFile(err_tmp);
  unlink(out_tmp);
  unlink(err_tmp);
  return result;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

zelt::stream::DecodedJob DecodeFile(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return zelt::stream::DecodeStream(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, {}, false);
}

std::string SystemServerBin() {
  static const std::string dir = FirstLine(RunTool({"cups-config", "--serverbin"}).out);
  return dir;
}

std::string SystemDataDir() {
  static const std::string dir = FirstLine(RunTool({"cups-config", "--datadir"}).out);
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

ToolResult InstallInto(const std::string& root) {
  // The cmake that configured the build, as its cache records it.
  const std::string key = "CMAKE_COMMAND:INTERNAL=";
  std::istringstream cache(ReadFile(std::string(ZELT_BUILD_DIR) + "/CMakeCache.txt"));
  std::string cmake = "cmake";
  for (std::string line; std::getline(cache, line);)
    if (line.starts_with(key)) cmake = line.substr(key.size());
  return RunTool({cmake, "--install", ZELT_BUILD_DIR}, {{"DESTDIR", root}});
}

ToolResult RunCupsfilter(const std::string& serverbin, const FilterJob& job,
                         const std::string& out_path) {
  // cupsfilter takes its ServerBin from a cups-files.conf; -e with the
  // printer/ destination type runs the PPD's own filter at the end.
  const std::string conf = out_path + ".cups-files.conf";
  WriteFile(conf, "ServerBin " + serverbin + "\n");
  std::vector<std::string> argv = {"cupsfilter", "-c", conf, "-p", job.ppd, "-e",
                                   "-m", "printer/zelt", "-n", std::to_string(job.copies)};
  for (const auto& [name, value] : job.options) {
    argv.push_back("-o");
    argv.push_back(name + "=" + value);
  }
  argv.push_back(job.document);
  return RunTool(argv, {}, out_path);
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
  WriteFile(etc + "/cups-files.conf",
            "ServerRoot " + etc + "\n" +
            "ServerBin " + serverbin_ + "\n" +
            "DataDir " + datadir_ + "\n" +
            "RequestRoot " + dir_ + "/spool\n" +
            "CacheDir " + dir_ + "/cache\n" +
            "StateDir " + dir_ + "/state\n" +
            "AccessLog " + dir_ + "/log/access_log\n" +
            "ErrorLog " + dir_ + "/log/error_log\n" +
            "PageLog " + dir_ + "/log/page_log\n" +
            "Printcap " + dir_ + "/printcap\n" +
            "FileDevice Yes\n");
  WriteFile(etc + "/cupsd.conf",
            "LogLevel debug\n"
            "MaxLogSize 0\n"
            "Listen " + socket_ + "\n" +
            "Browsing No\n"
            "WebInterface No\n"
            "DefaultShared No\n"
            "ErrorPolicy abort-job\n"
            "PassEnv ASAN_OPTIONS UBSAN_OPTIONS\n"
            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");

  const std::string cupsd = FindTool("cupsd");
  if (cupsd.empty()) {
    *error = "cupsd is not installed";
    return false;
  }
  const std::string log = dir_ + "/log/cupsd.out";
  pid_ = Spawn(cupsd,
               {"cupsd", "-f", "-c", etc + "/cupsd.conf", "-s", etc + "/cups-files.conf"},
               Environment({}), log, log);

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

ToolResult Cupsd::Client(const std::vector<std::string>& argv) const {
  // HOME keeps the user's own lpoptions out of the jobs.
  return RunTool(argv, {{"CUPS_SERVER", socket_}, {"HOME", dir_}});
}

int Cupsd::Submit(const std::string& queue, const std::string& document,
                  const std::vector<std::string>& lp_options, std::string* error) const {
  std::vector<std::string> argv = {"lp", "-d", queue};
  argv.insert(argv.end(), lp_options.begin(), lp_options.end());
  argv.push_back(document);
  const ToolResult r = Client(argv);
  static const std::regex kRequest("request id is [^ ]+-([0-9]+) ");
  std::smatch m;
  if (r.status == 0 && std::regex_search(r.out, m, kRequest)) return std::stoi(m[1].str());
  *error = r.out + r.err;
  return 0;
}

int Cupsd::JobState(int job_id) const {
  http_t* http = httpConnect2(socket_.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                              5000, nullptr);
  if (!http) return 0;
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(http, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  int state = 0;
  for (int i = 0; i < count; ++i)
    if (jobs[i].id == job_id) state = jobs[i].state;
  cupsFreeJobs(count, jobs);
  httpClose(http);
  return state;
}

int Cupsd::WaitForJob(int job_id, std::chrono::seconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const int state = JobState(job_id);
    if (state >= IPP_JSTATE_CANCELED) return state;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 0;
}

}  // namespace zelt_test

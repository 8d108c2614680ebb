#include "tests/support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace zelt_test {
namespace {

// This process's environment, less what the options unset, plus what they set.
std::vector<std::string> Environment(const RunOptions& options) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& name : options.unset) env.erase(name);
  for (const auto& [k, v] : options.env) env[k] = v;
  std::vector<std::string> list;
  for (const auto& [k, v] : env) list.push_back(k + "=" + v);
  return list;
}

int OpenOutput(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  return fd;
}

}  // namespace

std::vector<std::string> RunResult::LinesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
               [&](const std::string& l) { return l.starts_with(prefix); });
  return found;
}

bool RunResult::HasLine(const std::string& line) const {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> JobArgs(const std::string& file, const std::string& copies) {
  std::vector<std::string> args = {"42", "tester", "test job", copies, ""};
  if (!file.empty()) args.push_back(file);
  return args;
}

std::string PpdPath(const std::string& name) { return std::string(ZELT_PPD_DIR) + "/" + name; }

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

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

pid_t Spawn(const std::string& exe, const std::vector<std::string>& argv, const RunOptions& options,
            const std::string& out, const std::string& err) {
  std::vector<std::string> env = Environment(options);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int out_fd = OpenOutput(out);
  const int err_fd = err == out ? out_fd : OpenOutput(err);
  int go[2];
  if (pipe(go) != 0) throw std::runtime_error("pipe");

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    // Wait until the parent has done its preparation.
    close(go[1]);
    char byte;
    while (read(go[0], &byte, 1) < 0) {
    }
    close(go[0]);
    const int in =
        open(options.stdin_path.empty() ? "/dev/null" : options.stdin_path.c_str(), O_RDONLY);
    dup2(in, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (options.stdout_fd >= 0) dup2(options.stdout_fd, 1);
    if (options.stdout_fd == -2) close(1);
    execve(exe.c_str(), args.data(), envp.data());
    _exit(127);
  }
  close(out_fd);
  if (err_fd != out_fd) close(err_fd);
  close(go[0]);
  if (pid > 0 && options.before_exec) options.before_exec(pid);
  close(go[1]);
  if (pid < 0) throw std::runtime_error("cannot start " + exe);
  return pid;
}

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult result;
  const std::string exe = FindTool(argv.at(0));
  if (exe.empty()) {
    result.status = 127;
    result.err = argv[0] + ": not installed";
    return result;
  }
  // Both streams go to files, so nothing blocks on a full pipe.
  TempDir capture;
  const std::string out = options.out_path.empty() ? capture.File("out") : options.out_path;
  const pid_t pid = Spawn(exe, argv, options, out, capture.File("err"));
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
  if (options.out_path.empty()) result.out = ReadFile(out);
  result.err = ReadFile(capture.File("err"));
  std::istringstream lines(result.err);
  for (std::string line; std::getline(lines, line);) result.lines.push_back(line);
  return result;
}

RunResult RunFilter(const RunOptions& options) {
  std::vector<std::string> argv = {ZELT_FILTER_PATH};
  const auto args = options.args.empty() ? JobArgs() : options.args;
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, options);
}

RunResult RunFilterOn(const std::string& raster, const std::string& spool,
                      const std::string& copies, const std::string& ppd) {
  return RunFilter(
      {.args = JobArgs(raster, copies), .env = {{"PPD", PpdPath(ppd)}, {"TMPDIR", spool}}});
}

TempDir::TempDir() {
  char tmpl[] = "/tmp/zelt-test-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_))
    names.push_back(e.path().filename().string());
  return names;
}

std::string Hex(const std::string& text) {
  std::string bytes;
  std::istringstream in(text);
  for (std::string h; in >> h;) bytes.push_back(static_cast<char>(std::stoi(h, nullptr, 16)));
  return bytes;
}

}  // namespace zelt_test

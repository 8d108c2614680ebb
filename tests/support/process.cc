#include "tests/support/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace zelt_test {

std::vector<std::string> RunResult::LinesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& l : lines)
    if (l.rfind(prefix, 0) == 0) found.push_back(l);
  return found;
}

bool RunResult::HasLine(const std::string& line) const {
  for (const auto& l : lines)
    if (l == line) return true;
  return false;
}

std::vector<std::string> JobArgs(const std::string& file, const std::string& copies) {
  std::vector<std::string> args = {"42", "tester", "test job", copies, ""};
  if (!file.empty()) args.push_back(file);
  return args;
}

std::string PpdPath(const std::string& name) { return std::string(ZELT_PPD_DIR) + "/" + name; }

RunResult RunFilter(const RunOptions& options, const std::string& program) {
  const std::string exe = program.empty() ? ZELT_FILTER_PATH : program;
  std::vector<std::string> argv_s = {"rastertozelt"};
  const auto args = options.args.empty() ? JobArgs() : options.args;
  argv_s.insert(argv_s.end(), args.begin(), args.end());

  // The environment: ours, minus what the test unsets, plus what it sets.
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& name : options.unset) env.erase(name);
  for (const auto& [k, v] : options.env) env[k] = v;
  std::vector<std::string> env_s;
  for (const auto& [k, v] : env) env_s.push_back(k + "=" + v);

  int out_pipe[2], err_pipe[2], go_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0 || pipe(go_pipe) != 0)
    throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    // Wait until the parent has done its preparation.
    close(go_pipe[1]);
    char go;
    while (read(go_pipe[0], &go, 1) < 0) {
    }
    close(go_pipe[0]);
    const int in = open(options.stdin_path.empty() ? "/dev/null" : options.stdin_path.c_str(),
                        O_RDONLY);
    dup2(in, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    std::vector<char*> argv, envp;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env_s) envp.push_back(e.data());
    envp.push_back(nullptr);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  close(go_pipe[0]);
  if (options.before_exec) options.before_exec(pid);
  close(go_pipe[1]);

  RunResult result;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  char buf[65536];
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);

  std::istringstream lines(result.err);
  for (std::string line; std::getline(lines, line);) result.lines.push_back(line);
  return result;
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

#include "tests/support/app_server.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace zelt_test {

namespace {

// The application's own sub-commands run with PAPPL's known leaks suppressed
// (a sanitizer build would otherwise fail them at exit).
const RunOptions kAppEnvironment{
    .env = {{"LSAN_OPTIONS", "suppressions=" ZELT_SOURCE_DIR "/tests/support/lsan.supp"}}};

// Connects to 127.0.0.1:`port`, or with port 0 finds a free one; the port.
int Probe(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{.sin_family = AF_INET, .sin_port = htons(static_cast<std::uint16_t>(port))};
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  const bool ok = port ? connect(fd, reinterpret_cast<sockaddr*>(&a), len) == 0
                       : bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
                             getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  close(fd);
  return ok ? ntohs(a.sin_port) : 0;
}

}  // namespace

AppServer::AppServer(const std::string& dir) : dir_(dir), spool_(dir + "/spool") {
  std::filesystem::create_directories(spool_);
}

bool AppServer::Start(std::string* error) {
  if (!port_) port_ = Probe(0);
  const std::string out = dir_ + "/server.out";
  pid_ = Spawn(ZELT_APP_PATH,
               {"zelt-printer-app", "server", "-o", "server-port=" + std::to_string(port_), "-o",
                "listen-hostname=localhost", "-o", "spool-directory=" + spool_, "-o",
                "state-file=" + dir_ + "/app.state", "-o", "log-file=" + dir_ + "/app.log", "-o",
                "log-level=info"},
               kAppEnvironment, out, out);
  for (int i = 0; i < 600; ++i) {
    int wstatus;
    if (waitpid(pid_, &wstatus, WNOHANG) == pid_) {
      pid_ = -1;
      *error = "the server ended at start:\n" + ReadFile(out) + Log();
      return false;
    }
    if (Probe(port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *error = "the server did not answer on port " + std::to_string(port_);
  return false;
}

void AppServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int wstatus;
  for (int i = 0; i < 200 && waitpid(pid_, &wstatus, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (kill(pid_, SIGKILL) == 0) waitpid(pid_, &wstatus, 0);
  pid_ = -1;
}

std::string AppServer::Uri(const std::string& printer) const {
  return "ipp://localhost:" + std::to_string(port_) +
         (printer.empty() ? "/ipp/system" : "/ipp/print/" + printer);
}

bool AppServer::AddPrinter(const std::string& name, const std::string& driver,
                           const std::string& device, std::string* error) const {
  const RunResult r =
      RunProgram({ZELT_APP_PATH, "add", "-u", Uri(""), "-d", name, "-m", driver, "-v", device},
                 kAppEnvironment);
  *error = r.out + r.err;
  return r.status == 0;
}

int AppServer::Submit(const std::string& printer, const std::string& file, const Options& options,
                      std::string* error) const {
  std::vector<std::string> argv = {ZELT_APP_PATH, "submit", "-u", Uri(printer)};
  for (const auto& [name, value] : options) argv.insert(argv.end(), {"-o", name + "=" + value});
  argv.push_back(file);
  const RunResult r = RunProgram(argv, kAppEnvironment);
  *error = r.out + r.err;
  return r.status == 0 ? std::atoi(r.out.c_str()) : 0;
}

ipp_t* AppServer::Request(const std::string& printer, ipp_op_t op,
                          const std::function<void(ipp_t*)>& fill) const {
  http_t* http =
      httpConnect2("localhost", port_, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr);
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               Uri(printer).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "root");
  if (fill) fill(request);
  ipp_t* response = cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str());
  httpClose(http);
  return response;
}

JobInfo AppServer::WaitForJob(const std::string& printer, int id, int until) const {
  JobInfo info;
  for (int i = 0; i < 1200 && info.state < until; ++i) {
    if (i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ipp_t* response = Request(printer, IPP_OP_GET_JOB_ATTRIBUTES, [id](ipp_t* r) {
      ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
    });
    char reasons[1024] = "";
    ippAttributeString(ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD), reasons,
                       sizeof reasons);
    const char* message =
        ippGetString(ippFindAttribute(response, "job-state-message", IPP_TAG_TEXT), 0, nullptr);
    info = {ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0), reasons,
            message ? message : ""};
    ippDelete(response);
  }
  return info;
}

}  // namespace zelt_test

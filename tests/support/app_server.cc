#include "tests/support/app_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace zelt_test {

namespace {

bool Answers(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

AppServer::AppServer(const std::string& dir) : dir_(dir), spool_(dir + "/spool") {
  std::filesystem::create_directories(spool_);
}

AppServer::~AppServer() { Stop(); }

bool AppServer::Start(std::string* error) {
  if (!port_) port_ = FreePort();
  const std::string out = dir_ + "/server.out";
  pid_ = Spawn(ZELT_APP_PATH,
               {"zelt-printer-app", "server", "-o", "server-port=" + std::to_string(port_), "-o",
                "listen-hostname=localhost", "-o", "spool-directory=" + spool_, "-o",
                "state-file=" + dir_ + "/app.state", "-o", "log-file=" + dir_ + "/app.log", "-o",
                "log-level=debug"},
               {}, out, out);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    int wstatus = 0;
    if (waitpid(pid_, &wstatus, WNOHANG) == pid_) {
      pid_ = -1;
      *error = "the server ended at start:\n" + ReadFile(out) + Log();
      return false;
    }
    if (Answers(port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *error = "the server did not answer on port " + std::to_string(port_);
  return false;
}

void AppServer::Stop() {
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

std::string AppServer::PrinterUri(const std::string& printer) const {
  return "ipp://localhost:" + std::to_string(port_) +
         (printer.empty() ? "/ipp/system" : "/ipp/print/" + printer);
}

RunResult AppServer::Command(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {ZELT_APP_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

bool AppServer::AddPrinter(const std::string& name, const std::string& driver,
                           const std::string& device_uri, std::string* error) const {
  const RunResult r =
      Command({"add", "-u", PrinterUri(""), "-d", name, "-m", driver, "-v", device_uri});
  if (r.status != 0) *error = r.out + r.err;
  return r.status == 0;
}

int AppServer::Submit(const std::string& printer, const std::string& file, const Options& options,
                      std::string* error) const {
  std::vector<std::string> args = {"submit", "-u", PrinterUri(printer)};
  for (const auto& [name, value] : options) args.insert(args.end(), {"-o", name + "=" + value});
  args.push_back(file);
  const RunResult r = Command(args);
  const int id = r.status == 0 ? std::atoi(r.out.c_str()) : 0;
  if (!id) *error = r.out + r.err;
  return id;
}

ipp_t* AppServer::Request(const std::string& printer, ipp_op_t op,
                          const std::function<void(ipp_t*)>& fill) const {
  http_t* http = httpConnect2("localhost", port_, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1,
                              30000, nullptr);
  if (!http) return nullptr;
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterUri(printer).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "root");
  if (fill) fill(request);
  ipp_t* response = cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str());
  httpClose(http);
  return response;
}

JobInfo AppServer::Job(const std::string& printer, int job_id) const {
  ipp_t* response = Request(printer, IPP_OP_GET_JOB_ATTRIBUTES, [job_id](ipp_t* r) {
    ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job_id);
  });
  JobInfo info;
  if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
    info.state = ippGetInteger(a, 0);
  if (ipp_attribute_t* a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
    char text[1024];
    ippAttributeString(a, text, sizeof text);
    info.reasons = text;
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "job-state-message", IPP_TAG_TEXT))
    info.message = ippGetString(a, 0, nullptr);
  ippDelete(response);
  return info;
}

JobInfo AppServer::WaitForJob(const std::string& printer, int job_id,
                              std::chrono::seconds timeout, int until) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  JobInfo info;
  while (std::chrono::steady_clock::now() < deadline) {
    info = Job(printer, job_id);
    if (info.state >= until) return info;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return info;
}

}  // namespace zelt_test

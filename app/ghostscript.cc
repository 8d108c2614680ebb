#include "app/ghostscript.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace zelt_app {

std::vector<std::string> GhostscriptArgs(const PrintSettings& s, int copies,
                                         const std::string& document) {
  const std::string res = std::to_string(s.resolution);
  std::vector<std::string> args = {
      "gs",
      "-dQUIET",
      "-dSAFER",
      "-dNOPAUSE",
      "-dBATCH",
      "-dNOINTERPOLATE",
      "-dNOMEDIAATTRS",
      "-dShowAcroForm",
      "-sstdout=%stderr",
      "-sOutputFile=%stdout",
      "-sDEVICE=cups",
      std::string("-sMediaType=") + s.type->ppd,
      std::string("-sOutputType=") + (s.glossy ? "Glossy" : "Standard"),
      "-r" + res + "x" + res};
  // The chain passes a field only when it is not 0 (and copies above 1).
  if (copies > 1) args.push_back("-dNumCopies=" + std::to_string(copies));
  args.push_back("-dDEVICEWIDTHPOINTS=" + std::to_string(s.size->width));
  args.push_back("-dDEVICEHEIGHTPOINTS=" + std::to_string(s.size->length));
  if (s.type->number) args.push_back("-dcupsMediaType=" + std::to_string(s.type->number));
  args.push_back("-dcupsBitsPerColor=8");
  args.push_back("-dcupsColorOrder=1");
  args.push_back("-dcupsColorSpace=" + std::to_string(s.ink->color_space));
  if (s.ink->compression) args.push_back("-dcupsCompression=" + std::to_string(s.ink->compression));
  args.push_back(std::string("-scupsPageSizeName=") + s.size->ppd);
  args.push_back("-dFIXEDMEDIA");
  args.push_back("-dPDFFitPage");
  args.push_back("-I/usr/share/cups/fonts");
  char margins[160];
  std::snprintf(margins, sizeof margins, "<</.HWMargins[%f %f %f %f] /Margins[0 0]>>setpagedevice",
                double{kMarginPoints}, double{kMarginPoints}, double{kMarginPoints},
                double{kMarginPoints});
  args.insert(args.end(), {"-c", margins, "-f", document});
  return args;
}

bool Ghostscript::Start(const std::vector<std::string>& args, const std::string& messages,
                        std::string* error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("Unable to create a pipe for ghostscript: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    pid_ = -1;
    *error = std::string("Unable to run ghostscript: ") + std::strerror(rc);
    return false;
  }
  read_fd_ = fds[0];
  return true;
}

int Ghostscript::Finish(bool stop) {
  if (read_fd_ >= 0) {
    close(read_fd_);
    read_fd_ = -1;
  }
  if (pid_ > 0) {
    if (stop) kill(pid_, SIGTERM);
    int wstatus = 0;
    while (waitpid(pid_, &wstatus, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    pid_ = -1;
  }
  return status_;
}

}  // namespace zelt_app

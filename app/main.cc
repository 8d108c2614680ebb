// zelt-printer-app: the printer application.  It presents each Zelt printer
// as a driverless IPP Everywhere printer and prints its jobs with the same
// page loop as the CUPS filter.
//
//   zelt-printer-app server [-o NAME=VALUE ...]    run the server
//   zelt-printer-app add -d NAME -m zelt-pro -v DEVICE-URI
//   zelt-printer-app submit -d NAME [-o NAME=VALUE ...] FILE
//
// and PAPPL's other sub-commands; see zelt-printer-app(8).

#include <pappl/pappl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_context.h"
#include "app/drivers.h"
#include "app/ink_bands.h"
#include "app/print_job.h"

namespace {

using zelt_app::AppContext;

constexpr const char* kName = "zelt-printer-app";

std::string Option(const char* name, int num_options, cups_option_t* options,
                   const std::string& fallback) {
  const char* v = cupsGetOption(name, num_options, options);
  return v ? v : fallback;
}

pappl_loglevel_t LogLevel(const std::string& name) {
  if (name == "debug") return PAPPL_LOGLEVEL_DEBUG;
  if (name == "warn") return PAPPL_LOGLEVEL_WARN;
  if (name == "error") return PAPPL_LOGLEVEL_ERROR;
  if (name == "fatal") return PAPPL_LOGLEVEL_FATAL;
  return PAPPL_LOGLEVEL_INFO;
}

bool SaveState(pappl_system_t* system, void* data) {
  return papplSystemSaveState(system, static_cast<AppContext*>(data)->state_file.c_str());
}

// Makes the system for the `server` sub-command (and the ones that only list
// drivers).  Every path comes from an option or a default of our own: left to
// PAPPL, a server run as root keeps its state in /var/lib and its spool in
// /var/spool whatever the caller wants, and tests need their own.
pappl_system_t* MakeSystem(int num_options, cups_option_t* options, void* data) {
  auto* context = static_cast<AppContext*>(data);
  const bool root = getuid() == 0;
  const char* home = std::getenv("HOME");
  const std::string user_dir =
      std::string(papplGetTempDir()) + "/" + kName + std::to_string(getuid());
  context->spool_directory = Option("spool-directory", num_options, options,
                                    root ? std::string("/var/spool/") + kName : user_dir + ".d");
  context->state_file = Option(
      "state-file", num_options, options,
      root ? std::string("/var/lib/") + kName + ".state"
           : (home ? std::string(home) + "/.config/" + kName + ".state" : user_dir + ".state"));
  context->profile_directory =
      Option("profile-directory", num_options, options, zelt_app::FindProfileDirectory());
  const std::string log_file = Option("log-file", num_options, options, "-");
  const std::string log_level = Option("log-level", num_options, options, "info");
  const int port = std::atoi(Option("server-port", num_options, options, "8000").c_str());
  const char* listen = cupsGetOption("listen-hostname", num_options, options);

  pappl_system_t* system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG |
          PAPPL_SOPTIONS_NO_TLS,
      "Zelt Printer Application", port, "_print,_universal", context->spool_directory.c_str(),
      log_file.c_str(), LogLevel(log_level), nullptr, false);
  if (!system) return nullptr;
  if (!papplSystemAddListeners(system, listen)) {
    std::fprintf(stderr, "%s: Unable to listen on port %d.\n", kName, port);
    papplSystemDelete(system);
    return nullptr;
  }
  if (const char* host = cupsGetOption("server-hostname", num_options, options))
    papplSystemSetHostName(system, host);

  papplSystemSetPrinterDrivers(system, static_cast<int>(context->drivers.size()),
                               context->drivers.data(), zelt_app::AutoAddCallback, nullptr,
                               zelt_app::DriverCallback, context);
  papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", zelt_app::PrintPdf,
                           context);
  papplSystemAddStringsData(system, "/zelt-en.strings", "en", zelt_app::EnglishStrings());

  papplSystemSetSaveCallback(system, SaveState, context);
  papplSystemLoadState(system, context->state_file.c_str());
  return system;
}

void Usage(void*) {
  std::puts("Options (server):");
  std::puts("  -o server-port=PORT          listen on PORT (default 8000)");
  std::puts("  -o listen-hostname=HOST      listen on HOST only (default: every address)");
  std::puts(
      "  -o spool-directory=DIR       jobs and their spool files (default "
      "/var/spool/zelt-printer-app)");
  std::puts(
      "  -o state-file=FILE           printers and their defaults (default "
      "/var/lib/zelt-printer-app.state)");
  std::puts("  -o log-file=FILE             log file, - for standard error, syslog (default -)");
  std::puts("  -o log-level=LEVEL           debug, info, warn, error (default info)");
  std::puts("Drivers: zelt-basic, zelt-pro.  Vendor options: zelt-ink-set, zelt-finish.");
}

}  // namespace

int main(int argc, char* argv[]) {
  AppContext context;
  for (std::size_t i = 0; i < zelt_app::kModels.size(); ++i) {
    const auto& m = zelt_app::kModels[i];
    context.drivers[i] = {m.driver, m.description, m.device_id, nullptr};
  }
  // PAPPL 1.3's web pages look the footer up unconditionally: without one
  // every page but the system's crashes the server.
  return papplMainloop(argc, argv, "1.0.0", "Zelt printer application",
                       static_cast<int>(context.drivers.size()), context.drivers.data(),
                       zelt_app::AutoAddCallback, zelt_app::DriverCallback, nullptr, nullptr,
                       MakeSystem, Usage, &context);
}

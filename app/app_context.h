// What every printer of the application shares for its whole run: where jobs
// put their spool files and where the colour profiles are.  Made once by
// main and reached from PAPPL's callbacks through the drivers' extension
// pointer, so no callback needs a global.
#pragma once

#include <pappl/pappl.h>

#include <array>
#include <string>

#include "app/drivers.h"

namespace zelt_app {

struct AppContext {
  std::string spool_directory;    // the system's spool directory; jobs make theirs below it
  std::string state_file;         // where printers and their defaults are kept
  std::string profile_directory;  // ghostscript's ICC profiles
  std::array<pappl_pr_driver_t, kModels.size()> drivers{};  // what papplMainloop lists
};

}  // namespace zelt_app

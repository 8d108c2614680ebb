#include "page/job.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void Report(StatusLog& log, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) log.Line(std::string_view(line, std::min<std::size_t>(n, sizeof line - 1)));
}

void* AllocateZeroed(std::size_t bytes) {
  // A page of zero width still gets a valid, if useless, block.
  return std::calloc(bytes ? bytes : 1, 1);
}

std::string DescribeFault(const Status& s) {
  const std::string cause = s.error ? std::strerror(s.error) : "the file ended early";
  switch (s.fault) {
    case Fault::kPageRefused:
      return "ERROR: " + s.detail + "\n";
    case Fault::kSpoolCreate:
      return "ERROR: Unable to open temporary file " + s.detail + ":\nERROR: " + cause + "\n";
    case Fault::kSpoolWrite:
      return "ERROR: Unable to write the " + std::string(s.plane_name) +
             " plane to temporary file " + s.detail + ": " + cause + "\n";
    case Fault::kSpoolRead:
      return "ERROR: Unable to read the " + std::string(s.plane_name) +
             " plane back from temporary file " + s.detail + ": " + cause + "\n";
    case Fault::kNoMemory:
      return "ERROR: Unable to allocate memory for the page buffers\n";
    case Fault::kNone:
    case Fault::kCanceled:
      break;
  }
  return "";
}

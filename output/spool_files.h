// Spool files: one temporary file per plane whose rows are needed again after
// the page has been read, named from the spool directory, the process id and
// the plane letter.  The names are kept from creation to removal, so the page
// finish and a cancelled job remove exactly the files that were made.
#pragma once

#include <cups/raster.h>

// Opens the page's spool files (plane 0 only when the page has several
// copies) and stores their descriptors in PrinterFiles; writes an "INFO: "
// line for each.  On failure writes the two "ERROR: " lines, removes the files
// already made for the page and returns false.
bool CreateSpoolFiles(const cups_page_header_t& header);

// Closes and removes the page's spool files, in plane order.
void CloseSpoolFiles();

// On SIGTERM (a cancelled job) the current page's spool files are removed and
// the process ends as the signal would have ended it.
void InstallCancelHandler();

// The spool directory: TMPDIR when set (even empty), else /var/tmp.
const char* SpoolDirectory();

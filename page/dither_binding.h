// Which dither tables print each plane of a page.
#pragma once

class StatusLog;
struct Page;

// Binds the tables of the page's mode, resolution and media type to its
// planes, builds the photo tone curves in the photo mode, and lays the tables
// out for the halftoning kernels.  A standard-mode
// page at a resolution without screens of its own gets the nearest family's,
// with a "DEBUG: " line that says so.
void BindDitherTables(StatusLog& log, Page& page);

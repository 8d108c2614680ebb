// The page loop: every page of the raster stream set up, read line by line,
// halftoned, sent and finished.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

// Prints every page of the stream and returns how many pages it found.  Sets
// refused when a page header describes raster data the filter cannot print;
// the loop stops there after one "ERROR: " line.
int PrintPages(ppd_file_t* ppd, cups_raster_t* ras, bool& refused);

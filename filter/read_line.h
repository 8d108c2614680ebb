// Reading one raster line into the page's input block.
#pragma once

#include <cups/raster.h>

// Reads the header's cupsBytesPerLine bytes into InputBuffers[0]: -1 when the
// read fails, 0 when the line is blank, 1 when it holds data.
int ReadLine(const cups_page_header_t* header, cups_raster_t* ras);

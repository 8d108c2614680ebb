// Dot rows on their way out: the blank test, row and skip commands, and the
// routing of each plane's commands to the printer and its spool file.
#pragma once

#include <cstdint>

class Sink;
struct Page;
struct Status;

// 1 when every one of the length bytes is zero, else 0; a length of 0 or less
// counts as blank.  The blank test of raster lines and of dot rows: the
// vectorised AllBytesZero, which stops at the first vector holding a non-zero
// byte.
int cupsCheckBytes(const std::uint8_t* bytes, int length);

// Sends one data line's dot rows, plane by plane: plane 0 to the printer at
// once (and to its spool file when it has one), the others to their spool
// files.  Fails only when a spool file cannot take its rows.
Status OutputLine(Page& page, Sink& sink);

// Sends one plane's dot row as a row command, after a skip command for the
// blank rows before it; a blank row is only counted.  Plane 0's row is
// flushed to the printer at once.
Status compress_line(Page& page, Sink& sink, const std::uint8_t* row, int length, int plane);

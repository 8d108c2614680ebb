// The page loop: every page of a raster stream set up, read line by line,
// halftoned, sent and finished, between the job's framing sequences.
#pragma once

#include <cups/raster.h>

#include <cstdint>

#include "page/job.h"

class Sink;
struct Page;

struct JobResult {
  int pages = 0;  // page headers accepted
  Status status;  // what ended the job early, if anything
};

// Prints the whole job: the job-start sequence, every page of the stream, and
// the job-end sequence.  A fault ends the job where it happens; only after a
// refused page (or a canceled job) is the job still closed with its end
// sequence, since the stream up to there is whole.
JobResult PrintJob(Job& job, cups_raster_t* raster);

// Reports how the job ended ("ERROR: " lines for a fault, or for a job
// without pages) and returns the exit status: 0 when at least one page was
// printed and nothing failed, else 1.
int EndJob(StatusLog& log, const JobResult& result);

// Reads the page's next raster line into its input block: -1 when the read
// fails, 0 when the line is blank, 1 when it holds data.
int ReadLine(Page& page, cups_raster_t* raster);

// Sends line y, already in the page's input bands: a blank line only advances
// every plane's blank-row count; any other is halftoned and sent.
Status SendLine(Page& page, Sink& sink, std::uint32_t y, bool blank);

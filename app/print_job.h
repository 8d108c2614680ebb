// The two ways a job reaches the page loop.
//
// PDF: a MIME filter runs ghostscript's raster device with the page-device
// settings the printer descriptions would give it and feeds its banded raster
// to PrintJob, the filter's own page loop.
//
// PWG raster, Apple raster, JPEG and PNG: PAPPL hands over chunky lines
// (sGray, sRGB, device black or device CMYK), which the raster callbacks turn
// into the page's ink bands and send through the same page start, line and
// page finish as the filter.
//
// Either way the stream goes to the printer's device, status lines to the job
// log, a refused job ends with a job state reason and a message saying why.
#pragma once

#include <pappl/pappl.h>

namespace zelt_app {

// The application/pdf filter.
bool PrintPdf(pappl_job_t* job, pappl_device_t* device, void* context);

// The raster callbacks of the drivers.
bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                     unsigned page);
bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                     unsigned y, const unsigned char* line);
bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                   unsigned page);
bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

}  // namespace zelt_app

#include "app/print_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/device_sink.h"
#include "app/drivers.h"
#include "app/ghostscript.h"
#include "app/ink_bands.h"
#include "app/print_settings.h"
#include "filter/job_sequences.h"
#include "filter/page_loop.h"
#include "output/row_commands.h"
#include "page/page.h"
#include "page/page_finish.h"
#include "page/page_start.h"

namespace zelt_app {

namespace {

// The job's status lines into PAPPL's job log.  Progress reaches clients as
// impressions, not as the job's message: PAPPL 1.3 frees the old message in
// papplJobSetMessage while a client thread may be copying it for
// Get-Job-Attributes (a use-after-free under polling clients), so the
// message is set only once, for a refused job.  With `count_pages`, each
// "PAGE:" line adds an impression (the PDF path; PAPPL counts the raster
// path's pages itself).
class JobLog final : public StatusLog {
 public:
  JobLog(pappl_job_t* job, bool count_pages) : job_(job), count_pages_(count_pages) {}
  void Line(std::string_view line) override {
    while (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    // DescribeFault gives several lines at once.
    for (std::size_t nl; (nl = line.find('\n')) != std::string_view::npos;) {
      Line(line.substr(0, nl));
      line.remove_prefix(nl + 1);
    }
    const std::string text(line);
    if (line.starts_with("DEBUG: ")) {
      papplLogJob(job_, PAPPL_LOGLEVEL_DEBUG, "%s", text.c_str() + 7);
    } else if (line.starts_with("ERROR: ")) {
      papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "%s", text.c_str() + 7);
    } else if (line.starts_with("PAGE: ")) {
      if (count_pages_) papplJobSetImpressionsCompleted(job_, 1);
    } else {
      const char* message = line.starts_with("INFO: ") ? text.c_str() + 6 : text.c_str();
      papplLogJob(job_, PAPPL_LOGLEVEL_INFO, "%s", message);
    }
  }

 private:
  pappl_job_t* job_;
  bool count_pages_;
};

// A directory of the job's own for its spool files: the spool file names are
// fixed per process and plane, so two jobs printing at once must not share
// one.  Removed with whatever is left in it.
class JobDirectory {
 public:
  JobDirectory() = default;
  ~JobDirectory() {
    if (!path_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }
  JobDirectory(const JobDirectory&) = delete;
  JobDirectory& operator=(const JobDirectory&) = delete;

  bool Make(const std::string& parent, int job_id, std::string* error) {
    std::string pattern = parent + "/job" + std::to_string(job_id) + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      *error = "Unable to create a spool directory in " + parent + ": " + std::strerror(errno);
      return false;
    }
    path_ = pattern;
    return true;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const AppContext& ContextOf(pappl_job_t* job) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  return *static_cast<const AppContext*>(data.extension);
}

int ModelNumberOf(pappl_job_t* job) {
  const Model* m = FindModel(papplPrinterGetDriverName(papplJobGetPrinter(job)));
  return m ? m->model_number : 0;
}

// Ends a job that cannot be printed as it asks: the reason in the log, as the
// job's message and as a job state reason.
bool Refuse(pappl_job_t* job, const std::string& why, pappl_jreason_t reason) {
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why.c_str());
  papplJobSetMessage(job, "%s", why.c_str());
  papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
  return false;
}

// The user's words for a fault: DescribeFault's lines without their prefix.
std::string FaultMessage(const Status& status) {
  std::string text = DescribeFault(status), out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + at, end - at);
    if (line.starts_with("ERROR: ")) line.remove_prefix(7);
    if (!line.empty()) out += (out.empty() ? "" : " ") + std::string(line);
    at = end + 1;
  }
  return out;
}

const char* ColorModeKeyword(pappl_color_mode_t mode) {
  switch (mode) {
    case PAPPL_COLOR_MODE_AUTO:
      return "auto";
    case PAPPL_COLOR_MODE_AUTO_MONOCHROME:
      return "auto-monochrome";
    case PAPPL_COLOR_MODE_BI_LEVEL:
      return "bi-level";
    case PAPPL_COLOR_MODE_MONOCHROME:
      return "monochrome";
    case PAPPL_COLOR_MODE_PROCESS_MONOCHROME:
      return "process-monochrome";
    default:
      return "color";
  }
}

// The media size by name, or else by its dimensions (a client may send
// media-col with the size alone).
std::string MediaName(const pappl_media_col_t& media) {
  if (FindMediaSize(media.size_name)) return media.size_name;
  for (const auto& size : kMediaSizes) {
    const int w = static_cast<int>(std::lround(size.width * 2540.0 / 72));
    const int l = static_cast<int>(std::lround(size.length * 2540.0 / 72));
    if (std::abs(media.size_width - w) <= 2 && std::abs(media.size_length - l) <= 2)
      return size.pwg;
  }
  return media.size_name;
}

// The job's choices with the printer's defaults where the job names none.
// PAPPL 1.3 passes a vendor attribute to the driver only when the job sets
// it, so the printer's -default values (which the web interface sets) are
// read here; with 1.4, which passes them itself, this changes nothing.
JobChoices ChoicesOf(pappl_job_t* job, const pappl_pr_options_t& o) {
  JobChoices c;
  auto vendor = [&o](const char* name) {
    const char* v = cupsGetOption(name, o.num_vendor, o.vendor);
    return std::string(v ? v : "");
  };
  c.ink_set = vendor(kInkSetAttribute);
  c.finish = vendor(kFinishAttribute);
  c.color_mode = ColorModeKeyword(o.print_color_mode);
  c.media = MediaName(o.media);
  c.media_type = o.media.type;
  c.resolution = o.printer_resolution[0];
  c.resolution_y = o.printer_resolution[1];

  JobChoices defaults;
  defaults.media_type = kMediaTypes[0].keyword;
  ipp_t* attrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  auto printer_default = [attrs](const char* name) {
    const std::string key = std::string(name) + "-default";
    const char* v = ippGetString(ippFindAttribute(attrs, key.c_str(), IPP_TAG_ZERO), 0, nullptr);
    return std::string(v ? v : "");
  };
  defaults.ink_set = printer_default(kInkSetAttribute);
  defaults.finish = printer_default(kFinishAttribute);
  ippDelete(attrs);
  return WithDefaults(c, defaults);
}

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* o) const { papplJobDeletePrintOptions(o); }
};

// The state of a raster job between PAPPL's callbacks.
struct RasterJob {
  RasterJob(pappl_job_t* pjob, pappl_device_t* device, int model, const AppContext& app)
      : sink(device),
        log(pjob, false),
        context(app),
        job{.model_number = model, .sink = sink, .log = log} {}

  DeviceSink sink;
  JobLog log;
  const AppContext& context;
  Job job;
  JobDirectory directory;
  PrintSettings settings;
  InkConverter converter;
  std::unique_ptr<Page> page;
  cups_cspace_t ink_space = CUPS_CSPACE_CMYK;
  unsigned left = 0, top = 0;  // the margins cut off PAPPL's whole-page lines, in pixels
  unsigned pixel_bytes = 0;    // bytes of one pixel of PAPPL's lines
  std::vector<std::uint8_t> scratch;
  unsigned page_number = 0;  // from 1
  bool canceled = false;
  bool failed = false;
};

RasterJob* RasterJobOf(pappl_job_t* job) { return static_cast<RasterJob*>(papplJobGetData(job)); }

}  // namespace

bool PrintPdf(pappl_job_t* job, pappl_device_t* device, void*) {
  const AppContext& app = ContextOf(job);
  std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(
      papplJobCreatePrintOptions(job, INT_MAX, true));
  const Decision decision = DecideSettings(ChoicesOf(job, *options));
  if (!decision.ok())
    return Refuse(job, decision.refusal, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR);

  std::string error;
  JobDirectory directory;
  if (!directory.Make(app.spool_directory, papplJobGetID(job), &error))
    return Refuse(job, error, PAPPL_JREASON_ABORTED_BY_SYSTEM);

  const std::string messages = directory.path() + "/ghostscript.log";
  Ghostscript gs;
  const auto args = GhostscriptArgs(decision.settings, options->copies, papplJobGetFilename(job));
  std::string command;
  for (const auto& a : args) command += " " + a;
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Ghostscript command line:%s", command.c_str());
  if (!gs.Start(args, messages, &error)) return Refuse(job, error, PAPPL_JREASON_ABORTED_BY_SYSTEM);

  DeviceSink sink(device);
  JobLog log(job, true);
  Job core{.model_number = ModelNumberOf(job),
           .sink = sink,
           .log = log,
           .spool_directory = directory.path(),
           .canceled = [job] { return papplJobIsCanceled(job); }};
  cups_raster_t* raster = cupsRasterOpen(gs.output(), CUPS_RASTER_READ);
  const JobResult result = PrintJob(core, raster);
  cupsRasterClose(raster);
  // Ghostscript is stopped when the page loop ended before its raster did.
  const int gs_status = gs.Finish(!result.status.ok());

  if (result.status.fault == Fault::kCanceled) return true;
  if (!result.status.ok()) {
    const auto reason = result.status.fault == Fault::kPageRefused
                            ? PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR
                            : PAPPL_JREASON_ABORTED_BY_SYSTEM;
    return Refuse(job, FaultMessage(result.status), reason);
  }
  if (gs_status != 0 || result.pages == 0) {
    std::ifstream in(messages);
    for (std::string line; std::getline(in, line);)
      papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "ghostscript: %s", line.c_str());
    return Refuse(job, "Unable to render the PDF document.", PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
  }
  return !sink.Failed();
}

bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  const Decision decision = DecideSettings(ChoicesOf(job, *options));
  if (!decision.ok())
    return Refuse(job, decision.refusal, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR);

  auto state = std::make_unique<RasterJob>(job, device, ModelNumberOf(job), ContextOf(job));
  std::string error;
  if (!state->directory.Make(state->context.spool_directory, papplJobGetID(job), &error))
    return Refuse(job, error, PAPPL_JREASON_ABORTED_BY_SYSTEM);
  state->job.spool_directory = state->directory.path();
  state->settings = decision.settings;
  Setup(state->sink);
  papplJobSetData(job, state.release());
  return true;
}

bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*,
                     unsigned page_number) {
  RasterJob* r = RasterJobOf(job);
  if (!r || r->canceled || r->failed) return false;
  const cups_page_header2_t& in = options->header;

  // A streamed PWG or Apple raster keeps the client's header, whatever it
  // claims: every page is checked before a line of it is read.
  LineSpace space;
  if (!LineSpaceOf(in, &space)) {
    r->failed = true;
    return Refuse(job,
                  "Unsupported raster data: " + std::to_string(in.cupsBitsPerColor) +
                      " bits per colour, colour space " + std::to_string(in.cupsColorSpace) +
                      "; the printer takes 8-bit grey, black, RGB or CMYK.",
                  PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
  }
  PrintSettings s = r->settings;
  s.resolution = static_cast<int>(in.HWResolution[0]);
  if (in.HWResolution[0] != in.HWResolution[1] ||
      std::find(kResolutions.begin(), kResolutions.end(), s.resolution) == kResolutions.end()) {
    r->failed = true;
    return Refuse(job,
                  "Unsupported resolution " + std::to_string(in.HWResolution[0]) + "x" +
                      std::to_string(in.HWResolution[1]) +
                      "dpi; the printer prints at 300, 600 or 1200 dpi.",
                  PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
  }
  s.size = nullptr;
  for (const auto& size : kMediaSizes)
    if (std::abs(static_cast<int>(in.PageSize[0]) - size.width) <= 1 &&
        std::abs(static_cast<int>(in.PageSize[1]) - size.length) <= 1)
      s.size = &size;
  if (!s.size) {
    r->failed = true;
    return Refuse(job,
                  "Unsupported page size " + std::to_string(in.PageSize[0]) + "x" +
                      std::to_string(in.PageSize[1]) + " points.",
                  PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
  }

  const cups_page_header2_t header = PageHeader(s);
  r->left = r->top = static_cast<unsigned>(std::lround(kMarginPoints * s.resolution / 72.0));
  if (r->left + header.cupsWidth > in.cupsWidth || r->top + header.cupsHeight > in.cupsHeight) {
    r->failed = true;
    return Refuse(job, "The raster page is smaller than its page size says.",
                  PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
  }
  r->pixel_bytes = in.cupsBitsPerPixel / 8;
  r->ink_space = s.ink->color_space;
  r->scratch.assign(4 * static_cast<std::size_t>(header.cupsWidth), 0);
  std::string error;
  if (!r->converter.Open(r->context.profile_directory, space, &error)) {
    r->failed = true;
    return Refuse(job, error, PAPPL_JREASON_ABORTED_BY_SYSTEM);
  }

  r->page_number = page_number + 1;
  Report(r->log, "INFO: Starting page %u...\n", r->page_number);
  r->page = std::make_unique<Page>();
  if (Status st = StartPage(r->job, header, *r->page); !st.ok()) {
    r->failed = true;
    r->page.reset();
    return Refuse(job, FaultMessage(st), PAPPL_JREASON_ABORTED_BY_SYSTEM);
  }
  return true;
}

bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y,
                     const unsigned char* line) {
  RasterJob* r = RasterJobOf(job);
  if (!r || !r->page) return !(r && r->failed);
  Page& page = *r->page;
  if (y < r->top || y - r->top >= page.header.cupsHeight) return true;
  const unsigned row = y - r->top;

  if ((row & 127) == 0) {
    Report(r->log, "INFO: Printing page %u, %s, %u%%...\n", r->page_number, page.PlaneName(0),
           static_cast<unsigned>(100ull * row / page.header.cupsHeight));
    if (papplJobIsCanceled(job)) {
      // The pass in progress ends; the page's spool files go with the page.
      r->canceled = true;
      CloseCopy(r->sink, page);
      r->page.reset();
      return true;
    }
  }
  r->converter.Convert(line + std::size_t{r->left} * r->pixel_bytes, page.header.cupsWidth,
                       r->ink_space, page.InputBuffers[0], r->scratch.data());
  const bool blank =
      cupsCheckBytes(page.InputBuffers[0], static_cast<int>(page.header.cupsBytesPerLine));
  if (Status st = SendLine(page, r->sink, row, blank); !st.ok()) {
    r->failed = true;
    r->page.reset();
    return Refuse(job, FaultMessage(st), PAPPL_JREASON_ABORTED_BY_SYSTEM);
  }
  return true;
}

bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned page_number) {
  RasterJob* r = RasterJobOf(job);
  if (!r || !r->page) return r && !r->failed;
  const Status st = EndPage(r->job, *r->page, static_cast<int>(page_number) + 1);
  r->page.reset();
  if (!st.ok()) {
    r->failed = true;
    return Refuse(job, FaultMessage(st), PAPPL_JREASON_ABORTED_BY_SYSTEM);
  }
  Report(r->log, "INFO: Finished page %u...\n", page_number + 1);
  return !r->sink.Failed();
}

bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
  std::unique_ptr<RasterJob> r(RasterJobOf(job));
  papplJobSetData(job, nullptr);
  if (!r) return false;
  if (r->page) {
    // A job that stopped inside a page still closes the pass it opened.
    CloseCopy(r->sink, *r->page);
    r->page.reset();
  }
  WriteJobEnd(r->sink);
  r->sink.Flush();
  return !r->failed && !r->sink.Failed();
}

}  // namespace zelt_app

// zeltview: checks a printer stream, prints what it holds, and optionally
// draws previews of its pages and compares their tone with the raster the job
// came from.
//
//   zeltview [--mode M] [--png PREFIX [--scale N]] [--against RASTER] STREAM
//
// Exit status: 0 for a valid stream, 1 for a malformed one (reported as
// "zeltview: offset N: message"), 2 for usage and file errors.
#include <getopt.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/preview.h"
#include "tools/raster_compare.h"
#include "tools/stream_decoder.h"

namespace {

using zelt::stream::DecodedJob;
using zelt::stream::DecodedPage;
using zelt::stream::DecodedPass;

constexpr char kUsage[] =
    "Usage: zeltview [options] STREAM\n"
    "Checks a printer stream (\"-\" for standard input) and prints its pages,\n"
    "copies, planes and passes, with rows, skips and ink coverage per plane.\n"
    "  --mode M          take every page to be in colour mode M (0 to 5)\n"
    "  --planes N        take every page to have N planes\n"
    "  --png PREFIX      write PREFIX-pageN-planeP.png and PREFIX-pageN.png\n"
    "  --scale N         shrink the previews N times (box filter)\n"
    "  --against RASTER  compare each plane's coverage with its input band\n"
    "  -h, --help        show this help\n";

struct Options {
  std::string stream;
  std::string png_prefix;
  std::string raster;
  int scale = 1;
  int mode = -1;
  int planes = -1;
};

bool ParseInt(const char* text, int low, int high, int* value) {
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
  *value = static_cast<int>(parsed);
  return true;
}

// Returns 0 to go on, else the exit status (help: 0 after printing it).
int ParseArguments(int argc, char** argv, Options* options, bool* help) {
  enum { kMode = 1, kPlanes, kPng, kScale, kAgainst };
  static const option kLong[] = {{"mode", required_argument, nullptr, kMode},
                                 {"planes", required_argument, nullptr, kPlanes},
                                 {"png", required_argument, nullptr, kPng},
                                 {"scale", required_argument, nullptr, kScale},
                                 {"against", required_argument, nullptr, kAgainst},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  int c;
  while ((c = getopt_long(argc, argv, "h", kLong, nullptr)) != -1) {
    switch (c) {
      case kMode:
        if (!ParseInt(optarg, 0, 5, &options->mode)) {
          std::fprintf(stderr, "zeltview: --mode takes 0 to 5\n");
          return 2;
        }
        break;
      case kPlanes:
        if (!ParseInt(optarg, 1, 4, &options->planes)) {
          std::fprintf(stderr, "zeltview: --planes takes 1 to 4\n");
          return 2;
        }
        break;
      case kPng:
        options->png_prefix = optarg;
        break;
      case kScale:
        if (!ParseInt(optarg, 1, 1 << 16, &options->scale)) {
          std::fprintf(stderr, "zeltview: --scale takes a positive number\n");
          return 2;
        }
        break;
      case kAgainst:
        options->raster = optarg;
        break;
      case 'h':
        *help = true;
        std::fputs(kUsage, stdout);
        return 0;
      default:
        std::fputs(kUsage, stderr);
        return 2;
    }
  }
  if (optind + 1 != argc) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options->stream = argv[optind];
  return 0;
}

const char* ResolutionName(int code) {
  switch (code) {
    case 2:
      return "300 dpi";
    case 3:
      return "600 dpi";
    case 4:
      return "1200 dpi";
  }
  return "?";
}

const char* PageSizeName(int code) {
  switch (code) {
    case 2:
      return "792 pt";
    case 3:
      return "1008 pt";
    case 4:
      return "842 pt";
    case 5:
      return "257 pt";
    case 6:
      return "432 pt";
  }
  return "?";
}

std::string BoxText(const zelt::stream::Box& box) {
  return "(" + std::to_string(box.x) + ", " + std::to_string(box.y) + ", " + std::to_string(box.w) +
         ", " + std::to_string(box.h) + ")";
}

// The page's plane names, from its colour mode (empty when none fits).
std::array<const char*, kMaxPlanes> PlaneNames(const zelt::stream::PageInfo& page) {
  const int mode = zelt::view::ModeOf(page);
  return mode < 0 ? std::array<const char*, kMaxPlanes>{"", "", "", ""} : ColorNames[mode];
}

std::int64_t PageHeight(const DecodedPage& page) {
  if (page.info.Height() >= 0) return page.info.Height();
  std::int64_t end = 0;
  for (const auto& copy : page.copies)
    for (const auto& pass : copy.passes) end = std::max(end, pass.stats.end_line);
  return end;
}

void PrintPage(const DecodedPage& page, bool complete) {
  const auto& info = page.info;
  const auto& setup = info.setup;
  const auto& pre = info.preamble;
  const auto names = PlaneNames(info);

  std::printf("page %d%s at offset %" PRId64 "\n", info.index + 1, complete ? "" : " (incomplete)",
              setup.offset);
  std::printf("  page start:");
  if (setup.resolution_code)
    std::printf(" resolution code %d (%s),", *setup.resolution_code,
                ResolutionName(*setup.resolution_code));
  if (setup.page_size_code)
    std::printf(" page-size code %d (%s),", *setup.page_size_code,
                PageSizeName(*setup.page_size_code));
  if (setup.media_position) std::printf(" media position %d,", *setup.media_position);
  std::printf(" media type %d,%s page length %d (%ld lines)\n", setup.media_type,
              setup.u_command ? " U command," : "", setup.page_length, info.Height());

  std::printf("  colour mode %s, %d plane%s (", zelt::stream::DescribeModes(info.mode_mask).c_str(),
              info.planes, info.planes == 1 ? "" : "s");
  for (int p = 0; p < info.planes; ++p) std::printf("%s%s", p ? ", " : "", names[p]);
  std::printf("), %d-bit rows", info.row_bits);
  if (info.row_length >= 0) std::printf(" of %d bytes (%d dots)", info.row_length, info.Width());
  std::printf(", %s\n", info.glossy ? "glossy" : "plain");
  if (pre.variable_dot) {
    std::printf("  variable-dot preamble: media U 0x%02X", pre.media_u);
    if (pre.pre_pass_box) std::printf(", pre-pass box %s", BoxText(*pre.pre_pass_box).c_str());
    if (pre.gloss_box) std::printf(", gloss box %s", BoxText(*pre.gloss_box).c_str());
    std::printf("\n");
  }

  std::printf("  copies: %d", info.copies);
  if (info.unclosed_copy) std::printf(" (first copy without page end)");
  std::printf("\n");
  for (std::size_t c = 0; c < page.copies.size(); ++c) {
    const auto& copy = page.copies[c];
    std::printf("    copy %zu:", c + 1);
    for (const DecodedPass& pass : copy.passes) {
      std::printf(" %d %s", pass.info.plane, names[pass.info.plane]);
      if (pass.info.flag >= 0)
        std::printf(" [code %d, flag %d]", pass.info.color_code, pass.info.flag);
      std::printf(" %d rows;", pass.stats.rows);
    }
    if (copy.gloss_pass) std::printf(" gloss pass;");
    std::printf(copy.closed ? " page end\n" : " no page end\n");
  }

  // Planes as printed by the first copy.
  std::int64_t height = PageHeight(page);
  double dots = static_cast<double>(std::max(info.Width(), 0)) * static_cast<double>(height) *
                (info.row_bits == 4 ? 15.0 : 1.0);
  for (int p = 0; p < info.planes; ++p) {
    const DecodedPass* pass = page.Pass(0, p);
    std::printf("  plane %d %s: ", p, names[p]);
    if (pass == nullptr) {
      std::printf("not sent\n");
      continue;
    }
    const auto& s = pass->stats;
    std::printf("%d rows, %d skips (%" PRId64 " lines)", s.rows, s.skips, s.skipped_lines);
    if (dots > 0) std::printf(", coverage %.3f%%", 100.0 * static_cast<double>(s.ink) / dots);
    if (s.blank_rows > 0) std::printf(", %d all-zero rows", s.blank_rows);
    std::printf("\n");
  }
}

void PrintTone(const DecodedPage& page, const zelt::view::RasterPage& raster) {
  const auto names = PlaneNames(page.info);
  std::printf("  tone against raster (%u x %u, colour space %u):\n", raster.width, raster.height,
              raster.color_space);
  for (const auto& result : zelt::view::CompareTone(raster, page))
    std::printf("    plane %d %s: input %.3f%%, printed %.3f%%, difference %+.3f%%\n", result.plane,
                names[result.plane], 100.0 * result.input, 100.0 * result.printed,
                100.0 * (result.printed - result.input));
}

}  // namespace

// Prints each page as soon as the decoder has seen all of it and forgets it,
// so memory stays that of one page however long the stream; warnings go out
// as they come.
class PagePrinter final : public zelt::stream::StreamVisitor {
 public:
  PagePrinter(DecodedJob* job, const std::vector<zelt::view::RasterPage>& rasters)
      : job_(job), rasters_(rasters) {}
  void OnPageEnd(const zelt::stream::PageInfo&) override {
    const DecodedPage& page = job_->pages.back();
    PrintPage(page, true);
    if (static_cast<std::size_t>(page.info.index) < rasters_.size())
      PrintTone(page, rasters_[page.info.index]);
    job_->pages.clear();
    ++printed_;
  }
  void OnWarning(std::int64_t offset, const std::string& message) override {
    std::fflush(stdout);
    std::fprintf(stderr, "zeltview: offset %" PRId64 ": warning: %s\n", offset, message.c_str());
  }
  std::size_t printed() const { return printed_; }

 private:
  DecodedJob* job_;
  const std::vector<zelt::view::RasterPage>& rasters_;
  std::size_t printed_ = 0;
};

int main(int argc, char** argv) {
  Options options;
  bool help = false;
  if (int status = ParseArguments(argc, argv, &options, &help); status != 0 || help) return status;

  zelt::stream::DecodeOptions decode;
  decode.hint.color_mode = options.mode;
  decode.hint.planes = options.planes;
  std::vector<zelt::view::RasterPage> rasters;
  if (!options.raster.empty()) {
    std::string error;
    if (!zelt::view::ReadRasterPages(options.raster, &rasters, &error)) {
      std::fprintf(stderr, "zeltview: %s\n", error.c_str());
      return 2;
    }
    for (const auto& raster : rasters) decode.pages.push_back(zelt::view::HintFor(raster));
  }

  std::FILE* input = stdin;
  if (options.stream != "-") {
    input = std::fopen(options.stream.c_str(), "rb");
    if (input == nullptr) {
      std::fprintf(stderr, "zeltview: %s: %s\n", options.stream.c_str(), std::strerror(errno));
      return 2;
    }
  }

  DecodedJob job;
  zelt::stream::JobBuilder builder(&job, /*keep_rows=*/false);
  PagePrinter printer(&job, rasters);
  std::unique_ptr<zelt::view::PreviewBuilder> preview;
  std::vector<zelt::stream::StreamVisitor*> visitors = {&builder, &printer};
  if (!options.png_prefix.empty()) {
    preview = std::make_unique<zelt::view::PreviewBuilder>(options.png_prefix, options.scale);
    visitors.push_back(preview.get());
  }
  zelt::stream::VisitorList all(visitors);
  job.ok = zelt::stream::DecodeFile(input, all, decode, &job.error);
  if (input != stdin) std::fclose(input);

  // What was read of a page the stream broke off in, then the job.
  for (const DecodedPage& page : job.pages) PrintPage(page, false);
  if (job.ok)
    std::printf("job: %zu page%s, %" PRId64 " bytes\n", printer.printed(),
                printer.printed() == 1 ? "" : "s", job.size);
  if (job.ok && !rasters.empty() && rasters.size() != printer.printed())
    std::printf("raster has %zu pages, stream %zu\n", rasters.size(), printer.printed());
  if (preview)
    for (const auto& path : preview->written()) std::printf("wrote %s\n", path.c_str());
  std::fflush(stdout);

  if (!job.ok) {
    std::fprintf(stderr, "zeltview: offset %" PRId64 ": %s\n", job.error.offset,
                 job.error.message.c_str());
    return 1;
  }
  if (preview && !preview->error().empty()) {
    std::fprintf(stderr, "zeltview: offset %" PRId64 ": %s\n", preview->error_offset(),
                 preview->error().c_str());
    return 1;
  }
  return 0;
}

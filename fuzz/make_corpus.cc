// Writes the fuzzers' seed corpus: for every colour mode a small real raster
// (libcups' own writer; plain, compressed, and two-page), into
// corpus/raw_raster_fuzz and corpus/raster_fuzz, and the printer stream the
// driver makes of each into corpus/stream_fuzz.
//
//   make_fuzz_corpus FUZZ_DIR
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "filter/page_loop.h"
#include "output/sink.h"

namespace {

struct Seed {
  const char* name;
  cups_cspace_t space;
  unsigned compression, bands, media, copies, dpi;
  bool glossy;
};

constexpr Seed kSeeds[] = {
    {"cmyk", CUPS_CSPACE_CMYK, 1, 4, 0, 1, 600, false},
    {"black", CUPS_CSPACE_K, 1, 1, 0, 2, 300, false},
    {"gold-black", CUPS_CSPACE_GMCK, 1, 4, 0, 1, 1200, true},
    {"gold-silver", CUPS_CSPACE_GMCS, 1, 4, 0, 2, 300, false},
    {"photo", CUPS_CSPACE_YMC, 1, 3, 0, 1, 600, false},
    {"white", CUPS_CSPACE_WHITE, 1, 1, 0, 1, 600, false},
    {"vdot-colour", CUPS_CSPACE_CMY, 0, 3, 0, 2, 600, true},
    {"vdot-colour-16", CUPS_CSPACE_CMY, 0, 3, 16, 1, 600, false},
    {"vdot-grey", CUPS_CSPACE_K, 0, 1, 17, 1, 300, true},
};

std::string WriteRaster(const std::string& path, const Seed& s, cups_mode_t mode, int pages) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  cups_raster_t* r = cupsRasterOpen(fd, mode);
  std::mt19937 rng(static_cast<unsigned>(s.space));
  for (int p = 0; p < pages; ++p) {
    cups_page_header2_t h{};
    h.cupsWidth = 37;
    h.cupsHeight = 9;
    h.cupsBitsPerColor = h.cupsBitsPerPixel = 8;
    h.cupsBytesPerLine = h.cupsWidth * s.bands;
    h.cupsColorOrder = CUPS_ORDER_BANDED;
    h.cupsColorSpace = s.space;
    h.cupsCompression = s.compression;
    h.cupsMediaType = s.media;
    h.NumCopies = s.copies;
    h.HWResolution[0] = h.HWResolution[1] = s.dpi;
    h.PageSize[0] = 156;
    h.PageSize[1] = 257;
    if (s.glossy) std::strcpy(h.OutputType, "Glossy");
    cupsRasterWriteHeader2(r, &h);
    std::vector<std::uint8_t> line(h.cupsBytesPerLine);
    for (unsigned y = 0; y < h.cupsHeight; ++y) {
      for (auto& b : line) b = y % 4 == 1 ? 0 : static_cast<std::uint8_t>(rng() % 2 ? 255 : rng());
      cupsRasterWritePixels(r, line.data(), h.cupsBytesPerLine);
    }
  }
  cupsRasterClose(r);
  close(fd);
  return path;
}

void WriteStream(const std::string& raster, const std::string& out, const std::string& spool) {
  const int fd = open(raster.c_str(), O_RDONLY);
  cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_READ);
  MemorySink sink;
  NullLog log;
  Job job{.model_number = 2, .sink = sink, .log = log, .spool_directory = spool};
  (void)PrintJob(job, r);
  cupsRasterClose(r);
  close(fd);
  std::ofstream(out, std::ios::binary)
      .write(reinterpret_cast<const char*>(sink.bytes.data()),
             static_cast<std::streamsize>(sink.bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_fuzz_corpus FUZZ_DIR\n", stderr);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/corpus/";
  for (const char* target : {"raw_raster_fuzz", "raster_fuzz", "stream_fuzz"})
    std::filesystem::create_directories(dir + target);
  const std::string spool = std::filesystem::temp_directory_path();
  for (const Seed& s : kSeeds) {
    const std::string base = dir + "raw_raster_fuzz/" + s.name;
    const std::string plain = WriteRaster(base + ".ras", s, CUPS_RASTER_WRITE, 1);
    WriteRaster(base + "-compressed.ras", s, CUPS_RASTER_WRITE_COMPRESSED, 2);
    std::filesystem::copy_file(plain, dir + "raster_fuzz/" + s.name + ".ras",
                               std::filesystem::copy_options::overwrite_existing);
    WriteStream(plain, dir + "stream_fuzz/" + s.name + ".zelt", spool);
  }
  return 0;
}

// A small encoder for printer streams, for tests: single commands to build
// streams by hand, and AppendPage(), which lays out a whole page from its dot
// rows in the order the filter sends it (page start, plane 0 streamed, the
// other planes and every further copy replayed, page end per copy).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tools/stream_decoder.h"

namespace zelt::stream::build {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& out, std::initializer_list<int> bytes) {
  for (int byte : bytes) out.push_back(static_cast<std::uint8_t>(byte));
}
inline void Put16(Bytes& out, int value) { Put(out, {value & 0xFF, value >> 8 & 0xFF}); }

inline void JobStart(Bytes& out) {
  Put(out, {0x1B, 0x65, 0x1B, 0x65, 0x1B, 0x65, 0x1B, 0x25, 0x80, 0x41, 0x1B, 0x1A, 0, 0, 0x41});
}
inline void JobEnd(Bytes& out) { Put(out, {0x1B, 0x25, 0x00, 0x58}); }
inline void PassEnd(Bytes& out) { Put(out, {0x1B, 0x1A, 0, 0, 0x0C}); }
inline void ColorSelect(Bytes& out, int code, int flag) {
  Put(out, {0x1B, 0x1A, code, flag, 0x72});
}
inline void UCommand(Bytes& out, int u) { Put(out, {0x1B, 0x1A, u, 0, 0x55}); }
inline void RU(Bytes& out, int n) { Put(out, {0x1B, 0x2A, 0x72, n, 0x55}); }
inline void RA(Bytes& out, int a) { Put(out, {0x1B, 0x2A, 0x72, a, 0x41}); }
inline void RC(Bytes& out) { Put(out, {0x1B, 0x2A, 0x72, 0x43}); }
inline void BM(Bytes& out) { Put(out, {0x1B, 0x2A, 0x62, 0, 0, 0x4D}); }
inline void OCommand(Bytes& out, int g) { Put(out, {0x1B, 0x1A, g, 0, 0x4F}); }
inline void BoxDefinition(Bytes& out, int number, const Box& box) {
  Put(out, {0x1B, 0x2A, 0x63, number, 0x01, 0x52});
  for (int v : {box.x, box.y, box.w, box.h}) Put16(out, v);
}
inline void BoxPrint(Bytes& out, int number) { Put(out, {0x1B, 0x2A, 0x63, number, 0x00, 0x50}); }
inline void SkipCommand(Bytes& out, int count) {
  Put(out, {0x1B, 0x2A, 0x62});
  Put16(out, count);
  Put(out, {0x59});
}
inline void RowCommand(Bytes& out, const Bytes& row) {
  Put(out, {0x1B, 0x2A, 0x62});
  Put16(out, static_cast<int>(row.size()));
  Put(out, {0x57});
  out.insert(out.end(), row.begin(), row.end());
}
inline void GlossPass(Bytes& out) {
  PassEnd(out);
  RC(out);
  UCommand(out, 0x01);
  RA(out, 0x02);
  ColorSelect(out, 0x0E, 0x80);
  BoxPrint(out, 1);
}
inline void PageEnd(Bytes& out) { Put(out, {0x0C, 0x1B, 0x2A, 0x72, 0x43}); }

// One page as the filter would see it after halftoning.
struct PageLayout {
  int mode = 0;
  int planes = 4;
  int copies = 1;  // NumCopies; 0 sends no page end at all
  bool glossy = false;
  int resolution_code = 3;  // -1: not sent
  int page_size_code = 2;   // -1: not sent
  int media_position = -1;  // -1: not sent
  int media_type = 0;
  bool u_command = true;  // sent outside mode 5 only
  int height = 0;         // cupsHeight
  Box box;                // print box of mode 5
  // rows[plane][line]: a plane's dot row per line; a row that is empty or all
  // zero is blank.  Lines beyond a plane's vector are blank.
  std::vector<std::vector<Bytes>> rows;
};

inline void PageStartCommands(Bytes& out, const PageLayout& page) {
  if (page.resolution_code >= 0) Put(out, {0x1B, 0x2A, 0x74, page.resolution_code, 0x52});
  if (page.page_size_code >= 0) Put(out, {0x1B, 0x26, 0x6C, page.page_size_code, 0, 0x41});
  if (page.media_position >= 0) Put(out, {0x1B, 0x26, 0x6C, page.media_position, 0, 0x48});
  Put(out, {0x1B, 0x26, 0x6C});
  Put16(out, page.media_type);
  Put(out, {0x4D});
  if (page.u_command && page.mode != 5) UCommand(out, 0);
  Put(out, {0x1B, 0x26, 0x6C});
  Put16(out, page.height + 1);
  Put(out, {0x50});
}

// The sequence that opens `plane`'s pass, `last` the last plane index.
inline void StartPlane(Bytes& out, const PageLayout& page, int plane, int last) {
  if (plane > 0) {
    PassEnd(out);
  } else if (page.mode != 5) {
    OCommand(out, page.glossy ? 0 : 1);
    RU(out, page.planes == 1 && page.mode != 4 ? 0 : 4);
    RA(out, 0);
    BM(out);
  } else {
    RU(out, 8);
    OCommand(out, 1);
    if (page.glossy) BoxDefinition(out, 1, page.box);
    if (page.media_type == 16 || page.media_type == 17) {
      UCommand(out, page.planes == 1 ? 0x12 : 0x11);
    } else if (page.planes <= 1) {
      UCommand(out, 0x92);
    } else {
      BoxDefinition(out, 0, page.box);
      UCommand(out, 0x01);
      RA(out, 0x02);
      ColorSelect(out, 0x10, 0x03);
      BoxPrint(out, 0);
      PassEnd(out);
      RC(out);
      UCommand(out, 0x91);
    }
    RA(out, 0);
    BM(out);
  }
  if (page.planes > 1)
    ColorSelect(out, kColorCodes[page.mode][plane] & 0xFF, plane == last ? 1 : 0);
  else if (page.mode == 4)
    Put(out, {0x1B, 0x1A, 0x0B, 0x80, 0x72, 0x1B, 0x1A, 0x00, 0x01, 0x58});
}

// A plane's skip and row commands: blank rows become one skip before the next
// row, and blank rows at the bottom are dropped.
inline Bytes PlaneCommands(const std::vector<Bytes>& rows) {
  Bytes out;
  int feed = 0;
  for (const Bytes& row : rows) {
    bool blank = true;
    for (std::uint8_t byte : row) blank = blank && byte == 0;
    if (blank) {
      ++feed;
      continue;
    }
    if (feed > 0) SkipCommand(out, feed);
    feed = 0;
    RowCommand(out, row);
  }
  return out;
}

inline void AppendPage(Bytes& out, const PageLayout& page) {
  std::vector<Bytes> spool(static_cast<std::size_t>(page.planes));
  int last = -1;
  for (int p = 0; p < page.planes; ++p) {
    if (p < static_cast<int>(page.rows.size())) spool[p] = PlaneCommands(page.rows[p]);
    // With one copy plane 0 has no spool file and never counts as data.
    if (!spool[p].empty() && (p > 0 || page.copies != 1)) last = p;
  }
  PageStartCommands(out, page);
  StartPlane(out, page, 0, page.planes - 1);
  out.insert(out.end(), spool[0].begin(), spool[0].end());
  for (int copy = 0; copy < page.copies; ++copy) {
    for (int p = copy == 0 ? 1 : 0; p <= last; ++p) {
      StartPlane(out, page, p, last);
      out.insert(out.end(), spool[p].begin(), spool[p].end());
    }
    if (page.mode == 5 && page.glossy) GlossPass(out);
    PageEnd(out);
  }
}

}  // namespace zelt::stream::build

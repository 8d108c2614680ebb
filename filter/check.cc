#include "filter/check.h"

#include <cstring>

int cupsCheckBytes(const std::uint8_t* bytes, int length) {
  // Eight bytes per step while at least eight remain, then the tail singly.
  while (length > 7) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if (word != 0) return 0;
    bytes += 8;
    length -= 8;
  }
  for (; length > 0; --length, ++bytes)
    if (*bytes != 0) return 0;
  return 1;
}

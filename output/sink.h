// The one way bytes reach the printer.
//
// Every byte of the printer stream goes through a Sink: the filter's is
// standard output, a printer application's is its device, tests use memory.
// Write errors are recorded, not returned: the page loop never stops for
// them, and a front end that cares (a device that went away) asks Failed().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

using Bytes = std::span<const std::uint8_t>;

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Write(Bytes bytes) = 0;
  // Passes everything written so far on to the printer.  The page loop
  // flushes after every row of plane 0, which the printer prints while the
  // rest of the page is still being read.
  virtual void Flush() = 0;
  // True once a write or a flush went wrong.
  virtual bool Failed() const = 0;

  // One command, as a counted run of bytes (commands contain NUL bytes).
  template <std::size_t N>
  void Send(const std::array<std::uint8_t, N>& command) {
    Write(Bytes(command.data(), N));
  }
};

// A stdio stream: buffered by stdio, flushed with fflush.
class StreamSink final : public Sink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream) {}
  void Write(Bytes bytes) override;
  void Flush() override;
  bool Failed() const override { return failed_; }

 private:
  std::FILE* stream_;
  bool failed_ = false;
};

// The stream in memory, with the offset of every flush.
class MemorySink final : public Sink {
 public:
  void Write(Bytes b) override { bytes.insert(bytes.end(), b.begin(), b.end()); }
  void Flush() override { flushes.push_back(bytes.size()); }
  bool Failed() const override { return false; }

  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> flushes;
};

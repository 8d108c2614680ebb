// The printer stream into a PAPPL device: every byte of the page loop goes
// through papplDeviceWrite, flushes through papplDeviceFlush.
#pragma once

#include <pappl/pappl.h>

#include "output/sink.h"

namespace zelt_app {

class DeviceSink final : public Sink {
 public:
  explicit DeviceSink(pappl_device_t* device) : device_(device) {}
  void Write(Bytes bytes) override {
    // papplDeviceWrite buffers and writes whole; it reports -1 once the
    // device has failed, and the job then ends as a failed one.
    if (!bytes.empty() && papplDeviceWrite(device_, bytes.data(), bytes.size()) < 0) failed_ = true;
  }
  void Flush() override { papplDeviceFlush(device_); }
  bool Failed() const override { return failed_; }

 private:
  pappl_device_t* device_;
  bool failed_ = false;
};

}  // namespace zelt_app

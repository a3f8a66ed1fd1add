// SharedSettings: the settings records that the caller's thread, the dialogs
// and the capture thread all touch, behind one short lock.
#pragma once

#include <mutex>
#include <utility>

#include "settings/settings_records.h"

namespace zirvo {

struct InstanceSettings {
  CameraSizeSettings captureWindow;
  AnalogSettings analog;
  FilterSettings filter;  // also holds the gray-filter values
  VideoFormatSettings videoFormat;
};

// Written by the caller's thread (setters), the dialogs and the pipeline's
// write-back of its measurements; read once per frame by the capture thread.
// A frame is converted with one Snapshot, so a setter that changes several
// values in one Update is never seen half applied. Never hold the lock across
// a device call, a file or a wait: the capture thread takes it every frame.
class SharedSettings {
 public:
  InstanceSettings Snapshot() const {
    std::lock_guard lock(mutex_);
    return values_;
  }

  // read(const InstanceSettings&) under the lock; returns what it returns.
  template <class Reader>
  decltype(auto) Read(Reader&& read) const {
    std::lock_guard lock(mutex_);
    return std::forward<Reader>(read)(std::as_const(values_));
  }

  // change(InstanceSettings&) under the lock; returns what it returns.
  template <class Change>
  decltype(auto) Update(Change&& change) {
    std::lock_guard lock(mutex_);
    return std::forward<Change>(change)(values_);
  }

  CameraSizeSettings CaptureWindow() const {
    return Read([](const InstanceSettings& s) { return s.captureWindow; });
  }
  AnalogSettings Analog() const {
    return Read([](const InstanceSettings& s) { return s.analog; });
  }
  FilterSettings Filter() const {
    return Read([](const InstanceSettings& s) { return s.filter; });
  }
  VideoFormatSettings VideoFormat() const {
    return Read([](const InstanceSettings& s) { return s.videoFormat; });
  }

 private:
  mutable std::mutex mutex_;
  InstanceSettings values_;  // guarded by mutex_
};

}  // namespace zirvo

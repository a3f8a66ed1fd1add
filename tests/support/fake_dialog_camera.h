// A camera for dialog tests: live records behind a lock, every command the
// dialogs send, and a preset store in memory.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "settings/dialogs/dialog_camera.h"
#include "settings/dialogs/dialog_form.h"

namespace zirvo::test {

struct SentCommand {
  std::string name;
  int target;  // register of a channel gain, else 0
  int value;
  friend bool operator==(const SentCommand&, const SentCommand&) = default;
};

class FakeDialogCamera : public DialogCamera {
 public:
  FakeDialogCamera() {
    FilterSettings& f = values_.filter;
    for (int e = kFilterGainRed; e <= kFilterGamma; ++e) f[e] = 100;
    f[kFilterBayerMode] = 3;
    for (int e = kFilterGrayGainR; e <= kFilterGrayGainB; ++e) f[e] = 128;
    values_.analog = {100, 100, 100, 100, 100, 600, 0, 0, 0};
    programmed = values_.analog;
  }

  int ColorMode() override { return colorMode; }
  DialogValues Values() override {
    std::lock_guard lock(mutex_);
    return values_;
  }
  void Change(const std::function<void(DialogValues&)>& change) override {
    std::lock_guard lock(mutex_);
    change(values_);
  }
  void SendGlobalGain(int value) override { Record("global", 0, value); }
  void SendChannelGain(int gainRegister, int value) override { Record("channel", gainRegister, value); }
  void SendExposure(int value) override { Record("exposure", 0, value); }
  void SendMirrorV(int flag) override { Record("mirrorV", 0, flag); }
  void SendMirrorH(int flag) override { Record("mirrorH", 0, flag); }
  void ReadProgrammedAnalog(AnalogSettings& analog) override {
    analog.globalGain = programmed.globalGain;
    analog.colorGainGreen1 = programmed.colorGainGreen1;
    analog.colorGainRed = programmed.colorGainRed;
    analog.colorGainBlue = programmed.colorGainBlue;
    analog.colorGainGreen2 = programmed.colorGainGreen2;
    analog.exposure = programmed.exposure;
  }
  ExposureTiming Timing() override { return timing; }
  int LoadPresets(PresetTable& table) override {
    if (!storeReadable) return 0;
    table = stored;
    return 1;
  }
  int SavePresets(const PresetTable& table) override {
    stored = table;
    ++saves;
    return 1;
  }

  std::vector<SentCommand> Sent() {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  void ClearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
  }

  int colorMode = 2;
  AnalogSettings programmed;
  ExposureTiming timing{1000, 2000, 0.01};
  PresetTable stored;
  bool storeReadable = true;
  int saves = 0;

 private:
  void Record(const char* name, int target, int value) {
    std::lock_guard lock(mutex_);
    sent_.push_back({name, target, value});
  }

  std::mutex mutex_;
  DialogValues values_;
  std::vector<SentCommand> sent_;
};

// Counts what a dialog told its front end to show.
class RecordingObserver : public FormObserver {
 public:
  void ControlChanged(int id) override { changed.push_back(id); }
  bool Saw(int id) const {
    for (int c : changed)
      if (c == id) return true;
    return false;
  }
  std::vector<int> changed;
};

}  // namespace zirvo::test

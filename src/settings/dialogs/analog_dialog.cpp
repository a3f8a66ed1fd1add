// AnalogDialog: OK, Cancel with restore, Default, exposure refresh.
#include "settings/dialogs/analog_dialog.h"

namespace zirvo {

namespace {

SheetLayout AnalogSheetLayout(DialogLanguage language) {
  const bool japanese = language == DialogLanguage::kJapanese;
  SheetLayout layout;
  layout.caption = japanese ? "プロパティ" : "Property";
  layout.templateId = japanese ? 104 : 111;
  layout.size = japanese ? DialogRect{0, 0, 294, 199} : DialogRect{0, 0, 294, 178};
  layout.tab = japanese ? DialogRect{4, 4, 286, 174} : DialogRect{4, 4, 286, 149};
  layout.buttonY = japanese ? 182 : 161;
  layout.okText = "OK";
  layout.cancelText = japanese ? "キャンセル" : "Cancel";
  layout.thirdButtonX = 100;
  layout.thirdButtonText = japanese ? "規定値(&D)" : "Default(&D)";
  return layout;
}

void SendAnalog(DialogCamera& camera, const AnalogSettings& analog) {
  camera.SendGlobalGain(analog.globalGain);
  camera.SendChannelGain(kGainRegisterGreen1, analog.colorGainGreen1);
  camera.SendChannelGain(kGainRegisterRed, analog.colorGainRed);
  camera.SendChannelGain(kGainRegisterBlue, analog.colorGainBlue);
  camera.SendChannelGain(kGainRegisterGreen2, analog.colorGainGreen2);
  camera.SendExposure(analog.exposure);
}

}  // namespace

AnalogDialog::Saved AnalogDialog::Prepare(DialogCamera& camera) {
  Saved saved;
  // The device call runs outside the settings lock.
  saved.analog = camera.Values().analog;
  camera.ReadProgrammedAnalog(saved.analog);
  camera.Change([&](DialogValues& values) {
    AnalogSettings& analog = values.analog;
    analog.globalGain = saved.analog.globalGain;
    analog.colorGainGreen1 = saved.analog.colorGainGreen1;
    analog.colorGainRed = saved.analog.colorGainRed;
    analog.colorGainBlue = saved.analog.colorGainBlue;
    analog.colorGainGreen2 = saved.analog.colorGainGreen2;
    analog.exposure = saved.analog.exposure;
    saved.analog = analog;
    saved.bayerPhase = values.filter[kFilterBayerMode];
  });
  return saved;
}

AnalogDialog::AnalogDialog(DialogCamera& camera, DialogLanguage language)
    : SheetBase(AnalogSheetLayout(language)), camera_(camera), saved_(Prepare(camera)) {
  page_ = std::make_unique<AnalogPage>(camera, language);
  AddPage(*page_, "Analog Gain", language == DialogLanguage::kJapanese ? 105 : 110);
}

void AnalogDialog::ButtonClicked(int id) {
  if (id == kIdOk) {
    page_->ReadEdits();
    Close(kIdOk);
  } else if (id == kIdCancel) {
    Close(kIdCancel);
    SendAnalog(camera_, saved_.analog);
    camera_.SendMirrorV(saved_.analog.mirrorVertical);
    camera_.SendMirrorH(saved_.analog.mirrorHorizontal);
    camera_.Change([this](DialogValues& values) {
      values.analog = saved_.analog;
      values.filter[kFilterBayerMode] = saved_.bayerPhase;
    });
  } else if (id == kIdDefault) {
    AnalogSettings defaults;
    camera_.Change([&](DialogValues& values) {
      AnalogSettings& analog = values.analog;
      analog.globalGain = analog.colorGainGreen1 = analog.colorGainRed = analog.colorGainBlue =
          analog.colorGainGreen2 = 100;
      analog.exposure = 600;
      defaults = analog;
    });
    SendAnalog(camera_, defaults);
    page_->Reload();
  }
}

void AnalogDialog::ExposureRefreshed() { page_->Reload(); }

}  // namespace zirvo

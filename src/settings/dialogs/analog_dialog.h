// AnalogDialog: the analog sheet; Cancel sends the old values back to the
// camera and restores them.
#pragma once

#include <memory>

#include "settings/dialogs/analog_page.h"
#include "settings/dialogs/sheet_base.h"

namespace zirvo {

class AnalogDialog : public SheetBase {
 public:
  // Takes the gains and exposure the sensor was last programmed with into the
  // analog record, copies it and the Bayer phase aside, and opens the page.
  AnalogDialog(DialogCamera& camera, DialogLanguage language);

  AnalogPage& Page() { return *page_; }

 protected:
  void ButtonClicked(int id) override;
  void ExposureRefreshed() override;

 private:
  struct Saved {
    AnalogSettings analog;
    int32_t bayerPhase = 0;
  };
  static Saved Prepare(DialogCamera& camera);

  DialogCamera& camera_;
  const Saved saved_;
  std::unique_ptr<AnalogPage> page_;
};

}  // namespace zirvo

// DialogRefresh: what the pipeline tells the property dialogs open on a camera.
#pragma once

namespace zirvo {

// Called from the capture thread. A toolkit's controls belong to the dialog's
// thread, so an implementation only posts the refresh there and returns at once.
class DialogRefresh {
 public:
  virtual ~DialogRefresh() = default;
  // A white-balance or gray-gain measurement changed filter values.
  virtual void RefreshFilterSheet() = 0;
  // Automatic exposure changed the gain or the exposure (the analog page's
  // edit boxes 1015 and 1027).
  virtual void RefreshExposureBoxes() = 0;
};

}  // namespace zirvo

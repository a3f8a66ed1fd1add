// The rule by which a converted frame's measurements reach the camera's settings.
#pragma once

#include "convert/pipeline.h"
#include "instance/shared_settings.h"

namespace zirvo {

// Stores what a frame measured into `stored` (under the settings lock), each
// group (white-balance gains, their switches, gray gains, the gray counter,
// the analog gains, the exposure) only where `stored` still holds what
// `used`, the frame's own copy, held: a value set meanwhile is newer than the
// measurement and stays.
void StoreFrameMeasurements(InstanceSettings& stored, const InstanceSettings& used,
                            const FrameMeasurements& measured);

}  // namespace zirvo

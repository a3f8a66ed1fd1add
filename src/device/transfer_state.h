// States of the frame transfer thread.
#pragma once

#include <cstdint>

namespace zirvo {

enum class TransferState : int32_t {
  Idle = 0,
  Streaming = 1,
  SingleShot = 2,
  Paused = 3,
  Stopping = 4,
  Failed = 5,
};

}  // namespace zirvo

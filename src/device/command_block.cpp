// Command and reply blocks of the camera's disk protocol.
#include "device/command_block.h"

namespace zirvo {

CommandBlock::CommandBlock() : data_(platform::AllocateDiskBuffer(kBlockBytes)) {}

void CommandBlock::SetHeader(uint8_t byte0, uint8_t byte1, uint8_t byte2, uint8_t byte3) {
  data_[0] = byte0;
  data_[1] = byte1;
  data_[2] = byte2;
  data_[3] = byte3;
}

}  // namespace zirvo

// The camera's disk protocol: sector addresses, reply layout and command blocks.
#pragma once

#include <cstdint>

#include "platform/raw_disk.h"

namespace zirvo {

inline constexpr uint32_t kReplySectorOffset = 0x20000;
inline constexpr uint32_t kCommandSectorOffset = 0x20200;
inline constexpr uint32_t kFrameAreaOffset = 0x20400;
inline constexpr uint32_t kBlockBytes = 512;

inline constexpr uint8_t kOpcodeFrameRequest = 0x10;
inline constexpr uint8_t kOpcodeWriteRegister = 0x20;
inline constexpr uint8_t kOpcodeReadRegister = 0x21;

// Offsets within the reply sector.
inline constexpr int kIdentityTextBytes = 21;
inline constexpr char kIdentityText[] = "KELVOR USB 3.0 Camera";
inline constexpr int kModelByteAOffset = 26;
inline constexpr int kModelByteBOffset = 27;
inline constexpr int kFrameReadyOffset = 256;
inline constexpr int kRegister8ReplyOffset = 257;
inline constexpr int kRegister16ReplyOffset = 258;

// One 512-byte block in aligned disk memory, zero-filled at creation.
class CommandBlock {
 public:
  CommandBlock();
  // False when the aligned allocation failed; such a block must not be sent.
  bool IsAllocated() const { return data_ != nullptr; }
  void SetHeader(uint8_t byte0, uint8_t byte1, uint8_t byte2, uint8_t byte3);
  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }
  uint8_t At(int offset) const { return data_[offset]; }

 private:
  platform::DiskBuffer data_;
};

}  // namespace zirvo

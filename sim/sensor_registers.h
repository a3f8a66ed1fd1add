// The sensor's 16-bit register file with its power-on values and what was written over the wire.
#pragma once

#include <cstdint>
#include <vector>

namespace zirvo::sim {

namespace reg {
inline constexpr uint16_t kChipId = 0x0000;
inline constexpr uint16_t kExposure = 0x0202;
inline constexpr uint16_t kFrameLength = 0x0340;
inline constexpr uint16_t kLineLength = 0x0342;
inline constexpr uint16_t kFirstColumn = 0x0344;
inline constexpr uint16_t kFirstRow = 0x0346;
inline constexpr uint16_t kLastColumn = 0x0348;
inline constexpr uint16_t kLastRow = 0x034A;
inline constexpr uint16_t kOutputWidth = 0x034C;
inline constexpr uint16_t kOutputHeight = 0x034E;
inline constexpr uint16_t kResetControl = 0x301A;
inline constexpr uint16_t kReadMode = 0x3040;
inline constexpr uint16_t kGainGreen1 = 0x3056;
inline constexpr uint16_t kGainBlue = 0x3058;
inline constexpr uint16_t kGainRed = 0x305A;
inline constexpr uint16_t kGainGreen2 = 0x305C;
inline constexpr uint16_t kGlobalGain = 0x305E;
}  // namespace reg

// Not thread-safe: the camera's lock guards it.
class SensorRegisters {
 public:
  explicit SensorRegisters(uint16_t chipId);

  uint16_t Get(uint16_t address) const { return values_[address]; }
  // -1 when nothing was written over the wire.
  int LastWritten(uint16_t address) const { return lastWritten_[address]; }

  void Write(uint16_t address, uint16_t value);
  // Byte-wide access of the base register model: even addresses are the high
  // byte of the 16-bit register there, odd ones the low byte of the one before.
  void WriteByte(uint16_t address, uint8_t value);
  uint8_t ReadByte(uint16_t address) const;

 private:
  std::vector<uint16_t> values_;
  std::vector<int32_t> lastWritten_;
};

}  // namespace zirvo::sim

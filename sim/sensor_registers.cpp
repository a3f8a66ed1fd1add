// Power-on state of the sensor and register writes.
#include "sensor_registers.h"

namespace zirvo::sim {
namespace {

struct PowerOnValue {
  uint16_t address;
  uint16_t value;
};

// Full 4384 x 3288 window at full resolution, gains 100, exposure 600: the
// state the SDK itself programs by default.
constexpr PowerOnValue kPowerOn[] = {
    {reg::kExposure, 600},       {reg::kFrameLength, 3431},  {reg::kLineLength, 9392},
    {reg::kFirstColumn, 24},     {reg::kFirstRow, 0},        {reg::kLastColumn, 4407},
    {reg::kLastRow, 3287},       {reg::kOutputWidth, 4384},  {reg::kOutputHeight, 3288},
    {reg::kResetControl, 0x10DC}, {reg::kReadMode, 0x0041},  {reg::kGainGreen1, 0x1064},
    {reg::kGainBlue, 0x1064},    {reg::kGainRed, 0x1064},    {reg::kGainGreen2, 0x1064},
    {reg::kGlobalGain, 0x1064},  {0x3044, 0x0400},           {0x30D4, 0x9080},
};

constexpr std::size_t kRegisterCount = 0x10000;

}  // namespace

SensorRegisters::SensorRegisters(uint16_t chipId)
    : values_(kRegisterCount, 0), lastWritten_(kRegisterCount, -1) {
  for (const PowerOnValue& entry : kPowerOn) values_[entry.address] = entry.value;
  values_[reg::kChipId] = chipId;
}

void SensorRegisters::Write(uint16_t address, uint16_t value) {
  lastWritten_[address] = value;
  if (address != reg::kChipId) values_[address] = value;  // the identifier is read-only
}

void SensorRegisters::WriteByte(uint16_t address, uint8_t value) {
  const uint16_t word = address & 0xFFFEu;
  const uint16_t current = values_[word];
  const uint16_t updated = (address & 1u) != 0 ? static_cast<uint16_t>((current & 0xFF00u) | value)
                                               : static_cast<uint16_t>((current & 0x00FFu) | (value << 8));
  Write(word, updated);
}

uint8_t SensorRegisters::ReadByte(uint16_t address) const {
  const uint16_t word = values_[address & 0xFFFEu];
  return (address & 1u) != 0 ? static_cast<uint8_t>(word & 0xFFu) : static_cast<uint8_t>(word >> 8);
}

}  // namespace zirvo::sim

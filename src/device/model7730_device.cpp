// Model7730Device: sensor register protocol and sensor programming.
#include "device/model7730_device.h"

#include <algorithm>

#include "device/command_block.h"
#include "platform/clock.h"

namespace zirvo {

namespace {

constexpr int kChipIdRegister = 0x0000;
constexpr int kGroupHoldRegister = 0x0104;
constexpr int kExposureRegister = 0x0202;
constexpr int kFrameLengthRegister = 0x0340;
constexpr int kLineLengthRegister = 0x0342;
constexpr int kFirstColumnRegister = 0x0344;
constexpr int kFirstRowRegister = 0x0346;
constexpr int kLastColumnRegister = 0x0348;
constexpr int kLastRowRegister = 0x034A;
constexpr int kOutputWidthRegister = 0x034C;
constexpr int kOutputHeightRegister = 0x034E;
constexpr int kResetRegister = 0x301A;
constexpr int kReadModeRegister = 0x3040;
constexpr int kGlobalGainRegister = 0x305E;
constexpr std::array<int, 4> kChannelGainRegisters{0x3056, 0x3058, 0x305A, 0x305C};

constexpr int kVerifyAttempts = 10;
constexpr uint32_t kRetrySleepMilliseconds = 10;
constexpr uint32_t kReplySleepMilliseconds = 10;
constexpr uint32_t kReapplySleepMilliseconds = 100;
constexpr int kMaxGain = 125;
constexpr int kGainEnableBit = 0x1000;
constexpr int kFlipBit = 0x8000;

struct WindowProgram {
  int readMode;
  int outputWidth;
  int outputHeight;
  int lastColumn;
  int lastRow;
  int lineLength;
};

WindowProgram ProgramFor(int x, int y, int width, int height, int mode) {
  if (mode == 1) {
    const int outputWidth = (width + 1) / 2;
    return {0xC3, outputWidth, (height + 1) / 2, x + width + 24, y + height, std::max(outputWidth, 1224) + 156};
  }
  if (mode == 2) {
    const int outputWidth = (width + 1) / 4;
    return {0x1C7, outputWidth, (height + 1) / 4, x + width + 24, y + height, std::max(outputWidth, 1224) + 78};
  }
  return {0x41, width, height, x + width + 23, y + height - 1, std::max(width, 1224) + 312};
}

}  // namespace

class Model7730Device::PauseScope {
 public:
  explicit PauseScope(DiskCameraDevice& device) : device_(device), token_(device.PauseTransfer()) {}
  ~PauseScope() { device_.ResumeTransfer(token_); }
  PauseScope(const PauseScope&) = delete;
  PauseScope& operator=(const PauseScope&) = delete;
  bool Refused() const { return token_ == -1; }

 private:
  DiskCameraDevice& device_;
  int token_;
};

Model7730Device::Model7730Device() : DiskCameraDevice(0x70, 0x05) {
  StoreWindow(0, 0, kSensorWidth, kSensorHeight, 0);
  ScanRegistry("7730");
  if (IsValidDeviceIndex(0) == 1) Open();
}

Model7730Device::~Model7730Device() { Close(); }

int Model7730Device::Open() {
  if (DiskCameraDevice::Open() != 1) return 0;
  uint16_t chip = 0;
  if (ReadRegister16(kChipIdRegister, &chip) == 1) chipId_.store(chip);
  return 1;
}

// --- Register protocol ----------------------------------------------------

int Model7730Device::WriteRegister16(int address, int value) {
  CommandBlock block;
  if (!block.IsAllocated()) return 0;
  block.SetHeader(kOpcodeWriteRegister, 0x00, uint8_t(address >> 8), uint8_t(address));
  if (!WriteBlock(kCommandSectorOffset, block.Data())) return 0;
  block.SetHeader(kOpcodeWriteRegister, 0x01, uint8_t(value >> 8), uint8_t(value));
  return WriteBlock(kCommandSectorOffset, block.Data()) ? 1 : 0;
}

int Model7730Device::ReadRegister16(int address, uint16_t* value) {
  CommandBlock block;
  if (!block.IsAllocated()) return 0;
  block.SetHeader(kOpcodeReadRegister, 0x00, uint8_t(address >> 8), uint8_t(address));
  if (!WriteBlock(kCommandSectorOffset, block.Data())) return 0;
  platform::Sleep(kReplySleepMilliseconds);
  CommandBlock reply;
  if (!reply.IsAllocated() || !ReadReplySector(reply.Data())) return 0;
  if (value) *value = uint16_t(reply.At(kRegister16ReplyOffset) + 256 * reply.At(kRegister16ReplyOffset + 1));
  return 1;
}

int Model7730Device::WriteSensorRegister(int address, int value) {
  std::lock_guard programming(programmingMutex_);
  if (!IsVerifiedChip() || !verification_) return WriteRegister16(address, value);
  for (int attempt = 0; attempt < kVerifyAttempts; ++attempt) {
    WriteRegister16(address, value);
    uint16_t readBack = 0;
    ReadRegister16(address, &readBack);
    if (readBack == uint16_t(value)) return 1;
    platform::Sleep(kRetrySleepMilliseconds);
  }
  return 0;
}

int Model7730Device::ReadSensorRegister(int address, uint16_t* value) {
  std::lock_guard programming(programmingMutex_);
  return IsVerifiedChip() ? ReadRegister16(address, value) : 0;
}

// --- Sensor programming ---------------------------------------------------

int Model7730Device::SetCaptureWindow(int x, int y, int width, int height, int mode) {
  std::lock_guard programming(programmingMutex_);
  PauseScope pause(*this);
  if (pause.Refused()) return kCommandFailed;
  if (x < 0 || y < 0 || width < 4 || height < 3) return 1;
  // Compared by subtraction: x + width could overflow for a huge x.
  if (x > kSensorWidth - width || y > kSensorHeight - height || mode < 0 || mode > 20) return 1;
  mode &= 0x1F;
  StoreWindow(x, y, width, height, mode);
  verification_ = true;
  WriteWindowRegisters(x, y, width, height, mode);
  verification_ = false;
  return 0;
}

void Model7730Device::WriteWindowRegisters(int x, int y, int width, int height, int mode) {
  const WindowProgram program = ProgramFor(x, y, width, height, mode);
  WriteSensorRegister(kGroupHoldRegister, 1);
  WriteSensorRegister(kFrameLengthRegister, program.outputHeight + 143);
  WriteSensorRegister(kLineLengthRegister, 2 * program.lineLength);
  WriteSensorRegister(kFirstColumnRegister, x + 24);
  WriteSensorRegister(kFirstRowRegister, y);
  WriteSensorRegister(kLastColumnRegister, program.lastColumn);
  WriteSensorRegister(kLastRowRegister, program.lastRow);
  WriteSensorRegister(kOutputWidthRegister, program.outputWidth);
  WriteSensorRegister(kOutputHeightRegister, program.outputHeight);
  WriteSensorRegister(0x0400, 0);
  WriteSensorRegister(0x0404, 16);
  WriteSensorRegister(0x3018, 0);
  WriteSensorRegister(0x3010, 0x94);
  WriteSensorRegister(0x3014, 0x3FC);
  uint16_t reset = 0x10DC;
  if (IsVerifiedChip()) {
    uint16_t unused = 0;
    ReadRegister16(0x30D4, &unused);
    ReadRegister16(0x3044, &unused);
    ReadRegister16(kResetRegister, &reset);
  }
  WriteSensorRegister(kResetRegister, reset | 0x0002);
  WriteSensorRegister(kGroupHoldRegister, 0);
  WriteSensorRegister(kReadModeRegister, program.readMode);
  // A window change always leaves the image unflipped.
  readModeCache_ = program.readMode;
}

int Model7730Device::SetMirrorH(int) { return 0; }

int Model7730Device::GetMirrorH() { return 0; }

int Model7730Device::SetMirrorV(int flag) {
  std::lock_guard programming(programmingMutex_);
  PauseScope pause(*this);
  if (pause.Refused()) return kCommandFailed;
  const int value = flag != 0 ? (readModeCache_ | kFlipBit) : (readModeCache_ & ~kFlipBit);
  verification_ = true;
  WriteSensorRegister(kReadModeRegister, value);
  verification_ = false;
  readModeCache_ = value & 0xFFFF;
  verticalFlip_ = flag;
  return 0;
}

int Model7730Device::GetMirrorV() {
  std::lock_guard programming(programmingMutex_);
  verticalFlip_ = (readModeCache_ & kFlipBit) ? 1 : 0;
  return verticalFlip_;
}

int Model7730Device::ChannelGainSlot(int address) {
  const auto found = std::find(kChannelGainRegisters.begin(), kChannelGainRegisters.end(), address);
  return found == kChannelGainRegisters.end() ? -1 : int(found - kChannelGainRegisters.begin());
}

int Model7730Device::SetChannelGain(int address, int value) {
  std::lock_guard programming(programmingMutex_);
  const int slot = ChannelGainSlot(address);
  if (slot < 0) return 0;
  PauseScope pause(*this);
  if (pause.Refused()) return 0;
  const int registerValue = std::min(value & 0xFFFF, kMaxGain) | kGainEnableBit;
  channelGainCaches_[slot] = registerValue;
  return WriteSensorRegister(address, registerValue);
}

int Model7730Device::GetChannelGain(int address, uint16_t* value) {
  std::lock_guard programming(programmingMutex_);
  const int slot = ChannelGainSlot(address);
  if (slot < 0 || channelGainCaches_[slot] == -1) return 0;
  if (value) *value = uint16_t(channelGainCaches_[slot] & ~kGainEnableBit);
  return 1;
}

int Model7730Device::SetGlobalGain(int value) {
  std::lock_guard programming(programmingMutex_);
  PauseScope pause(*this);
  if (pause.Refused()) return 0;
  const int clamped = std::min(value & 0xFFFF, kMaxGain);
  globalGainCache_ = clamped;
  return WriteSensorRegister(kGlobalGainRegister, clamped | kGainEnableBit);
}

int Model7730Device::GetGlobalGain() {
  std::lock_guard programming(programmingMutex_);
  return globalGainCache_ == -1 ? 0 : (globalGainCache_ & 0xFFFF);
}

int Model7730Device::SetExposure(int value) {
  std::lock_guard programming(programmingMutex_);
  PauseScope pause(*this);
  if (pause.Refused()) return 0;
  const int exposure = (value == 0 ? 1 : value) & 0xFFFF;
  exposureCache_ = exposure;
  return WriteSensorRegister(kExposureRegister, exposure);
}

int Model7730Device::GetExposure(int* value) {
  std::lock_guard programming(programmingMutex_);
  if (exposureCache_ == -1) return 0;
  if (value) *value = exposureCache_;
  return 1;
}

// --- Transfer -------------------------------------------------------------

int Model7730Device::StartStreaming() {
  std::lock_guard programming(programmingMutex_);
  const int result = DiskCameraDevice::StartStreaming();
  if (!IsVerifiedChip()) {
    SetGlobalGain(globalGainCache_ & 0xFFFF);
    platform::Sleep(kReapplySleepMilliseconds);
    SetExposure(exposureCache_);
    platform::Sleep(kReapplySleepMilliseconds);
    SetMirrorV(verticalFlip_);
  }
  return result;
}

int Model7730Device::ReadFrame(void* destination, uint32_t bytes) {
  if (!IsVerifiedChip()) return DiskCameraDevice::ReadFrame(destination, bytes);
  if (!IsOpen()) return 0;
  if (!SendFrameRequest()) return 0;
  return ReadBytes(kFrameAreaOffset, destination, bytes) ? 1 : 0;
}

}  // namespace zirvo

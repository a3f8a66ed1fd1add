// Firmware emulation: identity, register commands, frame requests, pacing, faults and the exchange log.
#include "simulated_camera.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "zirvo_port.h"

namespace zirvo::sim {
namespace {

constexpr char kIdentity[] = "KELVOR USB 3.0 Camera V1.0";
constexpr uint8_t kModelByteA = 0x70;
constexpr uint8_t kModelByteB = 0x05;
constexpr uint32_t kReadyFlag = 256;
constexpr uint32_t kByteReply = 257;
constexpr uint32_t kWordReply = 258;

constexpr uint8_t kFrameRequest = 0x10;
constexpr uint8_t kRegisterWrite = 0x20;
constexpr uint8_t kRegisterRead = 0x21;

constexpr std::size_t kLogCapacity = 65536;
// Longest single sleep of a blocked read, so that faults and detach get through.
constexpr uint32_t kWaitStepMilliseconds = 5;
// A status poll while no frame is ready costs one round trip on the bus.
constexpr uint32_t kPollLatencyMilliseconds = 1;

int ReadOp(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
  try {
    return static_cast<SimulatedCamera*>(context)->ReadAt(offset, buffer, bytes) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int WriteOp(void* context, uint32_t offset, const void* buffer, uint32_t bytes) {
  try {
    return static_cast<SimulatedCamera*>(context)->WriteAt(offset, buffer, bytes) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void FillZeros(void* buffer, uint32_t bytes) {
  if (bytes > 0) std::memset(buffer, 0, bytes);
}

}  // namespace

ZirvoSimConfig DefaultConfig() {
  ZirvoSimConfig config{};
  config.size = sizeof(config);
  config.chip_id = 0x2E00;
  config.paced = 1;
  config.seed = 1;
  config.animated = 0;
  config.hot_pixels = 16;
  config.stall_timeout_ms = 10000;
  config.register_enum = 1;
  return config;
}

std::string EnumerationText(int drive) {
  return "USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\\SIM" + std::to_string(drive) + "&0";
}

SimulatedCamera::SimulatedCamera(int drive, const ZirvoSimConfig& config)
    : drive_(drive),
      config_(config),
      enumerationText_(EnumerationText(drive)),
      registers_(static_cast<uint16_t>(config.chip_id)),
      renderer_(config.seed, config.hot_pixels, config.animated != 0),
      pacer_(config.paced != 0) {}

SimulatedCamera::~SimulatedCamera() { Detach(); }

bool SimulatedCamera::Attach() {
  const ZirvoPortDiskOps ops{sizeof(ZirvoPortDiskOps), ReadOp, WriteOp};
  if (ZirvoPort_AttachDisk(drive_, &ops, this) == 0) return false;
  attached_.store(true);
  if (config_.register_enum != 0) {
    ZirvoPort_AddEnumText(enumerationText_.c_str());
    std::lock_guard lock(mutex_);
    enumerated_ = true;
  }
  return true;
}

void SimulatedCamera::Detach() {
  detaching_.store(true);
  if (attached_.exchange(false)) ZirvoPort_DetachDisk(drive_);
  LeaveEnumeration();
}

void SimulatedCamera::LeaveEnumeration() {
  bool wasListed;
  {
    std::lock_guard lock(mutex_);
    wasListed = enumerated_;
    enumerated_ = false;
  }
  if (wasListed) ZirvoPort_RemoveEnumText(enumerationText_.c_str());
}

bool SimulatedCamera::ReadAt(uint32_t offset, void* buffer, uint32_t bytes) {
  if (offset == kReplySector) return ReadReply(buffer, bytes);
  if (offset == kFrameArea) return ReadFrame(buffer, bytes);
  uint64_t sequence;
  {
    std::lock_guard lock(mutex_);
    sequence = LogArrival(false, offset, bytes, nullptr);
    if (Gone()) {
      LogResult(sequence, false);
      return false;
    }
  }
  FillZeros(buffer, bytes);
  return true;
}

bool SimulatedCamera::WriteAt(uint32_t offset, const void* buffer, uint32_t bytes) {
  uint8_t command[4] = {0, 0, 0, 0};
  const bool isCommand = offset == kCommandSector;
  if (isCommand) std::memcpy(command, buffer, std::min<uint32_t>(bytes, sizeof(command)));
  std::lock_guard lock(mutex_);
  const uint64_t sequence = LogArrival(true, offset, bytes, isCommand ? command : nullptr);
  if (Gone()) {
    LogResult(sequence, false);
    return false;
  }
  if (isCommand) HandleCommand(command);
  return true;
}

bool SimulatedCamera::ReadReply(void* buffer, uint32_t bytes) {
  std::unique_lock lock(mutex_);
  const uint64_t sequence = LogArrival(false, kReplySector, bytes, nullptr);
  if (!Gone() && !FrameReady(pacer_.Now()) && (config_.paced != 0 || stalled_.load())) {
    lock.unlock();
    ZirvoPort_Sleep(kPollLatencyMilliseconds);
    lock.lock();
  }
  if (Gone()) {
    LogResult(sequence, false);
    return false;
  }
  uint8_t sector[kSectorBytes] = {};
  std::memcpy(sector, kIdentity, sizeof(kIdentity) - 1);
  sector[26] = kModelByteA;
  sector[27] = kModelByteB;
  sector[kReadyFlag] = FrameReady(pacer_.Now()) ? 1 : 0;
  sector[kByteReply] = byteReply_;
  sector[kWordReply] = static_cast<uint8_t>(wordReply_ & 0xFFu);
  sector[kWordReply + 1] = static_cast<uint8_t>(wordReply_ >> 8);
  const uint32_t copied = std::min<uint32_t>(bytes, kSectorBytes);
  std::memcpy(buffer, sector, copied);
  FillZeros(static_cast<uint8_t*>(buffer) + copied, bytes - copied);
  return true;
}

bool SimulatedCamera::ReadFrame(void* buffer, uint32_t bytes) {
  uint64_t sequence;
  uint64_t due;
  {
    std::lock_guard lock(mutex_);
    sequence = LogArrival(false, kFrameArea, bytes, nullptr);
    due = pacer_.Due(pacer_.Now(), registers_);
  }
  const bool arrived = WaitForFrame(due);
  std::shared_ptr<const Frame> frame;
  {
    std::lock_guard lock(mutex_);
    if (!arrived || Gone()) {
      LogResult(sequence, false);
      return false;
    }
    frame = renderer_.Render(registers_, framesServed_);
    ++framesServed_;
    lastFrame_ = frame;
    pacer_.Served(pacer_.Now(), registers_);
  }
  const uint32_t copied = std::min<uint32_t>(bytes, static_cast<uint32_t>(frame->samples.size()));
  if (copied > 0) std::memcpy(buffer, frame->samples.data(), copied);
  FillZeros(static_cast<uint8_t*>(buffer) + copied, bytes - copied);
  return true;
}

bool SimulatedCamera::WaitForFrame(uint64_t due) {
  uint64_t stallStart = 0;
  bool stallSeen = false;
  // Counted while held by the stall, so that a test knows a read is blocked.
  struct HeldRead {
    std::atomic<unsigned>& count;
    bool held = false;
    void Hold() {
      if (!held) count.fetch_add(1);
      held = true;
    }
    ~HeldRead() {
      if (held) count.fetch_sub(1);
    }
  } heldRead{stalledReads_};
  for (;;) {
    if (Gone()) return false;
    uint64_t now;
    {
      std::lock_guard lock(mutex_);
      now = pacer_.Now();
    }
    if (stalled_.load()) {
      if (!stallSeen) stallStart = now;
      stallSeen = true;
      heldRead.Hold();
      if (now - stallStart >= static_cast<uint64_t>(config_.stall_timeout_ms) * 1000u) return false;
      ZirvoPort_Sleep(kWaitStepMilliseconds);
      continue;
    }
    if (now >= due) return true;
    const uint64_t remaining = (due - now + 999u) / 1000u;
    ZirvoPort_Sleep(static_cast<uint32_t>(std::min<uint64_t>(remaining, kWaitStepMilliseconds)));
  }
}

void SimulatedCamera::HandleCommand(const uint8_t command[4]) {
  switch (command[0]) {
    case kFrameRequest: pacer_.Start(pacer_.Now(), registers_); break;
    case kRegisterWrite: HandleRegisterWrite(command); break;
    case kRegisterRead: HandleRegisterRead(command); break;
    default: break;  // unknown opcodes are ignored, as the firmware does
  }
}

// Byte 1 tells the forms apart: 0 and 1 are the phases of a 16-bit write, any
// other value is the high address byte of the byte-wide form (whose addresses
// below 0x0200 this 16-bit sensor therefore cannot take).
void SimulatedCamera::HandleRegisterWrite(const uint8_t command[4]) {
  const uint16_t argument = static_cast<uint16_t>((command[2] << 8) | command[3]);
  if (command[1] == 0x00) {
    pendingAddress_ = argument;
  } else if (command[1] == 0x01) {
    if (pendingAddress_ >= 0) registers_.Write(static_cast<uint16_t>(pendingAddress_), argument);
    pendingAddress_ = -1;
  } else {
    registers_.WriteByte(static_cast<uint16_t>((command[1] << 8) | command[2]), command[3]);
  }
}

// Both forms are answered at once: byte 257 for the byte-wide address in
// bytes 1-2, bytes 258-259 for the 16-bit address in bytes 2-3 when byte 1 is 0.
void SimulatedCamera::HandleRegisterRead(const uint8_t command[4]) {
  byteReply_ = registers_.ReadByte(static_cast<uint16_t>((command[1] << 8) | command[2]));
  if (command[1] == 0x00) wordReply_ = ReadBack(static_cast<uint16_t>((command[2] << 8) | command[3]));
}

uint16_t SimulatedCamera::ReadBack(uint16_t address) {
  const uint16_t value = registers_.Get(address);
  if (mismatches_ == 0 || (mismatchAddress_ >= 0 && mismatchAddress_ != address)) return value;
  --mismatches_;
  return static_cast<uint16_t>(value ^ 0xFFFFu);
}

bool SimulatedCamera::FrameReady(uint64_t now) {
  return !stalled_.load() && pacer_.Ready(now, registers_);
}

uint64_t SimulatedCamera::LogArrival(bool write, uint32_t offset, uint32_t bytes,
                                     const uint8_t* command) {
  ZirvoSimExchange entry{};
  entry.write = write ? 1 : 0;
  entry.offset = offset;
  entry.bytes = bytes;
  if (command != nullptr) std::memcpy(entry.command, command, sizeof(entry.command));
  entry.ok = 1;
  entry.time_ms = ZirvoPort_TimeGetTime();
  if (exchangesBeforeUnplug_ == 0) unplugged_.store(true);
  if (exchangesBeforeUnplug_ > 0) --exchangesBeforeUnplug_;
  if (log_.size() == kLogCapacity) {
    log_.pop_front();
    ++firstLogSequence_;
  }
  log_.push_back(entry);
  return firstLogSequence_ + log_.size() - 1;
}

void SimulatedCamera::LogResult(uint64_t sequence, bool ok) {
  if (sequence < firstLogSequence_) return;
  const uint64_t index = sequence - firstLogSequence_;
  if (index < log_.size()) log_[index].ok = ok ? 1 : 0;
}

int SimulatedCamera::LastWritten(int address) {
  if (address < 0 || address > 0xFFFF) return -1;
  std::lock_guard lock(mutex_);
  return registers_.LastWritten(static_cast<uint16_t>(address));
}

int SimulatedCamera::Peek(int address) {
  if (address < 0 || address > 0xFFFF) return -1;
  std::lock_guard lock(mutex_);
  return registers_.Get(static_cast<uint16_t>(address));
}

unsigned SimulatedCamera::FramesServed() {
  std::lock_guard lock(mutex_);
  return framesServed_;
}

unsigned SimulatedCamera::CopyLastFrame(void* buffer, unsigned size) {
  std::shared_ptr<const Frame> frame;
  {
    std::lock_guard lock(mutex_);
    frame = lastFrame_;
  }
  if (frame == nullptr || buffer == nullptr) return 0;
  const unsigned copied = std::min<unsigned>(size, static_cast<unsigned>(frame->samples.size()));
  if (copied > 0) std::memcpy(buffer, frame->samples.data(), copied);
  return copied;
}

void SimulatedCamera::FrameSize(unsigned& width, unsigned& height) {
  std::lock_guard lock(mutex_);
  const FrameGeometry geometry = FrameGeometry::FromRegisters(registers_);
  width = static_cast<unsigned>(geometry.width);
  height = static_cast<unsigned>(geometry.height);
}

unsigned SimulatedCamera::FrameTimeMicroseconds() {
  std::lock_guard lock(mutex_);
  return static_cast<unsigned>(FramePacer::FrameTime(registers_));
}

unsigned SimulatedCamera::CopyLog(ZirvoSimExchange* entries, unsigned max) {
  std::lock_guard lock(mutex_);
  const unsigned held = static_cast<unsigned>(log_.size());
  if (entries != nullptr) std::copy_n(log_.begin(), std::min(held, max), entries);
  return held;
}

void SimulatedCamera::ClearLog() {
  std::lock_guard lock(mutex_);
  firstLogSequence_ += log_.size();
  log_.clear();
}

void SimulatedCamera::Unplug() {
  unplugged_.store(true);
  LeaveEnumeration();
}

void SimulatedCamera::UnplugAfter(unsigned exchanges) {
  std::lock_guard lock(mutex_);
  exchangesBeforeUnplug_ = exchanges;
}

void SimulatedCamera::SetStalled(bool stalled) { stalled_.store(stalled); }

void SimulatedCamera::SetSlowFrames(unsigned count, unsigned milliseconds) {
  std::lock_guard lock(mutex_);
  pacer_.SetSlowFrames(count, milliseconds);
}

void SimulatedCamera::SetReadbackMismatch(int address, unsigned count) {
  std::lock_guard lock(mutex_);
  mismatchAddress_ = address;
  mismatches_ = count;
}

}  // namespace zirvo::sim

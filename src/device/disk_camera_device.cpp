// DiskCameraDevice: discovery and open, 8-bit registers, pause handshake and
// the frame transfer thread.
#include "device/disk_camera_device.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <string>
#include <vector>

#include "device/command_block.h"
#include "platform/clock.h"
#include "platform/disk_enumeration.h"

namespace zirvo {

namespace {

constexpr int kRegistryNotFound = 2;
// A value whose text with its terminator does not fit this buffer is skipped.
constexpr std::size_t kEnumerationValueBytes = 256;
constexpr uint32_t kPauseAckWaitMilliseconds = 1000;
constexpr uint32_t kPausedSleepMilliseconds = 10;

bool IsCameraEntry(const std::string& text, const std::string& model) {
  if (text.size() + 1 > kEnumerationValueBytes) return false;
  return text.find("KELVOR") != std::string::npos && text.find("USB3.0") != std::string::npos &&
         text.find(model) != std::string::npos && text.find("DS") == std::string::npos;
}

}  // namespace

// Held for one exchange on a disk: a positioning and its transfer. Its
// waiters can give up, as a frame read given up by a stop may hold it for as
// long as the camera stalls.
class DiskCameraDevice::ExchangeLock {
 public:
  void Lock() {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return !held_; });
    held_ = true;
  }
  bool TryLockFor(uint32_t milliseconds) {
    std::unique_lock lock(mutex_);
    if (!released_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return !held_; })) return false;
    held_ = true;
    return true;
  }
  void Unlock() {
    std::lock_guard lock(mutex_);
    held_ = false;
    released_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;  // guarded by mutex_; any thread that exchanges on the disk
};

// Ends the hold of an ExchangeLock that was taken.
class DiskCameraDevice::ExchangeGuard {
 public:
  ExchangeGuard() = default;
  ExchangeGuard(const ExchangeGuard&) = delete;
  ExchangeGuard& operator=(const ExchangeGuard&) = delete;
  ~ExchangeGuard() {
    if (lock_) lock_->Unlock();
  }
  void Hold(ExchangeLock& lock) { lock_ = &lock; }

 private:
  ExchangeLock* lock_ = nullptr;
};

struct DiskCameraDevice::DiskChannel {
  DiskChannel(std::unique_ptr<platform::RawDisk> openDisk, int number)
      : disk(std::move(openDisk)), drive(number) {}
  ExchangeLock io;
  const std::unique_ptr<platform::RawDisk> disk;
  const int drive;
};

// One frame-area read, owned jointly by the waiting transfer thread and the
// helper thread that runs it; nothing in it points back at the device.
struct DiskCameraDevice::FrameAreaRead {
  std::shared_ptr<DiskChannel> channel;
  std::shared_ptr<uint8_t> target;
  uint32_t bytes = 0;
  std::atomic<bool> finished{false};
  std::atomic<bool> succeeded{false};
  // Set when the read finishes or the device abandons it.
  platform::ManualResetEvent wake;

  void Run() {
    bool ok;
    {
      channel->io.Lock();
      ExchangeGuard held;
      held.Hold(channel->io);
      ok = channel->disk->SetPosition(kFrameAreaOffset) && channel->disk->Read(target.get(), bytes);
    }
    succeeded.store(ok);
    finished.store(true);
    wake.Set();
  }
};

DiskCameraDevice::DiskCameraDevice(uint8_t modelByteA, uint8_t modelByteB)
    : modelByteA_(modelByteA), modelByteB_(modelByteB) {}

DiskCameraDevice::~DiskCameraDevice() {
  // A derived destructor has closed already; this covers a plain base object.
  StopStreaming();
  CloseDisk();
}

void DiskCameraDevice::Reserved1() {}

int DiskCameraDevice::ScanRegistry(const char* modelText) {
  deviceCount_ = 0;
  std::vector<std::string> texts;
  const bool readable = platform::ReadDiskEnumeration(texts);
  if (readable) {
    const std::string model = modelText ? modelText : "";
    deviceCount_ = int(std::count_if(texts.begin(), texts.end(),
                                     [&](const std::string& text) { return IsCameraEntry(text, model); }));
  }
  deviceIndex_ = 0;
  return readable ? 0 : kRegistryNotFound;
}

int DiskCameraDevice::SetSampleWidth(int) { return 0; }

void DiskCameraDevice::SetTimeout(uint32_t timeout) {
  if (timeout >= 1 && timeout <= 10000) timeout_.store(timeout);
}

uint32_t DiskCameraDevice::GetTimeout() { return timeout_.load(); }

float DiskCameraDevice::GetFrameRate() { return frameRate_.load(); }

int DiskCameraDevice::Reserved8() { return 1; }

int DiskCameraDevice::PollSingleCapture() { return 1; }

int DiskCameraDevice::Reserved10() { return 0; }

int DiskCameraDevice::GetDeviceCount() { return deviceCount_; }

int DiskCameraDevice::IsValidDeviceIndex(int index) { return index >= 0 && index < deviceCount_ ? 1 : 0; }

int DiskCameraDevice::GetDeviceIndex() { return deviceIndex_; }

int DiskCameraDevice::SelectDevice(int index) {
  if (!IsValidDeviceIndex(index)) return 1;
  int drive = 0;
  std::unique_ptr<platform::RawDisk> disk = FindDisk(index, drive);
  // A camera that cannot be opened leaves the one in use, its index and its
  // transfer as they were.
  if (!disk) return 1;
  // A transfer cannot follow its camera to another disk.
  MarkFailed();
  deviceIndex_ = index;
  InstallDisk(std::move(disk), drive);
  return 0;
}

int DiskCameraDevice::SetCaptureWindow(int, int, int, int, int) { return 1; }

void DiskCameraDevice::GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode) {
  if (x) *x = x_.load();
  if (y) *y = y_.load();
  if (width) *width = width_.load();
  if (height) *height = height_.load();
  if (mode) *mode = mode_.load();
}

int DiskCameraDevice::SetMirrorH(int) { return 1; }
int DiskCameraDevice::SetMirrorV(int) { return 1; }
int DiskCameraDevice::GetMirrorH() { return 0; }
int DiskCameraDevice::GetMirrorV() { return 0; }
int DiskCameraDevice::Reserved27(int) { return 0; }
int DiskCameraDevice::Reserved28() { return 0; }
int DiskCameraDevice::Reserved29(int) { return 0; }
int DiskCameraDevice::Reserved30(int*) { return 0; }
int DiskCameraDevice::SetIoPort(uint8_t) { return 0; }
int DiskCameraDevice::GetIoPort(uint8_t*) { return 0; }
int DiskCameraDevice::ReadSromId(int, uint8_t*) { return 0; }
int DiskCameraDevice::WriteSromId(int, int) { return 0; }

// --- Disk exchanges -------------------------------------------------------

std::shared_ptr<DiskCameraDevice::DiskChannel> DiskCameraDevice::Channel() const {
  std::lock_guard lock(channelMutex_);
  return channel_;
}

bool DiskCameraDevice::IsOpen() const { return Channel() != nullptr; }

int DiskCameraDevice::GetOpenDrive() const {
  std::shared_ptr<DiskChannel> channel = Channel();
  return channel ? channel->drive : 0;
}

bool DiskCameraDevice::LockChannel(DiskChannel& channel, ExchangeGuard& held) {
  // A frame read given up by a stop may still hold the disk while the camera
  // stalls: wait for it no longer than the time-out, then fail the exchange.
  if (!channel.io.TryLockFor(timeout_.load())) return false;
  held.Hold(channel.io);
  return true;
}

bool DiskCameraDevice::WriteBlock(uint32_t offset, const uint8_t* block) {
  std::shared_ptr<DiskChannel> channel = Channel();
  ExchangeGuard held;
  if (!channel || !block || !LockChannel(*channel, held)) return false;
  return channel->disk->SetPosition(offset) && channel->disk->Write(block, kBlockBytes);
}

bool DiskCameraDevice::ReadBytes(uint32_t offset, void* destination, uint32_t bytes) {
  std::shared_ptr<DiskChannel> channel = Channel();
  ExchangeGuard held;
  if (!channel || !destination || !LockChannel(*channel, held)) return false;
  return channel->disk->SetPosition(offset) && channel->disk->Read(destination, bytes);
}

bool DiskCameraDevice::ReadFrameArea(void* destination, uint32_t bytes) {
  std::shared_ptr<DiskChannel> channel = Channel();
  if (!channel || !destination) return false;
  auto read = std::make_shared<FrameAreaRead>();
  read->channel = std::move(channel);
  read->bytes = bytes;
  // A slot buffer is shared with the read; any other destination gets a
  // buffer of the read's own, copied out once the read has finished.
  const bool intoSlot = readTarget_ && readTarget_.get() == destination;
  if (intoSlot) {
    read->target = readTarget_;
  } else {
    platform::DiskBuffer bounce = platform::AllocateDiskBuffer(bytes);
    if (!bounce) return false;
    read->target = std::shared_ptr<uint8_t>(bounce.release(), platform::DiskBufferDeleter{});
  }
  {
    std::lock_guard lock(readMutex_);
    currentRead_ = read;
  }
  platform::Thread helper;
  const bool started = helper.Start([read] { read->Run(); });
  if (started) helper.Detach();
  while (started && !read->finished.load() && !abandonRead_.load()) read->wake.Wait(platform::kInfinite);
  {
    std::lock_guard lock(readMutex_);
    currentRead_.reset();
  }
  // Abandoned: the helper finishes on its own, holding the disk and buffer.
  if (!started || !read->finished.load() || !read->succeeded.load()) return false;
  if (!intoSlot) std::memcpy(destination, read->target.get(), bytes);
  return true;
}

void DiskCameraDevice::AbandonRead() {
  abandonRead_.store(true);
  std::lock_guard lock(readMutex_);
  if (currentRead_) currentRead_->wake.Set();
}

bool DiskCameraDevice::SendFrameRequest() {
  CommandBlock block;
  if (!block.IsAllocated()) return false;
  block.SetHeader(kOpcodeFrameRequest, 0, 0, 0);
  return WriteBlock(kCommandSectorOffset, block.Data());
}

bool DiskCameraDevice::ReadReplySector(uint8_t* reply) { return ReadBytes(kReplySectorOffset, reply, kBlockBytes); }

void DiskCameraDevice::CloseDisk() {
  std::shared_ptr<DiskChannel> closed;
  std::lock_guard lock(channelMutex_);
  // A read abandoned by a stop may still hold the channel; it closes the
  // disk when it finishes.
  closed = std::move(channel_);
}

void DiskCameraDevice::InstallDisk(std::unique_ptr<platform::RawDisk> disk, int drive) {
  auto channel = std::make_shared<DiskChannel>(std::move(disk), drive);
  std::lock_guard lock(channelMutex_);
  channel_ = std::move(channel);
}

// --- Discovery and open ---------------------------------------------------

std::unique_ptr<platform::RawDisk> DiskCameraDevice::FindDisk(int index, int& drive) {
  int matches = 0;
  for (int number = kFirstDrive; number <= kLastDrive; ++number) {
    std::unique_ptr<platform::RawDisk> candidate = platform::OpenRawDisk(number);
    if (!candidate) continue;
    CommandBlock reply;
    if (!reply.IsAllocated() || !candidate->SetPosition(kReplySectorOffset) ||
        !candidate->Read(reply.Data(), kBlockBytes)) {
      continue;
    }
    const bool identical = std::memcmp(reply.Data(), kIdentityText, kIdentityTextBytes) == 0 &&
                           reply.At(kModelByteAOffset) == modelByteA_ &&
                           reply.At(kModelByteBOffset) == modelByteB_;
    if (!identical || matches++ != index) continue;
    drive = number;
    return candidate;
  }
  return nullptr;
}

int DiskCameraDevice::Open() {
  CloseDisk();
  int drive = 0;
  std::unique_ptr<platform::RawDisk> disk = FindDisk(deviceIndex_, drive);
  if (!disk) return 0;
  InstallDisk(std::move(disk), drive);
  return 1;
}

void DiskCameraDevice::Close() {
  StopStreaming();
  CloseDisk();
}

// --- 8-bit registers ------------------------------------------------------

int DiskCameraDevice::WriteRegister8(int address, int value) {
  CommandBlock block;
  if (!block.IsAllocated()) return 0;
  block.SetHeader(kOpcodeWriteRegister, uint8_t(address >> 8), uint8_t(address), uint8_t(value));
  return WriteBlock(kCommandSectorOffset, block.Data()) ? 1 : 0;
}

int DiskCameraDevice::ReadRegister8(int address, uint8_t* value) {
  CommandBlock block;
  if (!block.IsAllocated()) return 0;
  block.SetHeader(kOpcodeReadRegister, uint8_t(address >> 8), uint8_t(address), 0);
  if (!WriteBlock(kCommandSectorOffset, block.Data())) return 0;
  CommandBlock reply;
  if (!reply.IsAllocated() || !ReadReplySector(reply.Data())) return 0;
  if (value) *value = reply.At(kRegister8ReplyOffset);
  return 1;
}

int DiskCameraDevice::WriteRegister16(int address, int value) {
  const int high = WriteRegister8(address, (value >> 8) & 0xFF);
  const int low = WriteRegister8(address + 1, value & 0xFF);
  return high == 1 && low == 1 ? 1 : 0;
}

int DiskCameraDevice::ReadRegister16(int address, uint16_t* value) {
  uint8_t high = 0;
  uint8_t low = 0;
  const int highRead = ReadRegister8(address, &high);
  const int lowRead = ReadRegister8(address + 1, &low);
  if (highRead != 1 || lowRead != 1) return 0;
  if (value) *value = uint16_t(high * 256 + low);
  return 1;
}

// --- Pause handshake ------------------------------------------------------

int DiskCameraDevice::PauseTransfer() {
  TransferState expected = TransferState::Streaming;
  if (!state_.compare_exchange_strong(expected, TransferState::Paused)) return 0;
  if (WaitPauseAck() == 1) return 1;
  expected = TransferState::Paused;
  state_.compare_exchange_strong(expected, TransferState::Streaming);
  WakeTransfer();
  return -1;
}

int DiskCameraDevice::WaitPauseAck() {
  if (pauseWaiting_.exchange(true)) return 0;
  // Clears a signal left over from an earlier pause; the thread signals on
  // every pass, so one that lands before this reset is repeated.
  pauseAcknowledged_.Reset();
  // A transfer thread that went to wait for a resume before this pause began
  // to wait must still acknowledge it.
  WakeTransfer();
  const bool acknowledged = pauseAcknowledged_.Wait(kPauseAckWaitMilliseconds);
  pauseWaiting_.store(false);
  return acknowledged ? 1 : 0;
}

void DiskCameraDevice::ResumeTransfer(int token) {
  if (token == 0) return;
  resumes_.fetch_add(1);
  TransferState expected = TransferState::Paused;
  state_.compare_exchange_strong(expected, TransferState::Streaming);
  WakeTransfer();
}

void DiskCameraDevice::WakeTransfer() { transferWake_.Set(); }

// --- Frame sizes ----------------------------------------------------------

void DiskCameraDevice::StoreWindow(int x, int y, int width, int height, int mode) {
  x_.store(x);
  y_.store(y);
  width_.store(width);
  height_.store(height);
  mode_.store(mode);
}

FrameGeometry DiskCameraDevice::CurrentGeometry() const {
  return ComputeFrameGeometry(width_.load(), height_.load(), mode_.load());
}

uint32_t DiskCameraDevice::GetFrameBytes() { return FrameReadBytes(CurrentGeometry()); }

uint32_t DiskCameraDevice::GetBitmapBytes() { return BitmapBytes(CurrentGeometry()); }

// --- Frame transfer -------------------------------------------------------

int DiskCameraDevice::StartStreaming() { return StartTransfer(TransferState::Streaming); }

int DiskCameraDevice::StartSingleCapture() { return StartTransfer(TransferState::SingleShot); }

int DiskCameraDevice::StartTransfer(TransferState runningState) {
  // A thread still running (an abandoned single capture, a start without a
  // stop) ends before its buffers are replaced.
  if (thread_) {
    state_.store(TransferState::Stopping);
    AbandonRead();
    WakeTransfer();
    EndTransferThread();
  }
  abandonRead_.store(false);
  slots_.Allocate(GetFrameBytes());
  frameCounter_.store(0);
  lastTaken_.store(0);
  if (IsOpen() && !SendFrameRequest()) return kCommandFailed;
  state_.store(runningState);
  threadFinished_ = std::make_unique<platform::ManualResetEvent>(false);
  thread_ = std::make_unique<platform::Thread>();
  if (!thread_->Start([this] { TransferLoop(); })) {
    thread_.reset();
    threadFinished_.reset();
    state_.store(TransferState::Failed);
  }
  return kStarted;
}

bool DiskCameraDevice::TransferContinues() const {
  const TransferState state = state_.load();
  return state == TransferState::Streaming || state == TransferState::SingleShot ||
         state == TransferState::Paused;
}

void DiskCameraDevice::TransferLoop() {
  frameCounter_.store(0);
  int intervalFrames = 0;
  uint32_t intervalStart = platform::TimeGetTime();
  // Set by a resume: the next pass reads a frame even when another pause is
  // already waiting, so that register changes back to back cannot starve the
  // stream.
  bool frameOwed = false;
  while (TransferContinues()) {
    const TransferState state = state_.load();
    if (ReadsFrame(state, frameOwed)) {
      ReadOnePass(state, intervalFrames, intervalStart);
      frameOwed = false;
    }
    // A failed read ends the thread without acknowledging a pause: the pause
    // then runs into its time-out and the register change is abandoned.
    if (state_.load() == TransferState::Failed) break;
    // Counted before the acknowledgement: the resume that answers it comes after.
    const uint32_t resumesBefore = resumes_.load();
    if (pauseWaiting_.load()) pauseAcknowledged_.Set();
    if (state_.load() == TransferState::Paused) {
      WaitForResume(resumesBefore);
      frameOwed = resumes_.load() != resumesBefore;
    }
  }
  threadFinished_->Set();
}

bool DiskCameraDevice::ReadsFrame(TransferState state, bool frameOwed) const {
  return state == TransferState::Streaming || state == TransferState::SingleShot ||
         (state == TransferState::Paused && frameOwed);
}

void DiskCameraDevice::WaitForResume(uint32_t resumesSeen) {
  for (;;) {
    transferWake_.Reset();
    if (state_.load() != TransferState::Paused || resumes_.load() != resumesSeen) return;
    if (pauseWaiting_.load()) pauseAcknowledged_.Set();
    transferWake_.Wait(platform::kInfinite);
  }
}

void DiskCameraDevice::ReadOnePass(TransferState state, int& intervalFrames, uint32_t& intervalStart) {
  const bool singleShot = state == TransferState::SingleShot;
  if (!slots_.IsAllocated()) {
    MarkFailed();
    return;
  }
  const int target = singleShot ? slots_.ClaimFirst() : slots_.ClaimTarget();
  const FrameGeometry geometry = CurrentGeometry();
  // The window may have grown since the start; the buffers keep their size.
  const uint32_t bytes = std::min(GetFrameBytes(), slots_.Capacity());
  readTarget_ = slots_.BufferOwner(target);
  const int read = ReadFrame(slots_.Buffer(target), bytes);
  readTarget_.reset();
  if (read == 0) {
    MarkFailed();
    return;
  }
  // Publish before counting: whoever sees the counter at n finds frame n in
  // a slot. Only this thread advances the counter.
  const int sequence = frameCounter_.load() + 1;
  slots_.Publish(target, sequence, geometry, bytes);
  frameCounter_.store(sequence);
  if (singleShot) {
    TransferState expected = TransferState::SingleShot;
    state_.compare_exchange_strong(expected, TransferState::Stopping);
  }
  ++intervalFrames;
  MeasureFrameRate(intervalFrames, intervalStart);
}

void DiskCameraDevice::MeasureFrameRate(int& intervalFrames, uint32_t& intervalStart) {
  const uint32_t elapsed = platform::TimeGetTime() - intervalStart;
  if (elapsed <= 1000) return;
  const uint32_t interval = platform::TimeGetTime() - intervalStart;
  frameRate_.store(float(intervalFrames * 1000.0 / double(interval)));
  intervalFrames = 0;
  intervalStart = platform::TimeGetTime();
}

void DiskCameraDevice::MarkFailed() {
  // After an abandoned single capture (Idle) or a stop, the failure is moot.
  TransferState state = state_.load();
  while (state == TransferState::Streaming || state == TransferState::SingleShot ||
         state == TransferState::Paused) {
    if (state_.compare_exchange_weak(state, TransferState::Failed)) break;
  }
  WakeTransfer();
}

int DiskCameraDevice::ReadFrame(void* destination, uint32_t bytes) {
  if (!IsOpen()) return 0;
  CommandBlock reply;
  if (!reply.IsAllocated()) return 0;
  bool ready = false;
  const uint32_t polls = timeout_.load();
  for (uint32_t poll = 0; poll < polls && !ready; ++poll) {
    if (!ReadReplySector(reply.Data())) return 0;
    ready = reply.At(kFrameReadyOffset) == 1;
    // A stop or an abandoned single capture ends the wait early.
    if (!ready && abandonRead_.load()) return 0;
  }
  if (!ready) return 0;
  return ReadFrameArea(destination, bytes) ? 1 : 0;
}

int DiskCameraDevice::GetFrameStatus() {
  if (state_.load() == TransferState::Failed) return kFrameStatusFailed;
  return slots_.HasNewerThan(lastTaken_.load()) ? kFrameStatusNewFrame : kFrameStatusNoNewFrame;
}

int DiskCameraDevice::TakeLatestFrame(void* destination, int destinationBytes, int, int) {
  const uint32_t limit = uint32_t(std::max(destinationBytes, 0));
  lastTaken_.store(slots_.CopyNewest(static_cast<uint8_t*>(destination), limit));
  return 0;
}

HeldFrame DiskCameraDevice::HoldLatestFrame() {
  HeldFrame held = slots_.HoldNewest();
  lastTaken_.store(held.sequence);
  return held;
}

int DiskCameraDevice::FinishSingleCapture(void* destination, int destinationBytes, int, int) {
  bool ended = true;
  if (threadFinished_) ended = threadFinished_->Wait(timeout_.load());
  if (ended) {
    EndTransferThread();
    state_.store(TransferState::Idle);
    return CopyFirstSlot(destination, destinationBytes);
  }
  // Still inside its read: the thread sees Idle, gives the read up and is
  // joined by the next start, stop or the destructor. Its slot is not copied
  // while it may still be written.
  state_.store(TransferState::Idle);
  AbandonRead();
  WakeTransfer();
  lastTaken_.store(0);
  return 0;
}

int DiskCameraDevice::CopyFirstSlot(void* destination, int destinationBytes) {
  const uint32_t limit = uint32_t(std::max(destinationBytes, 0));
  lastTaken_.store(slots_.CopySlot(0, static_cast<uint8_t*>(destination), limit));
  return 0;
}

void DiskCameraDevice::EndTransferThread() {
  if (!thread_) return;
  if (threadFinished_) threadFinished_->Wait(platform::kInfinite);
  thread_->Join();
  thread_.reset();
  threadFinished_.reset();
}

int DiskCameraDevice::StopStreaming() {
  state_.store(TransferState::Stopping);
  AbandonRead();
  WakeTransfer();
  EndTransferThread();
  state_.store(TransferState::Idle);
  abandonRead_.store(false);
  slots_.Release();
  return 0;
}

}  // namespace zirvo

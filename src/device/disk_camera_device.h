// DiskCameraDevice: a camera driven through sector reads and writes on its
// raw disk, with discovery, 8-bit registers and the frame transfer thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/frame_geometry.h"
#include "device/frame_slots.h"
#include "device/transfer_state.h"
#include "platform/raw_disk.h"
#include "platform/threading.h"

namespace zirvo {

class DiskCameraDevice {
 public:
  // Results of starts and window changes.
  static constexpr int kStarted = 0;
  static constexpr int kCommandFailed = 20;
  // Result of a window change whose arguments the device cannot program.
  static constexpr int kWindowRefused = 1;
  // Results of GetFrameStatus.
  static constexpr int kFrameStatusFailed = 1;
  static constexpr int kFrameStatusNoNewFrame = 2;
  static constexpr int kFrameStatusNewFrame = 3;

  static constexpr uint32_t kDefaultTimeout = 3000;
  static constexpr int kFirstDrive = 1;
  static constexpr int kLastDrive = 4;

  DiskCameraDevice(uint8_t modelByteA = 0, uint8_t modelByteB = 0);
  DiskCameraDevice(const DiskCameraDevice&) = delete;
  DiskCameraDevice& operator=(const DiskCameraDevice&) = delete;

  virtual ~DiskCameraDevice();
  virtual void Reserved1();
  virtual int ScanRegistry(const char* modelText);
  virtual int SetSampleWidth(int wide);
  virtual void SetTimeout(uint32_t timeout);
  virtual uint32_t GetTimeout();
  virtual float GetFrameRate();
  virtual int StartSingleCapture();
  virtual int Reserved8();
  virtual int PollSingleCapture();
  virtual int Reserved10();
  // Copies at most `destinationBytes` bytes; the other two arguments are ignored.
  virtual int FinishSingleCapture(void* destination, int destinationBytes, int reserved2, int reserved3);
  virtual int StartStreaming();
  virtual int StopStreaming();
  virtual void TransferLoop();
  virtual int GetFrameStatus();
  // Copies at most `destinationBytes` bytes; the other two arguments are ignored.
  virtual int TakeLatestFrame(void* destination, int destinationBytes, int reserved2, int reserved3);
  virtual int GetDeviceCount();
  virtual int IsValidDeviceIndex(int index);
  virtual int GetDeviceIndex();
  // 0 on success, 1 on failure.
  virtual int SelectDevice(int index);
  virtual int SetCaptureWindow(int x, int y, int width, int height, int mode);
  virtual void GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode);
  virtual int SetMirrorH(int flag);
  virtual int SetMirrorV(int flag);
  virtual int GetMirrorH();
  virtual int GetMirrorV();
  virtual int Reserved27(int value);
  virtual int Reserved28();
  virtual int Reserved29(int value);
  virtual int Reserved30(int* value);
  virtual int SetIoPort(uint8_t value);
  virtual int GetIoPort(uint8_t* value);
  virtual int ReadSromId(int address, uint8_t* value);
  virtual int WriteSromId(int address, int value);
  // 1 paused, 0 nothing to pause, -1 the transfer did not acknowledge.
  virtual int PauseTransfer();
  virtual void ResumeTransfer(int token);
  virtual int WaitPauseAck();
  virtual uint32_t GetFrameBytes();
  virtual uint32_t GetBitmapBytes();
  virtual int Open();
  virtual void Close();
  virtual int ReadFrame(void* destination, uint32_t bytes);
  virtual int WriteRegister8(int address, int value);
  virtual int ReadRegister8(int address, uint8_t* value);
  virtual int WriteRegister16(int address, int value);
  virtual int ReadRegister16(int address, uint16_t* value);

  // The newest frame in its slot, held for the caller until ReleaseHeldFrame
  // (see FrameSlots::HoldNewest): a conversion in place instead of a copy.
  // Counts as taken, like TakeLatestFrame. One frame at a time, and no
  // TakeLatestFrame while it is held.
  HeldFrame HoldLatestFrame();
  void ReleaseHeldFrame() { slots_.ReleaseHeld(); }

  // Read-only views of the transfer for the camera instance and for tests.
  TransferState GetTransferState() const { return state_.load(); }
  int GetLastTaken() const { return lastTaken_.load(); }
  int GetFrameCounter() const { return frameCounter_.load(); }
  int GetSlotSequence(int slot) const { return slots_.Sequence(slot); }
  bool IsOpen() const;
  // Drive number of the open disk, 0 when none is open.
  int GetOpenDrive() const;

 protected:
  // Exchanges with the disk, each one positioning and transfer kept together.
  bool WriteBlock(uint32_t offset, const uint8_t* block);
  bool ReadBytes(uint32_t offset, void* destination, uint32_t bytes);
  bool SendFrameRequest();
  bool ReadReplySector(uint8_t* reply);
  // Reads the frame area on a helper thread and waits for it, so that a stop
  // can give up on a camera that never answers; an abandoned read finishes
  // later on its own, into memory and a disk handle it shares ownership of.
  bool ReadFrameArea(void* destination, uint32_t bytes);
  // True while the transfer thread has no reason to stop.
  bool TransferContinues() const;
  FrameGeometry CurrentGeometry() const;
  void StoreWindow(int x, int y, int width, int height, int mode);

  uint8_t modelByteA_;
  uint8_t modelByteB_;
  // Vertical flip flag; application thread only.
  int verticalFlip_ = 0;

 private:
  // The open disk, its drive number and the lock that keeps a positioning and
  // its transfer together; shared with a frame read that outlives a stop.
  class ExchangeLock;
  class ExchangeGuard;
  struct DiskChannel;
  struct FrameAreaRead;

  int StartTransfer(TransferState runningState);
  // The disk of the `index`-th matching camera, or null; touches no state.
  std::unique_ptr<platform::RawDisk> FindDisk(int index, int& drive);
  void InstallDisk(std::unique_ptr<platform::RawDisk> disk, int drive);
  std::shared_ptr<DiskChannel> Channel() const;
  bool LockChannel(DiskChannel& channel, ExchangeGuard& held);
  void CloseDisk();
  // Makes a running frame read give up (stop, abandoned single capture).
  void AbandonRead();
  // Wakes a transfer thread that waits for a resume: every change of state
  // away from Paused by the application is followed by this.
  void WakeTransfer();
  bool ReadsFrame(TransferState state, bool frameOwed) const;
  void WaitForResume(uint32_t resumesSeen);
  // Waits for the transfer thread to end and joins it; no effect without one.
  void EndTransferThread();
  void ReadOnePass(TransferState state, int& intervalFrames, uint32_t& intervalStart);
  void MeasureFrameRate(int& intervalFrames, uint32_t& intervalStart);
  void MarkFailed();
  int CopyFirstSlot(void* destination, int destinationBytes);

  // Guards the pointer only; the channel's own lock guards each exchange.
  // Taken by the application and transfer threads.
  mutable std::mutex channelMutex_;
  std::shared_ptr<DiskChannel> channel_;

  // Read by the transfer thread (poll count), written by the application.
  std::atomic<uint32_t> timeout_{kDefaultTimeout};
  // Written by the transfer thread, read by the application.
  std::atomic<float> frameRate_{0.0f};
  // Capture window; written by the application, read by the transfer thread.
  std::atomic<int> x_{0};
  std::atomic<int> y_{0};
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::atomic<int> mode_{0};
  // Application thread only.
  int deviceCount_ = 0;
  int deviceIndex_ = 0;

  // Buffers change only while no transfer thread runs.
  FrameSlots slots_;
  // Written by the transfer thread, read by the consumer.
  std::atomic<int> frameCounter_{0};
  // Written and read by the consumer (capture thread or application).
  std::atomic<int> lastTaken_{0};
  // Set by the application when it gives up on a running frame read (stop,
  // abandoned single capture); read by the transfer thread between polls.
  std::atomic<bool> abandonRead_{false};
  // The frame-area read in flight; set by the transfer thread, woken by the
  // application when it abandons the read.
  std::mutex readMutex_;
  std::shared_ptr<FrameAreaRead> currentRead_;
  // Owner of the slot buffer the transfer thread reads into; transfer thread only.
  std::shared_ptr<uint8_t> readTarget_;
  // Written by both threads; the application's transitions are
  // compare-exchanges so that they never hide a failure of the transfer.
  std::atomic<TransferState> state_{TransferState::Idle};

  // Application thread only; the thread signals `threadFinished_` last.
  std::unique_ptr<platform::Thread> thread_;
  std::unique_ptr<platform::ManualResetEvent> threadFinished_;
  // Set by the transfer thread at the end of each pass while a pause waits.
  platform::ManualResetEvent pauseAcknowledged_;
  std::atomic<bool> pauseWaiting_{false};
  // Counted by every resume, so that a paused transfer thread can tell a
  // resume followed at once by another pause from the pause it acknowledged.
  std::atomic<uint32_t> resumes_{0};
  // Set by the application when the state leaves Paused; the paused transfer
  // thread waits on it.
  platform::ManualResetEvent transferWake_;
};

}  // namespace zirvo

// The camera's firmware: the reply sector, the command sector and the frame area of its disk.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "frame_pacer.h"
#include "frame_renderer.h"
#include "sensor_registers.h"
#include "zirvo_camsim.h"

namespace zirvo::sim {

inline constexpr uint32_t kReplySector = 0x20000;
inline constexpr uint32_t kCommandSector = 0x20200;
inline constexpr uint32_t kFrameArea = 0x20400;
inline constexpr uint32_t kSectorBytes = 512;

ZirvoSimConfig DefaultConfig();
std::string EnumerationText(int drive);

// Every exchange may arrive on any thread; one short lock guards the state and
// frames are copied out from immutable rendered frames outside it.
class SimulatedCamera {
 public:
  SimulatedCamera(int drive, const ZirvoSimConfig& config);
  ~SimulatedCamera();
  SimulatedCamera(const SimulatedCamera&) = delete;
  SimulatedCamera& operator=(const SimulatedCamera&) = delete;

  // Becomes drive `drive` of the SDK's disk namespace; false when taken.
  bool Attach();
  // Fails blocked reads, leaves the namespace and waits until no exchange is
  // inside the camera any more.
  void Detach();

  bool ReadAt(uint32_t offset, void* buffer, uint32_t bytes);
  bool WriteAt(uint32_t offset, const void* buffer, uint32_t bytes);

  int LastWritten(int address);
  int Peek(int address);
  unsigned FramesServed();
  unsigned CopyLastFrame(void* buffer, unsigned size);
  void FrameSize(unsigned& width, unsigned& height);
  unsigned FrameTimeMicroseconds();
  unsigned CopyLog(ZirvoSimExchange* entries, unsigned max);
  void ClearLog();

  void Unplug();
  void UnplugAfter(unsigned exchanges);
  void SetStalled(bool stalled);
  unsigned StalledReads() const { return stalledReads_.load(); }
  void SetSlowFrames(unsigned count, unsigned milliseconds);
  void SetReadbackMismatch(int address, unsigned count);

 private:
  bool ReadReply(void* buffer, uint32_t bytes);
  bool ReadFrame(void* buffer, uint32_t bytes);
  void HandleCommand(const uint8_t command[4]);
  void HandleRegisterWrite(const uint8_t command[4]);
  void HandleRegisterRead(const uint8_t command[4]);
  uint16_t ReadBack(uint16_t address);

  // The rest run under mutex_.
  bool FrameReady(uint64_t now);
  uint64_t LogArrival(bool write, uint32_t offset, uint32_t bytes, const uint8_t* command);
  void LogResult(uint64_t sequence, bool ok);

  bool WaitForFrame(uint64_t due);
  bool Gone() const { return unplugged_.load() || detaching_.load(); }
  void LeaveEnumeration();

  const int drive_;
  const ZirvoSimConfig config_;
  const std::string enumerationText_;

  // Set by the test's thread, read by every exchange.
  std::atomic<bool> unplugged_{false};
  std::atomic<bool> detaching_{false};
  std::atomic<bool> stalled_{false};
  std::atomic<unsigned> stalledReads_{0};  // frame reads inside the stall
  std::atomic<bool> attached_{false};

  std::mutex mutex_;
  // Everything below: guarded by mutex_, touched by every exchanging thread
  // and the inspecting test.
  SensorRegisters registers_;
  FrameRenderer renderer_;
  bool enumerated_ = false;
  int pendingAddress_ = -1;  // phase 0 of a 16-bit write seen, phase 1 awaited
  uint8_t byteReply_ = 0;
  uint16_t wordReply_ = 0;
  FramePacer pacer_;
  // Exchanges still answered before an unplug; -1 when none is planned.
  int64_t exchangesBeforeUnplug_ = -1;
  int mismatchAddress_ = -1;
  unsigned mismatches_ = 0;
  unsigned framesServed_ = 0;
  std::shared_ptr<const Frame> lastFrame_;
  std::deque<ZirvoSimExchange> log_;
  uint64_t firstLogSequence_ = 0;
};

}  // namespace zirvo::sim

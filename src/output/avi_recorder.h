// AviRecorder: uncompressed AVI files of 24-bit bottom-up frames with an
// idx1 index, headers patched with the frame count and measured rate at the
// end.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "output/output_file.h"

namespace zirvo {

// Error code that a failed recording write maps to on the camera.
inline constexpr int kRecordWriteError = 12;

struct AviIndexEntry {
  uint32_t chunkId;  // "00db"
  uint32_t flags;    // 0x10, key frame
  uint32_t offset;   // from the "movi" type code to the chunk's "00db"
  uint32_t length;   // frame data size
};

class AviRecorder {
 public:
  // Frames per second written at begin, and when the measured rate is 0.
  static constexpr uint32_t kNominalRate = 30;
  // Largest file written: past 2 GiB readers that keep RIFF sizes in signed
  // 32-bit values refuse the file, so the recording goes on in a follow-on
  // file ("name_001.avi", ...) before that.
  static constexpr uint64_t kDefaultFileSizeLimit = (uint64_t{1} << 31) - 1;

  AviRecorder();
  // Finishes an open recording (reset).
  ~AviRecorder();
  AviRecorder(const AviRecorder&) = delete;
  AviRecorder& operator=(const AviRecorder&) = delete;

  // Starts a recording of width x height frames (bitCount is the source
  // bitmap's depth, kept for the caller) into `fileName`, truncating an
  // existing file. A recording still open is finished first. 1, or 0 when
  // the file cannot be made or its headers cannot be written.
  int begin(const char* fileName, int32_t width, int32_t height, uint16_t bitCount);

  // Appends one frame of frameDataSize() bytes (24-bit bottom-up rows at the
  // 4-byte stride). When the frame would take the file past the size limit
  // the file is finished and the recording goes on in the next follow-on
  // file. 0, or kRecordWriteError when a write failed: the recording is then
  // already finished with the frames written whole, and further appends fail.
  // Without a recording, or without data, kRecordWriteError and nothing else.
  int append(const uint8_t* frameData);

  // Writes the index, patches the headers with the frame count and
  // `rateHundredths` (frames per second x 100; 0 means the nominal 30) and
  // closes the file. 0, or kRecordWriteError when the file could not be
  // completed. Nothing happens without an open recording.
  int finish(uint32_t rateHundredths);
  // finish with the rate measured over the frames appended so far.
  int finish();

  // Finishes an open recording with the measured rate and releases the index.
  void reset();

  // Frames per second x 100 over the recording so far: frame count x 100000
  // / milliseconds from the first append to the latest. 0 with fewer than
  // two distinct times.
  uint32_t measuredRate() const;

  bool isRecording() const { return recording_.load(std::memory_order_acquire); }
  // Frames appended since begin, over every follow-on file.
  uint32_t frameCount() const { return totalFrames_; }
  // Follow-on files started since begin (0 while the first file is written).
  uint32_t followOnCount() const { return followOnCount_; }
  uint32_t frameDataSize() const { return frameDataSize_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  uint16_t bitCount() const { return bitCount_; }
  // The file currently written (the first name or a follow-on).
  const std::string& currentFileName() const { return currentName_; }

  // Tests shrink the limit instead of writing gigabytes.
  void setFileSizeLimit(uint64_t bytes) { fileSizeLimit_ = bytes; }

  // The name of follow-on file `number` (1, 2, ...) of `fileName`.
  static std::string followOnName(const std::string& fileName, uint32_t number);

 private:
  bool openFile(const std::string& name);
  bool writeHeaders();
  bool writeIndexAndPatch(uint32_t rateHundredths);
  bool finishFile(uint32_t rateHundredths);
  void salvageAfterFailure(uint32_t rateHundredths);
  bool startFollowOn();

  // begin and reset run on the caller's thread while no recording thread
  // runs; append and finish on the recording thread only. recording_ is
  // read from any thread.
  OutputFile file_;
  std::atomic<bool> recording_{false};
  std::string baseName_;
  std::string currentName_;
  std::vector<AviIndexEntry> index_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint16_t bitCount_ = 0;
  uint32_t frameDataSize_ = 0;
  uint64_t fileSizeLimit_ = kDefaultFileSizeLimit;
  uint64_t riffBytes_ = 0;  // bytes after the RIFF size field
  uint64_t moviBytes_ = 0;  // bytes of the movi list from its type code on
  uint32_t totalFrames_ = 0;
  uint32_t followOnCount_ = 0;
  uint32_t firstAppendTime_ = 0;
  uint32_t latestAppendTime_ = 0;
};

}  // namespace zirvo

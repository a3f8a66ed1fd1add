// AviRecorder: headers with placeholders at begin, one chunk per frame, the
// index and the patched counts at finish; follow-on files before the size
// limit, and a finished, playable file after a failed write.
#include "output/avi_recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/clock.h"
#include "platform/file.h"

namespace zirvo {

namespace {

constexpr uint32_t kHeaderBytes = 232;      // up to and including "movi"
constexpr uint32_t kMoviSizeOffset = 224;   // size field of the movi list
constexpr uint32_t kChunkHeaderBytes = 8;   // "00db" and the data size
constexpr uint32_t kIndexEntryBytes = 16;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kStreamRate = 10000000;

// Little-endian fields into a byte buffer.
class FieldWriter {
 public:
  explicit FieldWriter(uint8_t* bytes) : bytes_(bytes) {}
  void Code(const char (&code)[5]) {
    std::memcpy(bytes_ + at_, code, 4);
    at_ += 4;
  }
  void U32(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at_ + i] = static_cast<uint8_t>(value >> (8 * i));
    at_ += 4;
  }
  void U16(uint16_t value) {
    bytes_[at_] = static_cast<uint8_t>(value);
    bytes_[at_ + 1] = static_cast<uint8_t>(value >> 8);
    at_ += 2;
  }
  void Zeros(std::size_t count) {
    std::memset(bytes_ + at_, 0, count);
    at_ += count;
  }
  std::size_t Size() const { return at_; }

 private:
  uint8_t* bytes_;
  std::size_t at_ = 0;
};

uint32_t FourCc(const char (&code)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

uint32_t ClampToU32(uint64_t value) {
  return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

AviRecorder::AviRecorder() = default;

AviRecorder::~AviRecorder() { reset(); }

int AviRecorder::begin(const char* fileName, int32_t width, int32_t height, uint16_t bitCount) {
  if (recording_.load(std::memory_order_relaxed)) finish();
  file_.close();
  index_.clear();
  if (fileName == nullptr || *fileName == '\0' || width <= 0 || height <= 0) return 0;
  const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) / 4 * 4;
  const uint64_t dataSize = stride * static_cast<uint64_t>(height);
  if (dataSize > std::numeric_limits<uint32_t>::max() - kChunkHeaderBytes) return 0;

  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  frameDataSize_ = static_cast<uint32_t>(dataSize);
  baseName_ = fileName;
  totalFrames_ = 0;
  followOnCount_ = 0;
  firstAppendTime_ = 0;
  latestAppendTime_ = 0;
  if (!openFile(baseName_)) return 0;
  recording_.store(true, std::memory_order_release);
  return 1;
}

bool AviRecorder::openFile(const std::string& name) {
  index_.clear();
  currentName_ = name;
  if (!file_.open(name.c_str())) return false;
  if (writeHeaders()) return true;
  // Headers that did not fit leave nothing a reader could open.
  file_.close();
  platform::RemoveFile(name.c_str());
  return false;
}

bool AviRecorder::writeHeaders() {
  uint8_t header[kHeaderBytes];
  FieldWriter out(header);
  const uint32_t chunkBytes = frameDataSize_ + kChunkHeaderBytes;
  out.Code("RIFF");
  out.U32(0);  // RIFF size, patched by finish
  out.Code("AVI ");
  out.Code("LIST");
  out.U32(200);
  out.Code("hdrl");
  out.Code("avih");
  out.U32(56);
  out.U32(1000000 / kNominalRate);  // microseconds per frame
  out.U32(ClampToU32(uint64_t{chunkBytes} * kNominalRate));  // maximum bytes per second
  out.U32(0);                                               // padding granularity
  out.U32(0x00010010);                                      // has index, was capture file
  out.U32(0);                                               // total frames
  out.U32(0);                                               // initial frames
  out.U32(1);                                               // streams
  out.U32(chunkBytes);                                      // suggested buffer size
  out.U32(static_cast<uint32_t>(width_));
  out.U32(static_cast<uint32_t>(height_));
  out.Zeros(16);
  out.Code("LIST");
  out.U32(124);
  out.Code("strl");
  out.Code("strh");
  out.U32(64);
  out.Code("vids");
  out.Code("DIB ");
  out.U32(0);  // flags
  out.U16(0);  // priority
  out.U16(0);  // language
  out.U32(0);  // initial frames
  out.U32(kStreamRate / kNominalRate);  // scale
  out.U32(kStreamRate);
  out.U32(0);  // start
  out.U32(0);  // length, patched by finish
  out.U32(chunkBytes);
  out.U32(0);  // quality
  out.U32(0);  // sample size
  out.Zeros(16);
  out.Code("strf");
  out.U32(40);
  out.U32(40);
  out.U32(static_cast<uint32_t>(width_));
  out.U32(static_cast<uint32_t>(height_));  // positive: bottom-up rows
  out.U16(1);
  out.U16(24);
  out.Zeros(24);
  out.Code("LIST");
  out.U32(0);  // movi size, patched by finish
  out.Code("movi");
  riffBytes_ = kHeaderBytes - 8;
  moviBytes_ = 4;
  return file_.write(header, out.Size());
}

int AviRecorder::append(const uint8_t* frameData) {
  if (!recording_.load(std::memory_order_relaxed) || frameData == nullptr) {
    return kRecordWriteError;
  }
  const uint32_t now = platform::TimeGetTime();
  if (totalFrames_ == 0) firstAppendTime_ = now;
  latestAppendTime_ = now;

  const uint64_t chunkBytes = uint64_t{kChunkHeaderBytes} + frameDataSize_;
  const uint64_t indexAfter = kChunkHeaderBytes + kIndexEntryBytes * (index_.size() + 1);
  const uint64_t fileSizeAfter = 8 + riffBytes_ + chunkBytes + indexAfter;
  // A file holds at least one frame, however small the limit.
  if (!index_.empty() && fileSizeAfter > std::min<uint64_t>(fileSizeLimit_, UINT32_MAX)) {
    if (!startFollowOn()) return kRecordWriteError;
  }

  uint8_t chunkHeader[kChunkHeaderBytes];
  FieldWriter out(chunkHeader);
  out.Code("00db");
  out.U32(frameDataSize_);
  if (!file_.write(chunkHeader, sizeof chunkHeader) || !file_.write(frameData, frameDataSize_)) {
    salvageAfterFailure(measuredRate());
    return kRecordWriteError;
  }
  index_.push_back({FourCc("00db"), kKeyFrame, static_cast<uint32_t>(moviBytes_), frameDataSize_});
  riffBytes_ += chunkBytes;
  moviBytes_ += chunkBytes;
  ++totalFrames_;
  return 0;
}

bool AviRecorder::startFollowOn() {
  if (!finishFile(measuredRate())) {
    recording_.store(false, std::memory_order_release);
    return false;
  }
  ++followOnCount_;
  if (!openFile(followOnName(baseName_, followOnCount_))) {
    recording_.store(false, std::memory_order_release);
    return false;
  }
  return true;
}

int AviRecorder::finish(uint32_t rateHundredths) {
  if (!recording_.load(std::memory_order_relaxed)) return 0;
  bool finished = finishFile(rateHundredths);
  recording_.store(false, std::memory_order_release);
  return finished ? 0 : kRecordWriteError;
}

int AviRecorder::finish() { return finish(measuredRate()); }

bool AviRecorder::finishFile(uint32_t rateHundredths) {
  if (writeIndexAndPatch(rateHundredths)) return file_.close();
  salvageAfterFailure(rateHundredths);
  return false;
}

bool AviRecorder::writeIndexAndPatch(uint32_t rateHundredths) {
  const uint32_t frames = static_cast<uint32_t>(index_.size());
  std::vector<uint8_t> tail(kChunkHeaderBytes + kIndexEntryBytes * std::size_t{frames});
  FieldWriter out(tail.data());
  out.Code("idx1");
  out.U32(frames * kIndexEntryBytes);
  for (const AviIndexEntry& entry : index_) {
    out.U32(entry.chunkId);
    out.U32(entry.flags);
    out.U32(entry.offset);
    out.U32(entry.length);
  }
  // The index follows the last whole chunk; anything after it (the start of a
  // chunk that failed) is cut off.
  if (!file_.seek(8 + riffBytes_) || !file_.write(tail.data(), tail.size()) || !file_.truncate()) {
    return false;
  }
  const uint32_t rate = rateHundredths == 0 ? kNominalRate * 100 : rateHundredths;
  const struct {
    uint32_t offset;
    uint32_t value;
  } patches[] = {
      {4, static_cast<uint32_t>(riffBytes_ + tail.size())},
      {kMoviSizeOffset, static_cast<uint32_t>(moviBytes_)},
      {48, frames},
      {140, frames},
      {32, 100000000u / rate},
      {128, 1000000000u / rate},
  };
  for (const auto& patch : patches) {
    uint8_t bytes[4];
    FieldWriter field(bytes);
    field.U32(patch.value);
    if (!file_.seek(patch.offset) || !file_.write(bytes, sizeof bytes)) return false;
  }
  return file_.flush();
}

void AviRecorder::salvageAfterFailure(uint32_t rateHundredths) {
  // Each round gives back the space of one more frame, so that on a full
  // disk the index finally fits behind the frames that remain.
  while (true) {
    if (writeIndexAndPatch(rateHundredths)) break;
    if (index_.empty()) break;
    const uint64_t chunkBytes = uint64_t{kChunkHeaderBytes} + index_.back().length;
    index_.pop_back();
    riffBytes_ -= chunkBytes;
    moviBytes_ -= chunkBytes;
    --totalFrames_;
    file_.seek(8 + riffBytes_);
    file_.truncate();
  }
  file_.close();
  recording_.store(false, std::memory_order_release);
}

void AviRecorder::reset() {
  if (recording_.load(std::memory_order_relaxed)) finish();
  file_.close();
  index_.clear();
  index_.shrink_to_fit();
}

uint32_t AviRecorder::measuredRate() const {
  const uint32_t elapsed = latestAppendTime_ - firstAppendTime_;
  if (totalFrames_ == 0 || elapsed == 0) return 0;
  return static_cast<uint32_t>(uint64_t{totalFrames_} * 100000 / elapsed);
}

std::string AviRecorder::followOnName(const std::string& fileName, uint32_t number) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%03u", static_cast<unsigned>(number));
  const std::size_t separator = fileName.find_last_of("/\\");
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = fileName.find_last_of('.');
  // A leading dot names a file; it does not start an extension.
  if (dot == std::string::npos || dot <= nameStart) return fileName + suffix;
  return fileName.substr(0, dot) + suffix + fileName.substr(dot);
}

}  // namespace zirvo

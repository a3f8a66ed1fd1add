// AviRecorder: the file layout byte by byte, the index, the patched counts and
// rate, follow-on files at the size limit, and files that stay playable when
// a write fails or a recording stops early.
#include "output/avi_recorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "support/output_files.h"

namespace zirvo {
namespace {

using test::ReadFileBytes;
using test::TemporaryFolder;

uint32_t U32(const std::vector<uint8_t>& bytes, std::size_t at) {
  return static_cast<uint32_t>(bytes.at(at)) | static_cast<uint32_t>(bytes.at(at + 1)) << 8 |
         static_cast<uint32_t>(bytes.at(at + 2)) << 16 | static_cast<uint32_t>(bytes.at(at + 3)) << 24;
}

std::string Code(const std::vector<uint8_t>& bytes, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

struct AviContents {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t microsecondsPerFrame = 0;
  uint32_t scale = 0;
  std::vector<std::vector<uint8_t>> frames;
};

// Reads a finished file as a strict reader would: every size agrees with the
// file, the index lists each chunk where it stands, the counts match.
::testing::AssertionResult ReadFinishedAvi(const std::string& name, AviContents* contents) {
  const std::vector<uint8_t> file = ReadFileBytes(name);
  auto fail = [&name](const std::string& why) {
    return ::testing::AssertionFailure() << name << ": " << why;
  };
  if (file.size() < 232) return fail("shorter than the headers");
  if (Code(file, 0) != "RIFF" || Code(file, 8) != "AVI ") return fail("not RIFF AVI");
  if (U32(file, 4) != file.size() - 8) return fail("RIFF size " + std::to_string(U32(file, 4)));
  if (Code(file, 12) != "LIST" || U32(file, 16) != 200 || Code(file, 20) != "hdrl" ||
      Code(file, 24) != "avih" || U32(file, 28) != 56 || Code(file, 88) != "LIST" ||
      U32(file, 92) != 124 || Code(file, 96) != "strl" || Code(file, 100) != "strh" ||
      U32(file, 104) != 64 || Code(file, 172) != "strf" || U32(file, 176) != 40 ||
      Code(file, 220) != "LIST" || Code(file, 228) != "movi") {
    return fail("header chunks out of place");
  }
  const uint32_t frameSize = U32(file, 60) - 8;
  const uint64_t moviEnd = 228 + uint64_t{U32(file, 224)};
  if (moviEnd + 8 > file.size() || Code(file, moviEnd) != "idx1") return fail("no idx1 after movi");
  const uint32_t frames = U32(file, moviEnd + 4) / 16;
  if (moviEnd + 8 + uint64_t{frames} * 16 != file.size()) return fail("index does not end the file");
  if (U32(file, 48) != frames || U32(file, 140) != frames) return fail("frame counts disagree");
  if (uint64_t{U32(file, 224)} != 4 + uint64_t{frames} * (8 + frameSize)) {
    return fail("movi size does not hold exactly the indexed frames");
  }
  contents->width = U32(file, 64);
  contents->height = U32(file, 68);
  contents->microsecondsPerFrame = U32(file, 32);
  contents->scale = U32(file, 128);
  contents->frames.clear();
  for (uint32_t i = 0; i < frames; ++i) {
    const std::size_t entry = moviEnd + 8 + 16 * i;
    const std::size_t chunk = 228 + U32(file, entry + 8);
    if (Code(file, entry) != "00db" || U32(file, entry + 4) != 0x10 ||
        U32(file, entry + 12) != frameSize) {
      return fail("index entry " + std::to_string(i));
    }
    if (Code(file, chunk) != "00db" || U32(file, chunk + 4) != frameSize) {
      return fail("chunk " + std::to_string(i) + " not where the index says");
    }
    contents->frames.emplace_back(file.begin() + chunk + 8, file.begin() + chunk + 8 + frameSize);
  }
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Frame(uint32_t size, uint8_t seed) {
  std::vector<uint8_t> data(size);
  for (uint32_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(seed * 31 + i * 7);
  return data;
}

class AviRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override { previousClock_ = platform::SetClock(&clock_); }
  void TearDown() override { platform::SetClock(previousClock_); }

  platform::ManualClock clock_{5000};
  platform::Clock* previousClock_ = nullptr;
  TemporaryFolder folder_;
};

TEST_F(AviRecorderTest, OneFrameOf640x480HasTheLayoutByteForByte) {
  const std::string name = folder_.File("one.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 640, 480, 24), 1);
  ASSERT_EQ(recorder.frameDataSize(), 921600u);
  const std::vector<uint8_t> frame = Frame(921600, 3);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.finish(3000), 0);

  const std::vector<uint8_t> file = ReadFileBytes(name);
  ASSERT_EQ(file.size(), 232u + 8 + 921600 + 8 + 16);
  EXPECT_EQ(U32(file, 4), file.size() - 8);
  const std::vector<std::pair<std::size_t, uint32_t>> fields = {
      {32, 33333},        {36, (921600 + 8) * 30}, {40, 0},   {44, 0x00010010}, {48, 1},
      {52, 0},            {56, 1},                 {60, 921608}, {64, 640},      {68, 480},
      {72, 0},            {76, 0},                 {80, 0},   {84, 0},          {116, 0},
      {120, 0},           {124, 0},                {128, 333333}, {132, 10000000}, {136, 0},
      {140, 1},           {144, 921608},           {148, 0},  {152, 0},         {156, 0},
      {160, 0},           {164, 0},                {168, 0},  {180, 40},        {184, 640},
      {188, 480},         {192, 1 | 24 << 16},     {196, 0},  {200, 0},         {204, 0},
      {208, 0},           {212, 0},                {216, 0},  {224, 4 + 8 + 921600}, {236, 921600},
  };
  for (auto [offset, value] : fields) EXPECT_EQ(U32(file, offset), value) << "offset " << offset;
  EXPECT_EQ(Code(file, 108), "vids");
  EXPECT_EQ(Code(file, 112), "DIB ");
  EXPECT_EQ(Code(file, 232), "00db");
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), file.begin() + 240));
  const std::size_t index = 240 + 921600;
  EXPECT_EQ(Code(file, index), "idx1");
  EXPECT_EQ(U32(file, index + 4), 16u);
  EXPECT_EQ(Code(file, index + 8), "00db");
  EXPECT_EQ(U32(file, index + 12), 0x10u);
  EXPECT_EQ(U32(file, index + 16), 4u);
  EXPECT_EQ(U32(file, index + 20), 921600u);
}

TEST_F(AviRecorderTest, OddWidthRowsAreAlignedToFourBytes) {
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(folder_.File("odd.avi").c_str(), 641, 3, 8), 1);
  EXPECT_EQ(recorder.frameDataSize(), 1924u * 3);
  ASSERT_EQ(recorder.begin(folder_.File("tiny.avi").c_str(), 1, 1, 8), 1);
  EXPECT_EQ(recorder.frameDataSize(), 4u);
}

TEST_F(AviRecorderTest, UntilFinishTheSizesAreZeroAndThereIsNoIndex) {
  const std::string name = folder_.File("open.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 4, 2, 24), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 1);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  const std::vector<uint8_t> file = ReadFileBytes(name);
  ASSERT_EQ(file.size(), 232u + 2 * (8 + 24));
  EXPECT_EQ(U32(file, 4), 0u);
  EXPECT_EQ(U32(file, 224), 0u);
  EXPECT_EQ(U32(file, 48), 0u);
  EXPECT_EQ(U32(file, 140), 0u);
  EXPECT_EQ(Code(file, 232 + 32), "00db");
}

TEST_F(AviRecorderTest, ChunkOffsetsCountFromTheMoviTypeCode) {
  const std::string name = folder_.File("three.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 3, 2, 24), 1);  // stride 12, 24 bytes a frame
  for (uint8_t i = 0; i < 3; ++i) {
    const std::vector<uint8_t> frame = Frame(24, i);
    ASSERT_EQ(recorder.append(frame.data()), 0);
  }
  ASSERT_EQ(recorder.finish(3000), 0);
  const std::vector<uint8_t> file = ReadFileBytes(name);
  const std::size_t index = 232 + 3 * 32 + 8;
  ASSERT_EQ(file.size(), index + 48);
  EXPECT_EQ(U32(file, index + 8), 4u);
  EXPECT_EQ(U32(file, index + 24), 36u);
  EXPECT_EQ(U32(file, index + 40), 68u);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  ASSERT_EQ(contents.frames.size(), 3u);
  for (uint8_t i = 0; i < 3; ++i) EXPECT_EQ(contents.frames[i], Frame(24, i));
}

TEST_F(AviRecorderTest, AnExistingFileIsTruncatedAndOverwritten) {
  const std::string name = folder_.File("again.avi");
  test::WriteFileBytes(name, std::vector<uint8_t>(100000, 0xEE));
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 2, 2, 24), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 9);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.finish(3000), 0);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.frames.size(), 1u);
}

TEST_F(AviRecorderTest, FinishPatchesTheRateItIsGiven) {
  const std::string name = folder_.File("rate.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 2, 2, 24), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 2);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.finish(3000), 0);  // 300 frames in 10000 ms
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.microsecondsPerFrame, 33333u);
  EXPECT_EQ(contents.scale, 333333u);

  ASSERT_EQ(recorder.begin(name.c_str(), 2, 2, 24), 1);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.finish(2512), 0);  // 25.12 frames a second
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.microsecondsPerFrame, 100000000u / 2512);
  EXPECT_EQ(contents.scale, 1000000000u / 2512);
}

TEST_F(AviRecorderTest, TheMeasuredRateCountsFramesOverTheTimeFromFirstToLatest) {
  const std::string name = folder_.File("measured.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 2, 2, 24), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 2);
  // 301 frames, the last 10000 ms after the first, across the clock's wrap.
  const uint32_t start = 0xFFFFFFFFu - 4000;
  for (uint32_t i = 0; i <= 300; ++i) {
    clock_.Set(start + i * 10000 / 300);
    ASSERT_EQ(recorder.append(frame.data()), 0);
  }
  EXPECT_EQ(recorder.frameCount(), 301u);
  EXPECT_EQ(recorder.measuredRate(), 3010u);
  ASSERT_EQ(recorder.finish(), 0);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.frames.size(), 301u);
  EXPECT_EQ(contents.microsecondsPerFrame, 100000000u / 3010);
  EXPECT_EQ(contents.scale, 1000000000u / 3010);
}

TEST_F(AviRecorderTest, ARateOfZeroIsWrittenAsThirtyFramesASecond) {
  const std::string name = folder_.File("zero.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 2, 2, 24), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 2);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  EXPECT_EQ(recorder.measuredRate(), 0u);  // one frame spans no time
  ASSERT_EQ(recorder.finish(0), 0);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.microsecondsPerFrame, 33333u);
  EXPECT_EQ(contents.scale, 333333u);
}

TEST_F(AviRecorderTest, ResetFinishesARecordingStoppedBeforeItsEnd) {
  const std::string name = folder_.File("stopped.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 5, 3, 32), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 4);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) clock_.Advance(50);
    ASSERT_EQ(recorder.append(frame.data()), 0);
  }
  recorder.reset();
  EXPECT_FALSE(recorder.isRecording());
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.frames.size(), 4u);
  // 4 frames over 150 ms: 2666 hundredths, 37509 microseconds a frame.
  EXPECT_EQ(contents.microsecondsPerFrame, 100000000u / 2666);
  EXPECT_EQ(contents.scale, 1000000000u / 2666);
}

TEST_F(AviRecorderTest, DestroyingTheRecorderFinishesItsFile) {
  const std::string name = folder_.File("released.avi");
  {
    AviRecorder recorder;
    ASSERT_EQ(recorder.begin(name.c_str(), 2, 2, 8), 1);
    const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 5);
    ASSERT_EQ(recorder.append(frame.data()), 0);
  }
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.frames.size(), 1u);
}

TEST_F(AviRecorderTest, BeginFinishesTheRecordingStillOpen) {
  const std::string first = folder_.File("first.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(first.c_str(), 2, 2, 24), 1);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 6);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.begin(folder_.File("second.avi").c_str(), 2, 2, 24), 1);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(first, &contents));
  EXPECT_EQ(contents.frames.size(), 1u);
}

TEST_F(AviRecorderTest, AFileThatCannotBeMadeFailsBeginAndLaterAppends) {
  AviRecorder recorder;
  EXPECT_EQ(recorder.begin(folder_.File("missing/folder.avi").c_str(), 2, 2, 24), 0);
  EXPECT_FALSE(recorder.isRecording());
  const std::vector<uint8_t> frame(16);
  EXPECT_EQ(recorder.append(frame.data()), kRecordWriteError);
  EXPECT_EQ(recorder.begin("", 2, 2, 24), 0);
  EXPECT_EQ(recorder.begin(folder_.File("empty.avi").c_str(), 0, 2, 24), 0);
  EXPECT_FALSE(platform::FileExists(folder_.File("empty.avi").c_str()));
}

TEST_F(AviRecorderTest, FollowOnNamesGoBeforeTheExtension) {
  EXPECT_EQ(AviRecorder::followOnName("rec.avi", 1), "rec_001.avi");
  EXPECT_EQ(AviRecorder::followOnName("dir.v2/rec", 2), "dir.v2/rec_002");
  EXPECT_EQ(AviRecorder::followOnName("C:\\a.b\\rec.x.avi", 12), "C:\\a.b\\rec.x_012.avi");
  EXPECT_EQ(AviRecorder::followOnName("dir/.avi", 3), "dir/.avi_003");
  EXPECT_EQ(AviRecorder::followOnName("rec.avi", 1000), "rec_1000.avi");
}

TEST_F(AviRecorderTest, RecordingGoesOnInFollowOnFilesBeforeTheSizeLimit) {
  const std::string name = folder_.File("long.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 4, 4, 24), 1);  // 48-byte frames, 56-byte chunks
  // Room for three frames and their index: 232 + 3 * 56 + 8 + 3 * 16.
  const uint64_t limit = 232 + 3 * 56 + 8 + 3 * 16;
  recorder.setFileSizeLimit(limit);
  for (uint8_t i = 0; i < 10; ++i) {
    if (i > 0) clock_.Advance(100);
    const std::vector<uint8_t> frame = Frame(48, i);
    ASSERT_EQ(recorder.append(frame.data()), 0) << "frame " << int(i);
  }
  EXPECT_EQ(recorder.followOnCount(), 3u);
  EXPECT_EQ(recorder.currentFileName(), folder_.File("long_003.avi"));
  ASSERT_EQ(recorder.finish(1000), 0);

  const std::vector<std::string> names = {"long.avi", "long_001.avi", "long_002.avi",
                                          "long_003.avi"};
  EXPECT_EQ(folder_.Names(), names);
  uint8_t next = 0;
  for (const std::string& file : names) {
    AviContents contents;
    ASSERT_TRUE(ReadFinishedAvi(folder_.File(file), &contents));
    EXPECT_LE(platform::FileSize(folder_.File(file).c_str()), static_cast<int64_t>(limit));
    EXPECT_EQ(contents.width, 4u);
    for (const auto& frame : contents.frames) EXPECT_EQ(frame, Frame(48, next++)) << file;
    // Finished on the way, the earlier files carry the rate measured then:
    // 10 frames a second.
    if (file != "long_003.avi") {
      EXPECT_EQ(contents.microsecondsPerFrame, 100000u) << file;
    }
  }
  EXPECT_EQ(next, 10);
}

TEST_F(AviRecorderTest, EveryFileHoldsAFrameHoweverSmallTheLimit) {
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(folder_.File("small.avi").c_str(), 8, 8, 24), 1);
  recorder.setFileSizeLimit(100);
  const std::vector<uint8_t> frame = Frame(recorder.frameDataSize(), 1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.finish(3000), 0);
  EXPECT_EQ(folder_.Names().size(), 3u);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(folder_.File("small_002.avi"), &contents));
  EXPECT_EQ(contents.frames.size(), 1u);
}

TEST_F(AviRecorderTest, AFailedWriteFinishesTheFileWithTheWholeFrames) {
  if (!test::FileSizeLimit::Available()) GTEST_SKIP() << "no file-size limit here";
  const std::string name = folder_.File("full.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 40, 10, 24), 1);  // 1200-byte frames
  const std::vector<uint8_t> frame = Frame(1200, 7);
  {
    // The third frame's chunk fails half-way; the index still fits behind the
    // second once the broken chunk is cut off.
    test::FileSizeLimit full(232 + 2 * 1208 + 600);
    ASSERT_EQ(recorder.append(frame.data()), 0);
    ASSERT_EQ(recorder.append(frame.data()), 0);
    EXPECT_EQ(recorder.append(frame.data()), kRecordWriteError);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.append(frame.data()), kRecordWriteError);
  }
  EXPECT_EQ(recorder.finish(3000), 0);  // nothing left to finish
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  ASSERT_EQ(contents.frames.size(), 2u);
  EXPECT_EQ(contents.frames[1], frame);
}

TEST_F(AviRecorderTest, OnAFullDiskFramesAreGivenUpUntilTheIndexFits) {
  if (!test::FileSizeLimit::Available()) GTEST_SKIP() << "no file-size limit here";
  const std::string name = folder_.File("full.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 2, 1, 24), 1);  // 8-byte frames, 16-byte chunks
  const std::vector<uint8_t> frame = Frame(8, 7);
  int appended = 0;
  {
    // Exactly full after 20 frames: the index cannot follow all of them.
    test::FileSizeLimit full(232 + 20 * 16);
    while (recorder.append(frame.data()) == 0) ++appended;
  }
  EXPECT_EQ(appended, 20);
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_GT(contents.frames.size(), 0u);
  EXPECT_LE(232 + contents.frames.size() * 16 + 8 + contents.frames.size() * 16, 232 + 20 * 16u);
  EXPECT_EQ(recorder.frameCount(), contents.frames.size());
}

TEST_F(AviRecorderTest, AFollowOnFileThatCannotBeMadeEndsTheRecordingWithTheFirstFinished) {
  const std::string name = folder_.File("limited.avi");
  // A folder where the follow-on file would go.
  std::filesystem::create_directory(folder_.path() / "limited_001.avi");
  AviRecorder recorder;
  ASSERT_EQ(recorder.begin(name.c_str(), 4, 4, 24), 1);
  recorder.setFileSizeLimit(232 + 2 * 56 + 8 + 2 * 16);
  const std::vector<uint8_t> frame = Frame(48, 1);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  ASSERT_EQ(recorder.append(frame.data()), 0);
  EXPECT_EQ(recorder.append(frame.data()), kRecordWriteError);
  EXPECT_FALSE(recorder.isRecording());
  AviContents contents;
  ASSERT_TRUE(ReadFinishedAvi(name, &contents));
  EXPECT_EQ(contents.frames.size(), 2u);
}

}  // namespace
}  // namespace zirvo

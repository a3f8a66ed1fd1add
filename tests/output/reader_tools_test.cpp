// Files checked by independent readers: ffprobe and a full ffmpeg decode of
// recordings; ImageMagick's identify, pngcheck and tiffinfo on still images.
// Each check is skipped where its tool is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "display/frame_bitmap.h"
#include "output/avi_recorder.h"
#include "output/record_frame.h"
#include "output/still_image_saver.h"
#include "platform/clock.h"
#include "support/output_files.h"

namespace zirvo {
namespace {

using test::TemporaryFolder;

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error
};

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
#if !defined(_WIN32)
  std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  result.status = ::pclose(pipe);
#else
  (void)command;
#endif
  return result;
}

bool HaveTool(const std::string& tool) {
#if defined(_WIN32)
  (void)tool;
  return false;
#else
  return RunCommand("command -v " + tool).status == 0;
#endif
}

#define REQUIRE_TOOL(tool) \
  if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed"

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::unique_ptr<FrameBitmap> RandomFrame(int32_t width, int32_t height, int bits, uint32_t seed) {
  auto frame = std::make_unique<FrameBitmap>();
  if (frame->Create(width, height, bits) != 1) return nullptr;
  std::mt19937 random(seed);
  const std::size_t size = static_cast<std::size_t>(frame->Stride()) * height;
  for (std::size_t i = 0; i < size; ++i) frame->Pixels()[i] = static_cast<uint8_t>(random());
  return frame;
}

constexpr int kDepths[] = {8, 16, 24, 32, 48, 64};

TEST(ReaderTools, IdentifyReadsEveryStillImage) {
  REQUIRE_TOOL("identify");
  TemporaryFolder folder;
  const struct {
    int code;
    const char* format;
  } formats[] = {{SaveBmp, "BMP3"},  {SaveJpeg100, "JPEG"}, {SaveJpeg70, "JPEG"},
                 {SaveJpeg20, "JPEG"}, {SavePng, "PNG"},    {SaveTiff, "TIFF"}};
  for (int bits : kDepths) {
    auto frame = RandomFrame(37, 23, bits, static_cast<uint32_t>(bits));
    ASSERT_TRUE(frame);
    for (const auto& format : formats) {
      // Bitmap files keep 48 and 64 bits, depths no bitmap reader knows.
      if (format.code == SaveBmp && bits > 32) continue;
      if (!StillImageSaver::supports(format.code)) continue;
      const std::string name = folder.File("still-" + std::to_string(bits) + "." + format.format);
      ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), format.code), 1);
      const CommandResult result = RunCommand("identify -regard-warnings -format '%w %h %m\\n' " + Quoted(name));
      EXPECT_EQ(result.status, 0) << name << "\n" << result.output;
      EXPECT_EQ(result.output, std::string("37 23 ") + format.format + "\n") << name;
    }
  }
}

TEST(ReaderTools, PngcheckAcceptsEveryPng) {
  REQUIRE_TOOL("pngcheck");
  if (!StillImageSaver::supports(SavePng)) GTEST_SKIP() << "no PNG encoder in this build";
  TemporaryFolder folder;
  for (int bits : kDepths) {
    auto frame = RandomFrame(37, 23, bits, static_cast<uint32_t>(bits + 1));
    const std::string name = folder.File("still-" + std::to_string(bits) + ".png");
    ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SavePng), 1);
    const CommandResult result = RunCommand("pngcheck -v " + Quoted(name));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("No errors detected"), std::string::npos) << result.output;
  }
}

TEST(ReaderTools, TiffinfoReadsEveryTiffWithoutComplaint) {
  REQUIRE_TOOL("tiffinfo");
  if (!StillImageSaver::supports(SaveTiff)) GTEST_SKIP() << "no TIFF encoder in this build";
  TemporaryFolder folder;
  for (int bits : kDepths) {
    auto frame = RandomFrame(37, 23, bits, static_cast<uint32_t>(bits + 2));
    const std::string name = folder.File("still-" + std::to_string(bits) + ".tif");
    ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SaveTiff), 1);
    // -D reads the image data too.
    const CommandResult result = RunCommand("tiffinfo -D " + Quoted(name));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("Warning"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("Error"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Image Width: 37 Image Length: 23"), std::string::npos)
        << result.output;
  }
}

// Records `frames` random output frames of one depth and returns the
// 24-bit frames top row first, as a decoder should hand them back.
std::vector<uint8_t> Record(AviRecorder& recorder, const std::string& name, int bits,
                            int32_t width, int32_t height, int frames) {
  std::vector<uint8_t> topDown;
  if (recorder.begin(name.c_str(), width, height, static_cast<uint16_t>(bits)) != 1) return topDown;
  FrameBitmap record;
  for (int i = 0; i < frames; ++i) {
    auto frame = RandomFrame(width, height, bits, static_cast<uint32_t>(bits * 100 + i));
    if (ConvertFrameForRecording(*frame, record) != 1) return {};
    if (recorder.append(record.Pixels()) != 0) return {};
    for (int32_t row = height - 1; row >= 0; --row) {
      const uint8_t* line = record.Pixels() + static_cast<std::size_t>(row) * record.Stride();
      topDown.insert(topDown.end(), line, line + width * 3);
    }
  }
  return topDown;
}

class RecordingReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = platform::SetClock(&clock_); }
  void TearDown() override { platform::SetClock(previous_); }
  platform::ManualClock clock_{0};
  platform::Clock* previous_ = nullptr;
  TemporaryFolder folder_;
};

TEST_F(RecordingReaderTest, FfprobeCountsEveryFrameAtTheRecordedSizeAndRate) {
  REQUIRE_TOOL("ffprobe");
  for (int bits : kDepths) {
    const std::string name = folder_.File("rec-" + std::to_string(bits) + ".avi");
    AviRecorder recorder;
    ASSERT_FALSE(Record(recorder, name, bits, 37, 23, 5).empty());
    ASSERT_EQ(recorder.finish(2500), 0);
    const CommandResult result = RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of default=noprint_wrappers=1 " +
        Quoted(name));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output,
              "codec_name=rawvideo\nwidth=37\nheight=23\nr_frame_rate=25/1\nnb_read_frames=5\n")
        << bits;
  }
}

TEST_F(RecordingReaderTest, FfmpegDecodesEveryFrameUprightAndUnchanged) {
  REQUIRE_TOOL("ffmpeg");
  for (int bits : kDepths) {
    const std::string name = folder_.File("rec-" + std::to_string(bits) + ".avi");
    const std::string decoded = folder_.File("rec-" + std::to_string(bits) + ".bgr");
    AviRecorder recorder;
    const std::vector<uint8_t> expected = Record(recorder, name, bits, 37, 23, 4);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(recorder.finish(3000), 0);
    const CommandResult result = RunCommand("ffmpeg -nostdin -v error -i " + Quoted(name) +
                                     " -f rawvideo -pix_fmt bgr24 -y " + Quoted(decoded));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "") << bits;
    EXPECT_EQ(test::ReadFileBytes(decoded), expected) << bits;
  }
}

TEST_F(RecordingReaderTest, EveryFollowOnFilePlaysOnItsOwn) {
  REQUIRE_TOOL("ffmpeg");
  const std::string name = folder_.File("split.avi");
  AviRecorder recorder;
  recorder.setFileSizeLimit(232 + 3 * (8 + 40 * 23) + 8 + 3 * 16);  // three frames a file
  const std::vector<uint8_t> expected = Record(recorder, name, 24, 13, 23, 7);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(recorder.finish(3000), 0);
  std::vector<uint8_t> decodedAll;
  for (const char* file : {"split.avi", "split_001.avi", "split_002.avi"}) {
    const std::string decoded = folder_.File(std::string(file) + ".bgr");
    const CommandResult result = RunCommand("ffmpeg -nostdin -v error -i " + Quoted(folder_.File(file)) +
                                     " -f rawvideo -pix_fmt bgr24 -y " + Quoted(decoded));
    EXPECT_EQ(result.status, 0) << file << "\n" << result.output;
    EXPECT_EQ(result.output, "") << file;
    const std::vector<uint8_t> part = test::ReadFileBytes(decoded);
    decodedAll.insert(decodedAll.end(), part.begin(), part.end());
  }
  EXPECT_EQ(decodedAll, expected);
}

}  // namespace
}  // namespace zirvo

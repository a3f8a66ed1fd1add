// The conversion pipeline against the kernels applied by hand in their
// documented order, on frames of the simulator's chart, in all six colour
// modes; the gray filter, the white balance and their write-backs.
#include "convert/pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "convert/brightness.h"
#include "convert/contrast.h"
#include "convert/demosaic.h"
#include "convert/gamma.h"
#include "convert/gray_filter.h"
#include "convert/hot_pixel.h"
#include "convert/hue_saturation.h"
#include "convert/parameter_blocks.h"
#include "convert/sharpen.h"
#include "convert/white_balance.h"
#include "display/frame_bitmap.h"
#include "support/sim_scene.h"

namespace zirvo::testing {
namespace {

constexpr int kOutputBits[] = {8, 16, 24, 32, 48, 64};

bool IsColourMode(int mode) { return mode >= kColorMode24; }
bool IsWideMode(int mode) { return mode == kColorMode16 || mode == kColorMode48 || mode == kColorMode64; }

// The camera's bitmaps for one colour mode, made as the preparation of
// acquisition makes them.
class ConversionFrames {
 public:
  ConversionFrames(int width, int height, int mode) : mode_(mode) {
    for (auto& bitmap : bitmaps_) bitmap = std::make_unique<FrameBitmap>();
    if (!IsWideMode(mode)) {
      raw8().Create(width, height, 8);
      raw8().SetPalette(0, nullptr, 0, 256);
    } else {
      raw16().Create(width, height, 16);
    }
    if (mode != kColorMode16) colour24().Create(width, height, 24);
    if (mode == kColorMode32) bitmaps_[3]->Create(width, height, 32);
    if (mode == kColorMode48) bitmaps_[4]->Create(width, height, 48);
    if (mode == kColorMode64) bitmaps_[5]->Create(width, height, 64);
    work().CopyFormat(&Output());
  }

  ConversionBitmaps View() {
    return ConversionBitmaps{bitmaps_[0].get(), bitmaps_[1].get(), bitmaps_[2].get(), bitmaps_[3].get(),
                             bitmaps_[4].get(), bitmaps_[5].get(), bitmaps_[6].get()};
  }
  FrameBitmap& raw8() { return *bitmaps_[0]; }
  FrameBitmap& raw16() { return *bitmaps_[1]; }
  FrameBitmap& colour24() { return *bitmaps_[2]; }
  FrameBitmap& work() { return *bitmaps_[6]; }
  // The work window as the camera makes it for `pipeline`, or of `rows` rows.
  void SizeWorkFor(const ConversionPipeline& pipeline) { SizeWork(pipeline.WorkRows(Output())); }
  void SizeWork(int rows) { work().Create(Output().Width(), rows, Output().BitsPerPixel()); }
  FrameBitmap& Raw() { return *RawBitmapFor(View(), mode_); }
  FrameBitmap& Output() { return *OutputBitmapFor(View(), mode_); }
  void Load(const std::vector<uint8_t>& samples) { LoadRawFrame(Raw(), samples); }
  std::vector<uint8_t> OutputBytes() {
    const FrameBitmap& output = Output();
    return std::vector<uint8_t>(output.Pixels(), output.Pixels() + static_cast<size_t>(output.Stride()) * output.Height());
  }

  // Every byte of every bitmap but the scratch work window, row padding included.
  std::vector<std::vector<uint8_t>> Contents() const {
    std::vector<std::vector<uint8_t>> contents;
    for (size_t i = 0; i + 1 < bitmaps_.size(); ++i) {
      const auto& bitmap = bitmaps_[i];
      const uint8_t* pixels = bitmap->Pixels();
      const size_t bytes = pixels ? static_cast<size_t>(bitmap->Stride()) * bitmap->Height() : 0;
      contents.emplace_back(pixels, pixels + bytes);
    }
    return contents;
  }

 private:
  int mode_;
  std::array<std::unique_ptr<FrameBitmap>, 7> bitmaps_;
};

FilterSettings NeutralFilter() {
  FilterSettings filter;
  filter[kFilterGainRed] = filter[kFilterGainGreen] = filter[kFilterGainBlue] = 100;
  filter[kFilterGamma] = 100;
  filter[kFilterBayerMode] = SimScene::kBayerMode;
  for (int site = 0; site < 4; ++site) filter[kFilterGrayGainR + site] = 128;
  return filter;
}

FilterSettings AllFilters() {
  FilterSettings filter = NeutralFilter();
  filter[kFilterBrightness] = 25;
  filter[kFilterContrast] = 20;
  filter[kFilterHue] = 40;
  filter[kFilterSaturation] = 60;
  filter[kFilterSharpness] = 12;
  filter[kFilterGamma] = 130;
  filter[kFilterGainRed] = 130;
  filter[kFilterGainBlue] = 85;
  return filter;
}

// --- The kernels by hand --------------------------------------------------

KernelRect Whole(const FrameBitmap& bitmap) { return {0, 0, bitmap.Width(), bitmap.Height()}; }

int RunWhole(RectangleKernel kernel, FrameBitmap& destination, const FrameBitmap& source, void* parameter,
        void* extra = nullptr) {
  return kernel(destination.Pixels(), source.Pixels(), Whole(source), 0, 0, destination.BytesPerPixel(),
                source.BytesPerPixel(), destination.Stride(), source.Stride(), parameter, extra);
}

// The Bayer stage with the plain kernels; returns the gains it demosaiced with.
BayerGains ReferenceBayerStage(FrameBitmap& colour, FrameBitmap& raw, const FilterSettings& filter) {
  const bool wide = raw.BitsPerPixel() == 16;
  BayerGains gains{filter[kFilterGainRed], filter[kFilterGainGreen], filter[kFilterGainBlue]};
  if (filter[kFilterAutoWhiteBalance] != 0) {
    WhiteBalanceResult result{gains.blue, gains.green, gains.red, filter[kFilterBayerMode]};
    RunWhole(wide ? WhiteBalanceMeasure16 : WhiteBalanceMeasure8, raw, raw, &result);
    gains = {std::min(result.gainRed, 400), std::min(result.gainGreen, 400), std::min(result.gainBlue, 400)};
  }
  BayerBlock block{filter[kFilterBayerMode], gains.red, gains.green, gains.blue};
  RunWhole(wide ? DemosaicInner16 : DemosaicInner8, colour, raw, &block);
  RunWhole(wide ? DemosaicBorder16 : DemosaicBorder8, colour, raw, &block);
  return gains;
}

RectangleKernel GrayFilterByRule(const ProcessorInfo& processor) {
  const uint32_t both = processor.reportedFeatures & processor.verifiedFeatures;
  if (both & kFeatureSse2) return GrayFilter8Sse2;
  if (both & kFeatureMmx) return GrayFilter8Mmx;
  return GrayFilter8;
}

struct Tone {
  RectangleKernel mono8, mono16, bgr8, bgr16;
  RectangleKernel For(int mode) const {
    if (mode == kColorMode8) return mono8;
    if (mode == kColorMode16) return mono16;
    return IsWideMode(mode) ? bgr16 : bgr8;
  }
};

// Every stage in its order, each under its condition, over whole frames.
void ConvertByHand(ConversionFrames& frames, int mode, const FilterSettings& filter,
                   const ProcessorInfo& processor = ProcessorInfo{}) {
  FrameBitmap& raw = frames.Raw();
  FrameBitmap& output = frames.Output();
  BayerBlock bayer{filter[kFilterBayerMode], filter[kFilterGainRed], filter[kFilterGainGreen],
                   filter[kFilterGainBlue]};
  int threshold = 30;
  RunWhole(HotPixelCorrect, raw, raw, &bayer, &threshold);
  if (mode == kColorMode8 && filter[kFilterGrayMode] == 1) {
    GrayBlock gray{filter[kFilterBayerMode],    filter[kFilterGrayGainR],    filter[kFilterGrayGainG1],
                   filter[kFilterGrayGainG2],   filter[kFilterGrayGainB],    filter[kFilterGrayOffsetR],
                   filter[kFilterGrayOffsetG1], filter[kFilterGrayOffsetG2], filter[kFilterGrayOffsetB]};
    if (filter[kFilterGrayGainCounter] != 0) RunWhole(GrayGainMeasure8, raw, raw, &gray);
    if (gray.gainR != 128 || gray.gainG1 != 128 || gray.gainG2 != 128 || gray.gainB != 128)
      RunWhole(GrayFilterByRule(processor), raw, raw, &gray);
  }
  if (mode == kColorMode8 && filter[kFilterGrayMode] == 2) {
    ReferenceBayerStage(frames.colour24(), raw, filter);
    RunWhole(BgrToGray8, raw, frames.colour24(), nullptr);
  }
  if (IsColourMode(mode)) ReferenceBayerStage(output, raw, filter);
  if (IsColourMode(mode) && (filter[kFilterHue] != 0 || filter[kFilterSaturation] != 0)) {
    HueBlock hue{filter[kFilterHue], 0, filter[kFilterSaturation], IsWideMode(mode) ? 12 : 8};
    RunWhole(IsWideMode(mode) ? HueSaturationBgr16 : HueSaturationBgr8, output, output, &hue);
  }
  ValueBlock value{filter[kFilterGamma]};
  if (value.value != 100) RunWhole(Tone{GammaMono8, GammaMono16, GammaBgr8, GammaBgr16}.For(mode), output, output, &value);
  value.value = filter[kFilterContrast];
  if (value.value != 0)
    RunWhole(Tone{ContrastMono8, ContrastMono16, ContrastBgr8, ContrastBgr16}.For(mode), output, output, &value);
  value.value = filter[kFilterSharpness];
  if (value.value != 0) {
    std::memcpy(frames.work().Pixels(), output.Pixels(), static_cast<size_t>(output.Stride()) * output.Height());
    RunWhole(Tone{SharpenMono8, SharpenMono16, SharpenBgr8, SharpenBgr16}.For(mode), output, frames.work(), &value);
  }
  value.value = filter[kFilterBrightness];
  if (value.value != 0)
    RunWhole(Tone{BrightnessMono8, BrightnessMono16, BrightnessBgr8, BrightnessBgr16}.For(mode), output, output,
        &value);
}

// --- Fixture ----------------------------------------------------------------

// Frames of the chart, rendered once per size for the whole program.
const std::vector<uint8_t>& SceneFrame(int width, int height) {
  static std::vector<std::pair<std::pair<int, int>, std::vector<uint8_t>>> frames;
  for (const auto& [size, frame] : frames)
    if (size == std::make_pair(width, height)) return frame;
  SimScene scene(width, height);
  EXPECT_TRUE(scene.Ready());
  frames.emplace_back(std::make_pair(width, height), scene.Frame());
  return frames.back().second;
}

ProcessorInfo ThisProcessor() {
  ProcessorInfo processor{};
  DetectProcessor(&processor);
  return processor;
}

FrameSettings SettingsFor(int mode, const FilterSettings& filter) {
  FrameSettings settings;
  settings.filter = filter;
  settings.colorMode = mode;
  return settings;
}

// Converts one frame with the pipeline and by hand; expects every bitmap to
// hold the same bytes afterwards.
// `workRows` 0 sizes the work window as the camera does.
void ExpectSameAsByHand(int mode, const FilterSettings& filter, int width, int height, int bandRows = -1,
                        int workRows = 0) {
  const std::vector<uint8_t>& scene = SceneFrame(width, height);
  ASSERT_EQ(scene.size(), static_cast<size_t>(width) * height);
  ConversionFrames piped(width, height, mode);
  ConversionFrames byHand(width, height, mode);
  piped.Load(scene);
  byHand.Load(scene);
  ConversionPipeline pipeline(ThisProcessor());
  if (bandRows >= 0) pipeline.SetBandRows(bandRows);
  if (workRows > 0) {
    piped.SizeWork(workRows);
  } else {
    piped.SizeWorkFor(pipeline);
  }
  pipeline.Convert(piped.View(), SettingsFor(mode, filter), nullptr);
  ConvertByHand(byHand, mode, filter, ThisProcessor());
  const auto expected = byHand.Contents();
  const auto actual = piped.Contents();
  ASSERT_EQ(actual.size(), expected.size());
  const char* names[] = {"raw 8", "raw 16", "colour 24", "colour 32", "colour 48", "colour 64"};
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_TRUE(actual[i] == expected[i]) << names[i] << " bitmap differs in mode " << kOutputBits[mode];
}

struct FilterCase {
  const char* name;
  FilterSettings filter;
};

FilterSettings With(FilterSettings filter, int entry, int32_t value) {
  filter[entry] = value;
  return filter;
}

std::vector<FilterCase> FilterCases() {
  return {
      {"Neutral", NeutralFilter()},
      {"AllFilters", AllFilters()},
      {"AllButSharpness", With(AllFilters(), kFilterSharpness, 0)},
      {"Gamma101", With(NeutralFilter(), kFilterGamma, 101)},
      {"Gamma99", With(NeutralFilter(), kFilterGamma, 99)},
      {"ContrastOnly", With(NeutralFilter(), kFilterContrast, -40)},
      {"SharpnessOnly", With(NeutralFilter(), kFilterSharpness, 30)},
      {"BrightnessOnly", With(NeutralFilter(), kFilterBrightness, -60)},
      {"HueOnly", With(NeutralFilter(), kFilterHue, -200)},
      {"SaturationOnly", With(NeutralFilter(), kFilterSaturation, 120)},
      {"GainsAndBayerMode", With(With(AllFilters(), kFilterGainRed, 400), kFilterBayerMode, 2)},
      {"AutoWhiteBalance", With(AllFilters(), kFilterAutoWhiteBalance, 1)},
      {"GrayMode1", With(With(With(AllFilters(), kFilterGrayMode, 1), kFilterGrayGainR, 150), kFilterGrayOffsetB, 9)},
      {"GrayMode2", With(With(AllFilters(), kFilterGrayMode, 2), kFilterAutoWhiteBalance, 1)},
      {"GrayGainMeasured", With(With(AllFilters(), kFilterGrayMode, 1), kFilterGrayGainCounter, 1)},
  };
}

class PipelineByHandTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PipelineByHandTest, EveryBitmapMatchesTheKernelsRunInOrder) {
  const auto [mode, index] = GetParam();
  const FilterCase filterCase = FilterCases()[static_cast<size_t>(index)];
  SCOPED_TRACE(filterCase.name);
  ExpectSameAsByHand(mode, filterCase.filter, 273, 205);
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndFilters, PipelineByHandTest,
    ::testing::Combine(::testing::Range(0, 6), ::testing::Range(0, static_cast<int>(FilterCases().size()))),
    [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
      return "Mode" + std::to_string(kOutputBits[std::get<0>(info.param)]) + "_" +
             FilterCases()[static_cast<size_t>(std::get<1>(info.param))].name;
    });

// Bands of every height, over frames whose width and height are odd, give
// the bytes of the whole-frame order.
class PipelineBandTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PipelineBandTest, BandsGiveTheBytesOfWholeFrames) {
  const auto [mode, bandRows] = GetParam();
  FilterSettings filter = AllFilters();
  ExpectSameAsByHand(mode, filter, 203, 157, bandRows);
  ExpectSameAsByHand(mode, With(filter, kFilterAutoWhiteBalance, 1), 64, 9, bandRows);
}

INSTANTIATE_TEST_SUITE_P(Heights, PipelineBandTest,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Values(0, 2, 4, 6, 10, 64, 156)),
                         [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
                           return "Mode" + std::to_string(kOutputBits[std::get<0>(info.param)]) + "_Rows" +
                                  std::to_string(std::get<1>(info.param));
                         });

// The sharpening's window of rows meets the frame's first and last rows: every
// length of the last band, and frames no taller than one band and its margins.
class PipelineWindowEdgeTest : public ::testing::TestWithParam<int> {};

TEST_P(PipelineWindowEdgeTest, WindowsAtTheFrameEdgesGiveTheBytesOfWholeFrames) {
  const int mode = GetParam();
  for (int height = 8; height <= 17; ++height) {
    SCOPED_TRACE("height " + std::to_string(height));
    ExpectSameAsByHand(mode, AllFilters(), 37, height, 4);
    ExpectSameAsByHand(mode, With(NeutralFilter(), kFilterSharpness, 30), 37, height, 2);
    ExpectSameAsByHand(mode, With(AllFilters(), kFilterSharpness, 1), 37, height, 6);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, PipelineWindowEdgeTest, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Mode" + std::to_string(kOutputBits[info.param]);
                         });

TEST(PipelineWorkWindowTest, WindowRowsAreABandAndTwoRowsEitherSideWithinTheFrame) {
  FrameBitmap output;
  ASSERT_EQ(output.Create(4384, 3288, 24), 1);
  ConversionPipeline pipeline{ProcessorInfo{}};
  pipeline.SetBandRows(16);
  EXPECT_EQ(pipeline.WorkRows(output), 20);
  pipeline.SetBandRows(17);  // bands start on even rows
  EXPECT_EQ(pipeline.WorkRows(output), 20);
  pipeline.SetBandRows(0);
  EXPECT_EQ(pipeline.WorkRows(output), 3288);
  pipeline.SetBandRows(-1);
  EXPECT_LT(pipeline.WorkRows(output), 100);
  FrameBitmap small;
  ASSERT_EQ(small.Create(7, 9, 48), 1);
  pipeline.SetBandRows(6);
  EXPECT_EQ(pipeline.WorkRows(small), 9);
}

// A window of another height than the pipeline asks for: taller serves as it
// is, shorter makes the bands fit it, too short for any band leaves the
// sharpening out.
TEST(PipelineWorkWindowTest, WindowsOfOtherHeightsGiveTheSameBytes) {
  for (int mode : {kColorMode16, kColorMode24, kColorMode64}) {
    SCOPED_TRACE("mode " + std::to_string(kOutputBits[mode]));
    ExpectSameAsByHand(mode, AllFilters(), 41, 31, 8, 31);
    ExpectSameAsByHand(mode, AllFilters(), 41, 31, 8, 25);
    ExpectSameAsByHand(mode, AllFilters(), 41, 31, 64, 6);
    ExpectSameAsByHand(mode, AllFilters(), 41, 31, 64, 9);
  }
}

TEST(PipelineWorkWindowTest, AWindowTooShortForABandLeavesOnlySharpeningOut) {
  const FilterSettings filter = AllFilters();
  ConversionFrames frames(41, 31, kColorMode24);
  frames.Load(SceneFrame(41, 31));
  frames.SizeWork(5);
  ConversionPipeline(ThisProcessor()).Convert(frames.View(), SettingsFor(kColorMode24, filter), nullptr);
  ConversionFrames byHand(41, 31, kColorMode24);
  byHand.Load(SceneFrame(41, 31));
  ConvertByHand(byHand, kColorMode24, With(filter, kFilterSharpness, 0));
  EXPECT_TRUE(frames.Contents() == byHand.Contents());
}

// --- Conditions and buffers ---------------------------------------------------

class PipelineTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 273;
  static constexpr int kHeight = 205;
  // Colour measurements need even sizes: over an odd width the kernels' column
  // phase runs on from row to row.
  static constexpr int kEvenWidth = 274;
  static constexpr int kEvenHeight = 206;

  // Converts the scene in `mode` and returns every bitmap's bytes.
  std::vector<std::vector<uint8_t>> Converted(int mode, const FilterSettings& filter,
                                              FrameMeasurements* measured = nullptr,
                                              const ProcessorInfo& processor = ProcessorInfo{}) {
    ConversionFrames frames(kWidth, kHeight, mode);
    frames.Load(SceneFrame(kWidth, kHeight));
    const FrameMeasurements result =
        ConversionPipeline(processor).Convert(frames.View(), SettingsFor(mode, filter), nullptr);
    if (measured) *measured = result;
    return frames.Contents();
  }

  std::vector<uint8_t> HotPixelsOnly(int mode) {
    ConversionFrames frames(kWidth, kHeight, mode);
    frames.Load(SceneFrame(kWidth, kHeight));
    BayerBlock bayer{SimScene::kBayerMode, 100, 100, 100};
    int threshold = 30;
    RunWhole(HotPixelCorrect, frames.Raw(), frames.Raw(), &bayer, &threshold);
    FrameBitmap& raw = frames.Raw();
    return std::vector<uint8_t>(raw.Pixels(), raw.Pixels() + static_cast<size_t>(raw.Stride()) * raw.Height());
  }
};

TEST_F(PipelineTest, NeutralMonochromeFramesOnlyLoseTheirHotPixels) {
  const std::vector<uint8_t>& scene = SceneFrame(kWidth, kHeight);
  for (int mode : {kColorMode8, kColorMode16}) {
    const auto contents = Converted(mode, NeutralFilter());
    const std::vector<uint8_t>& raw = contents[mode == kColorMode8 ? 0 : 1];
    EXPECT_TRUE(raw == HotPixelsOnly(mode)) << kOutputBits[mode];
    // The scene has hot pixels within the window: the correction did something.
    ConversionFrames untouched(kWidth, kHeight, mode);
    untouched.Load(scene);
    EXPECT_FALSE(untouched.Contents()[mode == kColorMode8 ? 0 : 1] == raw) << kOutputBits[mode];
  }
}

TEST_F(PipelineTest, GrayModesHaveNoEffectOutsideEightBitMode) {
  FilterSettings gray1 = With(With(AllFilters(), kFilterGrayMode, 1), kFilterGrayGainR, 60);
  gray1[kFilterGrayGainCounter] = -1;
  const FilterSettings gray2 = With(AllFilters(), kFilterGrayMode, 2);
  for (int mode = kColorMode16; mode <= kColorMode64; ++mode) {
    const auto plain = Converted(mode, AllFilters());
    FrameMeasurements measured;
    EXPECT_TRUE(Converted(mode, gray1, &measured) == plain) << kOutputBits[mode];
    EXPECT_FALSE(measured.grayGainsMeasured);
    EXPECT_EQ(measured.grayGainCounter, -1);
    EXPECT_TRUE(Converted(mode, gray2) == plain) << kOutputBits[mode];
  }
}

TEST_F(PipelineTest, GrayGainsOf128SkipTheFilterWhateverTheOffsets) {
  FilterSettings filter = With(NeutralFilter(), kFilterGrayMode, 1);
  for (int site = 0; site < 4; ++site) filter[kFilterGrayOffsetR + site] = 40;
  EXPECT_TRUE(Converted(kColorMode8, filter)[0] == HotPixelsOnly(kColorMode8));
  filter[kFilterGrayGainG2] = 129;
  EXPECT_FALSE(Converted(kColorMode8, filter)[0] == HotPixelsOnly(kColorMode8));
}

TEST_F(PipelineTest, GrayFilterVariantFollowsBothFeatureWords) {
  // The plain filter adds the offsets, the vector ones do not: the variant
  // that ran shows in the bytes.
  FilterSettings filter = With(With(NeutralFilter(), kFilterGrayMode, 1), kFilterGrayGainB, 200);
  filter[kFilterGrayOffsetR] = filter[kFilterGrayOffsetG1] = 30;
  struct Case {
    uint32_t reported, verified;
  } cases[] = {{0, 0},
               {kFeatureMmx | kFeatureSse2, kFeatureMmx},
               {kFeatureMmx, kFeatureMmx | kFeatureSse2},
               {kFeatureMmx | kFeatureSse2, kFeatureMmx | kFeatureSse2},
               {kFeatureSse2, kFeatureMmx}};
  for (const Case& c : cases) {
    ProcessorInfo processor{};
    processor.reportedFeatures = c.reported;
    processor.verifiedFeatures = c.verified;
    ConversionFrames byHand(kWidth, kHeight, kColorMode8);
    byHand.Load(SceneFrame(kWidth, kHeight));
    ConvertByHand(byHand, kColorMode8, filter, processor);
    EXPECT_TRUE(Converted(kColorMode8, filter, nullptr, processor)[0] == byHand.Contents()[0])
        << c.reported << " / " << c.verified;
  }
  ProcessorInfo plain{};
  ProcessorInfo sse2{};
  sse2.reportedFeatures = sse2.verifiedFeatures = kFeatureSse2;
  EXPECT_FALSE(Converted(kColorMode8, filter, nullptr, plain)[0] == Converted(kColorMode8, filter, nullptr, sse2)[0]);
}

TEST_F(PipelineTest, GrayGainCounterOfOneMeasuresOneFrame) {
  FilterSettings filter = With(NeutralFilter(), kFilterGrayMode, 1);
  filter[kFilterGrayGainCounter] = 1;
  FrameMeasurements measured;
  Converted(kColorMode8, filter, &measured);
  ASSERT_TRUE(measured.grayGainsMeasured);
  EXPECT_EQ(measured.grayGainCounter, 0);
  EXPECT_EQ(measured.grayGains[1], 128);  // G1 is the reference site
  // The chart is gray-balanced on the sensor: the other sites measure near unity.
  for (int site : {0, 2, 3}) EXPECT_NEAR(measured.grayGains[static_cast<size_t>(site)], 128, 12) << site;

  // The next frame, with the counter at 0 and the measured gains, measures nothing.
  filter[kFilterGrayGainCounter] = measured.grayGainCounter;
  for (int site = 0; site < 4; ++site) filter[kFilterGrayGainR + site] = measured.grayGains[static_cast<size_t>(site)];
  FrameMeasurements next;
  Converted(kColorMode8, filter, &next);
  EXPECT_FALSE(next.grayGainsMeasured);
  EXPECT_EQ(next.grayGainCounter, 0);
}

TEST_F(PipelineTest, GrayGainCounterBelowZeroMeasuresEveryFrame) {
  FilterSettings filter = With(NeutralFilter(), kFilterGrayMode, 1);
  filter[kFilterGrayGainCounter] = -1;
  for (int frame = 0; frame < 3; ++frame) {
    FrameMeasurements measured;
    Converted(kColorMode8, filter, &measured);
    ASSERT_TRUE(measured.grayGainsMeasured) << frame;
    EXPECT_LT(measured.grayGainCounter, 0);
    filter[kFilterGrayGainCounter] = measured.grayGainCounter;
  }
  filter[kFilterGrayGainCounter] = 0;
  FrameMeasurements off;
  Converted(kColorMode8, filter, &off);
  EXPECT_FALSE(off.grayGainsMeasured);
}

TEST_F(PipelineTest, MeasuredGrayGainsApplyToTheSameFrame) {
  // Gains of 128 would skip the filter; the measurement replaces them first.
  FilterSettings filter = With(NeutralFilter(), kFilterGrayMode, 1);
  filter[kFilterGrayGainCounter] = 1;
  FrameMeasurements measured;
  const auto measuredFrame = Converted(kColorMode8, filter, &measured)[0];
  FilterSettings fixed = With(NeutralFilter(), kFilterGrayMode, 1);
  for (int site = 0; site < 4; ++site) fixed[kFilterGrayGainR + site] = measured.grayGains[static_cast<size_t>(site)];
  EXPECT_TRUE(measuredFrame == Converted(kColorMode8, fixed)[0]);
}

TEST_F(PipelineTest, WhiteBalanceOnceMarkersAskForTheSwitchesToBeCleared) {
  FilterSettings filter = With(NeutralFilter(), kFilterAutoWhiteBalance, 1);
  FrameMeasurements measured;
  Converted(kColorMode24, filter, &measured);
  EXPECT_TRUE(measured.whiteBalanceMeasured);
  EXPECT_FALSE(measured.whiteBalanceOnceDone);  // "All frames": keeps measuring

  filter[kFilterWhiteBalanceOnceFirst] = 1;
  Converted(kColorMode24, filter, &measured);
  EXPECT_FALSE(measured.whiteBalanceOnceDone);  // one marker is not "Once"

  filter[kFilterWhiteBalanceOnceSecond] = 1;
  Converted(kColorMode48, filter, &measured);
  EXPECT_TRUE(measured.whiteBalanceMeasured);
  EXPECT_TRUE(measured.whiteBalanceOnceDone);

  // Markers without the switch measure nothing.
  filter[kFilterAutoWhiteBalance] = 0;
  Converted(kColorMode24, filter, &measured);
  EXPECT_FALSE(measured.whiteBalanceMeasured);
  EXPECT_FALSE(measured.whiteBalanceOnceDone);
}

TEST_F(PipelineTest, WhiteBalanceOfUnbalancedChannelsIsLimitedTo400) {
  // Blue five times weaker than green asks for 500 %.
  SimScene scene(kEvenWidth, kEvenHeight, 0, 4);
  ASSERT_TRUE(scene.Ready());
  scene.SetChannelGains(100, 100, 100, 20);
  const std::vector<uint8_t> frame = scene.Frame();
  for (int mode : {kColorMode24, kColorMode64}) {
    ConversionFrames frames(kEvenWidth, kEvenHeight, mode);
    frames.Load(frame);
    const FilterSettings filter = With(NeutralFilter(), kFilterAutoWhiteBalance, 1);
    const FrameMeasurements measured =
        ConversionPipeline(ProcessorInfo{}).Convert(frames.View(), SettingsFor(mode, filter), nullptr);
    ASSERT_TRUE(measured.whiteBalanceMeasured);
    EXPECT_EQ(measured.whiteBalance.blue, 400);
    EXPECT_EQ(measured.whiteBalance.green, 100);
    EXPECT_NEAR(measured.whiteBalance.red, 100, 10);
    // The frame itself was demosaiced with the limited gain.
    ConversionFrames byHand(kEvenWidth, kEvenHeight, mode);
    byHand.Load(frame);
    ConvertByHand(byHand, mode, filter);
    EXPECT_TRUE(frames.Contents() == byHand.Contents()) << kOutputBits[mode];
    ConversionFrames unlimited(kEvenWidth, kEvenHeight, mode);
    unlimited.Load(frame);
    const FilterSettings measuredGains = With(With(filter, kFilterGainBlue, 500), kFilterGainRed, measured.whiteBalance.red);
    ConversionPipeline(ProcessorInfo{}).Convert(unlimited.View(), SettingsFor(mode, With(measuredGains, kFilterAutoWhiteBalance, 0)), nullptr);
    EXPECT_FALSE(frames.OutputBytes() == unlimited.OutputBytes());
  }
}

TEST_F(PipelineTest, AutomaticWhiteBalanceBringsTheGrayPatchToNeutral) {
  SimScene scene(kEvenWidth, kEvenHeight, 0, 4);
  ASSERT_TRUE(scene.Ready());
  scene.SetChannelGains(70, 100, 100, 125);
  // Gray world over the whole chart, whose colours do not quite average to
  // gray: within 6 %. The sensor starts 30 % and 25 % off.
  // The chart's 59 % gray patch: fourth patch row, second column.
  const int column = scene.ColumnOf(4384 / 4 + (4384 / 2 / 6) * 3 / 2);
  const int row = scene.RowOf(3288 / 4 + ((3288 * 13 / 20 - 3288 / 4) / 4) * 7 / 2);
  auto patch = [&](ConversionFrames& frames) {
    std::array<int, 3> sums{};
    FrameBitmap& output = frames.Output();
    for (int y = row - 2; y <= row + 2; ++y)
      for (int x = column - 2; x <= column + 2; ++x)
        for (int c = 0; c < 3; ++c)
          sums[static_cast<size_t>(c)] += output.Pixels()[static_cast<size_t>(y) * output.Stride() + x * 3 + c];
    return sums;
  };
  const std::vector<uint8_t> frame = scene.Frame();
  ConversionFrames before(kEvenWidth, kEvenHeight, kColorMode24);
  before.Load(frame);
  FilterSettings filter = NeutralFilter();
  ConversionPipeline pipeline(ThisProcessor());
  pipeline.Convert(before.View(), SettingsFor(kColorMode24, filter), nullptr);
  const auto unbalanced = patch(before);
  EXPECT_GT(unbalanced[0], unbalanced[1] * 115 / 100);  // blue high
  EXPECT_LT(unbalanced[2], unbalanced[1] * 80 / 100);   // red low

  filter[kFilterAutoWhiteBalance] = 1;
  ConversionFrames after(kEvenWidth, kEvenHeight, kColorMode24);
  after.Load(frame);
  const FrameMeasurements measured = pipeline.Convert(after.View(), SettingsFor(kColorMode24, filter), nullptr);
  ASSERT_TRUE(measured.whiteBalanceMeasured);
  const auto balanced = patch(after);
  EXPECT_NEAR(balanced[0], balanced[1], balanced[1] * 6 / 100) << "blue against green";
  EXPECT_NEAR(balanced[2], balanced[1], balanced[1] * 6 / 100) << "red against green";
}

TEST_F(PipelineTest, BitmapsThatDoNotFitLeaveTheFrameAlone) {
  ConversionFrames frames(kWidth, kHeight, kColorMode24);
  frames.Load(SceneFrame(kWidth, kHeight));
  ConversionBitmaps view = frames.View();
  FrameBitmap small;
  small.Create(kWidth - 1, kHeight, 24);
  view.colour24 = &small;
  const auto before = frames.Contents();
  ConversionPipeline(ProcessorInfo{}).Convert(view, SettingsFor(kColorMode24, AllFilters()), nullptr);
  EXPECT_TRUE(frames.Contents() == before);

  // An unknown colour mode has no bitmaps at all.
  ConversionPipeline(ProcessorInfo{}).Convert(frames.View(), SettingsFor(6, AllFilters()), nullptr);
  EXPECT_TRUE(frames.Contents() == before);
}

TEST_F(PipelineTest, WithoutAWorkCopyOnlySharpeningIsLeftOut) {
  const FilterSettings filter = AllFilters();
  ConversionFrames frames(kWidth, kHeight, kColorMode32);
  frames.Load(SceneFrame(kWidth, kHeight));
  ConversionBitmaps view = frames.View();
  view.work = nullptr;
  ConversionPipeline(ThisProcessor()).Convert(view, SettingsFor(kColorMode32, filter), nullptr);
  ConversionFrames byHand(kWidth, kHeight, kColorMode32);
  byHand.Load(SceneFrame(kWidth, kHeight));
  ConvertByHand(byHand, kColorMode32, With(filter, kFilterSharpness, 0));
  EXPECT_TRUE(frames.Contents() == byHand.Contents());
}

TEST_F(PipelineTest, AutomaticExposureScalesTheExposureFromTheRawFrame) {
  // Exposure mode on a frame made far too bright.
  SimScene scene(kWidth, kHeight, 0, 4);
  ASSERT_TRUE(scene.Ready());
  SceneExposureControl control(scene);
  control.SetExposure(4000);
  ConversionFrames frames(kWidth, kHeight, kColorMode48);
  frames.Load(scene.Frame());
  FrameSettings settings = SettingsFor(kColorMode48, AllFilters());
  settings.autoIris = kAutoIrisModeExposure;
  const FrameMeasurements measured = ConversionPipeline(ProcessorInfo{}).Convert(frames.View(), settings, &control);
  EXPECT_EQ(measured.autoIris.result, 1);
  EXPECT_EQ(measured.autoIris.change, AutoIrisOutcome::Change::Exposure);
  EXPECT_LT(measured.autoIris.value, 4000);
  int exposure = 0;
  ASSERT_EQ(control.GetExposure(&exposure), 1);
  EXPECT_EQ(exposure, measured.autoIris.value);

  settings.autoIris = 0;
  const int writes = control.Writes();
  const FrameMeasurements off = ConversionPipeline(ProcessorInfo{}).Convert(frames.View(), settings, &control);
  EXPECT_EQ(off.autoIris.result, 0);
  EXPECT_EQ(off.autoIris.errorCode, 0);
  EXPECT_EQ(control.Writes(), writes);
}

}  // namespace
}  // namespace zirvo::testing

// StillImageSaver: every format from every depth, read back with the real
// decoders pixel by pixel; failed saves that leave the old file whole.
#include "output/still_image_saver.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "display/frame_bitmap.h"
#include "platform/file.h"
#include "support/output_files.h"

#if ZIRVO_HAVE_JPEG
#include <jpeglib.h>
#endif
#if ZIRVO_HAVE_PNG
#include <png.h>
#endif
#if ZIRVO_HAVE_TIFF
#include <tiffio.h>
#endif

namespace zirvo {
namespace {

using test::ReadFileBytes;
using test::TemporaryFolder;

constexpr int kDepths[] = {8, 16, 24, 32, 48, 64};
constexpr std::pair<int32_t, int32_t> kSizes[] = {{1, 1}, {5, 3}, {17, 4}, {33, 2}};

// Every byte random, alignment bytes included.
void FillRandom(FrameBitmap& frame, uint32_t seed) {
  std::mt19937 random(seed);
  const std::size_t size = static_cast<std::size_t>(frame.Stride()) * frame.Height();
  for (std::size_t i = 0; i < size; ++i) frame.Pixels()[i] = static_cast<uint8_t>(random());
}

std::unique_ptr<FrameBitmap> RandomFrame(int32_t width, int32_t height, int bits, uint32_t seed) {
  auto frame = std::make_unique<FrameBitmap>();
  if (frame->Create(width, height, bits) != 1) return nullptr;
  FillRandom(*frame, seed);
  return frame;
}

[[maybe_unused]] const uint8_t* Pixel(const FrameBitmap& frame, int32_t row, int32_t x) {
  return frame.Pixels() + static_cast<std::size_t>(row) * frame.Stride() +
         static_cast<std::size_t>(x) * frame.BytesPerPixel();
}

uint16_t Word(const uint8_t* at, int index = 0) {
  return static_cast<uint16_t>(at[2 * index] | at[2 * index + 1] << 8);
}

uint32_t U32(const std::vector<uint8_t>& bytes, std::size_t at) {
  return static_cast<uint32_t>(bytes.at(at)) | static_cast<uint32_t>(bytes.at(at + 1)) << 8 |
         static_cast<uint32_t>(bytes.at(at + 2)) << 16 | static_cast<uint32_t>(bytes.at(at + 3)) << 24;
}

std::string Describe(int32_t width, int32_t height, int bits) {
  return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(bits);
}

// The samples that a format must hold for one source pixel, as read back:
// gray first, or R, G, B (and A).
[[maybe_unused]] std::vector<uint32_t> JpegSamples(const uint8_t* pixel, int bits) {
  switch (bits) {
    case 8:
      return {pixel[0]};
    case 16:
      return {static_cast<uint32_t>((Word(pixel) >> 2) & 0xFF)};
    case 24:
    case 32:
      return {pixel[2], pixel[1], pixel[0]};
    default:
      return {static_cast<uint32_t>((Word(pixel, 2) >> 2) & 0xFF),
              static_cast<uint32_t>((Word(pixel, 1) >> 2) & 0xFF),
              static_cast<uint32_t>((Word(pixel, 0) >> 2) & 0xFF)};
  }
}

[[maybe_unused]] std::vector<uint32_t> PngSamples(const uint8_t* pixel, int bits) {
  auto shifted = [pixel](int word, int shift) {
    return static_cast<uint32_t>(static_cast<uint16_t>(Word(pixel, word) << shift));
  };
  switch (bits) {
    case 8:
      return {pixel[0]};
    case 16:
      return {shifted(0, 4)};
    case 24:
      return {pixel[2], pixel[1], pixel[0]};
    case 32:
      return {pixel[2], pixel[1], pixel[0], static_cast<uint32_t>(255 - pixel[3])};
    case 48:
      return {shifted(2, 6), shifted(1, 6), shifted(0, 6)};
    default:
      return {shifted(2, 6), shifted(1, 6), shifted(0, 6), 0xFFFF};
  }
}

[[maybe_unused]] std::vector<uint32_t> TiffSamples(const uint8_t* pixel, int bits) {
  std::vector<uint32_t> samples = PngSamples(pixel, bits);
  if (bits == 32) samples[3] = 0;  // the fourth byte is not carried over
  return samples;
}

class SaverTest : public ::testing::Test {
 protected:
  TemporaryFolder folder_;
};

// ---- codes and files ----

TEST_F(SaverTest, UnknownCodesAndMissingFramesCreateNoFile) {
  auto frame = RandomFrame(4, 4, 24, 1);
  ASSERT_TRUE(frame);
  const std::string name = folder_.File("nothing.bmp");
  EXPECT_EQ(StillImageSaver::save(name.c_str(), frame.get(), 7), 0);
  EXPECT_EQ(StillImageSaver::save(name.c_str(), frame.get(), -1), 0);
  EXPECT_EQ(StillImageSaver::save(name.c_str(), nullptr, SaveBmp), 0);
  FrameBitmap empty;
  EXPECT_EQ(StillImageSaver::save(name.c_str(), &empty, SaveBmp), 0);
  EXPECT_EQ(StillImageSaver::save(nullptr, frame.get(), SaveBmp), 0);
  EXPECT_EQ(StillImageSaver::save("", frame.get(), SaveBmp), 0);
  EXPECT_TRUE(folder_.Names().empty());
}

TEST_F(SaverTest, AFolderThatDoesNotExistFailsTheSave) {
  auto frame = RandomFrame(4, 4, 8, 1);
  ASSERT_TRUE(frame);
  for (int code = SaveBmp; code <= SaveTiff; ++code) {
    EXPECT_EQ(StillImageSaver::save(folder_.File("no/such/folder.img").c_str(), frame.get(), code), 0);
  }
}

TEST_F(SaverTest, SavingTheSameNameTwiceReplacesTheFirstFileAndLeavesNothingElse) {
  for (int code = SaveBmp; code <= SaveTiff; ++code) {
    if (!StillImageSaver::supports(code)) continue;
    const std::string name = folder_.File("twice-" + std::to_string(code));
    auto first = RandomFrame(9, 9, 24, 1);
    auto second = RandomFrame(3, 2, 24, 2);
    ASSERT_EQ(StillImageSaver::save(name.c_str(), first.get(), code), 1);
    const std::vector<uint8_t> firstBytes = ReadFileBytes(name);
    ASSERT_EQ(StillImageSaver::save(name.c_str(), second.get(), code), 1);
    EXPECT_NE(ReadFileBytes(name), firstBytes) << "code " << code;
  }
  EXPECT_EQ(folder_.Names().size(), 7u - (StillImageSaver::supports(SaveJpeg100) ? 0 : 3) -
                                        (StillImageSaver::supports(SavePng) ? 0 : 1) -
                                        (StillImageSaver::supports(SaveTiff) ? 0 : 1));
}

// ---- BMP and raw ----

TEST_F(SaverTest, BmpCarriesTheFramesDepthAndItsRowsBottomUpWithAlignmentBytes) {
  for (int bits : kDepths) {
    for (auto [width, height] : kSizes) {
      auto frame = RandomFrame(width, height, bits, static_cast<uint32_t>(bits + width));
      ASSERT_TRUE(frame);
      const std::string name = folder_.File("frame.bmp");
      ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SaveBmp), 1);
      const std::vector<uint8_t> file = ReadFileBytes(name);
      const uint32_t offset = bits == 8 ? 1078 : 54;
      const std::size_t stride = static_cast<std::size_t>(frame->Stride());
      const std::string what = Describe(width, height, bits);
      ASSERT_EQ(file.size(), offset + stride * height) << what;
      EXPECT_EQ(file[0], 'B');
      EXPECT_EQ(file[1], 'M');
      EXPECT_EQ(U32(file, 2), file.size()) << what;
      EXPECT_EQ(U32(file, 6), 0u);
      EXPECT_EQ(U32(file, 10), offset) << what;
      EXPECT_EQ(U32(file, 14), 40u);
      EXPECT_EQ(static_cast<int32_t>(U32(file, 18)), width);
      EXPECT_EQ(static_cast<int32_t>(U32(file, 22)), height);
      EXPECT_EQ(U32(file, 26), 1u | static_cast<uint32_t>(bits) << 16) << what;
      for (std::size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32(file, at), 0u) << what;
      if (bits == 8) {
        for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(U32(file, 54 + 4 * i), i * 0x010101u);
      }
      for (int32_t i = 0; i < height; ++i) {
        const uint8_t* row = frame->Pixels() + (height - 1 - i) * stride;
        ASSERT_EQ(std::memcmp(file.data() + offset + i * stride, row, stride), 0)
            << what << " file row " << i;
      }
    }
  }
}

TEST_F(SaverTest, RawIsTheFramesMemoryExactly) {
  for (int bits : kDepths) {
    auto frame = RandomFrame(7, 3, bits, static_cast<uint32_t>(bits));
    ASSERT_TRUE(frame);
    const std::string name = folder_.File("frame.raw");
    ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SaveRaw), 1);
    const std::vector<uint8_t> file = ReadFileBytes(name);
    ASSERT_EQ(file.size(), static_cast<std::size_t>(frame->Stride()) * 3) << bits;
    EXPECT_EQ(std::memcmp(file.data(), frame->Pixels(), file.size()), 0) << bits;
  }
}

// ---- JPEG ----

#if ZIRVO_HAVE_JPEG
struct DecodedJpeg {
  int width = 0;
  int height = 0;
  int components = 0;
  bool progressive = false;
  std::vector<uint8_t> pixels;  // rows packed, top row first
};

DecodedJpeg DecodeJpeg(const std::vector<uint8_t>& bytes) {
  jpeg_decompress_struct decoder;
  jpeg_error_mgr errors;
  decoder.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&decoder);
  jpeg_mem_src(&decoder, bytes.data(), static_cast<unsigned long>(bytes.size()));
  DecodedJpeg decoded;
  if (jpeg_read_header(&decoder, TRUE) != JPEG_HEADER_OK) return decoded;
  decoded.progressive = decoder.progressive_mode != 0;
  jpeg_start_decompress(&decoder);
  decoded.width = static_cast<int>(decoder.output_width);
  decoded.height = static_cast<int>(decoder.output_height);
  decoded.components = decoder.output_components;
  const std::size_t rowBytes = static_cast<std::size_t>(decoded.width) * decoded.components;
  decoded.pixels.resize(rowBytes * decoded.height);
  while (decoder.output_scanline < decoder.output_height) {
    JSAMPROW row = decoded.pixels.data() + decoder.output_scanline * rowBytes;
    jpeg_read_scanlines(&decoder, &row, 1);
  }
  jpeg_finish_decompress(&decoder);
  jpeg_destroy_decompress(&decoder);
  return decoded;
}

// The expected picture (gray or R, G, B, top row first) encoded the plain way.
std::vector<uint8_t> EncodeReference(const std::vector<uint8_t>& pixels, int width, int height,
                                     int components, int quality) {
  jpeg_compress_struct encoder;
  jpeg_error_mgr errors;
  encoder.err = jpeg_std_error(&errors);
  jpeg_create_compress(&encoder);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&encoder, &buffer, &size);
  encoder.image_width = static_cast<JDIMENSION>(width);
  encoder.image_height = static_cast<JDIMENSION>(height);
  encoder.input_components = components;
  encoder.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&encoder);
  jpeg_set_quality(&encoder, quality, TRUE);
  jpeg_simple_progression(&encoder);
  jpeg_start_compress(&encoder, TRUE);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * components;
  while (encoder.next_scanline < encoder.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + encoder.next_scanline * rowBytes);
    jpeg_write_scanlines(&encoder, &row, 1);
  }
  jpeg_finish_compress(&encoder);
  jpeg_destroy_compress(&encoder);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

TEST_F(SaverTest, JpegFromEveryDepthDecodesToTheExpectedPictureAtItsQuality) {
  const std::pair<int, int> codes[] = {{SaveJpeg100, 100}, {SaveJpeg70, 70}, {SaveJpeg20, 20}};
  for (auto [code, quality] : codes) {
    for (int bits : kDepths) {
      for (auto [width, height] : kSizes) {
        auto frame = RandomFrame(width, height, bits, static_cast<uint32_t>(bits * 7 + width));
        ASSERT_TRUE(frame);
        const std::string what = Describe(width, height, bits) + " q" + std::to_string(quality);
        const std::string name = folder_.File("frame.jpg");
        ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), code), 1) << what;

        const int components = bits <= 16 ? 1 : 3;
        std::vector<uint8_t> expected;
        for (int32_t row = 0; row < height; ++row) {
          for (int32_t x = 0; x < width; ++x) {
            for (uint32_t sample : JpegSamples(Pixel(*frame, row, x), bits)) {
              expected.push_back(static_cast<uint8_t>(sample));
            }
          }
        }
        const DecodedJpeg saved = DecodeJpeg(ReadFileBytes(name));
        ASSERT_EQ(saved.width, width) << what;
        ASSERT_EQ(saved.height, height) << what;
        ASSERT_EQ(saved.components, components) << what;
        EXPECT_TRUE(saved.progressive) << what;
        const DecodedJpeg reference =
            DecodeJpeg(EncodeReference(expected, width, height, components, quality));
        EXPECT_EQ(saved.pixels, reference.pixels) << what;
        if (quality == 100 && components == 1) {
          // Close to the picture itself, not only to its encoding (random
          // colour loses too much to chroma subsampling for this measure).
          uint64_t error = 0;
          for (std::size_t i = 0; i < expected.size(); ++i) {
            error += static_cast<uint64_t>(std::abs(int(saved.pixels[i]) - int(expected[i])));
          }
          EXPECT_LT(error, 6 * expected.size()) << what;
        }
      }
    }
  }
}

TEST_F(SaverTest, AJpegLibraryErrorKeepsTheOldFileAndTheProcessLivesOn) {
  // Wider than JPEG allows: the library reports an error at the start.
  auto frame = RandomFrame(70000, 1, 8, 3);
  ASSERT_TRUE(frame);
  const std::string name = folder_.File("wide.jpg");
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  test::WriteFileBytes(name, old);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SaveJpeg100), 0);
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("65500"), std::string::npos) << messages;
  EXPECT_EQ(ReadFileBytes(name), old);
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"wide.jpg"});
  // The library is usable afterwards.
  auto small = RandomFrame(8, 8, 24, 4);
  EXPECT_EQ(StillImageSaver::save(name.c_str(), small.get(), SaveJpeg70), 1);
}
#endif

// ---- PNG ----

#if ZIRVO_HAVE_PNG
struct DecodedPng {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int interlace = 0;
  std::vector<std::vector<uint8_t>> rows;  // as stored: 16-bit samples big-endian
};

bool DecodePng(const std::string& name, DecodedPng* decoded) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  decoded->width = png_get_image_width(png, info);
  decoded->height = png_get_image_height(png, info);
  decoded->bitDepth = png_get_bit_depth(png, info);
  decoded->colorType = png_get_color_type(png, info);
  decoded->interlace = png_get_interlace_type(png, info);
  png_bytepp rows = png_get_rows(png, info);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  decoded->rows.clear();
  for (png_uint_32 i = 0; i < decoded->height; ++i) {
    decoded->rows.emplace_back(rows[i], rows[i] + rowBytes);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return true;
}

TEST_F(SaverTest, PngFromEveryDepthHoldsTheExpectedSamples) {
  const struct {
    int bits;
    int colorType;
    int depth;
    int samples;
  } layouts[] = {{8, PNG_COLOR_TYPE_GRAY, 8, 1},       {16, PNG_COLOR_TYPE_GRAY, 16, 1},
                 {24, PNG_COLOR_TYPE_RGB, 8, 3},        {32, PNG_COLOR_TYPE_RGB_ALPHA, 8, 4},
                 {48, PNG_COLOR_TYPE_RGB, 16, 3},       {64, PNG_COLOR_TYPE_RGB_ALPHA, 16, 4}};
  for (const auto& layout : layouts) {
    for (auto [width, height] : kSizes) {
      auto frame = RandomFrame(width, height, layout.bits, static_cast<uint32_t>(layout.bits + height));
      ASSERT_TRUE(frame);
      const std::string what = Describe(width, height, layout.bits);
      const std::string name = folder_.File("frame.png");
      ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SavePng), 1) << what;
      DecodedPng png;
      ASSERT_TRUE(DecodePng(name, &png)) << what;
      ASSERT_EQ(png.width, static_cast<png_uint_32>(width)) << what;
      ASSERT_EQ(png.height, static_cast<png_uint_32>(height)) << what;
      ASSERT_EQ(png.bitDepth, layout.depth) << what;
      ASSERT_EQ(png.colorType, layout.colorType) << what;
      EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE) << what;
      const int sampleBytes = layout.depth / 8;
      for (int32_t row = 0; row < height; ++row) {
        for (int32_t x = 0; x < width; ++x) {
          const std::vector<uint32_t> expected = PngSamples(Pixel(*frame, row, x), layout.bits);
          for (int s = 0; s < layout.samples; ++s) {
            const uint8_t* at = png.rows[row].data() + (x * layout.samples + s) * sampleBytes;
            const uint32_t value = sampleBytes == 2 ? (at[0] << 8 | at[1]) : at[0];
            ASSERT_EQ(value, expected[s]) << what << " row " << row << " x " << x << " sample " << s;
          }
        }
      }
    }
  }
}

TEST_F(SaverTest, A32BitFrameWithZeroFourthBytesIsOpaque) {
  FrameBitmap frame;
  ASSERT_EQ(frame.Create(3, 2, 32), 1);
  const std::string name = folder_.File("opaque.png");
  ASSERT_EQ(StillImageSaver::save(name.c_str(), &frame, SavePng), 1);
  DecodedPng png;
  ASSERT_TRUE(DecodePng(name, &png));
  for (const auto& row : png.rows) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(row[4 * x + 3], 255);
  }
}

TEST_F(SaverTest, APngLibraryErrorIsReportedOnItsLineAndKeepsTheOldFile) {
  // Wider than libpng writes by default.
  auto frame = RandomFrame(1000001, 1, 8, 5);
  ASSERT_TRUE(frame);
  const std::string name = folder_.File("wide.png");
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  test::WriteFileBytes(name, old);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SavePng), 0);
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("libpng error: Invalid IHDR data\n"), std::string::npos) << messages;
  EXPECT_EQ(ReadFileBytes(name), old);
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"wide.png"});
}
#endif

// ---- TIFF ----

#if ZIRVO_HAVE_TIFF
TEST_F(SaverTest, TiffFromEveryDepthHoldsTheExpectedSamplesAndTags) {
  const struct {
    int bits;
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samples;
  } layouts[] = {{8, 8, PHOTOMETRIC_MINISBLACK, 1},  {16, 16, PHOTOMETRIC_MINISBLACK, 1},
                 {24, 8, PHOTOMETRIC_RGB, 3},         {32, 8, PHOTOMETRIC_RGB, 4},
                 {48, 16, PHOTOMETRIC_RGB, 3},        {64, 16, PHOTOMETRIC_RGB, 4}};
  TIFFSetWarningHandler(nullptr);
  for (const auto& layout : layouts) {
    for (auto [width, height] : kSizes) {
      auto frame = RandomFrame(width, height, layout.bits, static_cast<uint32_t>(layout.bits * 3 + width));
      ASSERT_TRUE(frame);
      const std::string what = Describe(width, height, layout.bits);
      const std::string name = folder_.File("frame.tif");
      ASSERT_EQ(StillImageSaver::save(name.c_str(), frame.get(), SaveTiff), 1) << what;
      TIFF* tiff = TIFFOpen(name.c_str(), "r");
      ASSERT_NE(tiff, nullptr) << what;
      uint32_t tiffWidth = 0, tiffHeight = 0;
      uint16_t bitsPerSample = 0, photometric = 0, samples = 0, compression = 0, planar = 0;
      TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &tiffWidth);
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &tiffHeight);
      TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
      TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
      TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
      TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
      TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &planar);
      EXPECT_EQ(tiffWidth, static_cast<uint32_t>(width)) << what;
      EXPECT_EQ(tiffHeight, static_cast<uint32_t>(height)) << what;
      EXPECT_EQ(bitsPerSample, layout.bitsPerSample) << what;
      EXPECT_EQ(photometric, layout.photometric) << what;
      EXPECT_EQ(samples, layout.samples) << what;
      EXPECT_EQ(compression, COMPRESSION_NONE) << what;
      EXPECT_EQ(planar, PLANARCONFIG_CONTIG) << what;
      EXPECT_EQ(TIFFNumberOfStrips(tiff), 1u) << what;
      uint16_t extraCount = 0;
      uint16_t* extra = nullptr;
      TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
      if (layout.samples == 4) {
        ASSERT_EQ(extraCount, 1) << what;
        EXPECT_EQ(extra[0], EXTRASAMPLE_UNSPECIFIED) << what;
      } else {
        EXPECT_EQ(extraCount, 0) << what;
      }
      std::vector<uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
      const int sampleBytes = layout.bitsPerSample / 8;
      for (int32_t row = 0; row < height; ++row) {
        ASSERT_EQ(TIFFReadScanline(tiff, line.data(), static_cast<uint32_t>(row)), 1) << what;
        for (int32_t x = 0; x < width; ++x) {
          const std::vector<uint32_t> expected = TiffSamples(Pixel(*frame, row, x), layout.bits);
          for (int s = 0; s < layout.samples; ++s) {
            const uint8_t* at = line.data() + (x * layout.samples + s) * sampleBytes;
            // libtiff hands samples over in the machine's order.
            uint32_t value = at[0];
            if (sampleBytes == 2) {
              uint16_t word;
              std::memcpy(&word, at, 2);
              value = word;
            }
            ASSERT_EQ(value, expected[s]) << what << " row " << row << " x " << x << " sample " << s;
          }
        }
      }
      TIFFClose(tiff);
    }
  }
}
#endif

TEST_F(SaverTest, EncodersThisBuildLacksFailTheirSaves) {
  auto frame = RandomFrame(4, 4, 24, 1);
  for (int code = SaveBmp; code <= SaveTiff; ++code) {
    if (StillImageSaver::supports(code)) continue;
    EXPECT_EQ(StillImageSaver::save(folder_.File("lacking").c_str(), frame.get(), code), 0);
  }
  EXPECT_TRUE(StillImageSaver::supports(SaveBmp));
  EXPECT_TRUE(StillImageSaver::supports(SaveRaw));
  EXPECT_FALSE(StillImageSaver::supports(7));
  EXPECT_TRUE(folder_.Names().empty());
}

// ---- failed saves ----

class FullDiskTest : public SaverTest, public ::testing::WithParamInterface<int> {};

TEST_P(FullDiskTest, AFailedSaveLeavesTheOldFileWholeAndNoPartialFile) {
  const int code = GetParam();
  if (!StillImageSaver::supports(code)) GTEST_SKIP() << "encoder not in this build";
  if (!test::FileSizeLimit::Available()) GTEST_SKIP() << "no file-size limit here";
  const std::string name = folder_.File("kept.img");
  const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
  test::WriteFileBytes(name, old);
  auto frame = RandomFrame(300, 200, 48, 9);  // every format needs more than 4 KiB
  ASSERT_TRUE(frame);
  int result;
  ::testing::internal::CaptureStderr();
  {
    test::FileSizeLimit full(4096);
    result = StillImageSaver::save(name.c_str(), frame.get(), code);
  }
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(name), old);
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"kept.img"});
  if (code == SavePng) {
    EXPECT_NE(messages.find("libpng error: "), std::string::npos) << messages;
  }
  // With room again the same save succeeds.
  EXPECT_EQ(StillImageSaver::save(name.c_str(), frame.get(), code), 1);
  EXPECT_GT(ReadFileBytes(name).size(), 4096u);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FullDiskTest,
                         ::testing::Values(SaveBmp, SaveRaw, SaveJpeg100, SaveJpeg70, SaveJpeg20,
                                           SavePng, SaveTiff));

}  // namespace
}  // namespace zirvo

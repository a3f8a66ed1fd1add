// StillImageSaver: BMP and raw through OutputFile, JPEG through libjpeg (62
// API), PNG through libpng, TIFF through libtiff; every save goes to a
// temporary file that replaces the target only when it is complete.
#include "output/still_image_saver.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "convert/sample_depth.h"
#include "display/frame_bitmap.h"
#include "output/output_file.h"
#include "platform/file.h"

#if ZIRVO_HAVE_JPEG
#include <jpeglib.h>
#if !defined(JCS_EXTENSIONS)
#error "libjpeg-turbo's BGR input colour spaces are needed"
#endif
#endif
#if ZIRVO_HAVE_PNG
#include <png.h>
#endif
#if ZIRVO_HAVE_TIFF
#include <tiffio.h>
#endif

namespace zirvo {

namespace {

#if ZIRVO_HAVE_JPEG
constexpr bool kHaveJpeg = true;
#else
constexpr bool kHaveJpeg = false;
#endif
#if ZIRVO_HAVE_PNG
constexpr bool kHavePng = true;
#else
constexpr bool kHavePng = false;
#endif
#if ZIRVO_HAVE_TIFF
constexpr bool kHaveTiff = true;
#else
constexpr bool kHaveTiff = false;
#endif

bool IsSavable(const FrameBitmap& frame) {
  const int bits = frame.BitsPerPixel();
  return frame.Pixels() != nullptr && frame.Width() > 0 && frame.Height() > 0 &&
         (bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64);
}

uint64_t FrameBytes(const FrameBitmap& frame) {
  return static_cast<uint64_t>(frame.Stride()) * static_cast<uint64_t>(frame.Height());
}

[[maybe_unused]] const uint8_t* MemoryRow(const FrameBitmap& frame, int32_t row) {
  return frame.Pixels() + static_cast<std::size_t>(row) * static_cast<std::size_t>(frame.Stride());
}

// A kernel of the sample-depth family over memory rows [first, first + count)
// of the frame into `out`, whose rows are `outStride` apart. The flipped
// reductions are called one row at a time so that no band is reversed.
[[maybe_unused]] int ConvertRows(RectangleKernel kernel, const FrameBitmap& frame, int32_t first, int32_t count,
                uint8_t* out, int outBytesPerPixel, int outStride, bool oneRowAtATime) {
  const int32_t step = oneRowAtATime ? 1 : count;
  for (int32_t done = 0; done < count; done += step) {
    const KernelRect rows{0, first + done, frame.Width(), first + done + step};
    if (!kernel(out + static_cast<std::size_t>(done) * outStride, frame.Pixels(), rows, 0, 0,
                outBytesPerPixel, frame.BytesPerPixel(), outStride, frame.Stride(), nullptr,
                nullptr)) {
      return 0;
    }
  }
  return 1;
}

[[maybe_unused]] bool CloseFlushed(std::FILE* file) {
  bool flushed = platform::FlushStream(file);
  bool closed = std::fclose(file) == 0;
  return flushed && closed;
}

}  // namespace

bool StillImageSaver::supports(int code) {
  switch (code) {
    case SaveBmp:
    case SaveRaw:
      return true;
    case SaveJpeg100:
    case SaveJpeg70:
    case SaveJpeg20:
      return kHaveJpeg;
    case SavePng:
      return kHavePng;
    case SaveTiff:
      return kHaveTiff;
    default:
      return false;
  }
}

int StillImageSaver::save(const char* fileName, const FrameBitmap* frame, int code) {
  if (frame == nullptr || code < SaveBmp || code > SaveTiff) return 0;
  if (fileName == nullptr || *fileName == '\0' || !IsSavable(*frame) || !supports(code)) return 0;
  const int quality = code == SaveJpeg70 ? 70 : code == SaveJpeg20 ? 20 : 100;

  ReplacementFile replacement;
  if (!replacement.create(fileName)) return 0;
  const char* temporary = replacement.temporaryName().c_str();
  int written = 0;
  switch (code) {
    case SaveBmp:
      written = writeBmp(temporary, *frame);
      break;
    case SaveRaw:
      written = writeRaw(temporary, *frame);
      break;
    case SavePng:
      written = writePng(temporary, *frame);
      break;
    case SaveTiff:
      written = writeTiff(temporary, *frame);
      break;
    default:
      written = writeJpeg(temporary, *frame, quality, true);
      break;
  }
  // A failed write leaves the temporary file to the replacement's clean-up.
  if (written != 1) return 0;
  return replacement.commit() ? 1 : 0;
}

// ---- BMP and raw ----

int StillImageSaver::writeBmp(const char* fileName, const FrameBitmap& frame) {
  if (!IsSavable(frame)) return 0;
  const int bits = frame.BitsPerPixel();
  const uint32_t pixelOffset = bits <= 8 ? 1078 : 54;
  const uint64_t fileSize = pixelOffset + FrameBytes(frame);
  if (fileSize > std::numeric_limits<uint32_t>::max()) return 0;

  uint8_t header[54] = {};
  auto put32 = [&header](int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  header[0] = 'B';
  header[1] = 'M';
  put32(2, static_cast<uint32_t>(fileSize));
  put32(10, pixelOffset);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(frame.Width()));
  put32(22, static_cast<uint32_t>(frame.Height()));
  header[26] = 1;  // planes
  header[28] = static_cast<uint8_t>(bits);

  OutputFile file;
  if (!file.open(fileName) || !file.write(header, sizeof header)) return 0;
  if (bits <= 8) {
    uint8_t grayTable[256 * 4];
    for (int i = 0; i < 256; ++i) {
      grayTable[4 * i] = grayTable[4 * i + 1] = grayTable[4 * i + 2] = static_cast<uint8_t>(i);
      grayTable[4 * i + 3] = 0;
    }
    if (!file.write(grayTable, sizeof grayTable)) return 0;
  }

  // Bottom-up file rows: the last memory row first, gathered into blocks so
  // that each write moves a few megabytes.
  const std::size_t stride = static_cast<std::size_t>(frame.Stride());
  const int32_t rowsPerBlock =
      static_cast<int32_t>(std::max<std::size_t>(1, (std::size_t{4} << 20) / stride));
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[stride * rowsPerBlock]);
  if (!block) return 0;
  for (int32_t written = 0; written < frame.Height();) {
    const int32_t count = std::min(rowsPerBlock, frame.Height() - written);
    for (int32_t i = 0; i < count; ++i) {
      std::memcpy(block.get() + i * stride, MemoryRow(frame, frame.Height() - 1 - written - i),
                  stride);
    }
    if (!file.write(block.get(), stride * count)) return 0;
    written += count;
  }
  return file.flush() && file.close() ? 1 : 0;
}

int StillImageSaver::writeRaw(const char* fileName, const FrameBitmap& frame) {
  if (!IsSavable(frame)) return 0;
  OutputFile file;
  if (!file.open(fileName) || !file.write(frame.Pixels(), FrameBytes(frame))) return 0;
  return file.flush() && file.close() ? 1 : 0;
}

// ---- JPEG ----

#if ZIRVO_HAVE_JPEG
namespace {

// libjpeg's own manager ends the process on an error; this one returns to
// the writer, which fails the save.
struct JpegErrorManager {
  jpeg_error_mgr library;
  std::jmp_buf returnPoint;
};

[[noreturn]] void ReturnFromJpegError(j_common_ptr info) {
  (*info->err->output_message)(info);
  std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->returnPoint, 1);
}

constexpr int32_t kJpegBandRows = 16;

// Scanlines handed to the compressor: frame rows as they are where the
// library reads their layout, else rows converted into `band`.
struct JpegSource {
  const FrameBitmap* frame;
  J_COLOR_SPACE colorSpace;
  int components;
  RectangleKernel reduce;  // null: frame rows used directly
  int bandBytesPerPixel;
  int bandStride;
  uint8_t* band;
};

bool FillScanlines(const JpegSource& source, int32_t first, int32_t count, JSAMPROW* rows) {
  if (source.reduce != nullptr) {
    if (!ConvertRows(source.reduce, *source.frame, first, count, source.band,
                     source.bandBytesPerPixel, source.bandStride, true)) {
      return false;
    }
    for (int32_t i = 0; i < count; ++i) rows[i] = source.band + i * source.bandStride;
  } else {
    // The compressor only reads its input rows.
    for (int32_t i = 0; i < count; ++i) {
      rows[i] = const_cast<JSAMPROW>(MemoryRow(*source.frame, first + i));
    }
  }
  return true;
}

// Kept free of objects with destructors: a library error jumps out of it.
bool CompressJpeg(std::FILE* file, const JpegSource& source, int quality, bool progressive) {
  jpeg_compress_struct compressor;
  // Zeroed so that a jump before creation destroys nothing.
  std::memset(&compressor, 0, sizeof compressor);
  JpegErrorManager errors;
  compressor.err = jpeg_std_error(&errors.library);
  errors.library.error_exit = ReturnFromJpegError;
  if (setjmp(errors.returnPoint) != 0) {
    jpeg_destroy_compress(&compressor);
    return false;
  }
  jpeg_create_compress(&compressor);
  jpeg_stdio_dest(&compressor, file);
  compressor.image_width = static_cast<JDIMENSION>(source.frame->Width());
  compressor.image_height = static_cast<JDIMENSION>(source.frame->Height());
  compressor.input_components = source.components;
  compressor.in_color_space = source.colorSpace;
  jpeg_set_defaults(&compressor);
  jpeg_set_quality(&compressor, quality, TRUE);
  if (progressive) jpeg_simple_progression(&compressor);
  jpeg_start_compress(&compressor, TRUE);
  JSAMPROW rows[kJpegBandRows];
  while (compressor.next_scanline < compressor.image_height) {
    const int32_t first = static_cast<int32_t>(compressor.next_scanline);
    const int32_t count = std::min<int32_t>(kJpegBandRows, source.frame->Height() - first);
    if (!FillScanlines(source, first, count, rows)) {
      jpeg_destroy_compress(&compressor);
      return false;
    }
    jpeg_write_scanlines(&compressor, rows, static_cast<JDIMENSION>(count));
  }
  jpeg_finish_compress(&compressor);
  jpeg_destroy_compress(&compressor);
  return true;
}

}  // namespace
#endif

int StillImageSaver::writeJpeg(const char* fileName, const FrameBitmap& frame, int quality,
                               bool progressive) {
#if ZIRVO_HAVE_JPEG
  if (!IsSavable(frame)) return 0;
  JpegSource source{&frame, JCS_GRAYSCALE, 1, nullptr, 0, 0, nullptr};
  switch (frame.BitsPerPixel()) {
    case 8:
      break;
    case 16:
      source.reduce = &ReduceMono16Shift2;
      source.bandBytesPerPixel = 1;
      break;
    case 24:
      source = {&frame, JCS_EXT_BGR, 3, nullptr, 0, 0, nullptr};
      break;
    case 32:
      source = {&frame, JCS_EXT_BGRX, 4, nullptr, 0, 0, nullptr};
      break;
    default:  // 48, 64: the first three samples to B, G, R bytes
      source = {&frame, JCS_EXT_BGR, 3, &ReduceBgr16Shift2, 3, 0, nullptr};
      break;
  }
  std::vector<uint8_t> band;
  if (source.reduce != nullptr) {
    source.bandStride = (frame.Width() * source.bandBytesPerPixel + 3) / 4 * 4;
    band.resize(static_cast<std::size_t>(source.bandStride) * kJpegBandRows);
    source.band = band.data();
  }
  std::FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return 0;
  bool compressed = CompressJpeg(file, source, quality, progressive);
  bool closed = CloseFlushed(file);
  return compressed && closed ? 1 : 0;
#else
  (void)fileName;
  (void)frame;
  (void)quality;
  (void)progressive;
  return 0;
#endif
}

// ---- PNG ----

#if ZIRVO_HAVE_PNG
namespace {

void ReportPngError(png_structp png, png_const_charp message) {
  if (png == nullptr) return;
  std::fprintf(stderr, "libpng error: %s\n", message);
  std::fflush(stderr);
  png_longjmp(png, 1);
}

struct PngLayout {
  RectangleKernel expand;  // null: the frame's own rows
  int colorType;
  int bitDepth;
};

PngLayout LayoutForPng(int bits) {
  switch (bits) {
    case 8:
      return {nullptr, PNG_COLOR_TYPE_GRAY, 8};
    case 16:
      return {&ExpandMono16Shift4, PNG_COLOR_TYPE_GRAY, 16};
    case 24:
      return {nullptr, PNG_COLOR_TYPE_RGB, 8};
    case 32:
      return {&CopyBgra32InvertAlpha, PNG_COLOR_TYPE_RGB_ALPHA, 8};
    case 48:
      return {&ExpandBgr48Shift6, PNG_COLOR_TYPE_RGB, 16};
    default:
      return {&ExpandBgr64Shift6, PNG_COLOR_TYPE_RGB_ALPHA, 16};
  }
}

// Kept free of objects with destructors: a library error jumps out of it.
bool EncodePng(std::FILE* file, const uint8_t* pixels, const FrameBitmap& frame,
               const PngLayout& layout) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportPngError, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png)) != 0) {
    std::free(rows);
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(frame.Width()),
               static_cast<png_uint_32>(frame.Height()), layout.bitDepth, layout.colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  // The frame keeps 16-bit samples least significant byte first; PNG wants
  // the most significant first.
  if (layout.bitDepth == 16) png_set_swap(png);
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<std::size_t>(frame.Height())));
  if (rows == nullptr) png_error(png, "Davovuduv: Out of memory");
  for (int32_t i = 0; i < frame.Height(); ++i) {
    // The library copies each row before its transformations.
    rows[i] = const_cast<png_bytep>(pixels) + static_cast<std::size_t>(i) * frame.Stride();
  }
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  std::free(rows);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace
#endif

int StillImageSaver::writePng(const char* fileName, const FrameBitmap& frame) {
#if ZIRVO_HAVE_PNG
  if (fileName == nullptr || !IsSavable(frame)) return 0;
  const PngLayout layout = LayoutForPng(frame.BitsPerPixel());
  const uint8_t* pixels = frame.Pixels();
  std::unique_ptr<uint8_t[]> converted;
  if (layout.expand != nullptr) {
    converted.reset(new (std::nothrow) uint8_t[FrameBytes(frame)]);
    if (!converted) return 0;
    if (!ConvertRows(layout.expand, frame, 0, frame.Height(), converted.get(),
                     frame.BytesPerPixel(), frame.Stride(), false)) {
      return 0;
    }
    pixels = converted.get();
  }
  std::FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return 0;
  bool encoded = EncodePng(file, pixels, frame, layout);
  bool closed = CloseFlushed(file);
  return encoded && closed ? 1 : 0;
#else
  (void)fileName;
  (void)frame;
  return 0;
#endif
}

// ---- TIFF ----

int StillImageSaver::writeTiff(const char* fileName, const FrameBitmap& frame) {
#if ZIRVO_HAVE_TIFF
  if (fileName == nullptr || !IsSavable(frame)) return 0;
  struct TiffLayout {
    RectangleKernel fill;  // null: byte copy
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
  };
  TiffLayout layout{};
  switch (frame.BytesPerPixel()) {
    case 1:
      layout = {nullptr, 8, PHOTOMETRIC_MINISBLACK, 1};
      break;
    case 2:
      layout = {&ExpandMono16Shift4, 16, PHOTOMETRIC_MINISBLACK, 1};
      break;
    case 3:
      layout = {&SwapBgrToRgb24, 8, PHOTOMETRIC_RGB, 3};
      break;
    case 4:
      layout = {&SwapBgrToRgb24, 8, PHOTOMETRIC_RGB, 4};
      break;
    case 6:
      layout = {&ExpandSwapRgb48Shift6, 16, PHOTOMETRIC_RGB, 3};
      break;
    default:
      layout = {&ExpandSwapRgb64Shift6, 16, PHOTOMETRIC_RGB, 4};
      break;
  }
  // Rows packed without alignment bytes. Zeroed: the 32-bit fill leaves the
  // fourth byte as it finds it.
  const std::size_t rowBytes = static_cast<std::size_t>(frame.Width()) * frame.BytesPerPixel();
  const std::size_t stripBytes = rowBytes * static_cast<std::size_t>(frame.Height());
  if (stripBytes > static_cast<std::size_t>(std::numeric_limits<tmsize_t>::max())) return 0;
  std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[stripBytes]());
  if (!strip) return 0;
  if (layout.fill == nullptr) {
    for (int32_t row = 0; row < frame.Height(); ++row) {
      std::memcpy(strip.get() + row * rowBytes, MemoryRow(frame, row), rowBytes);
    }
  } else if (!ConvertRows(layout.fill, frame, 0, frame.Height(), strip.get(),
                          frame.BytesPerPixel(), static_cast<int>(rowBytes), false)) {
    return 0;
  }

  TIFF* tiff = TIFFOpen(fileName, "w");
  if (tiff == nullptr) return 0;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(frame.Width()));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(frame.Height()));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(frame.Height()));
  if (layout.samplesPerPixel == 4) {
    // Readers refuse or misread a fourth sample that is not declared.
    const uint16_t extra[] = {EXTRASAMPLE_UNSPECIFIED};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  const tmsize_t size = static_cast<tmsize_t>(stripBytes);
  bool written = TIFFWriteEncodedStrip(tiff, 0, strip.get(), size) == size;
  // The directory is written here; TIFFClose would drop its failure.
  written = TIFFFlush(tiff) != 0 && written;
  TIFFClose(tiff);
  return written && platform::FlushFileByName(fileName) ? 1 : 0;
#else
  (void)fileName;
  (void)frame;
  return 0;
#endif
}

}  // namespace zirvo

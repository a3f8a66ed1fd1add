// StillImageSaver: the current output image as a BMP, raw, JPEG, PNG or TIFF
// file.
#pragma once

#include <cstdint>

namespace zirvo {

class FrameBitmap;

enum SaveFormat : int {
  SaveBmp = 0,
  SaveRaw = 1,
  SaveJpeg100 = 2,
  SaveJpeg70 = 3,
  SaveJpeg20 = 4,
  SavePng = 5,
  SaveTiff = 6,
};

class StillImageSaver {
 public:
  // Writes `frame` to `fileName` in the format of `code`: 1 success, 0
  // failure. The file is complete when it appears under its name; a failure
  // leaves an existing file of that name untouched. Codes outside 0..6, a
  // missing or empty frame and unsupported depths create no file. Reads the
  // frame only; the caller keeps other threads from rewriting it meanwhile.
  static int save(const char* fileName, const FrameBitmap* frame, int code);

  // False for the codes whose encoder this build lacks (their save fails).
  static bool supports(int code);

  // The writers behind save; each writes `fileName` directly.
  static int writeBmp(const char* fileName, const FrameBitmap& frame);
  static int writeRaw(const char* fileName, const FrameBitmap& frame);
  static int writeJpeg(const char* fileName, const FrameBitmap& frame, int quality,
                       bool progressive);
  static int writePng(const char* fileName, const FrameBitmap& frame);
  static int writeTiff(const char* fileName, const FrameBitmap& frame);
};

}  // namespace zirvo

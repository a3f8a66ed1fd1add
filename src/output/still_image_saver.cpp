// StillImageSaver (being written: every save fails for now).
#include "output/still_image_saver.h"

namespace zirvo {

int StillImageSaver::save(const char*, const FrameBitmap*, int) { return 0; }
bool StillImageSaver::supports(int) { return false; }
int StillImageSaver::writeBmp(const char*, const FrameBitmap&) { return 0; }
int StillImageSaver::writeRaw(const char*, const FrameBitmap&) { return 0; }
int StillImageSaver::writeJpeg(const char*, const FrameBitmap&, int, bool) { return 0; }
int StillImageSaver::writePng(const char*, const FrameBitmap&) { return 0; }
int StillImageSaver::writeTiff(const char*, const FrameBitmap&) { return 0; }

}  // namespace zirvo

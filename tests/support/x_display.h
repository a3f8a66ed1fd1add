// Test helpers for windows on a desktop: an X server for the test process
// and pictures written out for a person to look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zirvo::testing {

// Makes DISPLAY name a running X server: the one already named, or an Xvfb
// (1280 x 1024, 24 bits) started for this process and stopped at its exit.
// False where neither is possible (no Xvfb installed, or not Linux).
bool EnsureXDisplay();

// Writes 32-bit pixels (blue in the low byte, rows from the top) as a PNG
// through ImageMagick, or as a PPM where `convert` is missing. Returns the
// path written, empty on failure.
std::string WritePicture(const std::string& pathWithoutExtension, const std::vector<uint32_t>& pixels,
                         int width, int height);

}  // namespace zirvo::testing

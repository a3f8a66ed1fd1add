// An Xvfb for the test process, and pictures written out as PNG.
#include "support/x_display.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zirvo::testing {

#if !defined(_WIN32)

namespace {

pid_t serverProcess = 0;

void StopServer() {
  if (serverProcess > 0) {
    ::kill(serverProcess, SIGTERM);
    ::waitpid(serverProcess, nullptr, 0);
    serverProcess = 0;
  }
}

bool FindXvfb(std::string* path) {
  for (const char* candidate : {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"}) {
    if (::access(candidate, X_OK) == 0) {
      *path = candidate;
      return true;
    }
  }
  return false;
}

// Xvfb picks a free display number and writes it to the pipe once it
// accepts connections, so parallel test processes never collide.
bool StartServer() {
  std::string xvfb;
  if (!FindXvfb(&xvfb)) return false;
  int ready[2];
  if (::pipe(ready) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::close(ready[0]);
    std::string fd = std::to_string(ready[1]);
    ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
            "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  serverProcess = child;
  std::atexit(StopServer);
  std::string number;
  pollfd waiting{ready[0], POLLIN, 0};
  while (::poll(&waiting, 1, 20000) > 0) {
    char digit = 0;
    if (::read(ready[0], &digit, 1) != 1 || digit == '\n') break;
    number += digit;
  }
  ::close(ready[0]);
  if (number.empty()) {
    StopServer();
    return false;
  }
  ::setenv("DISPLAY", (":" + number).c_str(), 1);
  return true;
}

}  // namespace

bool EnsureXDisplay() {
  static const bool available = [] {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0') return true;
    return StartServer();
  }();
  return available;
}

#else

bool EnsureXDisplay() { return false; }

#endif

std::string WritePicture(const std::string& pathWithoutExtension, const std::vector<uint32_t>& pixels,
                         int width, int height) {
  std::string ppm = pathWithoutExtension + ".ppm";
  FILE* file = std::fopen(ppm.c_str(), "wb");
  if (file == nullptr) return {};
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (uint32_t pixel : pixels) {
    unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                            static_cast<unsigned char>(pixel >> 8), static_cast<unsigned char>(pixel)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
#if !defined(_WIN32)
  std::string png = pathWithoutExtension + ".png";
  std::string command = "convert '" + ppm + "' '" + png + "' 2>/dev/null";
  if (std::system(command.c_str()) == 0) {
    std::remove(ppm.c_str());
    return png;
  }
#endif
  return ppm;
}

}  // namespace zirvo::testing

// The simulator's C API over SimulatedCamera.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "simulated_camera.h"
#include "zirvo_camsim.h"
#include "zirvo_port.h"

struct ZirvoSimCamera {
  ZirvoSimCamera(int drive, const ZirvoSimConfig& config) : camera(drive, config) {}
  zirvo::sim::SimulatedCamera camera;
};

namespace {

// Callers built against an older, shorter config keep the defaults for the
// fields they do not know.
ZirvoSimConfig MergeConfig(const ZirvoSimConfig* given) {
  ZirvoSimConfig config = zirvo::sim::DefaultConfig();
  if (given == nullptr) return config;
  const std::size_t known = std::min<std::size_t>(given->size, sizeof(config));
  if (known > sizeof(config.size)) {
    std::memcpy(reinterpret_cast<unsigned char*>(&config) + sizeof(config.size),
                reinterpret_cast<const unsigned char*>(given) + sizeof(config.size),
                known - sizeof(config.size));
  }
  config.size = sizeof(config);
  return config;
}

}  // namespace

extern "C" {

void ZirvoSim_DefaultConfig(ZirvoSimConfig* config) {
  if (config != nullptr) *config = zirvo::sim::DefaultConfig();
}

ZirvoSimCamera* ZirvoSim_Attach(int drive, const ZirvoSimConfig* config) {
  if (drive < 0) return nullptr;
  try {
    auto camera = std::make_unique<ZirvoSimCamera>(drive, MergeConfig(config));
    if (!camera->camera.Attach()) return nullptr;
    return camera.release();  // owned by the caller until ZirvoSim_Detach
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void ZirvoSim_Detach(ZirvoSimCamera* camera) {
  std::unique_ptr<ZirvoSimCamera> owned(camera);
  if (owned != nullptr) owned->camera.Detach();
}

void ZirvoSim_AddEnumEntry(const char* text) { ZirvoPort_AddEnumText(text); }
void ZirvoSim_ResetEnum(void) { ZirvoPort_ResetEnumTexts(); }
void ZirvoSim_HideHostDisks(int hide) { ZirvoPort_HideHostDisks(hide); }

int ZirvoSim_GetRegister(ZirvoSimCamera* camera, int address) {
  return camera == nullptr ? -1 : camera->camera.LastWritten(address);
}

int ZirvoSim_PeekRegister(ZirvoSimCamera* camera, int address) {
  return camera == nullptr ? -1 : camera->camera.Peek(address);
}

unsigned ZirvoSim_FramesServed(ZirvoSimCamera* camera) {
  return camera == nullptr ? 0 : camera->camera.FramesServed();
}

unsigned ZirvoSim_CopyLastFrame(ZirvoSimCamera* camera, void* buffer, unsigned size) {
  return camera == nullptr ? 0 : camera->camera.CopyLastFrame(buffer, size);
}

void ZirvoSim_GetFrameSize(ZirvoSimCamera* camera, unsigned* width, unsigned* height) {
  unsigned w = 0;
  unsigned h = 0;
  if (camera != nullptr) camera->camera.FrameSize(w, h);
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
}

unsigned ZirvoSim_FrameTimeUs(ZirvoSimCamera* camera) {
  return camera == nullptr ? 0 : camera->camera.FrameTimeMicroseconds();
}

unsigned ZirvoSim_GetLog(ZirvoSimCamera* camera, ZirvoSimExchange* entries, unsigned max) {
  if (camera == nullptr) return 0;
  try {
    return camera->camera.CopyLog(entries, max);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void ZirvoSim_ClearLog(ZirvoSimCamera* camera) {
  if (camera != nullptr) camera->camera.ClearLog();
}

void ZirvoSim_Unplug(ZirvoSimCamera* camera) {
  if (camera != nullptr) camera->camera.Unplug();
}

void ZirvoSim_UnplugAfter(ZirvoSimCamera* camera, unsigned exchanges) {
  if (camera != nullptr) camera->camera.UnplugAfter(exchanges);
}

void ZirvoSim_SetStall(ZirvoSimCamera* camera, int stalled) {
  if (camera != nullptr) camera->camera.SetStalled(stalled != 0);
}

unsigned ZirvoSim_StalledReads(ZirvoSimCamera* camera) {
  return camera != nullptr ? camera->camera.StalledReads() : 0;
}

void ZirvoSim_SetSlowFrames(ZirvoSimCamera* camera, unsigned count, unsigned milliseconds) {
  if (camera != nullptr) camera->camera.SetSlowFrames(count, milliseconds);
}

void ZirvoSim_SetReadbackMismatch(ZirvoSimCamera* camera, int address, unsigned count) {
  if (camera != nullptr) camera->camera.SetReadbackMismatch(address, count);
}

}  // extern "C"

// CameraInstance acquisition: preparation, streaming with the capture and
// record threads, single captures, the copy of the current image and still
// images.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "convert/mirror.h"
#include "convert/row_repack.h"
#include "device/frame_geometry.h"
#include "device/model7730_device.h"
#include "display/copy_image_out.h"
#include "display/frame_bitmap.h"
#include "instance/camera_instance.h"
#include "instance/side_worker.h"
#include "output/record_frame.h"
#include "output/still_image_saver.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace zirvo {
namespace {

constexpr uint32_t kMessageCameraFrame = 0x8002;  // WM_CAMERA_FRAME
constexpr uint32_t kMirrorSettleMilliseconds = 5;
constexpr uint32_t kRegisterReadPauseMilliseconds = 3;
constexpr uint32_t kSnapShotSettleMilliseconds = 300;
constexpr uint32_t kRecordPollMilliseconds = 10;
// A file name converted from wide text, terminator included.
constexpr std::size_t kMaximumFileNameBytes = 1024;

constexpr int kRegisterFrameLength = 0x340;
constexpr int kRegisterLineLength = 0x342;
constexpr int kRegisterGainGreen1 = 0x3056;
constexpr int kRegisterGainBlue = 0x3058;
constexpr int kRegisterGainRed = 0x305A;
constexpr int kRegisterGainGreen2 = 0x305C;

constexpr int kColorModeCount = 6;
constexpr int kBitsForColorMode[kColorModeCount] = {8, 16, 24, 32, 48, 64};

bool IsColorMode(int code) { return code >= 0 && code < kColorModeCount; }
bool UsesRaw16(int code) { return code == 1 || code == 4 || code == 5; }

// FrameInfo is read by the application while the capture thread writes the
// next frame's values; each field is written whole.
template <class Field>
void StoreField(Field& field, Field value) {
  std::atomic_ref<Field>(field).store(value, std::memory_order_relaxed);
}

// In the colour modes 24 and 32 the raw frame is only the conversion's input:
// a frame that needs no mirror is converted where the transfer left it,
// which saves copying it into the raw bitmap. The raw bitmap is then left
// as it was; nothing reads it in these modes.
bool ConvertsInSlot(int colorMode, int mirrorHorizontal) {
  return (colorMode == 2 || colorMode == 3) && mirrorHorizontal == 0;
}

// The newest frame held in its slot while the capture thread works on it;
// returned to the device on every way out.
class HeldSlot {
 public:
  HeldSlot() = default;
  HeldSlot(const HeldSlot&) = delete;
  HeldSlot& operator=(const HeldSlot&) = delete;
  ~HeldSlot() { Return(); }

  // Holds the newest frame when it is the raw bitmap's size in packed rows
  // (the transfer's own rows, not a part or a sample of them) and the bitmap
  // has no row padding; false, with nothing held, otherwise. Padded rows
  // take the copy, whose spreading in place leaves in the padding what the
  // caller's copies have always shown there.
  bool Hold(DiskCameraDevice& device, const FrameBitmap& raw) {
    if (raw.Pixels() == nullptr || raw.Stride() != raw.Width() * raw.BytesPerPixel()) return false;
    frame_ = device.HoldLatestFrame();
    device_ = &device;
    const FrameGeometry& geometry = frame_.geometry;
    const bool fits = frame_.pixels != nullptr && geometry.sampleStep == 1 &&
                      geometry.transferWidth == raw.Width() && geometry.copyWidth == raw.Width() &&
                      geometry.copyHeight == raw.Height() &&
                      frame_.bytes >= uint64_t(raw.Width()) * uint64_t(raw.Height());
    if (fits) return true;
    Return();
    return false;
  }

  // The packed 8-bit rows while held.
  uint8_t* Pixels() const { return frame_.pixels; }

  void Return() {
    if (device_ != nullptr) device_->ReleaseHeldFrame();
    device_ = nullptr;
    frame_ = HeldFrame{};
  }

 private:
  DiskCameraDevice* device_ = nullptr;
  HeldFrame frame_;  // its owner keeps the buffer alive while held
};

bool NarrowFileName(const wchar_t* wide, std::string& narrow) {
  if (wide == nullptr) return false;
  std::string converted;
  if (!platform::WideToMultiByte(wide, converted)) return false;
  if (converted.size() + 1 > kMaximumFileNameBytes) return false;
  narrow = std::move(converted);
  return true;
}

}  // namespace

// A failed copy-out: WM_CAMERA_FRAME (0, code) to the callback window, if
// any, and the code in the error store.
class CameraInstance::CopyOutReporter final : public CopyOutFailure {
 public:
  CopyOutReporter(CameraInstance& camera, platform::WindowHandle callbackWindow)
      : camera_(camera), callbackWindow_(callbackWindow) {}
  void Report(int errorCode) override {
    if (callbackWindow_) platform::PostWindowMessage(callbackWindow_, kMessageCameraFrame, 0, errorCode);
    camera_.RecordError(errorCode);
  }

 private:
  CameraInstance& camera_;
  platform::WindowHandle callbackWindow_;
};

// --- Bitmaps by colour mode ------------------------------------------------

FrameBitmap& CameraInstance::RawBitmap(int colorMode) const {
  return *bitmaps_[UsesRaw16(colorMode) ? kBitmapRaw16 : kBitmapRaw8];
}

// Output bitmaps sit in the slots 0 to 5 of the colour-mode codes.
FrameBitmap& CameraInstance::OutputBitmap(int colorMode) const {
  return *bitmaps_[IsColorMode(colorMode) ? colorMode : kBitmapRaw8];
}

// The frame size is the device's copy size for the window and sub-sample
// mode, so that what the device hands out always fits the raw bitmap, also in
// the modes the device divides differently (3, 16, 17, 18).
CameraInstance::PreparedFormat CameraInstance::WantedFormat(const InstanceSettings& settings) const {
  PreparedFormat format;
  format.colorMode = settings.videoFormat.colorMode;
  format.subSampleMode = settings.videoFormat.subSampleMode;
  format.window = settings.captureWindow;
  const FrameGeometry geometry =
      ComputeFrameGeometry(format.window.width, format.window.height, format.subSampleMode);
  format.width = geometry.copyWidth;
  format.height = geometry.copyHeight;
  return format;
}

// With imageLock_ held. 1, or 0 when a bitmap cannot be made.
int CameraInstance::SizeBitmaps(const PreparedFormat& format) {
  const int code = format.colorMode;
  if (!IsColorMode(code)) return 0;
  const auto create = [&](BitmapSlot slot, int bits) {
    return bitmaps_[slot]->Create(format.width, format.height, bits) == 1;
  };
  if (code <= 3) {
    if (!create(kBitmapRaw8, 8)) return 0;
    bitmaps_[kBitmapRaw8]->SetPalette(0, nullptr, 0, 256);
  }
  if (UsesRaw16(code) && !create(kBitmapRaw16, 16)) return 0;
  if (code != 1 && !create(kBitmap24, 24)) return 0;
  if (code == 3 && !create(kBitmap32, 32)) return 0;
  if (code == 4 && !create(kBitmap48, 48)) return 0;
  if (code == 5 && !create(kBitmap64, 64)) return 0;
  // The work copy and the kernels of the colour mode.
  return PrepareConversion(code);
}

void CameraInstance::ProgramDevice(const InstanceSettings& settings, const PreparedFormat& format) {
  const CameraSizeSettings& window = format.window;
  const AnalogSettings& analog = settings.analog;
  device_->SetCaptureWindow(window.left, window.top, window.width, window.height, format.subSampleMode);
  device_->SetSampleWidth(UsesRaw16(format.colorMode) ? 1 : 0);
  device_->SetMirrorV(analog.mirrorVertical);
  platform::Sleep(kMirrorSettleMilliseconds);
  device_->SetMirrorH(analog.mirrorHorizontal);
  platform::Sleep(kMirrorSettleMilliseconds);
  device_->SetGlobalGain(analog.globalGain & 0xFFFF);
  device_->SetChannelGain(kRegisterGainGreen1, analog.colorGainGreen1);
  device_->SetChannelGain(kRegisterGainRed, analog.colorGainRed);
  device_->SetChannelGain(kRegisterGainBlue, analog.colorGainBlue);
  device_->SetChannelGain(kRegisterGainGreen2, analog.colorGainGreen2);
  device_->SetExposure(analog.exposure);
}

// The device refuses windows it cannot program (narrower than 4 or lower
// than 3 pixels); frames of another window must not land in these bitmaps.
bool CameraInstance::DeviceWindowMatches(const PreparedFormat& format) const {
  int x = 0, y = 0, width = 0, height = 0, mode = 0;
  device_->GetCaptureWindow(&x, &y, &width, &height, &mode);
  return x == format.window.left && y == format.window.top && width == format.window.width &&
         height == format.window.height && mode == format.subSampleMode;
}

int CameraInstance::PrepareAcquisition() {
  if (!CheckDevice()) return 0;
  if (!device_->IsValidDeviceIndex(device_->GetDeviceIndex())) {
    RecordError(kErrorDeviceNumber);
    return 0;
  }
  const InstanceSettings settings = settings_.Snapshot();
  if (!IsValidCaptureWindow(settings.captureWindow, settings.videoFormat.subSampleMode)) {
    RecordError(kErrorCaptureWindow);
    return 0;
  }
  const PreparedFormat format = WantedFormat(settings);
  {
    std::lock_guard image(imageLock_);
    if (!SizeBitmaps(format)) {
      RecordError(kErrorMemory);
      return 0;
    }
    prepared_ = format;
    previewWindow_.PrepareDisplay(format.colorMode, *bitmaps_[kBitmapDisplay]);
  }
  ProgramDevice(settings, format);
  if (!DeviceWindowMatches(format)) {
    RecordError(kErrorCaptureWindow);
    return 0;
  }
  GetRealExposureTime(nullptr);
  uint16_t value = 0;
  if (device_->ReadSensorRegister(kRegisterLineLength, &value) == 1) exposureDisplay_.lineLength = value;
  platform::Sleep(kRegisterReadPauseMilliseconds);
  if (device_->ReadSensorRegister(kRegisterFrameLength, &value) == 1) exposureDisplay_.frameLength = value;
  platform::Sleep(kRegisterReadPauseMilliseconds);
  return 1;
}

// --- Streaming -------------------------------------------------------------

int CameraInstance::StartPreview() {
  if (!CheckDevice()) return 0;
  const AcquisitionMode mode = mode_.load();
  if (mode == ModeStreaming) return 1;
  if (mode == ModeCapture) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  // A worker that outlived an earlier stop's time-out ends before anything
  // it may still touch is prepared again.
  ReapWorkers();
  if (!PrepareAcquisition()) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  const uint32_t now = platform::TimeGetTime();
  rateMeter_.Restart(now);
  frameRateTimes10_.store(0);
  lastFrameTime_ = now;
  streamingRunFlag_.store(1);
  captureFinished_ = std::make_unique<platform::ManualResetEvent>(false);
  captureThread_ = std::make_unique<platform::Thread>();
  if (!captureThread_->Start([this] { CaptureLoop(); })) {
    captureThread_.reset();
    captureFinished_.reset();
    StopPreview();
    RecordError(kErrorThread);
    return 0;
  }
  mode_.store(ModeStreaming);
  if (device_->StartStreaming() != 0) {
    StopPreview();
    RecordError(kErrorCommand);
    return 0;
  }
  return 1;
}

void CameraInstance::CaptureLoop() {
  SideWorker drawer;
  while (streamingRunFlag_.load() != 0) {
    // A negative stored wait time must not become a sleep of 49 days.
    platform::Sleep(static_cast<uint32_t>(std::max(settings_.VideoFormat().waitTime, 0)));
    if (streamingRunFlag_.load() != 1) continue;
    if (RestartIfFormatChanged()) continue;
    const int status = device_->GetFrameStatus();
    const uint32_t now = platform::TimeGetTime();
    // A camera that stops delivering without failing a read (a stall) is
    // reported like a failed transfer once the device's time-out has passed.
    const bool stalled = status != DiskCameraDevice::kFrameStatusNewFrame &&
                         now - lastFrameTime_ > device_->GetTimeout();
    if (status == DiskCameraDevice::kFrameStatusFailed || stalled) {
      ReportTransferStopped();
      break;
    }
    if (status != DiskCameraDevice::kFrameStatusNewFrame) continue;
    lastFrameTime_ = now;
    PreparedFormat format;
    {
      std::lock_guard image(imageLock_);
      format = prepared_;
    }
    CaptureOneFrame(format, drawer);
  }
  captureFinished_->Set();
}

void CameraInstance::ReportTransferStopped() {
  streamingRunFlag_.store(0);
  // Stored before the message, so that an application handling the message
  // finds the code.
  RecordError(kErrorStopped);
  PostFrameMessage(0, kErrorStopped);
}

// A capture window, sub-sample or colour mode changed while streaming takes
// effect with the next frame: the bitmaps are sized again and the transfer
// restarts, so no frame of the old size is ever read into the new bitmaps.
// An invalid window stays unused until it is corrected.
bool CameraInstance::RestartIfFormatChanged() {
  const InstanceSettings settings = settings_.Snapshot();
  const PreparedFormat wanted = WantedFormat(settings);
  {
    std::lock_guard image(imageLock_);
    if (wanted == prepared_) return false;
  }
  if (!IsValidCaptureWindow(settings.captureWindow, settings.videoFormat.subSampleMode) ||
      !IsColorMode(wanted.colorMode)) {
    return false;
  }
  device_->StopStreaming();
  device_->SetCaptureWindow(wanted.window.left, wanted.window.top, wanted.window.width,
                            wanted.window.height, wanted.subSampleMode);
  device_->SetSampleWidth(UsesRaw16(wanted.colorMode) ? 1 : 0);
  bool sized;
  {
    std::lock_guard image(imageLock_);
    sized = SizeBitmaps(wanted) == 1;
    previewWindow_.PrepareDisplay(wanted.colorMode, *bitmaps_[kBitmapDisplay]);
    // Taken as prepared even when refused, so that the change is not retried
    // on every turn; the frames are then skipped by the window check.
    prepared_ = wanted;
  }
  if (!sized) RecordError(kErrorMemory);
  if (!DeviceWindowMatches(wanted)) RecordError(kErrorCaptureWindow);
  if (device_->StartStreaming() != 0) RecordError(kErrorCommand);
  lastFrameTime_ = platform::TimeGetTime();
  return true;
}

// Copies the newest frame (or the single capture) into the raw bitmap; with
// imageLock_ held. 0 on success.
int CameraInstance::TakeIntoRawBitmap(bool singleCapture, const PreparedFormat& format) {
  FrameBitmap& raw = RawBitmap(format.colorMode);
  const int bytes = raw.Stride() * raw.Height();
  if (singleCapture) {
    device_->FinishSingleCapture(raw.Pixels(), bytes, 0, 0);
    // No frame arrived within the time-out (unplugged, stalled): the slot
    // holds nothing, and the previous image must not pass for a new one.
    return device_->GetLastTaken() > 0 ? 0 : 1;
  }
  return device_->TakeLatestFrame(raw.Pixels(), bytes, 0, 0);
}

// Spreads the packed rows of `packedFrame` (a frame held in its slot), or
// those at the start of the raw bitmap where the frame was copied, to the
// bitmap stride, widening 8-bit samples for the 16-bit modes, and applies
// the software horizontal mirror; with imageLock_ held.
void CameraInstance::FinishRawFrame(const PreparedFormat& format, int mirrorHorizontal,
                                    const uint8_t* packedFrame) {
  FrameBitmap& raw = RawBitmap(format.colorMode);
  if (raw.Pixels() == nullptr) return;
  const KernelRect packed{0, 0, raw.Width(), raw.Height()};
  uint8_t* pixels = raw.Pixels();
  const uint8_t* source = packedFrame != nullptr ? packedFrame : pixels;
  const int bytesPerPixel = raw.BytesPerPixel();
  if (bytesPerPixel == 2) {
    WidenSamples8To16(pixels, source, packed, 0, 0, 2, 1, raw.Stride(), raw.Width(), nullptr, nullptr);
  } else if (raw.Stride() != raw.Width()) {
    RepackRows8(pixels, source, packed, 0, 0, 1, 1, raw.Stride(), raw.Width(), nullptr, nullptr);
  } else if (source != pixels) {
    std::memcpy(pixels, source, static_cast<std::size_t>(raw.Stride()) * static_cast<std::size_t>(raw.Height()));
  }
  if (mirrorHorizontal == 0) return;
  const RectangleKernel mirror = bytesPerPixel == 2 ? MirrorRows16 : MirrorRows8;
  mirror(pixels, pixels, packed, 0, 0, bytesPerPixel, bytesPerPixel, raw.Stride(), raw.Stride(), nullptr,
         nullptr);
}

void CameraInstance::ConvertCurrentFrame() { ConvertFrame(); }

void CameraInstance::FillFrameInfo(const PreparedFormat& format, int32_t rateTimes10) {
  const FrameBitmap& raw = RawBitmap(format.colorMode);
  void* buffer;
  {
    std::lock_guard caller(callerLock_);
    buffer = callerBuffer_;
  }
  StoreField(frameInfo_.recordSize, static_cast<int32_t>(sizeof(FrameInfo)));
  StoreField(frameInfo_.width, raw.Width());
  StoreField(frameInfo_.height, raw.Height());
  StoreField(frameInfo_.bitsPerPixel, kBitsForColorMode[format.colorMode]);
  StoreField(frameInfo_.frameRateTimes10, rateTimes10);
  StoreField(frameInfo_.buffer, buffer);
}

void CameraInstance::PostFrameMessage(uintptr_t wParam, intptr_t lParam) {
  platform::WindowHandle window;
  {
    std::lock_guard caller(callerLock_);
    window = callbackWindow_;
  }
  if (window) platform::PostWindowMessage(window, kMessageCameraFrame, wParam, lParam);
}

void CameraInstance::CaptureOneFrame(const PreparedFormat& format, SideWorker& drawer) {
  bool delivered = true;
  {
    std::lock_guard image(imageLock_);
    const int mirrorHorizontal = settings_.Analog().mirrorHorizontal;
    FrameBitmap& raw = RawBitmap(format.colorMode);
    // The first stage reads the frame straight from its slot: the widening
    // or copy into the raw bitmap, or, where the frame can be converted as it
    // lies, the conversion itself. Frames of another layout are copied out.
    HeldSlot slot;
    const bool held = slot.Hold(*device_, raw);
    FrameBitmap heldRaw;
    const bool inSlot = held && ConvertsInSlot(format.colorMode, mirrorHorizontal) &&
                        heldRaw.Borrow(slot.Pixels(), raw.Width(), raw.Height(), 8) == 1;
    const int taken = held ? 0 : TakeIntoRawBitmap(false, format);
    // The window changed under the running transfer since this preparation:
    // the frame may have another size; the next turn prepares again.
    if (!DeviceWindowMatches(format)) return;
    if (taken != 0) {
      RecordError(kErrorTransfer);
      PostFrameMessage(0, kErrorTransfer);
      return;
    }
    if (!inSlot) {
      FinishRawFrame(format, mirrorHorizontal, held ? slot.Pixels() : nullptr);
      slot.Return();
    }
    const int32_t rate = rateMeter_.CountFrame(platform::TimeGetTime());
    frameRateTimes10_.store(rate);
    FillFrameInfo(format, rate);
    ConvertFrame(inSlot ? &heldRaw : nullptr);
    heldRaw.Release();
    slot.Return();
    frameReady_.store(1);
    // The preview is drawn beside the copy-out: both only read the image.
    SideJob draw(drawer, [this, colorMode = format.colorMode] { DrawPreview(colorMode); });
    std::lock_guard caller(callerLock_);
    if (callerBuffer_ != nullptr && callerBufferSize_ != 0) {
      CopyOutReporter reporter(*this, callbackWindow_);
      delivered = CopyImageOut(OutputBitmap(format.colorMode), callerRowOrder_, callerBuffer_,
                               static_cast<uint32_t>(callerBufferSize_), reporter) == 1;
    }
  }
  if (delivered) PostFrameMessage(reinterpret_cast<uintptr_t>(&frameInfo_), 0);
}

bool CameraInstance::StopWorkerWithin(std::atomic<int32_t>& runFlag, std::unique_ptr<platform::Thread>& thread,
                                      std::unique_ptr<platform::ManualResetEvent>& finished,
                                      uint32_t milliseconds) {
  runFlag.store(0);
  if (finished) {
    if (!finished->Wait(milliseconds)) return false;
    finished.reset();
  }
  if (thread) {
    thread->Join();
    thread.reset();
  }
  return true;
}

// A recording stopped before its deadline is finished with the rate measured
// so far, so that the file is complete and playable.
void CameraInstance::FinishStoppedRecording() {
  if (recorder_.isRecording() && recorder_.finish() != 0) RecordError(kErrorSettings);
}

int CameraInstance::StopPreview() {
  if (!CheckDevice()) return 0;
  // Bounded: a worker stuck in a device call must not hold the caller. One
  // that has not ended is reaped, and the device stopped, by the next start
  // or by the release.
  const uint32_t limit = device_->GetTimeout();
  const bool captureEnded = StopWorkerWithin(streamingRunFlag_, captureThread_, captureFinished_, limit);
  const bool recordEnded = StopWorkerWithin(recordingFlag_, recordThread_, recordFinished_, limit);
  if (recordEnded) FinishStoppedRecording();
  const bool wasActive = mode_.exchange(ModeIdle) != ModeIdle;
  if (!captureEnded || !recordEnded) {
    deviceStopPending_ = deviceStopPending_ || wasActive;
    RecordError(kErrorCommand);
    return 0;
  }
  if ((wasActive || deviceStopPending_) && device_->StopStreaming() != 0) {
    deviceStopPending_ = false;
    RecordError(kErrorCommand);
    return 0;
  }
  deviceStopPending_ = false;
  return 1;
}

// Workers left running by a stop that ran into its time-out end here, without
// limit, and the device's transfer stops after them.
void CameraInstance::ReapWorkers() {
  StopWorkerWithin(streamingRunFlag_, captureThread_, captureFinished_, platform::kInfinite);
  StopWorkerWithin(recordingFlag_, recordThread_, recordFinished_, platform::kInfinite);
  FinishStoppedRecording();
  if (deviceStopPending_ && device_) device_->StopStreaming();
  deviceStopPending_ = false;
}

// --- Preview, callback preview and recording --------------------------------

void CameraInstance::ClearCallbackTarget() {
  std::lock_guard caller(callerLock_);
  callbackWindow_ = nullptr;
  callerBuffer_ = nullptr;
  callerBufferSize_ = 0;
  callerRowOrder_ = 0;
}

int CameraInstance::CreatePreviewWindowForStart() {
  const InstanceSettings settings = settings_.Snapshot();
  PreviewPlacement placement;
  placement.parent = previewParent_;
  placement.left = previewRectangle_.left;
  placement.top = previewRectangle_.top;
  placement.right = previewRectangle_.right;
  placement.bottom = previewRectangle_.bottom;
  placement.captureWidth = settings.captureWindow.width;
  placement.captureHeight = settings.captureWindow.height;
  placement.subSampleMode = settings.videoFormat.subSampleMode;
  return previewWindow_.Create(this, placement);
}

// With imageLock_ held, by this thread or by the capture thread that handed
// the drawing to its side worker.
void CameraInstance::DrawPreview(int colorMode) {
  DisplayBitmaps bitmaps;
  bitmaps.raw8 = bitmaps_[kBitmapRaw8].get();
  bitmaps.raw16 = bitmaps_[kBitmapRaw16].get();
  bitmaps.bgr24 = bitmaps_[kBitmap24].get();
  bitmaps.bgr32 = bitmaps_[kBitmap32].get();
  bitmaps.bgr48 = bitmaps_[kBitmap48].get();
  bitmaps.bgr64 = bitmaps_[kBitmap64].get();
  bitmaps.display = bitmaps_[kBitmapDisplay].get();
  previewWindow_.DrawFrame(colorMode, bitmaps);
}

// Steps 2 and 3 of Preview and CallBackPreview.
int CameraInstance::StartAndRecordFailure(int failureCode) {
  if (!CreatePreviewWindowForStart()) {
    RecordError(kErrorWindow);
    return 0;
  }
  if (StartPreview()) return 1;
  Close();
  RecordError(failureCode);
  return 0;
}

int CameraInstance::Preview() {
  ClearCallbackTarget();
  return StartAndRecordFailure(kErrorTransfer);
}

int CameraInstance::CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size,
                                    int32_t rowOrder) {
  {
    std::lock_guard caller(callerLock_);
    callbackWindow_ = window;
    callerBuffer_ = buffer;
    callerBufferSize_ = size;
    callerRowOrder_ = rowOrder;
  }
  return StartAndRecordFailure(kErrorTransfer);
}

int CameraInstance::Record(const char* fileName, uint32_t durationMilliseconds, int showWindow) {
  if (fileName == nullptr || fileName[0] == '\0') {
    RecordError(kErrorArgument);
    return 0;
  }
  ClearCallbackTarget();
  if (showWindow != 0 && !CreatePreviewWindowForStart()) {
    RecordError(kErrorWindow);
    return 0;
  }
  if (!StartPreview()) {
    Close();
    RecordError(kErrorSettings);
    return 0;
  }
  // A recording on top of a running one: the running one ends first, whole.
  if (!StopWorkerWithin(recordingFlag_, recordThread_, recordFinished_, device_->GetTimeout())) {
    RecordError(kErrorThread);
    return 0;
  }
  FinishStoppedRecording();
  int32_t width, height;
  int bits;
  {
    std::lock_guard image(imageLock_);
    const FrameBitmap& output = OutputBitmap(prepared_.colorMode);
    width = output.Width();
    height = output.Height();
    bits = output.BitsPerPixel();
  }
  if (!recordFrame_) recordFrame_ = std::make_unique<FrameBitmap>();
  if (recorder_.begin(fileName, width, height, static_cast<uint16_t>(bits)) != 1) {
    Close();
    RecordError(kErrorSettings);
    return 0;
  }
  recordingDuration_.store(durationMilliseconds);
  recordingStart_ = 0;
  recordingDeadline_ = durationMilliseconds;
  frameReady_.store(0);
  recordingFlag_.store(1);
  recordFinished_ = std::make_unique<platform::ManualResetEvent>(false);
  recordThread_ = std::make_unique<platform::Thread>();
  if (!recordThread_->Start([this] { RecordLoop(); })) {
    recordingFlag_.store(0);
    recordThread_.reset();
    recordFinished_.reset();
    Close();
    RecordError(kErrorThread);
    return 0;
  }
  return 1;
}

int CameraInstance::RecordW(const wchar_t* fileName, uint32_t durationMilliseconds, int showWindow) {
  std::string narrow;
  if (!NarrowFileName(fileName, narrow)) {
    RecordError(kErrorSettings);
    return 0;
  }
  return Record(narrow.c_str(), durationMilliseconds, showWindow);
}

void CameraInstance::RecordLoop() {
  while (recordingFlag_.load() != 0) {
    platform::Sleep(kRecordPollMilliseconds);
    if (recordingFlag_.load() == 0 || frameReady_.exchange(0) == 0) continue;
    RecordOneFrame();
  }
  recordFinished_->Set();
}

void CameraInstance::RecordOneFrame() {
  int converted;
  {
    std::lock_guard image(imageLock_);
    converted = ConvertFrameForRecording(OutputBitmap(prepared_.colorMode), *recordFrame_);
  }
  // The size of an AVI's frames is fixed: frames of a window changed during
  // the recording are left out.
  if (converted != 1 || recordFrame_->Width() != recorder_.width() ||
      recordFrame_->Height() != recorder_.height()) {
    return;
  }
  const uint32_t now = platform::TimeGetTime();
  if (recorder_.frameCount() == 0) {
    recordingStart_ = now;
    recordingDeadline_ = now + recordingDuration_.load();
  }
  if (recorder_.append(recordFrame_->Pixels()) != 0) {
    RecordError(kErrorSettings);
    recordingFlag_.store(0);
    return;
  }
  // Compared as a wrapping difference: the deadline has passed.
  if (static_cast<int32_t>(now - recordingDeadline_) <= 0) return;
  const uint32_t elapsed = now - recordingStart_;
  const uint32_t rate =
      elapsed == 0 ? 0 : static_cast<uint32_t>(uint64_t{recorder_.frameCount()} * 100000u / elapsed);
  if (recorder_.finish(rate) != 0) RecordError(kErrorSettings);
  recordingFlag_.store(0);
}

// --- Single captures -----------------------------------------------------

int CameraInstance::Capture() {
  if (!CheckDevice()) return 0;
  const AcquisitionMode mode = mode_.load();
  if (mode == ModeStreaming) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (mode == ModeCapture) return 1;
  if (!PrepareAcquisition()) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  mode_.store(ModeCapture);
  return 1;
}

int CameraInstance::SnapShot(void* buffer, int32_t size, int32_t rowOrder) {
  if (!CheckDevice()) return 0;
  const AcquisitionMode mode = mode_.load();
  if (mode == ModeStreaming) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (mode == ModeIdle) {
    if (!PrepareAcquisition()) {
      RecordError(kErrorNoDevice);
      return 0;
    }
    platform::Sleep(kSnapShotSettleMilliseconds);
  }
  if (device_->StartSingleCapture() != 0) {
    RecordError(kErrorTransfer);
    return 0;
  }
  platform::WindowHandle callbackWindow;
  {
    std::lock_guard caller(callerLock_);
    callbackWindow = callbackWindow_;
  }
  std::lock_guard image(imageLock_);
  const PreparedFormat format = prepared_;
  const int taken = TakeIntoRawBitmap(true, format);
  if (taken != 0) {
    if (callbackWindow) platform::PostWindowMessage(callbackWindow, kMessageCameraFrame, 0, kErrorTransfer);
    RecordError(kErrorTransfer);
    return 0;
  }
  FinishRawFrame(format, settings_.Analog().mirrorHorizontal);
  ConvertCurrentFrame();
  if (buffer == nullptr || size == 0) return 1;
  CopyOutReporter reporter(*this, callbackWindow);
  return CopyImageOut(OutputBitmap(format.colorMode), rowOrder, buffer, static_cast<uint32_t>(size), reporter);
}

// --- The current image -------------------------------------------------------

int CameraInstance::GetImage(void* buffer, int32_t size, int32_t rowOrder) {
  if (!CheckDevice()) return 0;
  platform::WindowHandle callbackWindow;
  {
    std::lock_guard caller(callerLock_);
    callbackWindow = callbackWindow_;
  }
  std::lock_guard image(imageLock_);
  // The last converted frame; before any preparation, the (empty) output
  // bitmap of the colour mode set.
  const int colorMode = IsColorMode(prepared_.colorMode) ? prepared_.colorMode : settings_.VideoFormat().colorMode;
  const FrameBitmap& output = OutputBitmap(colorMode);
  if (output.Pixels() == nullptr) {
    RecordError(kErrorMemory);
    return 0;
  }
  CopyOutReporter reporter(*this, callbackWindow);
  return CopyImageOut(output, rowOrder, buffer, static_cast<uint32_t>(size), reporter);
}

int CameraInstance::SaveImage(const char* fileName, int format) {
  if (!CheckDevice()) return 0;
  if (fileName == nullptr) return 0;
  // The image is copied under the lock and encoded without it: a slow
  // encoder never holds up the capture thread.
  FrameBitmap copy;
  {
    std::lock_guard image(imageLock_);
    const int colorMode =
        IsColorMode(prepared_.colorMode) ? prepared_.colorMode : settings_.VideoFormat().colorMode;
    const FrameBitmap& output = OutputBitmap(colorMode);
    if (output.Pixels() != nullptr && copy.CopyFormat(&output) == 1) {
      std::memcpy(copy.Pixels(), output.Pixels(),
                  static_cast<std::size_t>(output.Stride()) * static_cast<std::size_t>(output.Height()));
    }
  }
  return StillImageSaver::save(fileName, &copy, format);
}

int CameraInstance::SaveImageW(const wchar_t* fileName, int format) {
  if (!CheckDevice()) return 0;
  std::string narrow;
  if (!NarrowFileName(fileName, narrow)) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  return SaveImage(narrow.c_str(), format);
}

}  // namespace zirvo

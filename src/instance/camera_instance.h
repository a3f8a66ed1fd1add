// CameraInstance: the object behind one camera handle, its start-up, names,
// camera information, colour mode and shut-down.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "ZirvoSdk_USB3_7730QX.h"
#include "convert/pipeline.h"
#include "convert/processor.h"
#include "display/preview_window.h"
#include "instance/dialog_refresh.h"
#include "instance/error_store.h"
#include "instance/frame_rate_meter.h"
#include "output/avi_recorder.h"
#include "platform/message_window.h"
#include "instance/shared_settings.h"
#include "platform/threading.h"
#include "settings/settings_records.h"

namespace zirvo {

class FrameBitmap;
class Model7730Device;
class SheetBase;
class SideWorker;

enum AcquisitionMode : int32_t { ModeIdle = 0, ModeStreaming = 1, ModeCapture = 2 };

// Error codes recorded in the error store.
enum ErrorCode : int {
  kErrorNoDevice = 1,
  kErrorDeviceNumber = 2,
  kErrorThread = 3,
  kErrorWindow = 4,
  kErrorMemory = 5,
  kErrorCommand = 6,
  kErrorCaptureWindow = 7,
  kErrorTransfer = 8,
  kErrorArgument = 9,
  kErrorNotSupported = 11,
  kErrorSettings = 12,
  kErrorStopped = 13,
};

// The eight frame bitmaps, in the order the camera keeps them.
enum BitmapSlot : int {
  kBitmapRaw8,
  kBitmapRaw16,
  kBitmap24,
  kBitmap32,
  kBitmap48,
  kBitmap64,
  kBitmapWork,
  kBitmapDisplay,
  kBitmapCount,
};

// Position (left, top) and size (right, bottom) of a child preview window.
struct PreviewRectangle {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Values the exposure computation and the analog page share.
struct ExposureDisplay {
  int32_t flag = 0;
  uint16_t lineLength = 0;
  uint16_t frameLength = 0;
  double pixelClockPeriodMicroseconds = 1.0;
  int32_t realExposure = 0;
};

inline constexpr int kSensorWidth = 4384;
inline constexpr int kSensorHeight = 3288;
inline constexpr int kDeviceNameEntry = 256;  // characters per EnumDevice table entry
inline constexpr int kDeviceNameTableMinimum = 10;
inline constexpr int kMinimumDeviceNameSize = 16;
inline constexpr uint32_t kDeviceTimeout = 8000;
// The smallest window the device programs.
inline constexpr int kMinimumCaptureWidth = 4;
inline constexpr int kMinimumCaptureHeight = 3;

// Colour-mode codes: output bits accepted by SetColorMode, significant bits
// reported by GetColorMode.
int ColorModeCodeForBits(int bitsPerPixel);  // -1 for another bit count
int ReportedBitsForColorMode(int code);

// Valid when the window lies inside the sensor, is at least 4 x 3 and the
// sub-sample mode is 0 to 20.
bool IsValidCaptureWindow(const CameraSizeSettings& window, int subSampleMode);

class CameraInstance {
 public:
  // Defaults only: no device, bitmap, window or thread.
  CameraInstance();
  // Saves analog, filter and gray settings, closes, frees device and bitmaps.
  virtual ~CameraInstance();
  CameraInstance(const CameraInstance&) = delete;
  CameraInstance& operator=(const CameraInstance&) = delete;

  // 1 when ready; 0 (error 5) when the device or a bitmap could not be created.
  int Initialize(platform::WindowHandle notificationWindow);
  int Close();

  // Acquisition (acquisition.cpp).
  int PrepareAcquisition();
  int StartPreview();
  int StopPreview();
  int Preview();
  int CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size, int32_t rowOrder);
  int Record(const char* fileName, uint32_t durationMilliseconds, int showWindow);
  int RecordW(const wchar_t* fileName, uint32_t durationMilliseconds, int showWindow);
  int Capture();
  int SnapShot(void* buffer, int32_t size, int32_t rowOrder);
  int GetImage(void* buffer, int32_t size, int32_t rowOrder);
  int SaveImage(const char* fileName, int format);
  int SaveImageW(const wchar_t* fileName, int format);
  // The record the frame messages point to; the capture thread rewrites it
  // (field by field, atomically) before each message.
  const FrameInfo& CurrentFrameInfo() const { return frameInfo_; }
  bool IsRecording() const { return recordingFlag_.load() != 0; }
  platform::WindowHandle PreviewWindowHandle() const { return previewWindow_.Handle(); }

  int SetDeviceNumber(int deviceNumber);
  int EnumDevice(char* names);
  int EnumDeviceW(wchar_t* names);
  int GetDeviceName(int deviceNumber, char* name, int size);
  int GetDeviceNameW(int deviceNumber, wchar_t* name, int size);
  int GetCameraInfo(CameraInfo* info);

  int SetColorMode(int bitsPerPixel);
  int GetColorMode() const;

  // The open property dialogs register here (null to unregister); the
  // pipeline calls the two refreshes, which reach the dialogs if any.
  void SetDialogRefresh(DialogRefresh* refresh);
  void RefreshFilterSheet();
  void RefreshExposureBoxes();

  // Frame conversion (frame_conversion.cpp).
  // PrepareConversion: call from the preparation of acquisition once the raw
  // and output bitmaps of `colorMode` have their size, in place of making the
  // work copy there: it makes the work window in the output bitmap's format
  // (the rows the pipeline's bands need) and chooses the kernels. 0 when that fails (the caller records error 5).
  // ConvertFrame: call once per frame after the rows were repacked and
  // mirrored (capture thread, snapshot), never from two threads at once;
  // converts in the colour mode of the last PrepareConversion, runs automatic
  // exposure, stores what the frame measured and refreshes open dialogs.
  // `heldRaw8`, when given, is converted in place of the raw 8-bit bitmap.
  int PrepareConversion(int colorMode);
  void ConvertFrame(FrameBitmap* heldRaw8 = nullptr);

  // Settings operations (settings_operations.cpp). Results are the exports':
  // 1 or 0 for the setters, the value for the getters.
  int SetFilterValue(int id, int value);
  int GetFilterValue(int id, int* ok);
  int SetMirrorV(int flag);
  int GetMirrorV();
  int SetMirrorH(int flag);
  int GetMirrorH();
  int SetCaptureWindow(int width, int height);
  int SetCaptureWindowEx(int totalWidth, int left, int width, int totalHeight, int top, int height);
  int GetCaptureWindowEx(int* totalWidth, int* left, int* width, int* totalHeight, int* top,
                         int* height) const;
  int Width() const;
  int Height() const;
  int SetPreviewWindow(platform::WindowHandle parent, const PreviewRectangle* rectangle);
  int GetRealExposureTime(int* ok);
  // Error 11 and 0: the operations this camera does not support.
  int NotSupported();
  int WriteRegister(int address, int value);
  int ReadRegister(int address, int* ok);
  int ReadSromID(int address, int* ok);
  int WriteSromID(int address, int value);
  int SetIOPort(int flags);
  int GetIOPort(unsigned char* out);
  int SetSubSample(int mode);
  int GetSubSample() const;
  int SetWaitTime(int milliseconds);
  int GetWaitTime() const;
  int SetHalfClock(int value);
  int GetHalfClock() const;
  int SetAutoIris(int mode);
  int GetAutoIris(int* ok) const;
  // Counts the changes of the capture window and of the sub-sample mode; the
  // capture thread compares it with the count its preparation saw and sizes
  // its frames anew when they differ. Wraps around.
  uint32_t CaptureWindowGeneration() const { return captureWindowGeneration_.load(); }
  platform::WindowHandle PreviewParent() const { return previewParent_; }

  // Property dialogs (dialog_operations.cpp), modal on the caller's thread:
  // 1 once closed; 0 with error 1 (no device) or 4 (no dialog can be shown).
  int SetCameraDlg(platform::WindowHandle parent);
  int SetImageDlg(platform::WindowHandle parent);
  int SetAnalogDlg(platform::WindowHandle parent);

  void RecordError(int code) { errors_.RecordError(code); }
  int PopError() { return errors_.PopError(); }

  // Read access for the other parts of the camera and for tests.
  Model7730Device* Device() const { return device_.get(); }
  FrameBitmap* Bitmap(BitmapSlot slot) const { return bitmaps_[slot].get(); }
  // Copies taken under the settings lock; change them through Settings().
  CameraSizeSettings CaptureWindow() const { return settings_.CaptureWindow(); }
  AnalogSettings Analog() const { return settings_.Analog(); }
  FilterSettings Filter() const { return settings_.Filter(); }
  VideoFormatSettings VideoFormat() const { return settings_.VideoFormat(); }
  SharedSettings& Settings() { return settings_; }
  const SharedSettings& Settings() const { return settings_; }
  const PreviewRectangle& PreviewRect() const { return previewRectangle_; }
  platform::WindowHandle NotificationWindow() const { return errors_.NotificationWindow(); }
  AcquisitionMode Mode() const { return mode_.load(); }
  uint32_t RateUpdateTime() const { return rateUpdateTime_; }

 private:
  void SaveSettings() noexcept;
  bool CreateDevice();
  bool CreateBitmaps();
  void LoadAndProgramCaptureWindow();
  // Programs the stored window; one the device refuses gives error 7 and the
  // full frame, a failed device command error 6.
  void ProgramStoredCaptureWindow();
  void LoadAndProgramAnalog();
  // Error 6 for a device command that failed; true when recorded (a camera
  // is open: without one every command fails and that is reported elsewhere).
  bool RecordCommandFailure();
  void DestroyPreviewWindow();
  // The name of camera `number` (1-based), "Zirvo7730QX_NN".
  static std::string DeviceName(int number);
  bool CheckDevice();
  // Settings operations' helpers (settings_operations.cpp).
  void StoreCaptureWindow(const CameraSizeSettings& window);
  // False (error 6) when the camera in use did not take the window.
  bool ProgramCaptureWindow(const CameraSizeSettings& window, int subSampleMode);

  // Acquisition internals (acquisition.cpp).
  struct PreparedFormat {
    int32_t colorMode = -1;
    int32_t subSampleMode = 0;
    CameraSizeSettings window;
    int32_t width = 0;   // frame size after sub-sampling
    int32_t height = 0;
    bool operator==(const PreparedFormat&) const = default;
  };
  class CopyOutReporter;
  PreparedFormat WantedFormat(const InstanceSettings& settings) const;
  int SizeBitmaps(const PreparedFormat& format);
  void ProgramDevice(const InstanceSettings& settings, const PreparedFormat& format);
  bool RestartIfFormatChanged();
  bool DeviceWindowMatches(const PreparedFormat& format) const;
  FrameBitmap& RawBitmap(int colorMode) const;
  FrameBitmap& OutputBitmap(int colorMode) const;
  int TakeIntoRawBitmap(bool singleCapture, const PreparedFormat& format);
  void FinishRawFrame(const PreparedFormat& format, int mirrorHorizontal, const uint8_t* packedFrame = nullptr);
  void ConvertCurrentFrame();
  void CaptureLoop();
  void CaptureOneFrame(const PreparedFormat& format, SideWorker& drawer);
  void ReportTransferStopped();
  void FillFrameInfo(const PreparedFormat& format, int32_t rateTimes10);
  void PostFrameMessage(uintptr_t wParam, intptr_t lParam);
  void RecordLoop();
  void RecordOneFrame();
  bool StopWorkerWithin(std::atomic<int32_t>& runFlag, std::unique_ptr<platform::Thread>& thread,
                        std::unique_ptr<platform::ManualResetEvent>& finished, uint32_t milliseconds);
  void FinishStoppedRecording();
  void ReapWorkers();
  void ClearCallbackTarget();
  int CreatePreviewWindowForStart();
  void DrawPreview(int colorMode);
  int StartAndRecordFailure(int failureCode);

  // Property dialogs: the camera as the dialogs see it, and a dialog's run.
  class DialogCameraAdapter;
  friend class DialogCameraAdapter;
  int RunRegisteredDialog(SheetBase& dialog, platform::WindowHandle parent);
  void RestartAcquisition(AcquisitionMode mode);

  ProcessorInfo processor_{};
  std::unique_ptr<Model7730Device> device_;
  std::array<std::unique_ptr<FrameBitmap>, kBitmapCount> bitmaps_;
  // Drawn into by the capture thread; its own lock keeps a frame out of a
  // window being taken down.
  PreviewWindow previewWindow_;
  // Capture window, analog, filter and video format: shared with the capture
  // thread and the dialogs.
  SharedSettings settings_;
  // Registration by the dialog's thread, calls from the capture thread.
  std::mutex dialogRefreshLock_;
  DialogRefresh* dialogRefresh_ = nullptr;  // guarded by dialogRefreshLock_
  ExposureDisplay exposureDisplay_;

  // Run flags: written by the caller's thread, polled by the worker threads.
  std::atomic<int32_t> recordingFlag_{0};
  std::atomic<int32_t> streamingRunFlag_{0};
  std::atomic<int32_t> frameReady_{0};
  uint32_t recordingStart_ = 0;
  uint32_t recordingDeadline_ = 0;
  std::unique_ptr<platform::Thread> recordThread_;
  std::unique_ptr<platform::ManualResetEvent> recordFinished_;
  std::unique_ptr<platform::Thread> captureThread_;
  std::unique_ptr<platform::ManualResetEvent> captureFinished_;

  platform::WindowHandle previewParent_ = nullptr;
  PreviewRectangle previewRectangle_{0, 0, kSensorWidth, kSensorHeight};
  platform::WindowHandle callbackWindow_ = nullptr;
  void* callerBuffer_ = nullptr;
  int32_t callerBufferSize_ = 0;
  int32_t callerRowOrder_ = 0;
  FrameInfo frameInfo_{static_cast<int32_t>(sizeof(FrameInfo)), 0, 0, 0, 0, nullptr};

  // Written by the caller's thread, read by the worker threads.
  std::atomic<AcquisitionMode> mode_{ModeIdle};
  std::atomic<int32_t> frameRateTimes10_{0};
  int32_t framesSinceRateUpdate_ = 0;
  uint32_t rateUpdateTime_;

  // Acquisition. imageLock_ guards the pixels and sizes of the eight frame
  // bitmaps and `prepared_`: the capture thread holds it while it takes,
  // converts and draws a frame; GetImage, SaveImage, SnapShot and the record
  // thread hold it only to copy the image out, so the capture thread never
  // waits for a slow encoder or disk.
  mutable std::mutex imageLock_;
  PreparedFormat prepared_;  // guarded by imageLock_
  // Guards the callback window and caller buffer, size and row order: set by
  // the caller's thread, used by the capture thread for each frame's copy and
  // message. Once CallBackPreview, Preview or Record returned, the previous
  // buffer is written no more.
  std::mutex callerLock_;
  // Capture thread only (reset by StartPreview before the thread starts).
  FrameRateMeter rateMeter_;
  uint32_t lastFrameTime_ = 0;
  // The recording: the recorder and its frame belong to the record thread
  // while it runs, to the caller's thread otherwise.
  AviRecorder recorder_;
  std::unique_ptr<FrameBitmap> recordFrame_;
  std::atomic<uint32_t> recordingDuration_{0};
  // A stop that ran into its time-out left the device streaming (caller's
  // thread only).
  bool deviceStopPending_ = false;
  // Settings operations: bumped by the caller's thread, read by the capture thread.
  std::atomic<uint32_t> captureWindowGeneration_{0};
  // Frame conversion: set up by PrepareConversion on the caller's thread while
  // no capture thread runs, then used by ConvertFrame only.
  std::unique_ptr<ConversionPipeline> pipeline_;
  int32_t conversionColorMode_ = 0;

  ErrorStore errors_;
  bool settingsLoaded_ = false;
  uint32_t deviceTimeout_ = kDeviceTimeout;
};

}  // namespace zirvo

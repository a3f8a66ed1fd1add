// The GTK front end as a person meets it: real dialogs on an X server,
// screenshots in both languages, clicks and keystrokes through the X server
// that must reach the camera.
#include "settings/dialogs/dialog_front_end.h"

#include <gtest/gtest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/dialogs/analog_dialog.h"
#include "settings/dialogs/camera_property_dialog.h"
#include "settings/dialogs/image_filter_dialog.h"
#include "support/fake_dialog_camera.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"
#include "ZirvoSdk_USB3_7730QX.h"
#include "zirvo_port.h"

// Last: Xlib's macros would clash with the names above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

// GTK, fontconfig and D-Bus keep process-long caches that they never free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
         "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libpango\nleak:libcairo.so\nleak:libharfbuzz.so\n";
}

// Pango reads its font configuration on a thread of its own, and GObject's
// type locks are taken in either order by design; what is reported inside
// those uninstrumented libraries is theirs.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\nrace:libpango\nrace:libglib-2.0.so\nrace:libgobject-2.0.so\n"
         "deadlock:libglib-2.0.so\ndeadlock:libgobject-2.0.so\n";
}

namespace zirvo {
namespace {

using test::FakeDialogCamera;

// An Xvfb of our own when the test runs without a display.
class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if ((display && *display) || access("/usr/bin/Xvfb", X_OK) != 0) return;
    for (int number = 40 + getpid() % 400; number < 1000; number += 7) {
      if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) continue;
      const std::string name = ":" + std::to_string(number);
      pid_ = fork();
      if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // no server left behind by a test that aborts
        execl("/usr/bin/Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
              static_cast<char*>(nullptr));
        _exit(127);
      }
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
      for (int wait = 0; wait < 100 && access(socket.c_str(), F_OK) != 0; ++wait) usleep(50'000);
      if (access(socket.c_str(), F_OK) == 0) {
        setenv("DISPLAY", name.c_str(), 1);
        return;
      }
      StopServer();
    }
  }
  void TearDown() override { StopServer(); }

 private:
  void StopServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  pid_t pid_ = -1;
};

const auto* const kServer = ::testing::AddGlobalTestEnvironment(new XServer);

GtkWidget* FindNamed(GtkWidget* widget, const std::string& name) {
  if (name == gtk_widget_get_name(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GtkWidget* found = nullptr;
  std::function<void(GtkWidget*)> visit = [&](GtkWidget* child) {
    if (!found) found = FindNamed(child, name);
  };
  gtk_container_forall(
      GTK_CONTAINER(widget), [](GtkWidget* child, gpointer data) { (*static_cast<decltype(visit)*>(data))(child); },
      &visit);
  return found;
}

void CollectLabels(GtkWidget* widget, std::vector<GtkLabel*>& labels) {
  if (GTK_IS_LABEL(widget)) labels.push_back(GTK_LABEL(widget));
  if (!GTK_IS_CONTAINER(widget)) return;
  gtk_container_forall(
      GTK_CONTAINER(widget),
      [](GtkWidget* child, gpointer data) { CollectLabels(child, *static_cast<std::vector<GtkLabel*>*>(data)); },
      &labels);
}

GtkWidget* OpenDialog() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* dialog = nullptr;
  for (GList* item = windows; item; item = item->next)
    if (std::string("zirvo-dialog") == gtk_widget_get_name(GTK_WIDGET(item->data)) &&
        gtk_widget_get_mapped(GTK_WIDGET(item->data)))
      dialog = GTK_WIDGET(item->data);
  g_list_free(windows);
  return dialog;
}

// Steps run one after another inside the dialog's modal loop, each until it
// says it is done. A watchdog cancels a run that hangs.
class Script {
 public:
  using Step = std::function<bool()>;
  explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
    tick_ = g_timeout_add(60, &Script::Tick, this);
    watchdog_ = g_timeout_add_seconds(30, &Script::Watchdog, this);
  }
  ~Script() {
    if (tick_) g_source_remove(tick_);
    if (watchdog_) g_source_remove(watchdog_);
  }
  bool Finished() const { return at_ == steps_.size(); }
  bool TimedOut() const { return timedOut_; }

 private:
  static gboolean Tick(gpointer self) {
    auto* script = static_cast<Script*>(self);
    if (script->at_ < script->steps_.size() && script->steps_[script->at_]()) ++script->at_;
    if (script->at_ < script->steps_.size()) return G_SOURCE_CONTINUE;
    script->tick_ = 0;
    return G_SOURCE_REMOVE;
  }
  static gboolean Watchdog(gpointer self) {
    auto* script = static_cast<Script*>(self);
    script->timedOut_ = true;
    script->watchdog_ = 0;
    if (GtkWidget* dialog = OpenDialog()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    return G_SOURCE_REMOVE;
  }
  std::vector<Step> steps_;
  std::size_t at_ = 0;
  guint tick_ = 0;
  guint watchdog_ = 0;
  bool timedOut_ = false;
};

class DialogFrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X server";
    SetDialogModulePath(ZIRVO_GTK_DIALOG_MODULE);
    x_ = XOpenDisplay(nullptr);
    if (!x_) GTEST_SKIP() << "cannot open the display";
    std::filesystem::create_directories(ZIRVO_SCREENSHOT_DIR);
  }
  void TearDown() override {
    if (x_) XCloseDisplay(x_);
  }

  // Waits until the dialog is on screen and has been drawn for a while.
  Script::Step WaitForDialog() {
    return [this, frames = 0]() mutable {
      if (frames == 0) {
        XTestFakeMotionEvent(x_, -1, 0, 0, CurrentTime);
        XFlush(x_);
      }
      dialog_ = OpenDialog();
      return dialog_ && ++frames > 5;
    };
  }

  // Saves what the dialog shows; with `compare`, it must match the expected
  // picture in the source tree but for a few pixels (the text cursor blinks).
  // ZIRVO_WRITE_SCREENSHOTS=1 makes the saved picture the expected one.
  Script::Step Screenshot(const std::string& name, bool compare = false) {
    return [this, name, compare] {
      XTestFakeMotionEvent(x_, -1, 0, 0, CurrentTime);  // no widget under the pointer lights up
      XFlush(x_);
      GdkWindow* window = gtk_widget_get_window(dialog_);
      GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                      gdk_window_get_height(window));
      EXPECT_NE(picture, nullptr);
      if (!picture) return true;
      const std::string path = std::string(ZIRVO_SCREENSHOT_DIR) + "/" + name + ".png";
      EXPECT_TRUE(gdk_pixbuf_save(picture, path.c_str(), "png", nullptr, nullptr));
      shots_.push_back(picture);
      if (!compare) return true;
      const std::string expectedPath = std::string(ZIRVO_EXPECTED_SCREENSHOT_DIR) + "/" + name + ".png";
      if (const char* write = std::getenv("ZIRVO_WRITE_SCREENSHOTS"); write && std::string(write) == "1")
        gdk_pixbuf_save(picture, expectedPath.c_str(), "png", nullptr, nullptr);
      GdkPixbuf* expected = gdk_pixbuf_new_from_file(expectedPath.c_str(), nullptr);
      EXPECT_NE(expected, nullptr) << expectedPath;
      if (expected) {
        EXPECT_LT(Difference(picture, expected), 0.01) << name << " differs from " << expectedPath;
        g_object_unref(expected);
      }
      return true;
    };
  }

  // Centre of a control on the root window.
  void CentreOf(const std::string& name, int* x, int* y, double across = 0.5) {
    GtkWidget* widget = FindNamed(dialog_, name);
    ASSERT_NE(widget, nullptr) << name;
    int wx = 0, wy = 0, ox = 0, oy = 0;
    gtk_widget_translate_coordinates(widget, dialog_, 0, 0, &wx, &wy);
    gdk_window_get_origin(gtk_widget_get_window(dialog_), &ox, &oy);
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    *x = ox + wx + static_cast<int>(allocation.width * across);
    *y = oy + wy + allocation.height / 2;
  }

  Script::Step Click(const std::string& name, double across = 0.5) {
    return [this, name, across] {
      int x = 0, y = 0;
      CentreOf(name, &x, &y, across);
      XTestFakeMotionEvent(x_, -1, x, y, CurrentTime);
      XTestFakeButtonEvent(x_, 1, True, CurrentTime);
      XTestFakeButtonEvent(x_, 1, False, CurrentTime);
      XFlush(x_);
      return true;
    };
  }

  void Key(KeySym symbol, bool control = false) {
    const KeyCode controlKey = XKeysymToKeycode(x_, XK_Control_L);
    if (control) XTestFakeKeyEvent(x_, controlKey, True, CurrentTime);
    XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, symbol), True, CurrentTime);
    XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, symbol), False, CurrentTime);
    if (control) XTestFakeKeyEvent(x_, controlKey, False, CurrentTime);
    XFlush(x_);
  }

  Script::Step Type(std::vector<KeySym> keys) {
    return [this, keys] {
      Key(XK_a, true);
      for (KeySym key : keys) Key(key);
      return true;
    };
  }

  Script::Step Wait(int ticks) {
    return [count = 0, ticks]() mutable { return ++count > ticks; };
  }

  Script::Step Check(std::function<void()> check) {
    return [check] {
      check();
      return true;
    };
  }

  // Every label drawn with real glyphs (no boxes for missing characters),
  // and every expected text among them.
  Script::Step CheckTexts(std::vector<std::string> expected) {
    return [this, expected] {
      std::vector<GtkLabel*> labels;
      CollectLabels(dialog_, labels);
      std::vector<std::string> shown;
      for (GtkLabel* label : labels) {
        shown.push_back(gtk_label_get_text(label));
        EXPECT_EQ(pango_layout_get_unknown_glyphs_count(gtk_label_get_layout(label)), 0) << shown.back();
      }
      for (const std::string& text : expected)
        EXPECT_NE(std::find(shown.begin(), shown.end(), text), shown.end()) << text;
      return true;
    };
  }

  // Share of pixels that differ between two screenshots.
  static double Difference(GdkPixbuf* a, GdkPixbuf* b) {
    if (gdk_pixbuf_get_width(a) != gdk_pixbuf_get_width(b) || gdk_pixbuf_get_height(a) != gdk_pixbuf_get_height(b))
      return 1.0;
    const int channels = gdk_pixbuf_get_n_channels(a), stride = gdk_pixbuf_get_rowstride(a);
    const guchar* pa = gdk_pixbuf_get_pixels(a);
    const guchar* pb = gdk_pixbuf_get_pixels(b);
    long differing = 0;
    const int width = gdk_pixbuf_get_width(a), height = gdk_pixbuf_get_height(a);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c)
          if (pa[y * stride + x * channels + c] != pb[y * stride + x * channels + c]) {
            ++differing;
            break;
          }
    return static_cast<double>(differing) / (static_cast<double>(width) * height);
  }

  int Run(DialogSheet& sheet, std::vector<Script::Step> steps) {
    Script script(std::move(steps));
    const int shown = RunModalDialog(sheet, nullptr);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    return shown;
  }

  ~DialogFrontEndTest() override {
    for (GdkPixbuf* shot : shots_) g_object_unref(shot);
  }

  Display* x_ = nullptr;
  GtkWidget* dialog_ = nullptr;
  std::vector<GdkPixbuf*> shots_;
  FakeDialogCamera camera_;
};

struct LanguageCase {
  DialogLanguage language;
  const char* suffix;
};
const LanguageCase kLanguages[] = {{DialogLanguage::kEnglish, "en"}, {DialogLanguage::kJapanese, "ja"}};

TEST_F(DialogFrontEndTest, CameraDialogInBothLanguagesClosesWithOk) {
  camera_.stored.Add({4384, 3288, 4384, 3288, 0, 0, 10});
  camera_.stored.colorMode = 2;
  for (const LanguageCase& language : kLanguages) {
    CameraPropertyDialog dialog(camera_, language.language);
    const bool japanese = language.language == DialogLanguage::kJapanese;
    EXPECT_EQ(Run(dialog, {WaitForDialog(), Screenshot(std::string("camera_") + language.suffix, true),
                           CheckTexts(japanese ? std::vector<std::string>{"ビデオ形式", "カスタムサイズ", "フレームレート",
                                                                          "ストリーム形式", "総水平画素", "適用(A)"}
                                               : std::vector<std::string>{"Video Format", "Camera Size",
                                                                          "Frame Rate", "Stream Format", "H Total",
                                                                          "Apply(A)"}),
                           Click("control-1")}),
              1);
    EXPECT_EQ(dialog.Result(), 1);
  }
  EXPECT_EQ(camera_.saves, 2);  // OK writes the copy back
}

TEST_F(DialogFrontEndTest, FilterSheetInBothLanguagesWithItsGrayTab) {
  camera_.colorMode = 0;
  for (const LanguageCase& language : kLanguages) {
    ImageFilterDialog dialog(camera_, language.language);
    const std::string suffix = language.suffix;
    EXPECT_EQ(Run(dialog, {WaitForDialog(), Screenshot("image_filter_" + suffix, true),
                           CheckTexts({"Image Filter", "Gray Filter", "Brightness", "Auto white balance"}),
                           Check([&] { EXPECT_FALSE(gtk_widget_get_sensitive(FindNamed(dialog_, "control-2021"))); }),
                           [this] {
                             gtk_notebook_set_current_page(GTK_NOTEBOOK(FindNamed(dialog_, "control-1001")), 1);
                             return true;
                           },
                           Wait(5), Screenshot("gray_filter_" + suffix, true), Check([&] { EXPECT_EQ(dialog.VisiblePage(), 1); }),
                           Click("control-2")}),
              1);
    EXPECT_EQ(dialog.Result(), 2);
  }
}

TEST_F(DialogFrontEndTest, SliderMovedInTheWindowChangesTheCameraAndTheNextSnapshot) {
  for (const LanguageCase& language : kLanguages) {
    AnalogDialog dialog(camera_, language.language);
    camera_.ClearSent();
    const std::string suffix = language.suffix;
    EXPECT_EQ(Run(dialog, {WaitForDialog(), Screenshot("analog_" + suffix, true),
                           CheckTexts({"Analog Gain", "Global Gain", "Mirror V", "=6.02ms"}),
                           Click("control-1013", 0.1), Wait(5), Screenshot("analog_moved_" + suffix),
                           Check([&] {
                             const int gain = camera_.Values().analog.globalGain;
                             EXPECT_LT(gain, 100);
                             EXPECT_EQ(camera_.Values().analog.colorGainBlue, gain);
                             ASSERT_FALSE(camera_.Sent().empty());
                             EXPECT_EQ(camera_.Sent().front(), (test::SentCommand{"global", 0, gain}));
                             EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(FindNamed(dialog_, "control-1023"))),
                                       std::to_string(gain));
                             ASSERT_EQ(shots_.size(), 2u);
                             EXPECT_GT(Difference(shots_[0], shots_[1]), 0.0);
                           }),
                           [this] {
                             Key(XK_Escape);
                             return true;
                           }}),
              1);
    EXPECT_EQ(dialog.Result(), 2);
    EXPECT_EQ(camera_.Values().analog.globalGain, 100);  // Cancel restored it
    for (GdkPixbuf* shot : shots_) g_object_unref(shot);
    shots_.clear();
  }
}

TEST_F(DialogFrontEndTest, KeystrokesInAnEditReachTheFilterEntry) {
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  EXPECT_EQ(Run(dialog, {WaitForDialog(), Click("control-2002"), Type({XK_minus, XK_4, XK_0}), Wait(3),
                         Check([&] {
                           EXPECT_EQ(camera_.Values().filter[kFilterBrightness], -40);
                           EXPECT_EQ(gtk_range_get_value(GTK_RANGE(FindNamed(dialog_, "control-2001"))), -40.0);
                         }),
                         Click("control-1")}),
            1);
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(camera_.Values().filter[kFilterBrightness], -40);
}

TEST_F(DialogFrontEndTest, ExportedAnalogDialogProgramsTheCameraAndCancelTakesItBack) {
  test::TemporaryConfig config;
  testing::SimulatedCameraOnDrive simulated;
  const int handle = Zirvo_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  while (Zirvo_GetLastError(handle) != 0) {
  }
  const int before = Zirvo_GetGlobalGain(handle, nullptr);
  int moved = 0;
  Script script({WaitForDialog(), Click("control-1013", 0.1), Wait(5), Check([&] {
                    moved = Zirvo_GetGlobalGain(handle, nullptr);
                    EXPECT_NE(moved, before);
                    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(FindNamed(dialog_, "control-1015"))), std::to_string(moved));
                    EXPECT_EQ(Zirvo_GetColorGainRed(handle, nullptr), moved);
                  }),
                  [this] {
                    Key(XK_Escape);
                    return true;
                  }});
  EXPECT_EQ(Zirvo_SetAnalogDlg(handle, nullptr), 1);
  EXPECT_FALSE(script.TimedOut());
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(Zirvo_GetGlobalGain(handle, nullptr), before);
  EXPECT_EQ(Zirvo_GetLastError(handle), 0);
  EXPECT_EQ(Zirvo_Release(handle), 1);
}

// Whether a frame message arrives within `milliseconds`; older ones are dropped first.
bool FrameArrives(HWND window, int milliseconds) {
  ZirvoPortMessage message;
  while (ZirvoPort_GetMessage(window, &message, 0) == 1) {
  }
  for (int waited = 0; waited < milliseconds; waited += 10)
    while (ZirvoPort_GetMessage(window, &message, 10) == 1)
      if (message.message == WM_CAMERA_FRAME && message.wParam != 0) return true;
  return false;
}

TEST_F(DialogFrontEndTest, CameraDialogStopsStreamingWhileOpenAndStartsItAgain) {
  test::TemporaryConfig config;
  testing::SimulatedCameraOnDrive simulated;
  const int handle = Zirvo_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  ASSERT_EQ(Zirvo_SetColorMode(handle, 8), 1);
  ASSERT_EQ(Zirvo_SetSubSample(handle, 2), 1);  // small frames: quick under the sanitizers too
  HWND messages = ZirvoPort_CreateMessageWindow();
  std::vector<unsigned char> buffer(4384 * 3288);
  ASSERT_EQ(Zirvo_CallBackPreview(handle, messages, buffer.data(), static_cast<int>(buffer.size()), 0), 1);
  ASSERT_TRUE(FrameArrives(messages, 20000));
  // Cancel: the colour mode set above stays, and the buffer fits its frames.
  Script script({WaitForDialog(), Check([&] { EXPECT_FALSE(FrameArrives(messages, 300)); }), Click("control-2")});
  EXPECT_EQ(Zirvo_SetCameraDlg(handle, nullptr), 1);
  EXPECT_TRUE(script.Finished());
  EXPECT_TRUE(FrameArrives(messages, 20000));
  EXPECT_EQ(Zirvo_StopPreview(handle), 1);
  EXPECT_EQ(Zirvo_Release(handle), 1);
  ZirvoPort_DestroyWindow(messages);
}

TEST_F(DialogFrontEndTest, CameraDialogOkHandsTheChosenFormatToTheCamera) {
  test::TemporaryConfig config;
  testing::SimulatedCameraOnDrive simulated;
  const int handle = Zirvo_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  ASSERT_EQ(Zirvo_GetColorMode(handle), 24);
  Script script({WaitForDialog(),
                 [this] {
                   gtk_combo_box_set_active(GTK_COMBO_BOX(FindNamed(dialog_, "control-1009")), 1);  // 12 bit
                   gtk_entry_set_text(GTK_ENTRY(FindNamed(dialog_, "control-1045")), "33");
                   return true;
                 },
                 Check([&] { EXPECT_EQ(Zirvo_GetColorMode(handle), 24); }),  // the copy only, until OK
                 Click("control-1")});
  EXPECT_EQ(Zirvo_SetCameraDlg(handle, nullptr), 1);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(Zirvo_GetColorMode(handle), 12);
  EXPECT_EQ(Zirvo_GetWaitTime(handle), 33);
  EXPECT_EQ(config.Stored("", "Color"), 1);
  EXPECT_EQ(Zirvo_Release(handle), 1);
}

TEST_F(DialogFrontEndTest, DialogBelongsToTheApplicationsWindow) {
  test::TemporaryConfig config;
  testing::SimulatedCameraOnDrive simulated;
  const int handle = Zirvo_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  const Window application =
      XCreateSimpleWindow(x_, DefaultRootWindow(x_), 10, 10, 200, 100, 0, 0, WhitePixel(x_, DefaultScreen(x_)));
  XMapWindow(x_, application);
  XSync(x_, False);
  HWND parent = ZirvoPort_WrapX11Window(application);
  ASSERT_NE(parent, nullptr);
  Script script({WaitForDialog(), Check([&] {
                   Window owner = 0;
                   const Window dialog = gdk_x11_window_get_xid(gtk_widget_get_window(dialog_));
                   EXPECT_NE(XGetTransientForHint(x_, dialog, &owner), 0);
                   EXPECT_EQ(owner, application);
                 }),
                 Click("control-2")});
  EXPECT_EQ(Zirvo_SetImageDlg(handle, parent), 1);
  EXPECT_TRUE(script.Finished());
  XDestroyWindow(x_, application);
  EXPECT_EQ(Zirvo_Release(handle), 1);
}

TEST_F(DialogFrontEndTest, ExportsWithoutTheModuleFailWithErrorFour) {
  test::TemporaryConfig config;
  testing::SimulatedCameraOnDrive simulated;
  const int handle = Zirvo_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  while (Zirvo_GetLastError(handle) != 0) {
  }
  SetDialogModulePath("/nonexistent/libZirvoSdk_USB3_7730QX_dialogs.so");
  EXPECT_EQ(Zirvo_SetImageDlg(handle, nullptr), 0);
  EXPECT_EQ(Zirvo_GetLastError(handle), ZIRVO_ERROR_WINDOW);
  EXPECT_EQ(Zirvo_SetCameraDlg(handle, nullptr), 0);
  EXPECT_EQ(Zirvo_GetLastError(handle), ZIRVO_ERROR_WINDOW);
  SetDialogModulePath(ZIRVO_GTK_DIALOG_MODULE);
  EXPECT_EQ(Zirvo_SetAnalogDlg(0, nullptr), 0);
  EXPECT_EQ(Zirvo_Release(handle), 1);
}

TEST(DialogFrontEnd, WithoutADisplayTheDialogIsNotShown) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("WAYLAND_DISPLAY");
        setenv("DISPLAY", ":999", 1);
        SetDialogModulePath(ZIRVO_GTK_DIALOG_MODULE);
        FakeDialogCamera camera;
        AnalogDialog dialog(camera, DialogLanguage::kEnglish);
        std::exit(RunModalDialog(dialog, nullptr) == 0 && dialog.Result() == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(DialogFrontEnd, WithoutTheModuleTheDialogIsNotShown) {
  SetDialogModulePath("/nonexistent/libZirvoSdk_USB3_7730QX_dialogs.so");
  FakeDialogCamera camera;
  AnalogDialog dialog(camera, DialogLanguage::kEnglish);
  EXPECT_EQ(RunModalDialog(dialog, nullptr), 0);
  SetDialogModulePath(ZIRVO_GTK_DIALOG_MODULE);
}

}  // namespace
}  // namespace zirvo

// Preview windows on X11: libX11 and libXext through dlopen, one connection
// per window used under that window's lock, frames through MIT-SHM where the
// server offers it and through the socket otherwise.
#include "platform/posix/x11_window.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/dynamic_library.h"

#if __has_include(<X11/Xlib.h>) && __has_include(<X11/extensions/XShm.h>)
#define ZIRVO_HAVE_X11_HEADERS 1
#include <sys/ipc.h>
#include <sys/shm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#endif

namespace zirvo::platform {

#if ZIRVO_HAVE_X11_HEADERS

namespace {

// The client calls the windows use, found by name in the loaded libraries.
struct XlibCalls {
  decltype(&::XOpenDisplay) OpenDisplay;
  decltype(&::XCloseDisplay) CloseDisplay;
  decltype(&::XCreateWindow) CreateWindow;
  decltype(&::XDestroyWindow) DestroyWindow;
  decltype(&::XMapWindow) MapWindow;
  decltype(&::XUnmapWindow) UnmapWindow;
  decltype(&::XResizeWindow) ResizeWindow;
  decltype(&::XStoreName) StoreName;
  decltype(&::XSetWMNormalHints) SetWMNormalHints;
  decltype(&::XSetClassHint) SetClassHint;
  decltype(&::XInternAtom) InternAtom;
  decltype(&::XSetWMProtocols) SetWMProtocols;
  decltype(&::XGetWindowAttributes) GetWindowAttributes;
  decltype(&::XTranslateCoordinates) TranslateCoordinates;
  decltype(&::XPending) Pending;
  decltype(&::XNextEvent) NextEvent;
  decltype(&::XSync) Sync;
  decltype(&::XCreateGC) CreateGC;
  decltype(&::XFreeGC) FreeGC;
  decltype(&::XCreateImage) CreateImage;
  decltype(&::XPutImage) PutImage;
  decltype(&::XGetImage) GetImage;
  decltype(&::XSetErrorHandler) SetErrorHandler;
};

struct XextCalls {
  decltype(&::XShmQueryExtension) ShmQueryExtension;
  decltype(&::XShmCreateImage) ShmCreateImage;
  decltype(&::XShmAttach) ShmAttach;
  decltype(&::XShmDetach) ShmDetach;
  decltype(&::XShmPutImage) ShmPutImage;
};

template <typename Function>
bool Find(DynamicLibrary& library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(library.FindExport(name));
  return *function != nullptr;
}

struct X11Libraries {
  std::unique_ptr<DynamicLibrary> xlib;
  std::unique_ptr<DynamicLibrary> xext;
  XlibCalls x{};
  XextCalls shm{};
  bool xlibLoaded = false;
  bool shmLoaded = false;

  X11Libraries() {
    xlib = LoadDynamicLibrary("libX11.so.6");
    if (!xlib) xlib = LoadDynamicLibrary("libX11.so");
    if (xlib) xlibLoaded = FindXlib(*xlib);
    xext = LoadDynamicLibrary("libXext.so.6");
    if (!xext) xext = LoadDynamicLibrary("libXext.so");
    if (xext) shmLoaded = FindXext(*xext);
  }

  bool FindXlib(DynamicLibrary& l) {
    return Find(l, "XOpenDisplay", &x.OpenDisplay) && Find(l, "XCloseDisplay", &x.CloseDisplay) &&
           Find(l, "XCreateWindow", &x.CreateWindow) &&
           Find(l, "XDestroyWindow", &x.DestroyWindow) && Find(l, "XMapWindow", &x.MapWindow) &&
           Find(l, "XUnmapWindow", &x.UnmapWindow) && Find(l, "XResizeWindow", &x.ResizeWindow) &&
           Find(l, "XStoreName", &x.StoreName) &&
           Find(l, "XSetWMNormalHints", &x.SetWMNormalHints) &&
           Find(l, "XSetClassHint", &x.SetClassHint) && Find(l, "XInternAtom", &x.InternAtom) &&
           Find(l, "XSetWMProtocols", &x.SetWMProtocols) &&
           Find(l, "XGetWindowAttributes", &x.GetWindowAttributes) &&
           Find(l, "XTranslateCoordinates", &x.TranslateCoordinates) &&
           Find(l, "XPending", &x.Pending) && Find(l, "XNextEvent", &x.NextEvent) &&
           Find(l, "XSync", &x.Sync) && Find(l, "XCreateGC", &x.CreateGC) &&
           Find(l, "XFreeGC", &x.FreeGC) && Find(l, "XCreateImage", &x.CreateImage) &&
           Find(l, "XPutImage", &x.PutImage) && Find(l, "XGetImage", &x.GetImage) &&
           Find(l, "XSetErrorHandler", &x.SetErrorHandler);
  }

  bool FindXext(DynamicLibrary& l) {
    return Find(l, "XShmQueryExtension", &shm.ShmQueryExtension) &&
           Find(l, "XShmCreateImage", &shm.ShmCreateImage) &&
           Find(l, "XShmAttach", &shm.ShmAttach) && Find(l, "XShmDetach", &shm.ShmDetach) &&
           Find(l, "XShmPutImage", &shm.ShmPutImage);
  }
};

// Loaded once and kept to the end of the process: connections may be open
// until then.
X11Libraries* Libraries() {
  static X11Libraries* libraries = new X11Libraries();
  return libraries->xlibLoaded ? libraries : nullptr;
}

// Protocol errors on our own connections (a parent window the application
// destroyed, a server that refuses shared memory) must not end the process:
// they are noted for the thread that made the call. Errors on the
// application's connections go on to the handler it had installed.
thread_local int lastErrorCode = 0;

class OwnDisplays {
 public:
  void Add(Display* display) {
    std::lock_guard lock(mutex_);
    displays_.insert(display);
  }
  void Remove(Display* display) {
    std::lock_guard lock(mutex_);
    displays_.erase(display);
  }
  bool Contains(Display* display) {
    std::lock_guard lock(mutex_);
    return displays_.count(display) != 0;
  }

 private:
  std::mutex mutex_;  // every thread that opens, closes or gets an error on a connection
  std::set<Display*> displays_;
};

OwnDisplays& Owned() {
  static OwnDisplays* owned = new OwnDisplays();
  return *owned;
}

XErrorHandler previousHandler = nullptr;

std::atomic<bool> sharedMemoryAllowed{true};

int OnProtocolError(Display* display, XErrorEvent* error) {
  if (Owned().Contains(display)) {
    lastErrorCode = error->error_code;
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

void InstallErrorHandler(const XlibCalls& x) {
  static std::once_flag installed;
  std::call_once(installed, [&x] { previousHandler = x.SetErrorHandler(OnProtocolError); });
}

// Position of the lowest set bit of an 8-bit-wide channel mask; -1 otherwise.
int ChannelShift(unsigned long mask) {
  for (int shift = 0; shift + 8 <= 32; shift += 8) {
    if (mask == 0xFFul << shift) return shift;
  }
  return -1;
}

class X11Window final : public DisplayWindow {
 public:
  X11Window(const X11Libraries& libraries, Display* display)
      : x_(libraries.x), shm_(libraries.shm), shmLoaded_(libraries.shmLoaded), display_(display) {}

  ~X11Window() override {
    std::lock_guard lock(mutex_);
    ReleaseImage();
    if (gc_ != nullptr) x_.FreeGC(display_, gc_);
    if (window_ != 0 && !destroyed_) x_.DestroyWindow(display_, window_);
    x_.Sync(display_, False);
    Owned().Remove(display_);
    x_.CloseDisplay(display_);
  }

  bool Open(const WindowCreation& creation, unsigned long parentXid) {
    std::lock_guard lock(mutex_);
    int screen = DefaultScreen(display_);
    Window parent = parentXid != 0 ? parentXid : RootWindow(display_, screen);
    XWindowAttributes parentAttributes{};
    lastErrorCode = 0;
    if (x_.GetWindowAttributes(display_, parent, &parentAttributes) == 0 || lastErrorCode != 0) {
      return false;
    }
    Visual* visual = parentXid != 0 ? parentAttributes.visual : DefaultVisual(display_, screen);
    depth_ = parentXid != 0 ? parentAttributes.depth : DefaultDepth(display_, screen);
    if (!UsableVisual(visual)) return false;

    XSetWindowAttributes attributes{};
    attributes.background_pixel = padding_;
    attributes.border_pixel = 0;
    attributes.event_mask = StructureNotifyMask;
    unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
    window_ = x_.CreateWindow(display_, parent, creation.x, creation.y,
                              static_cast<unsigned>(std::max(1, creation.width)),
                              static_cast<unsigned>(std::max(1, creation.height)), 0, depth_,
                              InputOutput, visual, mask, &attributes);
    x_.Sync(display_, False);
    if (window_ == 0 || lastErrorCode != 0) {
      window_ = 0;
      return false;
    }
    visual_ = visual;
    if (creation.title != nullptr) x_.StoreName(display_, window_, creation.title);
    if (creation.className != nullptr) {
      XClassHint hint{};
      std::string name = creation.className;
      hint.res_name = name.data();
      hint.res_class = name.data();
      x_.SetClassHint(display_, window_, &hint);
    }
    if (parentXid == 0) {
      // Where we put it, at the size we asked for; a close from the window
      // manager arrives as a message instead of ending the connection.
      XSizeHints hints{};
      hints.flags = USPosition | USSize | PPosition | PSize;
      hints.x = creation.x;
      hints.y = creation.y;
      hints.width = creation.width;
      hints.height = creation.height;
      x_.SetWMNormalHints(display_, window_, &hints);
      deleteAtom_ = x_.InternAtom(display_, "WM_DELETE_WINDOW", False);
      x_.SetWMProtocols(display_, window_, &deleteAtom_, 1);
    }
    topLevel_ = parentXid == 0;
    gc_ = x_.CreateGC(display_, window_, 0, nullptr);
    x_.Sync(display_, False);
    return gc_ != nullptr && lastErrorCode == 0;
  }

  bool Show(bool shown) override {
    std::lock_guard lock(mutex_);
    DrainEvents();
    if (destroyed_) return false;
    lastErrorCode = 0;
    if (shown) {
      x_.MapWindow(display_, window_);
    } else {
      x_.UnmapWindow(display_, window_);
    }
    x_.Sync(display_, False);
    return lastErrorCode == 0;
  }

  bool Visible() override {
    std::lock_guard lock(mutex_);
    XWindowAttributes attributes{};
    return ReadAttributes(&attributes) && attributes.map_state != IsUnmapped;
  }

  bool ClientSize(int32_t* width, int32_t* height) override {
    std::lock_guard lock(mutex_);
    XWindowAttributes attributes{};
    if (!ReadAttributes(&attributes)) return false;
    *width = attributes.width;
    *height = attributes.height;
    return true;
  }

  bool Position(int32_t* x, int32_t* y) override {
    std::lock_guard lock(mutex_);
    XWindowAttributes attributes{};
    if (!ReadAttributes(&attributes)) return false;
    if (!topLevel_) {
      *x = attributes.x;
      *y = attributes.y;
      return true;
    }
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    x_.TranslateCoordinates(display_, window_, attributes.root, 0, 0, &rootX, &rootY, &child);
    *x = rootX;
    *y = rootY;
    return lastErrorCode == 0;
  }

  bool Resize(int32_t width, int32_t height) override {
    std::lock_guard lock(mutex_);
    DrainEvents();
    if (destroyed_ || width <= 0 || height <= 0) return false;
    lastErrorCode = 0;
    x_.ResizeWindow(display_, window_, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
    x_.Sync(display_, False);
    return lastErrorCode == 0;
  }

  bool Present(const SurfaceView& source, RowPlacement placement) override {
    std::lock_guard lock(mutex_);
    XWindowAttributes attributes{};
    if (!ReadAttributes(&attributes)) return false;
    int32_t width = std::min<int32_t>(attributes.width, source.width);
    int32_t height = std::min<int32_t>(attributes.height, source.height);
    if (width <= 0 || height <= 0) return true;
    if (!PrepareImage(width, height)) return false;
    for (int32_t row = 0; row < height; ++row) {
      auto* out = reinterpret_cast<uint32_t*>(image_->data + row * image_->bytes_per_line);
      PictureRowToBgrx(source, placement, row, width, out);
      ToVisual(out, width);
    }
    lastErrorCode = 0;
    if (sharedMemory_) {
      shm_.ShmPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, static_cast<unsigned>(width),
                       static_cast<unsigned>(height), False);
    } else {
      x_.PutImage(display_, window_, gc_, image_, 0, 0, 0, 0, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    }
    // The server has read the shared pixels before the next frame rewrites them.
    x_.Sync(display_, False);
    return lastErrorCode == 0;
  }

  bool Read(std::vector<uint32_t>* pixels, int32_t* width, int32_t* height) override {
    std::lock_guard lock(mutex_);
    XWindowAttributes attributes{};
    if (!ReadAttributes(&attributes)) return false;
    XImage* image = x_.GetImage(display_, window_, 0, 0, static_cast<unsigned>(attributes.width),
                                static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    bool readable = image->bits_per_pixel == 32;
    if (readable) {
      *width = attributes.width;
      *height = attributes.height;
      pixels->assign(static_cast<size_t>(*width) * static_cast<size_t>(*height), 0);
      for (int32_t row = 0; row < *height; ++row) {
        const auto* in = reinterpret_cast<const uint32_t*>(image->data + row * image->bytes_per_line);
        uint32_t* out = pixels->data() + static_cast<size_t>(row) * static_cast<size_t>(*width);
        for (int32_t column = 0; column < *width; ++column) out[column] = FromVisual(in[column]);
      }
    }
    XDestroyImage(image);
    return readable;
  }

  void Close() override {
    std::lock_guard lock(mutex_);
    ReleaseImage();
    if (window_ != 0 && !destroyed_) x_.DestroyWindow(display_, window_);
    destroyed_ = true;
    x_.Sync(display_, False);
  }

  unsigned long Xid() const override { return destroyed_ ? 0 : window_; }

 private:
  // A 32-bit true-colour layout with 8-bit channels, as every desktop has.
  bool UsableVisual(Visual* visual) {
    if (visual == nullptr || (depth_ != 24 && depth_ != 32)) return false;
    redShift_ = ChannelShift(visual->red_mask);
    greenShift_ = ChannelShift(visual->green_mask);
    blueShift_ = ChannelShift(visual->blue_mask);
    if (redShift_ < 0 || greenShift_ < 0 || blueShift_ < 0) return false;
    // Bits outside the channels are alpha at depth 32: opaque.
    unsigned long channels = visual->red_mask | visual->green_mask | visual->blue_mask;
    padding_ = depth_ == 32 ? static_cast<uint32_t>(~channels) : 0;
    XImage* probe = x_.CreateImage(display_, visual, static_cast<unsigned>(depth_), ZPixmap, 0,
                                   nullptr, 1, 1, 32, 0);
    if (probe == nullptr) return false;
    bool fits = probe->bits_per_pixel == 32;
    XDestroyImage(probe);
    return fits;
  }

  bool StandardLayout() const {
    return redShift_ == 16 && greenShift_ == 8 && blueShift_ == 0 && padding_ == 0;
  }

  void ToVisual(uint32_t* row, int32_t count) const {
    if (StandardLayout()) return;
    for (int32_t i = 0; i < count; ++i) {
      uint32_t pixel = row[i];
      row[i] = ((pixel & 0xFF) << blueShift_) | (((pixel >> 8) & 0xFF) << greenShift_) |
               (((pixel >> 16) & 0xFF) << redShift_) | padding_;
    }
  }

  uint32_t FromVisual(uint32_t pixel) const {
    return ((pixel >> blueShift_) & 0xFF) | (((pixel >> greenShift_) & 0xFF) << 8) |
           (((pixel >> redShift_) & 0xFF) << 16);
  }

  // Reads the window's attributes after handling what the server sent: a
  // close from the window manager destroys the window, as the default window
  // procedure does; a parent destroyed by the application took it along.
  bool ReadAttributes(XWindowAttributes* attributes) {
    DrainEvents();
    if (destroyed_) return false;
    lastErrorCode = 0;
    Status status = x_.GetWindowAttributes(display_, window_, attributes);
    return status != 0 && lastErrorCode == 0;
  }

  void DrainEvents() {
    while (!destroyed_ && x_.Pending(display_) > 0) {
      XEvent event{};
      x_.NextEvent(display_, &event);
      if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
        destroyed_ = true;
      } else if (event.type == ClientMessage && event.xclient.window == window_ &&
                 static_cast<Atom>(event.xclient.data.l[0]) == deleteAtom_ && deleteAtom_ != 0) {
        x_.DestroyWindow(display_, window_);
        x_.Sync(display_, False);
        destroyed_ = true;
      }
    }
  }

  bool PrepareImage(int32_t width, int32_t height) {
    if (image_ != nullptr && image_->width == width && image_->height == height) return true;
    ReleaseImage();
    if (CreateSharedImage(width, height)) return true;
    image_ = x_.CreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                            static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image_ == nullptr) return false;
    // Our rows are host-order words; Xlib swaps them for a server of the other order.
    image_->byte_order = LSBFirst;
    size_t bytes = static_cast<size_t>(image_->bytes_per_line) * static_cast<size_t>(height);
    image_->data = static_cast<char*>(std::calloc(bytes, 1));
    if (image_->data == nullptr) {
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
    return true;
  }

  // Shared memory only with a server of our byte order on this machine; a
  // refusal (a remote server, another IPC namespace) falls back to the socket.
  bool CreateSharedImage(int32_t width, int32_t height) {
    if (!shmLoaded_ || !sharedMemoryAllowed.load() || ImageByteOrder(display_) != LSBFirst ||
        !shm_.ShmQueryExtension(display_)) {
      return false;
    }
    // The image keeps a pointer to the segment record: it must be the member.
    segment_ = XShmSegmentInfo{};
    XImage* image = shm_.ShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap,
                                        nullptr, &segment_, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height));
    if (image == nullptr) return false;
    size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    segment_.shmid = ::shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment_.shmid < 0) {
      XDestroyImage(image);
      return false;
    }
    void* address = ::shmat(segment_.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
      ::shmctl(segment_.shmid, IPC_RMID, nullptr);
      XDestroyImage(image);
      return false;
    }
    segment_.shmaddr = image->data = static_cast<char*>(address);
    segment_.readOnly = False;
    lastErrorCode = 0;
    bool attached = shm_.ShmAttach(display_, &segment_) != 0;
    x_.Sync(display_, False);
    // Gone from the system as soon as both sides have let go of it.
    ::shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (!attached || lastErrorCode != 0) {
      ::shmdt(address);
      XDestroyImage(image);
      shmLoaded_ = false;  // no second try on this connection
      return false;
    }
    image_ = image;
    sharedMemory_ = true;
    return true;
  }

  void ReleaseImage() {
    if (image_ == nullptr) return;
    if (sharedMemory_) {
      shm_.ShmDetach(display_, &segment_);
      x_.Sync(display_, False);
      XDestroyImage(image_);
      ::shmdt(segment_.shmaddr);
      sharedMemory_ = false;
    } else {
      XDestroyImage(image_);  // frees the pixels too
    }
    image_ = nullptr;
  }

  const XlibCalls& x_;
  const XextCalls& shm_;
  std::mutex mutex_;  // the application's thread and the capture thread
  bool shmLoaded_;
  Display* const display_;
  Window window_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  GC gc_ = nullptr;
  Atom deleteAtom_ = 0;
  bool topLevel_ = false;
  std::atomic<bool> destroyed_{false};  // also read by Xid() on the application thread
  int redShift_ = 16;
  int greenShift_ = 8;
  int blueShift_ = 0;
  uint32_t padding_ = 0;
  XImage* image_ = nullptr;
  bool sharedMemory_ = false;
  XShmSegmentInfo segment_{};
};

Display* OpenDisplay(const X11Libraries& libraries) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  InstallErrorHandler(libraries.x);
  // A server that has not yet taken the connections opened just before this
  // one (each window has its own, and a window made again opens one at once)
  // refuses it with EAGAIN or resets it during the set-up; a moment later it
  // takes it. Any other failure, such as no server, is final at once. Real
  // time, not the replaceable clock: the wait is for another process.
  Display* display = nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    errno = 0;
    display = libraries.x.OpenDisplay(name);
    if (display != nullptr || (errno != EAGAIN && errno != ECONNRESET)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (display != nullptr) Owned().Add(display);
  return display;
}

void CloseDisplay(const X11Libraries& libraries, Display* display) {
  Owned().Remove(display);
  libraries.x.CloseDisplay(display);
}

}  // namespace

bool X11Available() { return Libraries() != nullptr; }

void AllowX11SharedMemory(bool allowed) { sharedMemoryAllowed.store(allowed); }

bool X11ScreenSize(int32_t* width, int32_t* height) {
  X11Libraries* libraries = Libraries();
  if (libraries == nullptr) return false;
  Display* display = OpenDisplay(*libraries);
  if (display == nullptr) return false;
  *width = DisplayWidth(display, DefaultScreen(display));
  *height = DisplayHeight(display, DefaultScreen(display));
  CloseDisplay(*libraries, display);
  return true;
}

std::unique_ptr<DisplayWindow> CreateX11Window(const WindowCreation& creation,
                                               unsigned long parentXid) {
  X11Libraries* libraries = Libraries();
  if (libraries == nullptr) return nullptr;
  Display* display = OpenDisplay(*libraries);
  if (display == nullptr) return nullptr;
  auto window = std::make_unique<X11Window>(*libraries, display);  // closes the display
  if (!window->Open(creation, parentXid)) return nullptr;
  return window;
}

#else  // no X11 headers at build time: no desktop windows

bool X11Available() { return false; }
void AllowX11SharedMemory(bool) {}
bool X11ScreenSize(int32_t*, int32_t*) { return false; }
std::unique_ptr<DisplayWindow> CreateX11Window(const WindowCreation&, unsigned long) {
  return nullptr;
}

#endif

}  // namespace zirvo::platform

#include "gui/x11/x11_frame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <cmath>
#include <cstdlib>

#include "gui/cairo/cairo_draw_context.h"
#include "gui/frame.h"
#include "platform/clock.h"

namespace orv {

namespace x11 {

namespace {

uint64_t errors = 0;

int countError(Display*, XErrorEvent*) {
  ++errors;
  return 0;
}

// Routes X errors to our counter while a call on our connection runs, so a
// host's handler (which may abort) never sees them; then puts the host's back.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display) : display(display), previous(XSetErrorHandler(countError)) {}
  ~ErrorTrap() {
    XSync(display, False);
    XSetErrorHandler(previous);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

 private:
  Display* display;
  int (*previous)(Display*, XErrorEvent*);
};

// Double-clicks: the same button again within this time and distance.
constexpr uint32_t kDoubleClickMs = 400;
constexpr int kDoubleClickPixels = 4;

int32_t modifiers(unsigned int state) {
  int32_t m = 0;
  if (state & ShiftMask) m |= kShift;
  if (state & ControlMask) m |= kControl;
  if (state & Mod1Mask) m |= kAlt;
  return m;
}

int32_t heldButtons(unsigned int state) {
  int32_t b = 0;
  if (state & Button1Mask) b |= kLButton;
  if (state & Button2Mask) b |= kMButton;
  if (state & Button3Mask) b |= kRButton;
  return b;
}

int32_t buttonBit(unsigned int button) {
  switch (button) {
    case Button1: return kLButton;
    case Button2: return kMButton;
    case Button3: return kRButton;
    default: return 0;
  }
}

// An X key event as the host would send it with effEditKeyDown.
vst::VstKeyCode keyCode(XKeyEvent& event) {
  char text[8] = {};
  KeySym sym = NoSymbol;
  const int n = XLookupString(&event, text, sizeof text - 1, &sym, nullptr);
  vst::VstKeyCode key{};
  if (event.state & ShiftMask) key.modifier |= MODIFIER_SHIFT;
  if (event.state & Mod1Mask) key.modifier |= MODIFIER_ALTERNATE;
  if (event.state & ControlMask) key.modifier |= MODIFIER_CONTROL;
  switch (sym) {
    case XK_BackSpace: key.virt = VKEY_BACK; break;
    case XK_Tab: key.virt = VKEY_TAB; break;
    case XK_Return: key.virt = VKEY_RETURN; break;
    case XK_KP_Enter: key.virt = VKEY_ENTER; break;
    case XK_Escape: key.virt = VKEY_ESCAPE; break;
    case XK_space: key.virt = VKEY_SPACE; key.character = ' '; break;
    case XK_End: case XK_KP_End: key.virt = VKEY_END; break;
    case XK_Home: case XK_KP_Home: key.virt = VKEY_HOME; break;
    case XK_Left: case XK_KP_Left: key.virt = VKEY_LEFT; break;
    case XK_Up: case XK_KP_Up: key.virt = VKEY_UP; break;
    case XK_Right: case XK_KP_Right: key.virt = VKEY_RIGHT; break;
    case XK_Down: case XK_KP_Down: key.virt = VKEY_DOWN; break;
    case XK_Page_Up: key.virt = VKEY_PAGEUP; break;
    case XK_Page_Down: key.virt = VKEY_PAGEDOWN; break;
    case XK_Insert: key.virt = VKEY_INSERT; break;
    case XK_Delete: case XK_KP_Delete: key.virt = VKEY_DELETE; break;
    default:
      // Latin-1 keysyms are their code points; others give what XLookupString wrote.
      if (sym >= 0x20 && sym <= 0xff) key.character = static_cast<int32_t>(sym);
      else if (n == 1) key.character = static_cast<unsigned char>(text[0]);
      break;
  }
  return key;
}

class X11Frame : public IPlatformFrame {
 public:
  X11Frame(CFrame* frame, Display* display, Window parent, Window window, Visual* visual)
      : frame(frame), display(display), parent(parent), window(window),
        width(static_cast<int>(frame->getWidth())), height(static_cast<int>(frame->getHeight())) {
    backBuffer = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    // On the usual 24-bit true-colour visuals the back buffer's pixels are the
    // window's: copy them with XPutImage. Other visuals go through cairo's X surface.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) && attributes.depth == 24 && visual->red_mask == 0xff0000 &&
        visual->green_mask == 0xff00 && visual->blue_mask == 0xff &&
        cairo_surface_status(backBuffer) == CAIRO_STATUS_SUCCESS) {
      image = XCreateImage(display, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(cairo_image_surface_get_data(backBuffer)),
                           static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                           cairo_image_surface_get_stride(backBuffer));
      if (image) {
        image->byte_order = LSBFirst;  // cairo's ARGB words in memory on this machine
        image->bitmap_bit_order = LSBFirst;
        XInitImage(image);
        gc = XCreateGC(display, window, 0, nullptr);
      }
    }
    if (!image) windowSurface = cairo_xlib_surface_create(display, window, visual, width, height);
  }

  ~X11Frame() override {
    if (image) {
      image->data = nullptr;  // the back buffer's pixels: cairo frees them
      XDestroyImage(image);
    }
    cairo_surface_destroy(backBuffer);
    if (windowSurface) {
      // Finish cairo's state for this connection before it closes.
      cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(windowSurface));
      cairo_surface_finish(windowSurface);
      cairo_surface_destroy(windowSurface);
      if (device) {
        cairo_device_finish(device);
        cairo_device_destroy(device);
      }
    }
    {
      ErrorTrap trap(display);
      if (gc) XFreeGC(display, gc);
      XDestroyWindow(display, window);
    }
    XCloseDisplay(display);
  }
  X11Frame(const X11Frame&) = delete;
  X11Frame& operator=(const X11Frame&) = delete;

  bool ok() const {
    return (image || cairo_surface_status(windowSurface) == CAIRO_STATUS_SUCCESS) &&
           cairo_surface_status(backBuffer) == CAIRO_STATUS_SUCCESS;
  }

  uintptr_t getNativeHandle() const override { return window; }

  void pumpEvents() override {
    ErrorTrap trap(display);
    // XPending reads what has arrived without waiting.
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      handle(event);
    }
    if (!exposed.isEmpty()) {
      present({exposed});
      exposed = CRect();
    }
  }

  void drawRects(const std::vector<CRect>& rects) override {
    cairo_t* cr = cairo_create(backBuffer);
    {
      cairo_backend::CairoDrawContext context(cr, frame->getViewSize());
      for (const CRect& r : rects) {
        context.setOffset(CPoint{});
        context.setClipRect(r);
        frame->platformDrawRect(&context, r);
      }
    }
    cairo_destroy(cr);
    ErrorTrap trap(display);
    present(rects);
  }

  void takeKeyboardFocus() override {
    ErrorTrap trap(display);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
  }

  void releaseKeyboardFocus() override {
    ErrorTrap trap(display);
    Window focused = 0;
    int revert = 0;
    XGetInputFocus(display, &focused, &revert);
    if (focused == window) XSetInputFocus(display, parent, RevertToParent, CurrentTime);
  }

 private:
  // Copies rectangles of the back buffer to the window.
  void present(const std::vector<CRect>& rects) {
    cairo_surface_flush(backBuffer);
    if (image) {
      for (const CRect& r : rects) {
        CRect b = r;
        b.bound(CRect(0, 0, width, height));
        const int x = static_cast<int>(b.left), y = static_cast<int>(b.top);
        const int w = static_cast<int>(std::ceil(b.right)) - x, h = static_cast<int>(std::ceil(b.bottom)) - y;
        if (w > 0 && h > 0) XPutImage(display, window, gc, image, x, y, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
      }
      XFlush(display);
      return;
    }
    cairo_t* cr = cairo_create(windowSurface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    for (const CRect& r : rects) {
      cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
      cairo_set_source_surface(cr, backBuffer, 0, 0);
      cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(windowSurface);
    XFlush(display);
  }

  void handle(XEvent& event) {
    switch (event.type) {
      case Expose:
        // The back buffer holds the picture: only copy it again.
        exposed.unite(CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                            event.xexpose.y + event.xexpose.height));
        break;
      case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        const CPoint where(b.x, b.y);
        const int32_t mods = modifiers(b.state);
        if (b.button == Button4 || b.button == Button5) {
          frame->platformOnWheel(where, b.button == Button4 ? 1.0f : -1.0f, CButtonState(heldButtons(b.state) | mods));
          break;
        }
        const int32_t bit = buttonBit(b.button);
        if (!bit) break;
        int32_t state = heldButtons(b.state) | bit | mods;
        const uint32_t now = static_cast<uint32_t>(b.time);
        if (bit == lastButton && now - lastPressTime < kDoubleClickMs && std::abs(b.x - lastPressX) <= kDoubleClickPixels &&
            std::abs(b.y - lastPressY) <= kDoubleClickPixels) {
          state |= kDoubleClick;
          lastButton = 0;  // a third press starts anew
        } else {
          lastButton = bit;
        }
        lastPressTime = now;
        lastPressX = b.x;
        lastPressY = b.y;
        frame->platformOnMouseDown(where, CButtonState(state));
        break;
      }
      case ButtonRelease: {
        const XButtonEvent& b = event.xbutton;
        const int32_t bit = buttonBit(b.button);
        if (!bit) break;
        // The state is from before the release: the released button is no longer held.
        frame->platformOnMouseUp(CPoint(b.x, b.y), CButtonState((heldButtons(b.state) & ~bit) | modifiers(b.state)));
        break;
      }
      case MotionNotify: {
        // Of motions in a row only the last matters; never skip past a press or release.
        XEvent next;
        while (XPending(display) > 0 && (XPeekEvent(display, &next), next.type == MotionNotify)) XNextEvent(display, &event);
        const XMotionEvent& m = event.xmotion;
        frame->platformOnMouseMoved(CPoint(m.x, m.y), CButtonState(heldButtons(m.state) | modifiers(m.state)));
        break;
      }
      case EnterNotify:
        frame->platformOnMouseMoved(CPoint(event.xcrossing.x, event.xcrossing.y),
                                    CButtonState(heldButtons(event.xcrossing.state) | modifiers(event.xcrossing.state)));
        break;
      case LeaveNotify:
        frame->platformOnMouseExited(CPoint(event.xcrossing.x, event.xcrossing.y));
        break;
      case KeyPress:
        frame->platformOnKeyDown(keyCode(event.xkey));
        break;
      case KeyRelease:
        frame->platformOnKeyUp(keyCode(event.xkey));
        break;
      case FocusOut:
        // Only a real move of the focus elsewhere ends an edit; taking the
        // focus ourselves reports a pointer-focus change we must ignore.
        if (event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyPointer &&
            event.xfocus.detail != NotifyInferior)
          frame->platformOnFocusLost();
        break;
      default:
        break;
    }
  }

  CFrame* frame;
  Display* display;
  Window parent;
  Window window;
  int width, height;
  cairo_surface_t* windowSurface = nullptr;  // other visuals only
  cairo_surface_t* backBuffer = nullptr;
  XImage* image = nullptr;  // the back buffer's pixels as the window's
  GC gc = nullptr;
  CRect exposed;
  int32_t lastButton = 0;
  uint32_t lastPressTime = 0;
  int lastPressX = 0, lastPressY = 0;
};

}  // namespace

uint64_t errorCount() { return errors; }

std::unique_ptr<IPlatformFrame> createFrame(CFrame* frame, void* parent) {
  const Window parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
  if (parentWindow == 0 || frame->getWidth() < 1 || frame->getHeight() < 1) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  const uint64_t errorsBefore = errors;
  Window window = 0;
  Visual* visual = nullptr;
  {
    ErrorTrap trap(display);
    XWindowAttributes parentAttributes;
    if (XGetWindowAttributes(display, parentWindow, &parentAttributes)) {
      XSetWindowAttributes attributes{};
      // No background: the window shows only what we copy into it, without flicker.
      attributes.background_pixmap = None;
      attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                              EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;
      window = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(frame->getWidth()),
                             static_cast<unsigned>(frame->getHeight()), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
      visual = parentAttributes.visual;
    }
  }
  if (errors != errorsBefore || window == 0) {
    if (window != 0) {
      ErrorTrap trap(display);
      XDestroyWindow(display, window);
    }
    XCloseDisplay(display);
    return nullptr;
  }
  auto result = std::make_unique<X11Frame>(frame, display, parentWindow, window, visual);
  if (!result->ok()) return nullptr;
  {
    ErrorTrap trap(display);
    XMapWindow(display, window);
  }
  return result;
}

}  // namespace x11

std::unique_ptr<IPlatformFrame> createDefaultPlatformFrame(CFrame* frame, void* parent) {
  return x11::createFrame(frame, parent);
}

}  // namespace orv

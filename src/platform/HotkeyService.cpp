#include "platform/HotkeyService.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace vuko {

namespace {

// Carbon's status when the event system itself cannot serve the call; here,
// when there is no X display to grab keys on.
constexpr HotkeyService::OSStatus eventInternalErr = -9868;

// Carbon virtual key codes (ANSI layout) → the keysyms on those keys.
const std::map<std::uint32_t, KeySym>& keysyms() {
  static const std::map<std::uint32_t, KeySym> table = {
      {0, XK_a},
      {11, XK_b},
      {8, XK_c},
      {2, XK_d},
      {14, XK_e},
      {3, XK_f},
      {5, XK_g},
      {4, XK_h},
      {34, XK_i},
      {38, XK_j},
      {40, XK_k},
      {37, XK_l},
      {46, XK_m},
      {45, XK_n},
      {31, XK_o},
      {35, XK_p},
      {12, XK_q},
      {15, XK_r},
      {1, XK_s},
      {17, XK_t},
      {32, XK_u},
      {9, XK_v},
      {13, XK_w},
      {7, XK_x},
      {16, XK_y},
      {6, XK_z},
      {29, XK_0},
      {18, XK_1},
      {19, XK_2},
      {20, XK_3},
      {21, XK_4},
      {23, XK_5},
      {22, XK_6},
      {26, XK_7},
      {28, XK_8},
      {25, XK_9},
      {49, XK_space},
      {36, XK_Return},
      {48, XK_Tab},
      {53, XK_Escape},
      {51, XK_BackSpace},
      {117, XK_Delete},
      {44, XK_slash},
      {42, XK_backslash},
      {47, XK_period},
      {43, XK_comma},
      {41, XK_semicolon},
      {39, XK_apostrophe},
      {33, XK_bracketleft},
      {30, XK_bracketright},
      {27, XK_minus},
      {24, XK_equal},
      {50, XK_grave},
      {126, XK_Up},
      {125, XK_Down},
      {123, XK_Left},
      {124, XK_Right},
      {122, XK_F1},
      {120, XK_F2},
      {99, XK_F3},
      {118, XK_F4},
      {96, XK_F5},
      {97, XK_F6},
      {98, XK_F7},
      {100, XK_F8},
      {101, XK_F9},
      {109, XK_F10},
      {103, XK_F11},
      {111, XK_F12},
  };
  return table;
}

constexpr std::uint32_t carbonControl = 0x1000;
constexpr std::uint32_t carbonOption = 0x0800;
constexpr std::uint32_t carbonShift = 0x0200;
constexpr std::uint32_t carbonCommand = 0x0100;

constexpr unsigned realModifiers =
    ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

// Which modifier bits the keyboard's lock and Alt/Super keys sit on; they
// differ between servers, so they are read from the modifier mapping.
struct ModifierBits {
  unsigned numLock = 0;
  unsigned scrollLock = 0;
  unsigned alt = 0;
  unsigned super = 0;
};

ModifierBits modifierBits(Display* dpy) {
  ModifierBits bits;
  XModifierKeymap* map = XGetModifierMapping(dpy);
  if (!map) return bits;
  for (int mod = 0; mod < 8; ++mod) {
    for (int k = 0; k < map->max_keypermod; ++k) {
      KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
      if (!code) continue;
      KeySym sym = XkbKeycodeToKeysym(dpy, code, 0, 0);
      unsigned mask = 1u << mod;
      if (sym == XK_Num_Lock) bits.numLock |= mask;
      if (sym == XK_Scroll_Lock) bits.scrollLock |= mask;
      if ((sym == XK_Alt_L || sym == XK_Alt_R) && !bits.alt) bits.alt = mask;
      if ((sym == XK_Super_L || sym == XK_Super_R) && !bits.super) bits.super = mask;
    }
  }
  XFreeModifiermap(map);
  // Alt and Super live on Mod1 and Mod4 on nearly every server.
  if (!bits.alt) bits.alt = Mod1Mask;
  if (!bits.super) bits.super = Mod4Mask;
  return bits;
}

struct Grab {
  KeyCode keycode;
  unsigned modifiers;
  // Lock modifiers the grab was made with, ignored when matching a press.
  unsigned locks;
  std::vector<unsigned> variants;
  std::uint32_t number;
};

std::shared_ptr<HotkeyService>& sharedService() {
  static std::shared_ptr<HotkeyService> service;
  return service;
}

}  // namespace

std::shared_ptr<HotkeyService> HotkeyService::shared() {
  auto& service = sharedService();
  if (!service) service = std::make_shared<X11HotkeyService>();
  return service;
}

void HotkeyService::setShared(std::shared_ptr<HotkeyService> service) {
  sharedService() = std::move(service);
}

struct X11HotkeyService::Impl {
  GdkDisplay* display = nullptr;
  GdkWindow* root = nullptr;
  Handler handler;
  std::map<Ref, Grab> grabs;
  Ref next = 1;

  ~Impl() {
    if (!display) return;
    if (!gdk_display_is_closed(display)) {
      for (auto& [ref, grab] : grabs) ungrab(grab, grab.variants);
      gdk_window_remove_filter(root, &Impl::filter, this);
    }
    g_object_unref(display);
  }

  // The display is looked up on first use: the shared service may be made
  // before the toolkit is initialised.
  bool bind() {
    if (display) return !gdk_display_is_closed(display);
    GdkDisplay* d = gdk_display_get_default();
    if (!d || !GDK_IS_X11_DISPLAY(d)) return false;
    display = GDK_DISPLAY(g_object_ref(d));
    root = gdk_screen_get_root_window(gdk_display_get_default_screen(display));
    gdk_window_add_filter(root, &Impl::filter, this);
    return true;
  }

  Display* xdisplay() const { return gdk_x11_display_get_xdisplay(display); }

  void ungrab(const Grab& grab, const std::vector<unsigned>& variants) {
    gdk_x11_display_error_trap_push(display);
    for (unsigned v : variants)
      XUngrabKey(xdisplay(), grab.keycode, grab.modifiers | v, gdk_x11_window_get_xid(root));
    // A round trip, so that the keys are free for other clients as soon as
    // this returns.
    XSync(xdisplay(), False);
    gdk_x11_display_error_trap_pop_ignored(display);
  }

  static GdkFilterReturn filter(GdkXEvent* xevent, GdkEvent*, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    auto* event = static_cast<XEvent*>(xevent);
    if (event->type != KeyPress) return GDK_FILTER_CONTINUE;
    for (auto& [ref, grab] : self->grabs) {
      unsigned state = event->xkey.state & realModifiers & ~(grab.locks | LockMask);
      if (grab.keycode != event->xkey.keycode || grab.modifiers != state) continue;
      // Copies: the handler may change the grabs or itself.
      auto number = grab.number;
      if (auto handler = self->handler) handler(number, std::uint32_t(event->xkey.time));
      return GDK_FILTER_REMOVE;
    }
    return GDK_FILTER_CONTINUE;
  }
};

X11HotkeyService::X11HotkeyService() : impl_(std::make_unique<Impl>()) {}
X11HotkeyService::~X11HotkeyService() = default;

HotkeyService::Registration X11HotkeyService::registerHotKey(std::uint32_t keyCode,
                                                             std::uint32_t modifiers,
                                                             std::uint32_t /*signature*/,
                                                             std::uint32_t number) {
  if (!impl_->bind()) return {eventInternalErr, 0};
  auto sym = keysym(keyCode);
  if (!sym) return {paramErr, 0};
  if (modifiers & ~(carbonControl | carbonOption | carbonShift | carbonCommand))
    return {paramErr, 0};
  Display* dpy = impl_->xdisplay();
  KeyCode keycode = XKeysymToKeycode(dpy, *sym);
  if (!keycode) return {paramErr, 0};

  ModifierBits bits = modifierBits(dpy);
  unsigned mods =
      (modifiers & carbonControl ? ControlMask : 0) | (modifiers & carbonOption ? bits.alt : 0) |
      (modifiers & carbonShift ? ShiftMask : 0) | (modifiers & carbonCommand ? bits.super : 0);
  // Carbon refuses a combination the process holds already; X would quietly
  // let this client grab it twice.
  for (auto& [ref, grab] : impl_->grabs)
    if (grab.keycode == keycode && grab.modifiers == mods) return {eventHotKeyExistsErr, 0};

  // The grab must match whatever lock keys happen to be on.
  Grab grab{keycode, mods, bits.numLock | bits.scrollLock, {}, number};
  std::set<unsigned> variants;
  for (unsigned caps : {0u, unsigned(LockMask)})
    for (unsigned num : {0u, bits.numLock})
      for (unsigned scroll : {0u, bits.scrollLock}) variants.insert(caps | num | scroll);

  Window root = gdk_x11_window_get_xid(impl_->root);
  for (unsigned v : variants) {
    // Each variant is trapped on its own so that a refusal (BadAccess: another
    // client holds the combination) undoes exactly what succeeded.
    gdk_x11_display_error_trap_push(impl_->display);
    XGrabKey(dpy, keycode, mods | v, root, False, GrabModeAsync, GrabModeAsync);
    int error = gdk_x11_display_error_trap_pop(impl_->display);
    if (error) {
      impl_->ungrab(grab, grab.variants);
      return {error == BadAccess ? eventHotKeyExistsErr : paramErr, 0};
    }
    grab.variants.push_back(v);
  }
  Ref ref = impl_->next++;
  impl_->grabs.emplace(ref, std::move(grab));
  return {noErr, ref};
}

std::optional<std::uint32_t> X11HotkeyService::keysym(std::uint32_t keyCode) {
  auto it = keysyms().find(keyCode);
  if (it == keysyms().end()) return std::nullopt;
  return static_cast<std::uint32_t>(it->second);
}

HotkeyService::OSStatus X11HotkeyService::unregisterHotKey(Ref ref) {
  auto it = impl_->grabs.find(ref);
  if (it == impl_->grabs.end()) return eventHotKeyInvalidErr;
  if (impl_->bind()) impl_->ungrab(it->second, it->second.variants);
  impl_->grabs.erase(it);
  return noErr;
}

void X11HotkeyService::setHandler(Handler handler) {
  impl_->handler = std::move(handler);
}

}  // namespace vuko

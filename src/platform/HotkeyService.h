// System-wide hot keys in the shape of the Carbon hot-key calls: a
// combination is a Carbon virtual key code with a Carbon modifier mask,
// registered under a (signature, number) identifier; a press reaches the one
// installed handler with that number, on the main loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace vuko {

class HotkeyService {
 public:
  using Ref = std::uint64_t;
  using OSStatus = std::int32_t;
  // eventTime is the window system's time stamp of the key press (0 when
  // unknown): a window shown in answer needs it to take the focus from
  // another application.
  using Handler = std::function<void(std::uint32_t number, std::uint32_t eventTime)>;

  // Carbon status values.
  static constexpr OSStatus noErr = 0;
  static constexpr OSStatus paramErr = -50;
  static constexpr OSStatus eventHotKeyExistsErr = -9878;
  static constexpr OSStatus eventHotKeyInvalidErr = -9879;

  // ref is non-zero exactly when status is noErr.
  struct Registration {
    OSStatus status = paramErr;
    Ref ref = 0;
  };

  virtual ~HotkeyService() = default;

  virtual Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                      std::uint32_t signature, std::uint32_t number) = 0;
  virtual OSStatus unregisterHotKey(Ref ref) = 0;
  // Replaces the handler; presses arrive only while one is set.
  virtual void setHandler(Handler handler) = 0;

  // The service the client uses (global key grabs on the X display); tests
  // replace it.
  static std::shared_ptr<HotkeyService> shared();
  static void setShared(std::shared_ptr<HotkeyService> service);
};

// Key grabs on the root window of the default GDK display. Without an X11
// display every registration fails with a non-zero status. Destroying the
// service releases its grabs.
class X11HotkeyService final : public HotkeyService {
 public:
  X11HotkeyService();
  ~X11HotkeyService() override;
  X11HotkeyService(const X11HotkeyService&) = delete;
  X11HotkeyService& operator=(const X11HotkeyService&) = delete;

  Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                              std::uint32_t signature, std::uint32_t number) override;
  OSStatus unregisterHotKey(Ref ref) override;
  void setHandler(Handler handler) override;

  // The X keysym on the key with this Carbon key code; absent for a code the
  // service cannot grab.
  static std::optional<std::uint32_t> keysym(std::uint32_t keyCode);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vuko

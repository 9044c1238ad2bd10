// A hot-key service that records what is registered and lets a test press a
// number as the platform would, or refuse chosen combinations.
#pragma once

#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "platform/HotkeyService.h"

namespace vuko::test {

class RecordingHotkeyService final : public HotkeyService {
 public:
  // A registration as (number, key code, modifiers).
  using Key = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;

  Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t,
                              std::uint32_t number) override {
    if (refused.count({keyCode, modifiers})) return {eventHotKeyExistsErr, 0};
    live[next_] = Key{number, keyCode, modifiers};
    return {noErr, next_++};
  }

  OSStatus unregisterHotKey(Ref ref) override {
    ++unregisterCalls;
    return live.erase(ref) ? noErr : eventHotKeyInvalidErr;
  }

  void setHandler(Handler h) override { handler = std::move(h); }

  // What a press of a registered combination does.
  void press(std::uint32_t number, std::uint32_t eventTime = 0) {
    if (handler) handler(number, eventTime);
  }

  std::multiset<Key> keys() const {
    std::multiset<Key> out;
    for (const auto& [ref, key] : live) out.insert(key);
    return out;
  }
  std::multiset<std::uint32_t> numbers() const {
    std::multiset<std::uint32_t> out;
    for (const auto& [ref, key] : live) out.insert(std::get<0>(key));
    return out;
  }

  std::map<Ref, Key> live;
  // (key code, modifiers) pairs that another program holds.
  std::set<std::pair<std::uint32_t, std::uint32_t>> refused;
  Handler handler;
  int unregisterCalls = 0;

 private:
  Ref next_ = 1;
};

}  // namespace vuko::test

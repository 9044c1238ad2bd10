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
  struct Entry {
    std::uint32_t keyCode, modifiers, signature, number;
  };
  using Key = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;

  Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                              std::uint32_t signature, std::uint32_t number) override {
    if (refused.count({keyCode, modifiers})) return {eventHotKeyExistsErr, 0};
    Ref ref = next_++;
    live[ref] = Entry{keyCode, modifiers, signature, number};
    return {noErr, ref};
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

  std::multiset<std::uint32_t> numbers() const {
    std::multiset<std::uint32_t> out;
    for (const auto& [ref, e] : live) out.insert(e.number);
    return out;
  }
  // Each live registration as (number, key code, modifiers).
  std::multiset<Key> keys() const {
    std::multiset<Key> out;
    for (const auto& [ref, e] : live) out.emplace(e.number, e.keyCode, e.modifiers);
    return out;
  }

  std::map<Ref, Entry> live;
  // (key code, modifiers) pairs that another program holds.
  std::set<std::pair<std::uint32_t, std::uint32_t>> refused;
  Handler handler;
  int unregisterCalls = 0;

 private:
  Ref next_ = 1;
};

}  // namespace vuko::test

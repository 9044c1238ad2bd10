// Messages a page posts to the "vuko" handler, as the JSON they arrive as.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "Check.h"
#include "hotkeys/GlobalCombo.h"
#include "web/Bridge.h"

using nlohmann::json;
using vuko::GlobalCombo;

namespace {

void checkCombo(const json& value) {
  auto combo = GlobalCombo::fromJson(value);
  if (!combo) return;
  json encoded = combo->toJson();
  FUZZ_CHECK(encoded.size() == 5, "a combination encodes to five members");
  auto again = GlobalCombo::fromJson(encoded);
  FUZZ_CHECK(again && *again == *combo, "a decoded combination re-encodes to itself");
  FUZZ_CHECK(again->toJson() == encoded, "encoding is stable");
  (void)combo->carbonKey();
  (void)combo->carbonMods();
  (void)combo->title();
  if (auto key = combo->menuKey()) FUZZ_CHECK(!key->key.empty(), "a menu key has a key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  json value = json::parse(data, data + size, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) return 0;

  checkCombo(value);
  if (value.is_object())
    if (auto it = value.find("combo"); it != value.end()) checkCombo(*it);

  if (auto normal = vuko::Bridge::normalizeCombo(value)) {
    auto combo = GlobalCombo::fromJson(*normal);
    FUZZ_CHECK(combo.has_value(), "a normalised combination decodes");
    FUZZ_CHECK(combo->toJson() == *normal, "a normalised combination re-encodes to itself");
  }

  auto message = vuko::Bridge::parse(value);
  if (!message) return 0;
  using Type = vuko::Bridge::Message::Type;
  FUZZ_CHECK(value.is_object() && value["type"].is_string(), "only typed objects are messages");
  if (message->type == Type::setGlobalHotkey) {
    FUZZ_CHECK(message->id.has_value(), "setGlobalHotkey always names its id");
    if (message->combo) {
      auto combo = GlobalCombo::fromJson(*message->combo);
      FUZZ_CHECK(combo && combo->toJson() == *message->combo,
                 "the message's combination is strict");
    }
  } else {
    FUZZ_CHECK(!message->id && !message->combo, "only setGlobalHotkey carries a combination");
  }
  if (message->type != Type::notify)
    FUZZ_CHECK(message->title.empty() && message->body.empty(), "only notify carries texts");

  std::map<std::string, std::optional<GlobalCombo>> all;
  if (message->id)
    all[*message->id] = message->combo ? GlobalCombo::fromJson(*message->combo) : std::nullopt;
  json list = vuko::Bridge::hotkeyList(all, nullptr);
  FUZZ_CHECK(list.is_object() && list.size() == all.size(), "one entry per hot key");
  auto script = vuko::Bridge::hotkeysScript(list);
  if (script) FUZZ_CHECK(script->find("__vukoMacHotkeys(") != std::string::npos, "a push");
  return 0;
}

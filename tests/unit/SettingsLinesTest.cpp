#include <gtest/gtest.h>

#include <map>

#include "platform/Defaults.h"
#include "server/Settings.h"
#include "settings/SettingsLines.h"

using namespace vuko;

namespace {

enum class Mode { unknown, system, own, off };

GlobalCombo combo(const char* code, bool ctrl, bool alt) {
  GlobalCombo c;
  c.code = code;
  c.ctrl = ctrl;
  c.alt = alt;
  return c;
}

}  // namespace

TEST(SettingsLinesTest, ServerLineNamesPublicOrOwnServer) {
  Defaults::setStandard(std::make_shared<MemoryDefaults>());
  unsetenv("VUKO_TEST_SERVER");
  Settings::resetTestOverride();
  EXPECT_EQ(SettingsLines::server(), "Общий сервер «Vuko» — app.vuko.example");
  Settings::setServer(*Url::parse("http://localhost:5300"));
  EXPECT_EQ(SettingsLines::server(), "Свой сервер — http://localhost:5300");
}

TEST(SettingsLinesTest, HotkeyLineInItsFixedOrderWithWordsForMissingKeys) {
  std::map<std::string, GlobalCombo> set{{"quick", combo("Space", true, true)},
                                         {"focus", combo("KeyP", true, true)}};
  auto lookup = [&](const std::string& id) -> std::optional<GlobalCombo> {
    auto it = set.find(id);
    if (it == set.end()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(SettingsLines::hotkeys(lookup),
            "Быстрая задача: ⌃⌥Пробел · помодоро: ⌃⌥P · окно: не задано");
  set = {{"show", combo("KeyV", true, false)}};
  EXPECT_EQ(SettingsLines::hotkeys(lookup),
            "Быстрая задача: выключено · помодоро: выключено · окно: ⌃V");
  EXPECT_EQ(SettingsLines::hotkeys(nullptr), "");
}

TEST(SettingsLinesTest, NotifyLineFollowsTheDeliveryMode) {
  EXPECT_EQ(SettingsLines::notify(Mode::unknown), "Проверяем…");
  EXPECT_EQ(SettingsLines::notify(Mode::system),
            "Приходят как обычные системные уведомления — и при закрытом окне");
  EXPECT_EQ(SettingsLines::notify(Mode::own),
            "Рабочий стол не показывает уведомления программ — показываем своим окошком в углу "
            "экрана");
  EXPECT_EQ(SettingsLines::notify(Mode::off),
            "Выключены в настройках рабочего стола — включите, чтобы получать напоминания");
}

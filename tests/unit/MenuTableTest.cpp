#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MenuTable.h"
#include "app/Zoom.h"

using namespace vuko;
using namespace vuko::menus;

namespace {

// One row as "title | action | accelerator | target [flags]"; a separator
// as "—". The accelerator is what the desktop binds, so the key map is
// checked along with the table.
std::string describe(const Item& i) {
  if (i.separator) return "—";
  std::string out = i.title + " | " + i.action + " | " + accelerator(i) + " | " +
                    (i.target == Target::delegate ? "delegate" : "responder");
  if (!i.enabled) out += " off";
  if (i.follows == Follows::quick) out += " quick";
  if (i.follows == Follows::focus) out += " focus";
  return out;
}

std::vector<std::string> describe(const std::vector<Item>& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(describe(i));
  return out;
}

}  // namespace

TEST(MenuTableTest, MainMenuRowsInOrder) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected{
      {"Vuko",
       {"О программе «Vuko» | about |  | delegate", "—",
        "Настройки… | openSettings | <Primary>comma | delegate",
        "Сервер… | chooseServerMenu |  | delegate", "—",
        "Скрыть «Vuko» | hide: | <Primary>h | responder",
        "Скрыть остальные | hideOtherApplications: | <Primary><Alt>h | responder off",
        "Показать все | unhideAllApplications: |  | responder off", "—",
        "Выйти из «Vuko» | terminate: | <Primary>q | responder"}},
      {"Задача",
       {"Новая задача | newTask | <Primary>n | delegate",
        "Быстрая задача из любой программы | quickTask |  | delegate quick",
        "Командная строка | palette | <Primary>k | delegate", "—",
        "Помодоро поверх всех окон | toggleMini |  | delegate focus"}},
      {"Правка",
       {"Отменить | undo: | <Primary>z | responder",
        "Повторить | redo: | <Primary><Shift>z | responder", "—",
        "Вырезать | cut: | <Primary>x | responder", "Скопировать | copy: | <Primary>c | responder",
        "Вставить | paste: | <Primary>v | responder",
        "Выбрать все | selectAll: | <Primary>a | responder"}},
      {"Перейти",
       {"Сегодня | goToday | <Primary>1 | delegate", "Входящие | goInbox | <Primary>2 | delegate",
        "7 дней | goWeek | <Primary>3 | delegate", "Календарь | goCalendar | <Primary>4 | delegate",
        "Фокус | goFocus | <Primary>5 | delegate", "—",
        "Назад | back | <Primary>bracketleft | delegate",
        "Вперёд | forward | <Primary>bracketright | delegate"}},
      {"Вид",
       {"Обновить | reload | <Primary>r | delegate", "—",
        "Крупнее | zoomIn | <Primary>plus | delegate",
        "Мельче | zoomOut | <Primary>minus | delegate",
        "Обычный размер | zoomReset | <Primary>0 | delegate", "—",
        "Во весь экран | toggleFullScreen: | F11 | responder"}},
      {"Окно",
       {"Свернуть | performMiniaturize: | <Primary>m | responder",
        "Закрыть окно | performClose: | <Primary>w | responder", "—",
        "Главное окно «Vuko» | openMain | <Primary><Alt>0 | delegate"}},
  };
  const auto& menus = mainMenu();
  ASSERT_EQ(menus.size(), expected.size());
  for (size_t i = 0; i < menus.size(); ++i) {
    EXPECT_EQ(menus[i].title, expected[i].first);
    EXPECT_EQ(describe(menus[i].items), expected[i].second) << menus[i].title;
  }
}

TEST(MenuTableTest, StatusMenuHasNoKeysAndOnlyQuitGoesToTheApplication) {
  EXPECT_EQ(describe(statusMenu()),
            (std::vector<std::string>{
                "Быстрая задача… | quickTask |  | delegate quick",
                "Помодоро поверх всех окон | toggleMini |  | delegate focus",
                "—",
                "Открыть «Vuko» | openMain |  | delegate",
                "Сегодня | goToday |  | delegate",
                "Входящие | goInbox |  | delegate",
                "Фокус | goFocus |  | delegate",
                "—",
                "Настройки… | openSettings |  | delegate",
                "Выйти из «Vuko» | terminate: |  | responder",
            }));
}

TEST(MenuTableTest, FollowedKeysKeepTheCombinationsOwnModifiers) {
  struct Case {
    std::optional<GlobalCombo> combo;
    std::string accel;
  } cases[] = {
      {GlobalCombo("Space", true, true), "<Control><Alt>space"},
      {GlobalCombo("KeyK", false, false, true, true), "<Shift><Super>k"},
      {GlobalCombo("Digit7", true, false), "<Control>7"},
      // A hot key that is off, a key no menu can show, a bare Space.
      {std::nullopt, ""},
      {GlobalCombo("F5", true, true), ""},
      {GlobalCombo("Space", false, false, true), ""},
      // A letter without Ctrl, Alt or Super stays the page's typing.
      {GlobalCombo("KeyA", false, false), ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(accelerator(followedKey(c.combo)), c.accel)
        << (c.combo ? c.combo->toJson().dump() : "off");
}

TEST(MenuTableTest, ZoomStopsAtItsBounds) {
  EXPECT_DOUBLE_EQ(zoom::in(1.95), 2.0);
  EXPECT_DOUBLE_EQ(zoom::in(zoom::in(1.95)), 2.0);
  EXPECT_NEAR(zoom::in(1.0), 1.1, 1e-9);
  double z = 1.0;
  for (int i = 0; i < 10; ++i) z = zoom::out(z);
  EXPECT_DOUBLE_EQ(z, 0.6);
  EXPECT_NEAR(zoom::out(0.75), 0.65, 1e-9);
}

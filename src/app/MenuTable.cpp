#include "app/MenuTable.h"

#include <map>

namespace vuko::menus {

namespace {

Item item(std::string title, std::string action, std::string key = "", unsigned modifiers = 0,
          Target target = Target::delegate) {
  Item i;
  i.title = std::move(title);
  i.action = std::move(action);
  i.key = std::move(key);
  i.modifiers = modifiers;
  i.target = target;
  return i;
}

Item responder(std::string title, std::string action, std::string key = "",
               unsigned modifiers = 0) {
  return item(std::move(title), std::move(action), std::move(key), modifiers,
              Target::firstResponder);
}

Item following(std::string title, std::string action, Follows follows) {
  Item i = item(std::move(title), std::move(action));
  i.follows = follows;
  return i;
}

Item disabled(Item i) {
  i.enabled = false;
  return i;
}

Item separator() {
  Item i;
  i.separator = true;
  return i;
}

}  // namespace

const std::vector<Menu>& mainMenu() {
  static const std::vector<Menu> menus{
      {"Vuko",
       {
           item("О программе «Vuko»", "about"),
           separator(),
           item("Настройки…", "openSettings", ",", command),
           item("Сервер…", "chooseServerMenu"),
           separator(),
           responder("Скрыть «Vuko»", "hide:", "h", command),
           // Hiding or showing other programs' windows is not the business
           // of one program on this desktop.
           disabled(responder("Скрыть остальные", "hideOtherApplications:", "h", command | option)),
           disabled(responder("Показать все", "unhideAllApplications:")),
           separator(),
           responder("Выйти из «Vuko»", kTerminate, "q", command),
       }},
      {"Задача",
       {
           item("Новая задача", "newTask", "n", command),
           following("Быстрая задача из любой программы", "quickTask", Follows::quick),
           item("Командная строка", "palette", "k", command),
           separator(),
           following("Помодоро поверх всех окон", "toggleMini", Follows::focus),
       }},
      {"Правка",
       {
           responder("Отменить", "undo:", "z", command),
           responder("Повторить", "redo:", "z", command | shift),
           separator(),
           responder("Вырезать", "cut:", "x", command),
           responder("Скопировать", "copy:", "c", command),
           responder("Вставить", "paste:", "v", command),
           responder("Выбрать все", "selectAll:", "a", command),
       }},
      {"Перейти",
       {
           item("Сегодня", "goToday", "1", command),
           item("Входящие", "goInbox", "2", command),
           item("7 дней", "goWeek", "3", command),
           item("Календарь", "goCalendar", "4", command),
           item("Фокус", "goFocus", "5", command),
           separator(),
           item("Назад", "back", "[", command),
           item("Вперёд", "forward", "]", command),
       }},
      {"Вид",
       {
           item("Обновить", "reload", "r", command),
           separator(),
           item("Крупнее", "zoomIn", "+", command),
           item("Мельче", "zoomOut", "-", command),
           item("Обычный размер", "zoomReset", "0", command),
           separator(),
           responder("Во весь экран", "toggleFullScreen:", "f", command | control),
       }},
      {"Окно",
       {
           responder("Свернуть", "performMiniaturize:", "m", command),
           responder("Закрыть окно", "performClose:", "w", command),
           separator(),
           item("Главное окно «Vuko»", "openMain", "0", command | option),
       }},
  };
  return menus;
}

const std::vector<Item>& statusMenu() {
  static const std::vector<Item> items{
      following("Быстрая задача…", "quickTask", Follows::quick),
      following("Помодоро поверх всех окон", "toggleMini", Follows::focus),
      separator(),
      item("Открыть «Vuko»", "openMain"),
      item("Сегодня", "goToday"),
      item("Входящие", "goInbox"),
      item("Фокус", "goFocus"),
      separator(),
      item("Настройки…", "openSettings"),
      // Every other status item targets the delegate; quitting goes to the
      // application itself.
      responder("Выйти из «Vuko»", kTerminate),
  };
  return items;
}

namespace {

std::string keyName(const std::string& key) {
  static const std::map<std::string, std::string> names{
      {",", "comma"}, {"[", "bracketleft"}, {"]", "bracketright"}, {"+", "plus"},
      {"-", "minus"}, {" ", "space"},       {"=", "equal"},
  };
  auto it = names.find(key);
  return it != names.end() ? it->second : key;
}

}  // namespace

std::string accelerator(const Item& i) {
  if (i.separator || i.key.empty()) return {};
  if (i.action == "toggleFullScreen:") return "F11";
  std::string out;
  if (i.modifiers & control) out += "<Control>";
  if (i.modifiers & command) out += "<Primary>";
  if (i.modifiers & option) out += "<Alt>";
  if (i.modifiers & shift) out += "<Shift>";
  return out + keyName(i.key);
}

std::string accelerator(const std::optional<GlobalCombo::MenuKey>& key) {
  if (!key || key->key.empty()) return {};
  std::string out;
  if (key->flags & GlobalCombo::menuControl) out += "<Control>";
  if (key->flags & GlobalCombo::menuOption) out += "<Alt>";
  if (key->flags & GlobalCombo::menuShift) out += "<Shift>";
  if (key->flags & GlobalCombo::menuCommand) out += "<Super>";
  return out + keyName(key->key);
}

std::optional<GlobalCombo::MenuKey> followedKey(const std::optional<GlobalCombo>& combo) {
  if (!combo) return std::nullopt;
  return combo->menuKey();
}

}  // namespace vuko::menus

#include "app/MenuTable.h"

#include <map>

namespace vuko::menus {

namespace {

Item item(std::string title, MenuAction action, std::string key = "", unsigned modifiers = 0,
          Target target = Target::delegate) {
  Item i;
  i.title = std::move(title);
  i.action = action;
  i.key = std::move(key);
  i.modifiers = modifiers;
  i.target = target;
  return i;
}

Item responder(std::string title, MenuAction action, std::string key = "", unsigned modifiers = 0) {
  return item(std::move(title), action, std::move(key), modifiers, Target::firstResponder);
}

Item following(std::string title, MenuAction action, Follows follows) {
  Item i = item(std::move(title), action);
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
           item("О программе «Vuko»", MenuAction::about),
           separator(),
           item("Настройки…", MenuAction::openSettings, ",", command),
           item("Сервер…", MenuAction::chooseServer),
           separator(),
           responder("Скрыть «Vuko»", MenuAction::hide, "h", command),
           // Hiding or showing other programs' windows is not the business
           // of one program on this desktop.
           disabled(responder("Скрыть остальные", MenuAction::hideOthers, "h", command | option)),
           disabled(responder("Показать все", MenuAction::unhideAll)),
           separator(),
           responder("Выйти из «Vuko»", MenuAction::terminate, "q", command),
       }},
      {"Задача",
       {
           item("Новая задача", MenuAction::newTask, "n", command),
           following("Быстрая задача из любой программы", MenuAction::quickTask, Follows::quick),
           item("Командная строка", MenuAction::palette, "k", command),
           separator(),
           following("Помодоро поверх всех окон", MenuAction::toggleMini, Follows::focus),
       }},
      {"Правка",
       {
           responder("Отменить", MenuAction::undo, "z", command),
           responder("Повторить", MenuAction::redo, "z", command | shift),
           separator(),
           responder("Вырезать", MenuAction::cut, "x", command),
           responder("Скопировать", MenuAction::copy, "c", command),
           responder("Вставить", MenuAction::paste, "v", command),
           responder("Выбрать все", MenuAction::selectAll, "a", command),
       }},
      {"Перейти",
       {
           item("Сегодня", MenuAction::goToday, "1", command),
           item("Входящие", MenuAction::goInbox, "2", command),
           item("7 дней", MenuAction::goWeek, "3", command),
           item("Календарь", MenuAction::goCalendar, "4", command),
           item("Фокус", MenuAction::goFocus, "5", command),
           separator(),
           item("Назад", MenuAction::back, "[", command),
           item("Вперёд", MenuAction::forward, "]", command),
       }},
      {"Вид",
       {
           item("Обновить", MenuAction::reload, "r", command),
           separator(),
           item("Крупнее", MenuAction::zoomIn, "+", command),
           item("Мельче", MenuAction::zoomOut, "-", command),
           item("Обычный размер", MenuAction::zoomReset, "0", command),
           separator(),
           responder("Во весь экран", MenuAction::toggleFullScreen, "f", command | control),
       }},
      {"Окно",
       {
           responder("Свернуть", MenuAction::minimize, "m", command),
           responder("Закрыть окно", MenuAction::closeWindow, "w", command),
           separator(),
           item("Главное окно «Vuko»", MenuAction::openMain, "0", command | option),
       }},
  };
  return menus;
}

const std::vector<Item>& statusMenu() {
  static const std::vector<Item> items{
      following("Быстрая задача…", MenuAction::quickTask, Follows::quick),
      following("Помодоро поверх всех окон", MenuAction::toggleMini, Follows::focus),
      separator(),
      item("Открыть «Vuko»", MenuAction::openMain),
      item("Сегодня", MenuAction::goToday),
      item("Входящие", MenuAction::goInbox),
      item("Фокус", MenuAction::goFocus),
      separator(),
      item("Настройки…", MenuAction::openSettings),
      // Every other status item targets the delegate; quitting goes to the
      // application itself.
      responder("Выйти из «Vuko»", MenuAction::terminate),
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
  if (i.action == MenuAction::toggleFullScreen) return "F11";
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

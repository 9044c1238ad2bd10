// The words of user-facing texts that name the operating system, its parts or
// its launcher. Every other text stays in the component that shows it; these
// few are gathered in one table so that a port to another system rewords them
// in one place. User texts stay out of the platform layer.
#pragma once

namespace vuko::wording {

// Reminder delivery, as the settings window's notification line reads.
inline constexpr const char* notifySystem =
    "Приходят как обычные системные уведомления — и при закрытом окне";
inline constexpr const char* notifyOwn =
    "Рабочий стол не показывает уведомления программ — показываем своим окошком в углу экрана";
inline constexpr const char* notifyOff =
    "Выключены в настройках рабочего стола — включите, чтобы получать напоминания";
// Inside the reminder engine's status texts.
inline constexpr const char* notifyOffShort = "уведомления выключены в настройках рабочего стола";
inline constexpr const char* awaitingPermission = "ждём ответа системы о разрешении";

// The button that opens the desktop's notification settings.
inline constexpr const char* notifySettingsButton = "Настройки системы…";
// Where notifications are allowed when no settings program of this desktop is
// known: the disabled button's tooltip, and the page's refused request.
inline constexpr const char* notifySettingsWhere =
    "Разрешите уведомления для «Vuko» в настройках уведомлений рабочего стола";
inline constexpr const char* notifyRefused =
    "Уведомления не разрешены. Разрешите уведомления для «Vuko» в настройках уведомлений "
    "рабочего стола.";

// A key combination as this desktop writes it: the modifiers in this order,
// then the key; macOS writes symbols instead.
inline constexpr const char* comboCtrl = "Ctrl+";
inline constexpr const char* comboAlt = "Alt+";
inline constexpr const char* comboShift = "Shift+";
inline constexpr const char* comboSuper = "Super+";
// Keys that macOS labels with symbols (↩ ⇥ ⎋ ⌦ ⌫).
inline constexpr const char* keyEnter = "Enter";
inline constexpr const char* keyTab = "Tab";
inline constexpr const char* keyEscape = "Esc";
inline constexpr const char* keyDelete = "Delete";
inline constexpr const char* keyBackspace = "Backspace";

// The switch for today's task count on the launcher icon.
inline constexpr const char* badgeSwitch = "Показывать на значке программы число задач на сегодня";

// Self-test report lines.
inline constexpr const char* reportBadge = "значок программы: ";
inline constexpr const char* reportQueue = "в очереди системы: ";
inline constexpr const char* reportPermission = "разрешение системы на уведомления: ";
inline constexpr const char* reportHotkeys = "сочетания программы";
inline constexpr const char* reportModeLegend =
    "(system — системные уведомления, own — своё окошко, off — выключены)";
inline constexpr const char* reportSlots = "пункты для программы";
// The menu shortcut that opens the calendar.
inline constexpr const char* reportRouterKey = "Ctrl+4";

}  // namespace vuko::wording

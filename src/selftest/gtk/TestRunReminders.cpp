// The reminder block of the run: a task due in sixteen minutes, its
// reminder through the engine, the actions on it, and the settings pages.
#include <algorithm>
#include <cmath>

#include "selftest/gtk/TestRun.h"
#include "web/gtk/WebController.h"
#include "wording/SystemWording.h"

namespace vuko {

namespace {

using Json = nlohmann::json;

constexpr const char* kTaskTitle = "Созвон с командой";
constexpr const char* kDefaultZone = "Europe/Moscow";
// With the server's default of 15 minutes' notice, the reminder falls due a
// minute after the task is made.
constexpr auto kTaskLead = std::chrono::seconds(960);

struct DateTime {
  std::string date, time;
};

// when as "yyyy-MM-dd" and "HH:mm" in the named zone (the default zone, then
// UTC, when the name is unknown).
DateTime inZone(std::chrono::system_clock::time_point when, const std::string& zone) {
  GTimeZone* tz = g_time_zone_new_identifier(zone.c_str());
  if (!tz) tz = g_time_zone_new_identifier(kDefaultZone);
  if (!tz) tz = g_time_zone_new_utc();
  auto unix = std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
  GDateTime* utc = g_date_time_new_from_unix_utc(unix);
  GDateTime* local = g_date_time_to_timezone(utc, tz);
  gchar* date = g_date_time_format(local, "%Y-%m-%d");
  gchar* time = g_date_time_format(local, "%H:%M");
  DateTime out{date ? date : "", time ? time : ""};
  g_free(date);
  g_free(time);
  g_date_time_unref(local);
  g_date_time_unref(utc);
  g_time_zone_unref(tz);
  return out;
}

// An id as the server writes it: a number or a string.
std::string idText(const Json& id) {
  if (id.is_string()) return id.get<std::string>();
  if (id.is_number_integer()) return id.dump();
  return {};
}

std::string member(const std::optional<Json>& object, const char* name) {
  if (!object || !object->is_object()) return {};
  auto it = object->find(name);
  return it == object->end() ? std::string() : idText(*it);
}

Json taskBody(const DateTime& when) {
  return Json{
      {"title", kTaskTitle}, {"smart", false}, {"start_date", when.date}, {"due_time", when.time}};
}

// The reminder the actions get when the engine gave none for the task.
TestReminder taskReminder(const std::string& taskId, std::chrono::system_clock::time_point due) {
  TestReminder r;
  r.taskId = taskId;
  r.title = kTaskTitle;
  r.due = due;
  return r;
}

}  // namespace

Task<> TestRun::reminders() {
  std::string mode = hooks_.reminderMode ? hooks_.reminderMode() : "-";
  note("уведомления: режим " + mode + " " + wording::reportModeLegend);
  std::string native = co_await jsText("window.vukoMacReminders", "false");
  std::string permission = co_await jsText("String(Notification.permission)", "-");
  note("веб-версия не опрашивает напоминания сама: " + native +
       ", Notification.permission = " + permission);

  std::string zone = kDefaultZone;
  auto settings = co_await api("/settings");
  if (settings && settings->is_object() && settings->contains("timezone") &&
      (*settings)["timezone"].is_string())
    zone = (*settings)["timezone"].get<std::string>();
  auto due = std::chrono::system_clock::now() + kTaskLead;
  DateTime when = inZone(due, zone);
  auto created = co_await api("/tasks", "POST", taskBody(when));
  std::string taskId = member(created, "id");

  std::string status = "-";
  if (hooks_.sync) {
    auto text = co_await settle(hooks_.sync(), 90);
    if (text) status = *text;
  }
  note("сверка с сервером: " + status);

  std::vector<TestReminder> mine;
  if (hooks_.lastPollItems && !taskId.empty())
    for (const auto& item : hooks_.lastPollItems())
      if (item.taskId == taskId) mine.push_back(item);
  std::vector<std::string> scheduled;
  scheduled.reserve(mine.size());
  for (const auto& item : mine) scheduled.push_back(ReportText::reminder(item));
  note("в расписании: " + ReportText::list(scheduled));

  std::string queue = "-";
  if (hooks_.pendingIds) {
    auto ids = co_await settle(hooks_.pendingIds(), 30);
    if (ids) {
      std::vector<std::string> ours;
      for (const auto& id : *ids)
        if (id.rfind("rem", 0) == 0) ours.push_back(id);
      queue = ReportText::list(ours);
    }
  }
  note(std::string(wording::reportQueue) + queue);

  gtk_widget_hide(GTK_WIDGET(main_.window()));
  auto began = std::chrono::steady_clock::now();
  double until = 0;
  if (!mine.empty())
    until = std::max(
        0.0,
        std::chrono::duration<double>(mine.front().due - std::chrono::system_clock::now()).count());
  co_await wait(until + 4);
  double elapsed =
      std::round(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  std::string banners = hooks_.bannerCount ? std::to_string(hooks_.bannerCount()) : "-";
  note(ReportText::seconds(elapsed) + " с, окно закрыто: своих окошек на экране " + banners);
  snapWidget(hooks_.firstBanner ? hooks_.firstBanner() : nullptr, "9-reminder.png");

  bool shown = false;
  auto upcoming = co_await api("/reminders/upcoming");
  if (upcoming && upcoming->is_object() && upcoming->contains("items") &&
      (*upcoming)["items"].is_array())
    for (const auto& item : (*upcoming)["items"]) {
      if (!item.is_object()) continue;
      bool match = !mine.empty() ? member(item, "id") == mine.front().id
                                 : !taskId.empty() && member(item, "task_id") == taskId;
      if (match) shown = item.contains("shown") && item["shown"] == true;
    }
  note(std::string("на сервере отмечено показанным: ") + ReportText::boolean(shown));

  // Without a reminder from the engine the actions still get the task.
  TestReminder target = !mine.empty() ? mine.front() : taskReminder(taskId, due);
  if (hooks_.done && !taskId.empty()) hooks_.done(target);
  co_await wait(2);
  bool completed = false;
  if (!taskId.empty()) {
    auto task = co_await api("/tasks/" + taskId);
    completed = task && task->is_object() && task->contains("completed_at") &&
                !(*task)["completed_at"].is_null();
  }
  note(std::string("кнопка «Готово»: задача выполнена ") + ReportText::boolean(completed));

  // The open action brings the main window back; without one the window is
  // shown here so that the pages that follow can be read and drawn.
  if (hooks_.open && !taskId.empty())
    hooks_.open(target);
  else
    main_.show();
  co_await wait(2);
  std::string card =
      co_await jsText("!!document.querySelector('.detail, .task-detail, aside.detail')", "false");
  note("щелчок по уведомлению открывает: " + url() + ", карточка задачи открыта " + card);
  co_await snapWeb("10-task-from-notification.png");

  if (hooks_.openSettings) {
    TestWindow window = hooks_.openSettings();
    co_await wait(0.6);
    snapWidget(window.widget, "11-settings.png");
    if (window.close) window.close();
  }

  main_.go("/settings?tab=tasks");
  co_await wait(2.5);
  co_await js("document.querySelector('#s-remindBefore')?.scrollIntoView(); true");
  co_await wait(0.5);
  note("старый адрес ?tab=tasks открыл: " + url());
  std::string slots = co_await jsText(
      "[...document.querySelectorAll('.set-slot-item')].map(e => e.id).join(', ')"
      " + '; vukoMac = ' + (window.vukoMac === true)",
      "-");
  note(std::string(wording::reportSlots) + " в «Уведомлениях»: " + slots);
  std::string controls = co_await jsText(
      "['#s-remindBefore', '#s-autoRemindTime', '#s-dailyDigest', '#s-macNotify'].map(s => {"
      " const e = document.querySelector(s);"
      " return s.slice(1) + ' = ' + (!e ? '-' : e.type === 'checkbox' ? e.checked : e.value);"
      " }).join(', ')",
      "-");
  note("веб-настройки напоминаний: " + controls);
  co_await snapWeb("12-remind-settings.png");
}

}  // namespace vuko

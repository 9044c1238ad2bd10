// The self-test run's questions, answered by the live components.
#include "app/gtk/AppDelegate.h"
#include "platform/NotificationCenter.h"
#include "quick/gtk/QuickPanel.h"
#include "reminders/Reminders.h"
#include "reminders/gtk/BannerWindow.h"
#include "selftest/gtk/LightAppearance.h"
#include "selftest/gtk/TestHooks.h"
#include "server/gtk/ServerSheet.h"
#include "settings/gtk/SettingsWindow.h"

namespace vuko {

namespace {

TestReminder asTestReminder(const ReminderItem& item) {
  return {item.id, item.taskId ? std::to_string(*item.taskId) : "", item.title, item.body, item.at};
}

const char* modeName(Reminders::Mode mode) {
  switch (mode) {
    case Reminders::Mode::system:
      return "system";
    case Reminders::Mode::own:
      return "own";
    case Reminders::Mode::off:
      return "off";
    case Reminders::Mode::unknown:
      break;
  }
  return "unknown";
}

Task<std::string> syncNow(Reminders* reminders, Lifetime::Guard alive) {
  if (!alive) co_return std::string();
  co_return co_await reminders->sync();
}

// The answer of the desktop's notification centre in the report's terms:
// 0 not asked, 1 refused, 2 allowed.
TestNotifySettings settingsOf(const NotificationAuthorization& answer) {
  if (answer.granted) return {2, 2};
  return {1, answer.refusal == NotificationAuthorization::Refusal::notAllowed ? 0 : 1};
}

// A window made for one snapshot: shown in the light look, then destroyed
// with its owner, and the desktop's look comes back.
template <typename Window>
TestWindow shownForSnapshot(std::shared_ptr<Window> made, std::shared_ptr<LightAppearance> light) {
  GtkWidget* widget = GTK_WIDGET(made->window());
  gtk_widget_show_all(widget);
  return {widget, [made, light]() mutable {
            made.reset();
            light.reset();
          }};
}

}  // namespace

TestHooks AppDelegate::selfTestHooks() {
  auto alive = life_.guard();
  TestHooks hooks;
  hooks.api = api_.get();
  hooks.quit = [app = app_] { g_application_quit(G_APPLICATION(app)); };
  hooks.refreshBadge = [this, alive] {
    if (alive) updateBadge();
  };
  hooks.badgeLabel = [this, alive] {
    if (!alive) return std::string();
    return badgeLabel().value_or("");
  };
  QuickPanel* quick = &quickPanel();
  hooks.quickShow = [quick, alive] {
    if (alive) quick->show();
  };
  hooks.quickType = [quick, alive](const std::string& text) {
    if (alive) quick->testType(text);
  };
  hooks.quickPreview = [quick, alive] {
    if (!alive) return std::string();
    const char* text = gtk_label_get_text(quick->testPreview());
    return std::string(text ? text : "");
  };
  hooks.quickSubmit = [quick, alive] {
    if (alive) quick->testSubmit();
  };
  hooks.quickHide = [quick, alive] {
    if (alive) quick->hide();
  };
  hooks.quickWidget = [quick, alive]() -> GtkWidget* {
    return alive ? gtk_widget_get_toplevel(quick->testView()) : nullptr;
  };
  Reminders* reminders = reminders_.get();
  hooks.reminderMode = [reminders, alive] {
    return std::string(alive ? modeName(reminders->mode()) : "unknown");
  };
  hooks.sync = [reminders, alive] { return syncNow(reminders, alive); };
  hooks.lastPollItems = [reminders, alive] {
    std::vector<TestReminder> items;
    if (alive)
      for (const auto& item : reminders->lastSync()) items.push_back(asTestReminder(item));
    return items;
  };
  hooks.pendingIds = []() -> Task<std::vector<std::string>> {
    std::vector<std::string> ids;
    for (const auto& request : co_await NotificationCenter::current().pending())
      ids.push_back(request.id);
    co_return ids;
  };
  hooks.bannerCount = [reminders, alive] {
    return alive ? static_cast<int>(reminders->banners().size()) : 0;
  };
  hooks.firstBanner = [reminders, alive]() -> GtkWidget* {
    if (!alive || reminders->banners().empty()) return nullptr;
    GtkWindow* window = bannerWindow(reminders->banners().front()->view());
    return window ? GTK_WIDGET(window) : nullptr;
  };
  auto act = [reminders, alive](const char* action) {
    return [reminders, alive, action](const TestReminder& r) {
      if (!alive) return;
      ReminderItem item{r.id, std::nullopt, "task", r.title, r.body, {}};
      if (!r.taskId.empty()) item.taskId = std::stoll(r.taskId);
      reminders->handle(ReminderAnswer{action, std::move(item), {}});
    };
  };
  hooks.done = [reminders, alive, engine = act(Reminders::doneAction)](const TestReminder& r) {
    if (!alive) return;
    // Pressed on the reminder's own banner, which then goes as a press makes
    // it go; a reminder shown by the desktop has no banner here.
    for (const auto& banner : reminders->banners())
      if (banner->item().id == r.id) {
        banner->finish(std::string(Reminders::doneAction));
        return;
      }
    engine(r);
  };
  hooks.open = act("open");
  hooks.requestAuthorization = []() -> Task<TestAuthorization> {
    auto answer = co_await NotificationCenter::current().requestAuthorization();
    TestAuthorization out{answer.granted, std::nullopt};
    // The desktop's refusals, numbered as the notification centre's errors.
    if (!answer.granted)
      out.error = std::string("notifications ") +
                  (answer.refusal == NotificationAuthorization::Refusal::notAllowed ? "1" : "2");
    co_return out;
  };
  hooks.notifySettings = []() -> Task<TestNotifySettings> {
    co_return settingsOf(co_await NotificationCenter::current().requestAuthorization());
  };
  hooks.openSheet = [api = api_.get()] {
    // Filled from the stored settings as the user would see it; never accepted.
    auto light = std::make_shared<LightAppearance>();
    auto sheet =
        std::make_shared<ServerSheet>([api](Url server) { return api->probe(std::move(server)); });
    sheet->present(nullptr, [](bool) {});
    return shownForSnapshot(sheet, light);
  };
  hooks.openSettings = [this, alive] {
    auto light = std::make_shared<LightAppearance>();
    auto window = std::make_shared<SettingsWindow>();
    if (alive) joinSettings(*window);
    window->refresh();
    return shownForSnapshot(window, light);
  };
  return hooks;
}

}  // namespace vuko

// The self-test run in this process against the stand-in server, with every
// hook filled by a recording stand-in: each hook is asked at its step, its
// answer lands in its report line, and the windows it hands over are drawn
// into their snapshots.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "devserver/DevServer.h"
#include "platform/Defaults.h"
#include "selftest/gtk/LightAppearance.h"
#include "selftest/gtk/TestMode.h"
#include "server/API.h"
#include "server/Settings.h"
#include "support/Wait.h"
#include "web/gtk/MiniFocus.h"
#include "web/gtk/WebController.h"

using namespace vuko;
using namespace vuko::test;

namespace {

std::vector<std::string> readLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A small shown window with some text, as a panel or a banner would be.
struct FakeWindow {
  explicit FakeWindow(const char* text) {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 240, 80);
    gtk_container_add(GTK_CONTAINER(window), gtk_label_new(text));
    gtk_widget_show_all(window);
  }
  ~FakeWindow() {
    if (window) gtk_widget_destroy(window);
  }
  GtkWidget* window = nullptr;
};

struct Record {
  int badgeRefreshes = 0, quickShown = 0, quickHidden = 0, submitted = 0;
  std::string typed, preview = "пусто";
  std::string taskId;
  std::vector<TestReminder> done, opened;
  int sheetsClosed = 0, settingsClosed = 0;
  bool quit = false;
};

// The body that completes a task (built outside the coroutines: GCC 12
// cannot keep an initializer list in a coroutine frame).
nlohmann::json completed() {
  return {{"completed", true}};
}
std::vector<std::string> pending() {
  return {"rem1", "other", "rem2"};
}

}  // namespace

TEST(TestModeHooksTest, EveryHookFeedsItsLine) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
  Defaults::setStandard(std::make_shared<MemoryDefaults>());
  dev::DevServer::Options options;
  options.demo = true;
  dev::DevServer server(options);
  Settings::useTestServer(Url::parse(server.url()));
  Settings::resetTestOverride();
  auto dir = std::filesystem::path(tempDir("hooks")) / "report";

  auto main = std::make_unique<WebController>(true);
  auto mini = std::make_unique<MiniFocus>(main->sharedConfig());
  main->show();
  Record rec;
  FakeWindow quick("быстрая задача"), banner("Созвон с командой");
  std::unique_ptr<FakeWindow> sheet, settings;
  WebController* web = main.get();

  TestHooks hooks;
  hooks.refreshBadge = [&] { ++rec.badgeRefreshes; };
  hooks.badgeLabel = [&] { return std::to_string(rec.badgeRefreshes * 7); };
  hooks.quickShow = [&] { ++rec.quickShown; };
  hooks.quickType = [&](const std::string& text) {
    rec.typed = text;
    rec.preview = "предпросмотр: " + text;
  };
  hooks.quickPreview = [&] { return rec.preview; };
  hooks.quickSubmit = [&] {
    ++rec.submitted;
    rec.preview = "Добавлено";
  };
  hooks.quickHide = [&] { ++rec.quickHidden; };
  hooks.quickWidget = [&] { return quick.window; };
  hooks.reminderMode = [] { return std::string("own"); };
  // The engine's poll: finds the task the run has just made.
  hooks.sync = [&]() -> Task<std::string> {  // lives with its owner
    auto token = co_await web->token();
    if (!token) co_return std::string("нет входа");
    std::string path = "/tasks?view=all";
    auto list = co_await API::request(path, *token);
    for (const auto& t : list["items"])
      // The newest task of that title: the demo may have one of its own.
      if (t["title"] == "Созвон с командой" &&
          (rec.taskId.empty() || t["id"].get<long>() > std::stol(rec.taskId)))
        rec.taskId = t["id"].dump();
    co_return std::string("обновлено");
  };
  hooks.lastPollItems = [&] {
    auto soon = std::chrono::system_clock::now() + std::chrono::seconds(1);
    return std::vector<TestReminder>{
        {"t0-1", "0", "Чужая", "", soon},
        {"t" + rec.taskId + "-1", rec.taskId, "Созвон с командой", "через 15 минут", soon}};
  };
  hooks.pendingIds = []() -> Task<std::vector<std::string>> { co_return pending(); };
  hooks.bannerCount = [] { return 1; };
  hooks.firstBanner = [&] { return banner.window; };
  hooks.done = [&](const TestReminder& r) {
    rec.done.push_back(r);
    // As the engine does: the task is completed on the server.
    [](WebController* w, std::string id) -> Task<> {
      auto token = co_await w->token();
      std::string path = "/tasks/" + id, method = "PUT";
      nlohmann::json body = completed();
      if (token) co_await API::request(path, *token, method, body);
    }(web, r.taskId)
                                                .detach();
  };
  hooks.open = [&](const TestReminder& r) {
    rec.opened.push_back(r);
    web->go("/today?task=" + r.taskId);
  };
  hooks.requestAuthorization = []() -> Task<TestAuthorization> {
    co_return TestAuthorization{false, std::string("vuko.notifications 1")};
  };
  hooks.notifySettings = []() -> Task<TestNotifySettings> { co_return TestNotifySettings{1, 0}; };
  hooks.openSheet = [&] {
    sheet = std::make_unique<FakeWindow>("Сервер");
    return TestWindow{sheet->window, [&] {
                        ++rec.sheetsClosed;
                        sheet.reset();
                      }};
  };
  hooks.openSettings = [&] {
    settings = std::make_unique<FakeWindow>("Настройки");
    return TestWindow{settings->window, [&] {
                        ++rec.settingsClosed;
                        settings.reset();
                      }};
  };
  hooks.quit = [&] { rec.quit = true; };

  TestVariables vars;
  vars.dir = dir.string();
  vars.switchServer = server.url();
  vars.signedInBlock = true;
  vars.login = TestVariables::Login{dev::DevServer::demoEmail(), dev::DevServer::demoPassword()};
  vars.notify = true;
  vars.hiddenSeconds = 0.5;
  FakeWindow other("Другое окно программы");
  Lifetime life;
  TestMode::run(vars, *main, *mini, std::move(hooks), life.guard());
  ASSERT_TRUE(waitUntil([&] { return rec.quit; }, std::chrono::seconds(170)));

  auto lines = readLines(dir / "report.txt");
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("вход: true")) << all;
  EXPECT_TRUE(has("значок программы: 7")) << all;
  EXPECT_EQ(rec.typed, "завтра в 10 позвонить маме !высокий #семья");
  EXPECT_TRUE(has("быстрая задача, предпросмотр: предпросмотр: " + rec.typed)) << all;
  EXPECT_TRUE(has("быстрая задача, после Enter: Добавлено")) << all;
  EXPECT_EQ(rec.quickShown, 1);
  EXPECT_EQ(rec.submitted, 1);
  EXPECT_EQ(rec.quickHidden, 1);
  EXPECT_TRUE(
      has("уведомления: режим own (system — системные уведомления, own — своё окошко, "
          "off — выключены)"))
      << all;
  EXPECT_TRUE(has("сверка с сервером: обновлено")) << all;
  ASSERT_FALSE(rec.taskId.empty()) << "the run made no task";
  // Only the new task's reminder is listed, and only the ids of reminders
  // are counted as the queue.
  bool listed = false;
  for (const auto& l : lines)
    listed = listed || l.rfind("в расписании: «Созвон с командой» через 15 минут в ", 0) == 0;
  EXPECT_TRUE(listed) << all;
  EXPECT_TRUE(has("в очереди системы: rem1, rem2")) << all;
  bool banners = false;
  for (const auto& l : lines)
    banners = banners || l.find(" с, окно закрыто: своих окошек на экране 1") != std::string::npos;
  EXPECT_TRUE(banners) << all;
  ASSERT_EQ(rec.done.size(), 1u);
  EXPECT_EQ(rec.done[0].taskId, rec.taskId);
  EXPECT_EQ(rec.done[0].id, "t" + rec.taskId + "-1");
  EXPECT_TRUE(has("кнопка «Готово»: задача выполнена true")) << all;
  ASSERT_EQ(rec.opened.size(), 1u);
  // Whether the card opens is the web application's business.
  EXPECT_TRUE(has("щелчок по уведомлению открывает: " + server.url() + "/today?task=" + rec.taskId +
                  ", карточка задачи открыта true") ||
              has("щелчок по уведомлению открывает: " + server.url() + "/today?task=" + rec.taskId +
                  ", карточка задачи открыта false"))
      << all;
  EXPECT_TRUE(has("запрос разрешения: ошибка vuko.notifications 1")) << all;
  EXPECT_TRUE(
      has("разрешение системы на уведомления: статус 1 (0 — не спрашивали, 1 — запрещены, "
          "2 — разрешены), баннеры 0"))
      << all;
  EXPECT_EQ(rec.sheetsClosed, 1);
  EXPECT_EQ(rec.settingsClosed, 1);
  EXPECT_EQ(lines.back(), "готово");
  // The hidden-window block hides the whole application.
  EXPECT_FALSE(gtk_widget_get_visible(other.window));
  for (const char* name : {"0-server-sheet.png", "4-quick.png", "5-quick-added.png",
                           "9-reminder.png", "11-settings.png", "1-start.png", "7-mini.png"})
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;

  mini.reset();
  main.reset();
  Settings::useTestServer(std::nullopt);
  Settings::resetTestOverride();
}

TEST(TestModeHooksTest, LightLookHoldsWhileItLivesThenTheDesktopsComesBack) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
  GtkSettings* settings = gtk_settings_get_default();
  g_object_set(settings, "gtk-theme-name", "Adwaita-dark", "gtk-application-prefer-dark-theme",
               TRUE, nullptr);
  auto look = [&] {
    gchar* theme = nullptr;
    gboolean dark = FALSE;
    g_object_get(settings, "gtk-theme-name", &theme, "gtk-application-prefer-dark-theme", &dark,
                 nullptr);
    std::string out = std::string(theme ? theme : "") + (dark ? " dark" : " light");
    g_free(theme);
    return out;
  };
  {
    LightAppearance light;
    EXPECT_EQ(look(), "Adwaita light");
  }
  EXPECT_EQ(look(), "Adwaita-dark dark");
  g_object_set(settings, "gtk-theme-name", nullptr, "gtk-application-prefer-dark-theme", FALSE,
               nullptr);
}

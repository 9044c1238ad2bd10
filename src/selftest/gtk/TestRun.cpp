#include "selftest/gtk/TestRun.h"

#include <cairo.h>

#include <memory>

#include "selftest/gtk/TestMode.h"
#include "server/Settings.h"
#include "web/gtk/MiniFocus.h"
#include "web/gtk/WebController.h"
#include "wording/SystemWording.h"

namespace vuko {

namespace {

// The identity provider whose sign-in page the run opens; the navigation
// policy keeps its pages inside the window.
constexpr const char* kAuthProviderHost = "oauth.yandex.ru";
constexpr const char* kAuthProviderPath = "/authorize?response_type=code&client_id=vuko-test";

// Limits for single steps; they end early when the step is done.
constexpr auto kScriptLimit = std::chrono::seconds(15);
constexpr auto kSnapshotLimit = std::chrono::seconds(15);

using Json = nlohmann::json;

std::string jsString(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

Future<bool> snapshot(WebKitWebView* view, std::string path) {
  struct Op {
    Future<bool>::Resolver done;
    std::string path;
  };
  Future<bool> f;
  webkit_web_view_get_snapshot(
      view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* src, GAsyncResult* res, gpointer p) {
        std::unique_ptr<Op> op(static_cast<Op*>(p));
        GError* error = nullptr;
        Surface image(webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(src), res, &error));
        g_clear_error(&error);
        op->done(image &&
                 cairo_surface_write_to_png(image.get(), op->path.c_str()) == CAIRO_STATUS_SUCCESS);
      },
      new Op{f.resolver(), std::move(path)});
  return f;
}

// Whether the window has a title bar, and whether its content reaches under
// it (a title bar the window draws itself, in its own content).
struct Chrome {
  bool titled = false;
  bool underTitle = false;
};

Chrome chromeOf(GtkWindow* window) {
  Chrome c;
  c.underTitle = gtk_window_get_titlebar(window) != nullptr;
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk && gtk_window_get_decorated(window)) {
    // The window manager's frame: a title bar shows as frame above the
    // client area.
    GdkRectangle frame{};
    gdk_window_get_frame_extents(gdk, &frame);
    int x = 0, y = 0;
    gdk_window_get_origin(gdk, &x, &y);
    c.titled = y - frame.y > 0;
  }
  c.titled = c.titled || c.underTitle;
  return c;
}

// Hides the application as a whole: every window of it on screen.
void hideApplication() {
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next)
    if (gtk_window_get_window_type(GTK_WINDOW(w->data)) == GTK_WINDOW_TOPLEVEL)
      gtk_widget_hide(GTK_WIDGET(w->data));
  g_list_free(windows);
}

Task<> drive(std::unique_ptr<TestRun> run) {
  co_await run->all();
}

}  // namespace

void TestMode::run(const TestVariables& variables, WebController& main, MiniFocus& mini,
                   TestHooks hooks, Lifetime::Guard alive) {
  drive(std::make_unique<TestRun>(variables, main, mini, std::move(hooks), std::move(alive)))
      .detach();
}

TestRun::TestRun(TestVariables variables, WebController& main, MiniFocus& mini, TestHooks hooks,
                 Lifetime::Guard alive)
    : vars_(std::move(variables)),
      report_(vars_.dir),
      main_(main),
      mini_(mini),
      hooks_(std::move(hooks)),
      alive_(std::move(alive)) {}

Task<> TestRun::all() {
  try {
    co_await start();
    if (vars_.switchServer) co_await switchServer();
    if (vars_.signedInBlock) {
      co_await signIn();
      co_await quickPanel();
      co_await miniWindow();
    }
    if (vars_.notify && token_) co_await reminders();
    if (vars_.hiddenSeconds) co_await hidden();
    if (vars_.authNav) co_await authNav();
  } catch (const Stopped&) {
    // The client is going away: nothing is left to report to or to quit.
    co_return;
  }
  note("готово");
  if (hooks_.quit)
    hooks_.quit();
  else if (GApplication* app = g_application_get_default())
    g_application_quit(app);
}

// ---- primitives -------------------------------------------------------------

void TestRun::checkAlive() const {
  if (!alive_) throw Stopped{};
}

void TestRun::note(const std::string& line) {
  report_.note(line);
}

Task<> TestRun::wait(double seconds) {
  co_await Clock::main().sleep(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
  checkAlive();
}

Task<std::optional<Json>> TestRun::js(const std::string& script) {
  auto value = co_await bounded<std::optional<Json>>(
      WebController::evaluateJson(main_.webView(), script), kScriptLimit, std::nullopt);
  checkAlive();
  co_return value;
}

Task<std::string> TestRun::jsText(const std::string& script, const std::string& missing) {
  auto value = co_await js(script);
  co_return ReportText::result(value, missing);
}

Task<bool> TestRun::snapWeb(const std::string& name) {
  co_return co_await snapWeb(main_.webView(), name);
}

Task<bool> TestRun::snapWeb(WebKitWebView* view, const std::string& name) {
  bool saved =
      co_await bounded(snapshot(view, (report_.dir() / name).string()), kSnapshotLimit, false);
  checkAlive();
  co_return saved;
}

bool TestRun::snapWidget(GtkWidget* widget, const std::string& name) {
  if (!widget || !gtk_widget_get_realized(widget)) return false;
  int width = gtk_widget_get_allocated_width(widget);
  int height = gtk_widget_get_allocated_height(widget);
  if (width <= 1 || height <= 1) return false;
  // Drawing the widget tree needs no compositor and no window on screen.
  Surface image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  cairo_t* cr = cairo_create(image.get());
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  return cairo_surface_write_to_png(image.get(), (report_.dir() / name).c_str()) ==
         CAIRO_STATUS_SUCCESS;
}

Task<std::optional<Json>> TestRun::api(const std::string& path, const std::string& method,
                                       std::optional<Json> body) {
  if (!token_ || !hooks_.api) co_return std::nullopt;
  co_return co_await settle(hooks_.api->request(*token_, method, path, std::move(body), alive_),
                            90);
}

Task<std::optional<std::optional<std::string>>> TestRun::probe(Url server) {
  if (!hooks_.api) co_return std::nullopt;
  co_return co_await settle(hooks_.api->probe(std::move(server), alive_), 30);
}

std::string TestRun::url() const {
  auto u = WebController::pageUrl(main_.webView());
  return u ? u->str() : "-";
}

// ---- blocks -----------------------------------------------------------------

Task<> TestRun::start() {
  co_await wait(4);
  note("адрес: " + url());
  Chrome c = chromeOf(main_.window());
  note(std::string("шапка окна: есть заголовок ") + ReportText::boolean(c.titled) +
       ", содержимое под шапкой " + ReportText::boolean(c.underTitle) +
       " — окно можно тянуть за шапку: " + ReportText::boolean(c.titled && !c.underTitle));
  co_await snapWeb("1-start.png");
  std::string replaced = co_await jsText(
      "typeof Notification === 'function' && Notification.permission && window.vukoMac === true",
      "false");
  note("уведомления подменены: " + replaced);
}

Task<> TestRun::switchServer() {
  const std::string& address = *vars_.switchServer;
  auto target = Url::parse(address);
  std::string verdict = "Неверный адрес";
  if (target) {
    auto problem = co_await probe(*target);
    verdict = !problem ? "нет ответа" : (*problem ? **problem : "это сервер «Vuko»");
  }
  note("проверка своего сервера " + address + ": " + verdict);
  auto wrong = co_await probe(*Url::parse("http://localhost:1"));
  note("проверка неверного адреса: " +
       (!wrong ? std::string("нет ответа") : (*wrong ? **wrong : "это сервер «Vuko»")));
  auto normal = [](const std::string& typed) {
    auto u = Settings::normalize(typed);
    return u ? u->str() : std::string("-");
  };
  std::string company = std::string(Settings::kExampleCompanyHost) + "/";
  note("адрес из ввода «localhost:5300» → " + normal("localhost:5300") + ", «" + company + "» → " +
       normal(company));

  if (hooks_.openSheet) {
    TestWindow sheet = hooks_.openSheet();
    co_await wait(0.6);
    snapWidget(sheet.widget, "0-server-sheet.png");
    if (sheet.close) sheet.close();
  }
  // An address that is no URL is never stored as the server.
  if (target) {
    Settings::setServer(*target);
    main_.open("/today");
  }
  co_await wait(4);
  note("после смены сервера адрес: " + url());
  std::string serverLine = co_await jsText(
      "!!document.querySelector('.server-line') && "
      "document.querySelector('.server-line').innerText",
      "false");
  note("на экране входа есть строка про сервер: " + serverLine);
  co_await snapWeb("1b-login-server.png");
}

Task<> TestRun::hidden() {
  double seconds = *vars_.hiddenSeconds;
  if (hooks_.requestAuthorization) {
    auto answer = co_await settle(hooks_.requestAuthorization(), 60);
    if (answer && answer->error)
      note("запрос разрешения: ошибка " + *answer->error);
    else
      note(std::string("запрос разрешения: ") + ReportText::boolean(answer && answer->granted));
  } else {
    note("запрос разрешения: false");
  }
  std::optional<TestNotifySettings> settings;
  if (hooks_.notifySettings) settings = co_await settle(hooks_.notifySettings(), 30);
  note(std::string(wording::reportPermission) + "статус " +
       (settings ? std::to_string(settings->status) : "-") +
       " (0 — не спрашивали, 1 — запрещены, 2 — разрешены), баннеры " +
       (settings ? std::to_string(settings->alert) : "-"));
  std::string permission = co_await jsText("String(Notification.permission)", "-");
  std::string notifyOn = co_await jsText(
      "(() => { const s = window.V && window.V.settings; return !!(s && s.webNotify); })()",
      "false");
  note("веб-версия: Notification.permission = " + permission + ", notifyOn = " + notifyOn);
  co_await js(
      "(() => { window.__ticks = 0; window.__polls = 0;"
      " setInterval(() => { window.__ticks++; }, 1000);"
      " const original = window.fetch;"
      " window.fetch = function (input, init) {"
      "   try { const u = typeof input === 'string' ? input : (input && input.url) || "
      "String(input);"
      "     if (u.includes('/reminders/')) window.__polls++; } catch (_) {}"
      "   return original.apply(this, arguments); };"
      " return true; })()");
  hideApplication();
  co_await wait(seconds);
  std::string ticks = co_await jsText("window.__ticks", "-");
  std::string polls = co_await jsText("window.__polls", "-");
  std::string visibility = co_await jsText("document.visibilityState", "-");
  note("окно закрыто " + ReportText::seconds(seconds) + " с: тиков секундного таймера " + ticks +
       ", запросов напоминаний " + polls + ", видимость страницы " + visibility);
  main_.show();
  co_await wait(1);
}

Task<> TestRun::authNav() {
  std::string target = std::string("https://") + kAuthProviderHost + kAuthProviderPath;
  co_await js("location.href = " + jsString(target) + "; true");
  co_await wait(4);
  note("страница входа провайдера в окне программы: " + url());
  co_await snapWeb("8-provider-auth.png");
}

}  // namespace vuko

// The signed-in part of the run: sign-in, the router, the badge, the quick
// panel, the mini window and the hot-key settings.
#include <memory>

#include "selftest/gtk/TestRun.h"
#include "web/gtk/MiniFocus.h"
#include "web/gtk/WebController.h"
#include "wording/SystemWording.h"

namespace vuko {

namespace {

using Json = nlohmann::json;

constexpr auto kSignInLimit = std::chrono::seconds(30);

// Runs as an async function in the page, so the page's own origin, storage
// and cookies are used; e and p arrive as arguments, never as script text.
constexpr const char* kSignInScript = R"(
try {
  const r = await fetch('/api/auth/login', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', Accept: 'application/json' },
    body: JSON.stringify({ email: e, password: p }),
  });
  const d = await r.json();
  if (!d || typeof d.token !== 'string' || !d.token) return false;
  localStorage.setItem('token', d.token);
  localStorage.setItem('user', JSON.stringify(d.user));
  localStorage.setItem('cookieConsent.v2', 'necessary');
  return true;
} catch (_) {
  return false;
}
)";

constexpr const char* kQuickText = "завтра в 10 позвонить маме !высокий #семья";

Future<std::optional<Json>> callAsync(WebKitWebView* view, const char* body, GVariant* args) {
  using Resolver = Future<std::optional<Json>>::Resolver;
  Future<std::optional<Json>> f;
  webkit_web_view_call_async_javascript_function(
      view, body, -1, args, nullptr, nullptr, nullptr,
      [](GObject* src, GAsyncResult* res, gpointer p) {
        std::unique_ptr<Resolver> resolve(static_cast<Resolver*>(p));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
            WEBKIT_WEB_VIEW(src), res, &error);
        g_clear_error(&error);
        std::optional<Json> out;
        if (value) {
          if (jsc_value_is_boolean(value))
            out = Json(static_cast<bool>(jsc_value_to_boolean(value)));
          g_object_unref(value);
        }
        (*resolve)(std::move(out));
      },
      new Resolver(f.resolver()));
  return f;
}

// Whether the window manager keeps the window on every workspace: as the
// sticky state, or (as some window managers say it) as the desktop number
// that means all of them.
bool onAllDesktops(GdkWindow* window) {
  if (!window) return false;
  if (gdk_window_get_state(window) & GDK_WINDOW_STATE_STICKY) return true;
  GdkAtom type = GDK_NONE;
  gint format = 0, length = 0;
  guchar* data = nullptr;
  bool all = false;
  if (gdk_property_get(window, gdk_atom_intern_static_string("_NET_WM_DESKTOP"),
                       gdk_atom_intern_static_string("CARDINAL"), 0, 1, FALSE, &type, &format,
                       &length, &data) &&
      data && format == 32 && length >= static_cast<gint>(sizeof(gulong)))
    // 32-bit items come as longs, whatever the size of a long.
    all = (*reinterpret_cast<gulong*>(data) & 0xFFFFFFFFul) == 0xFFFFFFFFul;
  g_free(data);
  return all;
}

}  // namespace

Task<> TestRun::signIn() {
  // Without an account the script is skipped; the page may still hold a
  // session of its own for the steps that follow.
  std::optional<Json> signedIn;
  if (vars_.login) {
    GVariantBuilder args;
    g_variant_builder_init(&args, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&args, "{sv}", "e", g_variant_new_string(vars_.login->email.c_str()));
    g_variant_builder_add(&args, "{sv}", "p", g_variant_new_string(vars_.login->password.c_str()));
    signedIn = co_await bounded<std::optional<Json>>(
        callAsync(main_.webView(), kSignInScript, g_variant_builder_end(&args)), kSignInLimit,
        std::nullopt);
    checkAlive();
  }
  note(std::string("вход: ") + ReportText::boolean(ReportText::isTrue(signedIn)));

  main_.load("/today");
  co_await wait(4);
  note("после входа адрес: " + url());
  co_await snapWeb("2-today.png");

  main_.go("/calendar");
  co_await wait(2.5);
  note(std::string("переход ") + wording::reportRouterKey + " без перезагрузки: " + url());
  co_await snapWeb("3-calendar.png");

  main_.go("/today");
  co_await wait(2);
  if (hooks_.refreshBadge) hooks_.refreshBadge();
  co_await wait(2);
  note(std::string(wording::reportBadge) + (hooks_.badgeLabel ? hooks_.badgeLabel() : "-"));

  auto token = co_await settle(main_.token(), 15);
  if (token && *token) token_ = **token;
  note(std::string("токен для быстрой задачи получен: ") + ReportText::boolean(token_.has_value()));
}

Task<> TestRun::quickPanel() {
  auto preview = [this] { return hooks_.quickPreview ? hooks_.quickPreview() : std::string("-"); };
  auto widget = [this] { return hooks_.quickWidget ? hooks_.quickWidget() : nullptr; };
  if (!hooks_.quickShow) {
    note("быстрая задача, предпросмотр: -");
    note("быстрая задача, после Enter: -");
    co_return;
  }
  hooks_.quickShow();
  co_await wait(0.5);
  if (hooks_.quickType) hooks_.quickType(kQuickText);
  co_await wait(2);
  note("быстрая задача, предпросмотр: " + preview());
  snapWidget(widget(), "4-quick.png");
  if (hooks_.quickSubmit) hooks_.quickSubmit();
  co_await wait(0.6);
  note("быстрая задача, после Enter: " + preview());
  snapWidget(widget(), "5-quick-added.png");
  if (hooks_.quickHide) hooks_.quickHide();
}

Task<> TestRun::miniWindow() {
  mini_.show();
  co_await wait(3);
  // The window manager's answers, not what was asked of it.
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(mini_.window()));
  GdkWindowState state = gdk ? gdk_window_get_state(gdk) : GdkWindowState(0);
  bool shown = mini_.isVisible() && gtk_widget_get_mapped(GTK_WIDGET(mini_.window()));
  auto page = WebController::pageUrl(mini_.testWebView());
  note(std::string("помодоро поверх окон: окно видно ") + ReportText::boolean(shown) +
       ", уровень «поверх» " + ReportText::boolean(state & GDK_WINDOW_STATE_ABOVE) +
       ", на всех рабочих столах " + ReportText::boolean(onAllDesktops(gdk)) + ", страница " +
       (page ? page->str() : "-"));
  co_await snapWeb(mini_.testWebView(), "7-mini.png");
  mini_.toggle();

  main_.go("/settings/advanced#hotkeys");
  co_await wait(2.5);
  std::string rows = co_await jsText(
      "[...document.querySelectorAll('.hks .hk-row')].slice(-2)"
      ".map(r=>r.innerText.replace(/\\n/g,' | ')).join(' || ')",
      "-");
  note(std::string("раздел «Горячие клавиши», ") + wording::reportHotkeys + ": " + rows);
  co_await snapWeb("6-hotkeys.png");
}

}  // namespace vuko

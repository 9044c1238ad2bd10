// Process entry: one application object, its front, the main loop.
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "app/gtk/Front.h"
#include "hotkeys/HotkeyActions.h"
#include "platform/AppId.h"
#include "platform/WindowFocus.h"

namespace {

constexpr const char* kBackground = "background";

// Options for desktops where a global key cannot be grabbed: a desktop
// shortcut runs "vuko --quick", and the running client does the hot key's
// work. One option per hot-key action.
const std::vector<GOptionEntry>& options() {
  static const std::vector<GOptionEntry> entries = [] {
    std::vector<GOptionEntry> out;
    for (const auto& row : vuko::kHotkeyActions)
      out.push_back({row.id, 0, 0, G_OPTION_ARG_NONE, nullptr, row.help, nullptr});
    out.push_back({kBackground, 0, 0, G_OPTION_ARG_NONE, nullptr,
                   "Запустить без окна (так клиент запускается при входе в систему)", nullptr});
    out.push_back({});
    return out;
  }();
  return entries;
}

// A launch's platform data entry, or else its environment variable; empty
// when the desktop sent neither.
std::string launchValue(GApplicationCommandLine* line, const char* key, const char* variable) {
  std::string value;
  if (GVariant* data = g_application_command_line_get_platform_data(line)) {
    const char* given = nullptr;
    if (g_variant_lookup(data, key, "&s", &given) && given) value = given;
    g_variant_unref(data);
  }
  if (value.empty())
    if (const char* given = g_application_command_line_getenv(line, variable)) value = given;
  return value;
}

// The application object is the toolkit's, which hands a launch's startup id
// to the display; launchers that activate the client instead of running it
// may send a Wayland activation token, which it would drop.
struct VukoApplication {
  GtkApplication parent;
};
struct VukoApplicationClass {
  GtkApplicationClass parent;
};
G_DEFINE_TYPE(VukoApplication, vuko_application, GTK_TYPE_APPLICATION)

void vuko_application_init(VukoApplication*) {}

void vuko_application_class_init(VukoApplicationClass* type) {
  auto* app = G_APPLICATION_CLASS(type);
  app->before_emit = [](GApplication* self, GVariant* data) {
    G_APPLICATION_CLASS(vuko_application_parent_class)->before_emit(self, data);
    const char* token = nullptr;
    if (g_variant_lookup(data, "activation-token", "&s", &token) && token && *token)
      vuko::WindowFocus::expectActivation(token);
  };
  app->after_emit = [](GApplication* self, GVariant* data) {
    vuko::WindowFocus::expectActivation({});
    G_APPLICATION_CLASS(vuko_application_parent_class)->after_emit(self, data);
  };
}

// Runs in the first instance, for its own launch and for every later one.
int commandLine(GApplication*, GApplicationCommandLine* line, gpointer f) {
  auto* front = static_cast<vuko::Front*>(f);
  vuko::AppController::CommandLine launch;
  int argc = 0;
  gchar** argv = g_application_command_line_get_arguments(line, &argc);
  g_strfreev(argv);
  launch.extraArguments = argc > 1 ? static_cast<std::size_t>(argc - 1) : 0;
  GVariantDict* given = g_application_command_line_get_options_dict(line);
  for (const auto& row : vuko::kHotkeyActions)
    if (g_variant_dict_contains(given, row.id)) launch.options.push_back(row.id);
  launch.background = g_variant_dict_contains(given, kBackground);
  launch.startupId = launchValue(line, "desktop-startup-id", "DESKTOP_STARTUP_ID");
  launch.activationToken = launchValue(line, "activation-token", "XDG_ACTIVATION_TOKEN");
  auto outcome = front->commandLine(launch);
  if (!outcome.error.empty())
    g_application_command_line_printerr(line, "%s", outcome.error.c_str());
  return outcome.status;
}

}  // namespace

int main(int argc, char** argv) {
  // The toolkit gives Wayland windows the program name as their app_id, by
  // which the desktop finds the client's entry; X11 windows keep the class
  // they always had, which the entry names as StartupWMClass.
  g_set_prgname(vuko::kAppId);
  g_set_application_name("Vuko");
  gtk_window_set_default_icon_name(vuko::kAppIcon);
  // A later launch sends its environment along: its activation token is there.
  auto* app = GTK_APPLICATION(
      g_object_new(vuko_application_get_type(), "application-id", vuko::kAppId, "flags",
                   G_APPLICATION_HANDLES_COMMAND_LINE | G_APPLICATION_SEND_ENVIRONMENT, nullptr));
  g_application_add_main_option_entries(G_APPLICATION(app), options().data());
  g_application_set_option_context_description(
      G_APPLICATION(app),
      "Без параметров запускает клиент Vuko или, если он уже запущен, показывает его.\n"
      "Параметр выполняет действие глобального сочетания клавиш в запущенном клиенте\n"
      "(или запускает клиент и выполняет его) и сразу завершается: так действие можно\n"
      "назначить сочетанию клавиш рабочего стола, где глобальные сочетания недоступны.\n"
      "С --background клиент запускается без окна: напоминания, значок и сочетания\n"
      "клавиш работают, а страница загрузится, когда окно откроют впервые.");
  auto front = std::make_unique<vuko::Front>(app, vuko::RunConfig::fromEnvironment());
  // Every launch, the first and each later one, arrives here in the first
  // process. The front outlives the application's run, and with it both
  // handlers.
  g_signal_connect(app, "command-line", G_CALLBACK(commandLine), front.get());
  // The toolkit sets the class from the program name when it starts; this
  // handler runs after it. No data.
  g_signal_connect(app, "startup",
                   G_CALLBACK(+[](GApplication*, gpointer) { gdk_set_program_class("Vuko"); }),
                   nullptr);
  g_signal_connect(app, "activate", G_CALLBACK(+[](GApplication*, gpointer f) {
                     static_cast<vuko::Front*>(f)->activate();
                   }),
                   front.get());
  int status = g_application_run(G_APPLICATION(app), argc, argv);
  front.reset();
  g_object_unref(app);
  return status;
}

// Process entry: one application object, one delegate, the main loop.
#include <gtk/gtk.h>

#include <memory>

#include "app/AppDelegate.h"

namespace {

// Commands for desktops where a global key cannot be grabbed: a desktop
// shortcut runs "vuko --quick", and the running client does the hot key's work.
const char* const kCommands[] = {"quick", "show", "focus"};

const GOptionEntry kOptions[] = {
    {"quick", 0, 0, G_OPTION_ARG_NONE, nullptr, "Открыть или закрыть панель быстрой задачи",
     nullptr},
    {"show", 0, 0, G_OPTION_ARG_NONE, nullptr, "Показать или спрятать главное окно", nullptr},
    {"focus", 0, 0, G_OPTION_ARG_NONE, nullptr, "Открыть или закрыть окно помодоро", nullptr},
    {}};

// Runs in the first instance, for its own launch and for every later one.
int commandLine(GApplication*, GApplicationCommandLine* line, gpointer d) {
  auto* delegate = static_cast<vuko::AppDelegate*>(d);
  int argc = 0;
  gchar** argv = g_application_command_line_get_arguments(line, &argc);
  g_strfreev(argv);
  if (argc > 1) {
    g_application_command_line_printerr(
        line, "vuko: лишние аргументы; программа принимает только --quick, --show и --focus\n");
    return 1;
  }
  GVariantDict* options = g_application_command_line_get_options_dict(line);
  bool any = false;
  for (const char* id : kCommands) {
    if (!g_variant_dict_contains(options, id)) continue;
    any = true;
    delegate->command(id);
  }
  if (!any) delegate->reopen();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The name the desktop knows the client by (its vuko.desktop entry).
  g_set_prgname("vuko");
  gtk_window_set_default_icon_name("vuko");
  GtkApplication* app = gtk_application_new("app.vuko.Vuko", G_APPLICATION_HANDLES_COMMAND_LINE);
  g_application_add_main_option_entries(G_APPLICATION(app), kOptions);
  g_application_set_option_context_description(
      G_APPLICATION(app),
      "Без параметров запускает клиент Vuko или, если он уже запущен, показывает его.\n"
      "Параметр выполняет действие глобального сочетания клавиш в запущенном клиенте\n"
      "(или запускает клиент и выполняет его) и сразу завершается: так действие можно\n"
      "назначить сочетанию клавиш рабочего стола, где глобальные сочетания недоступны.");
  auto delegate = std::make_unique<vuko::AppDelegate>(app, vuko::RunConfig::fromEnvironment());
  // Every launch, the first and each later one, arrives here in the first
  // process.
  // The delegate lives until the application has stopped running.
  g_signal_connect(app, "command-line", G_CALLBACK(commandLine), delegate.get());
  g_signal_connect(app, "activate", G_CALLBACK(+[](GApplication*, gpointer d) {
                     static_cast<vuko::AppDelegate*>(d)->reopen();
                   }),
                   delegate.get());
  int status = g_application_run(G_APPLICATION(app), argc, argv);
  delegate.reset();
  g_object_unref(app);
  return status;
}

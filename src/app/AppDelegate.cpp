#include "app/AppDelegate.h"

#include "hotkeys/Hotkeys.h"
#include "platform/Defaults.h"
#include "platform/Wake.h"
#include "reminders/Reminders.h"
#include "web/gtk/MiniFocus.h"
#include "web/gtk/WebController.h"

namespace vuko {

AppDelegate::AppDelegate(GtkApplication* app) : app_(app) {}

// Components are destroyed in the reverse order of their creation, the
// registry (whose actions point at the windows) before the windows.
AppDelegate::~AppDelegate() {
  hotkeys_.reset();
  wake_.reset();
  reminders_.reset();
  mini_.reset();
  main_.reset();
}

void AppDelegate::didFinishLaunching() {
  if (launched_) return;
  launched_ = true;
  // Closing the last window must not end the client: reminders, hot keys and
  // the status item keep working. Only the quit command ends it.
  g_application_hold(G_APPLICATION(app_));

  main_ = std::make_unique<WebController>();
  gtk_application_add_window(app_, main_->window());
  startReminders();

  mini_ = std::make_unique<MiniFocus>(main_->sharedConfig());
  gtk_application_add_window(app_, mini_->window());

  auto alive = life_.guard();
  auto act = [this, alive](void (AppDelegate::*step)()) {
    return [this, alive, step] {
      if (alive) (this->*step)();
    };
  };
  hotkeys_ = std::make_unique<Hotkeys>(std::map<std::string, std::function<void()>>{
      // The quick panel arrives with its own component; until then the key
      // is registered but has nothing to open.
      {"quick", [] {}},
      {"show", act(&AppDelegate::toggleMainWindow)},
      {"focus", act(&AppDelegate::toggleMiniFocus)},
  });
  main_->hotkeys = hotkeys_.get();
  addQuitAction();
  main_->show();
  reportSetAsideSettings();
}

void AppDelegate::reportSetAsideSettings() {
  auto* file = dynamic_cast<FileDefaults*>(&Defaults::standard());
  if (!file || !file->setAside()) return;
  GtkWidget* alert =
      gtk_message_dialog_new(main_->window(), GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_WARNING,
                             GTK_BUTTONS_OK, "%s", "Файл настроек повреждён");
  gtk_message_dialog_format_secondary_text(
      GTK_MESSAGE_DIALOG(alert),
      "Его не удалось прочитать, поэтому программа начала с настройками по умолчанию. "
      "Прежний файл сохранён как %s.",
      file->setAside()->c_str());
  g_signal_connect(alert, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(alert);
}

void AppDelegate::reopen() {
  if (!launched_) {
    didFinishLaunching();
    return;
  }
  // With no window on screen a new launch brings the main window back;
  // otherwise it only brings the client forward, as launching a running
  // application does.
  bool anyVisible = false;
  for (GList* w = gtk_application_get_windows(app_); w; w = w->next)
    anyVisible = anyVisible || gtk_widget_get_visible(GTK_WIDGET(w->data));
  if (!anyVisible)
    main_->show();
  else if (gtk_widget_get_visible(GTK_WIDGET(main_->window())))
    gtk_window_present(main_->window());
}

bool AppDelegate::isActive() const {
  for (GList* w = gtk_application_get_windows(app_); w; w = w->next)
    if (gtk_window_is_active(GTK_WINDOW(w->data))) return true;
  return false;
}

void AppDelegate::toggleMainWindow() {
  if (gtk_widget_get_visible(GTK_WIDGET(main_->window())) && isActive())
    gtk_widget_hide(GTK_WIDGET(main_->window()));
  else
    main_->show();
}

void AppDelegate::toggleMiniFocus() {
  mini_->toggle();
}

void AppDelegate::addQuitAction() {
  GSimpleAction* quit = g_simple_action_new("quit", nullptr);
  g_signal_connect(quit, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer app) {
                     g_application_quit(G_APPLICATION(app));
                   }),
                   app_);
  g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(quit));
  g_object_unref(quit);
  const char* accels[] = {"<Primary>q", nullptr};
  gtk_application_set_accels_for_action(app_, "app.quit", accels);
}

}  // namespace vuko

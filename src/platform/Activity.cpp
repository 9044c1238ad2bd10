#include "platform/Activity.h"

#include <gtk/gtk.h>

#include "platform/gtk/GObjectPtr.h"

namespace vuko {

namespace {

// Asks the desktop (its session manager, or the portal's Inhibit) to keep the
// machine from suspending while the first hold lasts. The process itself is
// kept running by the application already; holding it would not keep the
// machine awake.
class ApplicationActivity final : public Activity {
 public:
  void hold(const std::string& reason) override {
    if (held_++ > 0) return;
    auto* app = g_application_get_default();
    if (!GTK_IS_APPLICATION(app)) return;
    // Zero when neither service answers: there is nothing to release then.
    cookie_ = gtk_application_inhibit(GTK_APPLICATION(app), nullptr,
                                      GTK_APPLICATION_INHIBIT_SUSPEND, reason.c_str());
    if (cookie_) app_ = GObjectPtr<GtkApplication>::share(GTK_APPLICATION(app));
  }
  void release() override {
    if (held_ == 0 || --held_ > 0) return;
    if (app_) gtk_application_uninhibit(app_.get(), cookie_);
    app_.reset();
    cookie_ = 0;
  }

 private:
  int held_ = 0;
  guint cookie_ = 0;
  GObjectPtr<GtkApplication> app_;
};

std::shared_ptr<Activity>& currentActivity() {
  static std::shared_ptr<Activity> a;
  return a;
}

}  // namespace

Activity& Activity::current() {
  auto& a = currentActivity();
  if (!a) a = std::make_shared<ApplicationActivity>();
  return *a;
}

void Activity::setCurrent(std::shared_ptr<Activity> a) {
  currentActivity() = std::move(a);
}

}  // namespace vuko

#include "platform/Activity.h"

#include <gio/gio.h>

namespace vuko {

namespace {

// Holds the default application, which keeps the client running (and not
// treated as idle) until released; without one there is nothing to hold.
class ApplicationActivity final : public Activity {
 public:
  void hold(const std::string&) override {
    if (GApplication* app = g_application_get_default()) {
      g_application_hold(app);
      ++held_;
    }
  }
  void release() override {
    GApplication* app = g_application_get_default();
    if (app && held_ > 0) {
      g_application_release(app);
      --held_;
    }
  }

 private:
  int held_ = 0;
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

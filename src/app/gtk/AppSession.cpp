// The delegate's part in the kept copy of the signed-in user's token.
#include "app/gtk/AppDelegate.h"
#include "reminders/Reminders.h"
#include "server/SessionCopy.h"
#include "server/Settings.h"
#include "settings/Autostart.h"
#include "web/gtk/WebController.h"

namespace vuko {

void AppDelegate::keepSession(bool asleep) {
  // A test run keeps nothing between runs.
  session_ = std::make_unique<SessionCopy>(SealedFile::session(), [inMemory = config_.inMemory] {
    return !inMemory && Autostart::startsAtLogin();
  });
  auto kept = session_->atStart(Settings::server().str());
  if (asleep && kept) main_->lendToken(*kept);
  main_->onToken = [this, alive = life_.guard()](const std::string& token) {
    if (alive) session_->pageToken(token, Settings::server().str());
  };
}

void AppDelegate::forgetAccount() {
  reminders_->reset();
  session_->forget();
}

}  // namespace vuko

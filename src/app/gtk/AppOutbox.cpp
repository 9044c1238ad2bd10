// The delegate's part in the outbox: its file, what sends it, and the status
// menu's line.
#include <memory>

#include "app/gtk/AppDelegate.h"
#include "app/gtk/AppMenus.h"
#include "platform/StateFile.h"
#include "quick/Outbox.h"
#include "reminders/Reminders.h"
#include "server/Settings.h"
#include "server/TaskApi.h"

namespace vuko {

namespace {

class OutboxFile final : public OutboxStore {
 public:
  std::optional<std::string> load() override { return file_.read(); }
  void save(const std::string& document) override { file_.write(document); }

 private:
  StateFile file_{"outbox.json"};
};

}  // namespace

void AppDelegate::startOutbox() {
  auto alive = life_.guard();
  outboxStore_ = std::make_unique<OutboxFile>();
  outbox_ = std::make_unique<Outbox>(*api_, *outboxStore_, [] { return Settings::server().str(); });
  outbox_->onChanged = [this, alive] {
    if (alive) updateWaiting();
  };
  outbox_->onSent = [this, alive] {
    if (alive) afterChange();
  };
  outbox_->onRefused = [this, alive](const std::string& text, const std::string& reason) {
    if (alive && reminders_)
      reminders_->notifyNow("Задача не добавлена", "«" + text + "» — " + reason, "");
  };
}

void AppDelegate::updateWaiting() {
  if (menus_ && outbox_) menus_->setWaiting(outbox_->menuLine());
}

}  // namespace vuko

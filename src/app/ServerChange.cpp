#include "app/ServerChange.h"

namespace vuko {

namespace {
void run(const std::function<void()>& hook) {
  if (hook) hook();
}
}  // namespace

void ServerChange::operator()(bool changed) {
  run(refreshSettings);
  if (!changed) {
    run(reloadMain);
    return;
  }
  run(clearBadge);
  run(reloadMini);
  if (openMain) openMain("/today");
  run(resetReminders);
  // A second change within the delay replaces the first one's refresh: both
  // would ask the same server.
  settle_ = clock_.schedule(kSettleDelay, [this] {
    run(updateBadge);
    run(syncReminders);
  });
}

}  // namespace vuko

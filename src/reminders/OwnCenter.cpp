#include "reminders/OwnCenter.h"

namespace vuko {

OwnCenter::OwnCenter(WallClock& wall, Clock& loop) : loop_(loop), pending_(wall, std::nullopt) {
  // On the wall clock's own turn of the loop, not inside a call.
  pending_.onDue = [this](const NotificationRequest& request) {
    if (onDelivered) onDelivered(request);
  };
}

Future<NotificationAuthorization> OwnCenter::requestAuthorization() {
  Future<NotificationAuthorization> f;
  f.resolver()({true, NotificationAuthorization::Refusal::none});
  return f;
}

void OwnCenter::add(NotificationRequest request) {
  if (request.trigger.kind != NotificationTrigger::Kind::none) {
    pending_.add(std::move(request));
    return;
  }
  pending_.remove({request.id});
  loop_.defer([this, alive = life_.guard(), request = std::move(request)] {
    if (alive && onDelivered) onDelivered(request);
  });
}

Future<std::vector<NotificationRequest>> OwnCenter::pending() {
  Future<std::vector<NotificationRequest>> f;
  f.resolver()(pending_.list());
  return f;
}

void OwnCenter::removePending(const std::vector<std::string>& ids) {
  pending_.remove(ids);
}

}  // namespace vuko

#include "web/PageMessages.h"

#include "web/Bridge.h"
#include "web/NavigationPolicy.h"

namespace vuko {

namespace {

template <class F, class... Args>
void call(const F& handler, Args&&... args) {
  if (handler) handler(std::forward<Args>(args)...);
}

}  // namespace

bool PageMessages::route(const std::optional<Url>& pageUrl, bool offline,
                         const nlohmann::json& body) const {
  // Only our own pages may drive the client: an identity provider's sign-in
  // page shown in the window must not rebind hot keys or post notifications.
  if (!Navigation::trustsMessagesFrom(pageUrl, offline)) return false;
  auto message = Bridge::parse(body);
  if (!message) return false;

  const Handlers& h = handlers_;
  using T = Bridge::Message::Type;
  switch (message->type) {
    case T::notify:
      call(h.notify, message->title, message->body, message->tag);
      break;
    case T::notifyPermission:
      call(h.askPermission);
      break;
    case T::tasksChanged:
      call(h.tasksChanged);
      break;
    case T::retry:
      call(h.retry);
      break;
    case T::chooseServer:
      call(h.chooseServer);
      break;
    case T::getGlobalHotkeys:
      call(h.sendHotkeys);
      break;
    case T::setGlobalHotkey: {
      std::optional<GlobalCombo> combo;
      if (message->combo) combo = GlobalCombo::fromJson(*message->combo);
      call(h.setHotkey, *message->id, combo);
      // The page shows what the system took, which may differ from the ask.
      call(h.sendHotkeys);
      break;
    }
    case T::pauseGlobalHotkeys:
      call(h.pauseHotkeys);
      break;
    case T::resumeGlobalHotkeys:
      call(h.resumeHotkeys);
      break;
  }
  return true;
}

}  // namespace vuko

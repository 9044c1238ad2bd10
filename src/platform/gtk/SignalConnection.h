// Owning handle for one signal handler: the handler is disconnected when the
// handle goes (or is reset), so a handler never outlives the object whose
// pointer it carries as user data.
//
//   closed_ = SignalConnection::connect(window, "delete-event",
//                                       G_CALLBACK(&Owner::onDelete), this);
//
// The instance may die first: the handle watches it through a weak reference
// and then has nothing left to do. A handler disconnected by other means is
// not disconnected twice.
#pragma once

#include <glib-object.h>

#include <memory>
#include <utility>

namespace vuko {

class SignalConnection {
 public:
  SignalConnection() = default;
  // Takes over a handler connected already to instance (a GObject).
  SignalConnection(gpointer instance, gulong handlerId) {
    if (!instance || !handlerId) return;
    state_ = std::make_unique<State>(State{G_OBJECT(instance), handlerId});
    g_object_weak_ref(state_->instance, &SignalConnection::instanceGone, state_.get());
  }
  static SignalConnection connect(gpointer instance, const char* signal, GCallback handler,
                                  gpointer data, GConnectFlags flags = GConnectFlags(0)) {
    return SignalConnection(instance,
                            g_signal_connect_data(instance, signal, handler, data, nullptr, flags));
  }

  // Moving keeps the handler connected; the moved-from handle is empty.
  SignalConnection(SignalConnection&&) noexcept = default;
  SignalConnection& operator=(SignalConnection&& o) noexcept {
    if (this != &o) {
      reset();
      state_ = std::move(o.state_);
    }
    return *this;
  }
  SignalConnection(const SignalConnection&) = delete;
  SignalConnection& operator=(const SignalConnection&) = delete;
  ~SignalConnection() { reset(); }

  void reset() {
    auto state = std::move(state_);
    if (!state || !state->instance) return;
    g_object_weak_unref(state->instance, &SignalConnection::instanceGone, state.get());
    if (g_signal_handler_is_connected(state->instance, state->id))
      g_signal_handler_disconnect(state->instance, state->id);
  }

  // Whether the handler is still connected to a live instance.
  bool connected() const {
    return state_ && state_->instance &&
           g_signal_handler_is_connected(state_->instance, state_->id);
  }
  explicit operator bool() const { return connected(); }

 private:
  // On the heap, so that the weak reference's data stays put when the handle
  // moves.
  struct State {
    GObject* instance;
    gulong id;
  };
  // Runs while the instance is disposed, after its handlers are gone.
  static void instanceGone(gpointer data, GObject*) {
    static_cast<State*>(data)->instance = nullptr;
  }

  std::unique_ptr<State> state_;
};

}  // namespace vuko

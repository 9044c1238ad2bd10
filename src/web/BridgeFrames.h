// Bridge messages only from the top frame. WebKit's message signal does not
// say which frame posted, so the handler lives in a script world of its own
// that only the top frame's relay script can reach; the page keeps posting to
// window.webkit.messageHandlers.vuko, which a shim in the top frame alone
// provides. The shim hands each message to the relay as JSON text in a
// document event: it is delivered at once (a message must not outlive its
// page, whose address decides whether it is trusted), and an embedded frame
// of another origin cannot reach the top document.
#pragma once

namespace vuko::Bridge {

inline constexpr const char* kWorldName = "vuko-bridge";

// Main world, top frame, before any page script.
inline constexpr const char* kPageShim = R"JS((function () {
  const Event = window.CustomEvent, doc = document, dispatch = Document.prototype.dispatchEvent;
  const stringify = JSON.stringify;
  const vuko = Object.freeze({
    postMessage(m) { dispatch.call(doc, new Event('vukobridge', { detail: stringify(m) })); },
  });
  try {
    Object.defineProperty(window, 'webkit', {
      value: Object.freeze({ messageHandlers: Object.freeze({ vuko }) }),
      configurable: false,
    });
  } catch (_) {}
})();
)JS";

// The bridge's own world, top frame. Text from another world is the only
// detail that crosses; anything else reads as null here.
inline constexpr const char* kRelay = R"JS(document.addEventListener('vukobridge', (e) => {
  if (typeof e.detail !== 'string') return;
  let m;
  try { m = JSON.parse(e.detail); } catch (_) { return; }
  window.webkit.messageHandlers.vuko.postMessage(m);
}, true);
)JS";

}  // namespace vuko::Bridge

// A page without a browser: scripts run in a bare JavaScript context with
// just what they touch of a window (the message handler and events), and the
// test reads back the globals they leave and the messages they post.
#pragma once

#include <gtest/gtest.h>
#include <jsc/jsc.h>

#include <string>

#include <nlohmann/json.hpp>

#include "platform/gtk/GObjectPtr.h"

namespace vuko::test {

class Page {
 public:
  Page() {
    eval(R"JS(
      globalThis.window = globalThis;
      var posted = [], events = [], called = [];
      window.webkit = { messageHandlers: { vuko: { postMessage: (m) => posted.push(m) } } };
      class Event { constructor(type) { this.type = type; } }
      window.dispatchEvent = (e) => { events.push(e.type); return true; };
      // What a hostile value would call if it ever broke out of its quotes.
      window.alert = window.evil = (...a) => { called.push(a); };
    )JS");
  }

  // The script's value as JSON (null for undefined); a thrown exception fails
  // the test.
  nlohmann::json eval(const std::string& script) {
    auto value = GObjectPtr<JSCValue>::adopt(
        jsc_context_evaluate(context_.get(), script.c_str(), gssize(script.size())));
    if (JSCException* e = jsc_context_get_exception(context_.get())) {
      ADD_FAILURE() << jsc_exception_get_message(e) << " in: " << script;
      jsc_context_clear_exception(context_.get());
      return nullptr;
    }
    char* json = jsc_value_is_undefined(value.get()) ? nullptr : jsc_value_to_json(value.get(), 0);
    nlohmann::json out = json ? nlohmann::json::parse(json) : nlohmann::json(nullptr);
    g_free(json);
    return out;
  }

 private:
  // One engine for the whole process, as in the client: tearing an engine
  // down inside the sanitizer build trips its type checks in the engine's own
  // (uninstrumented) code.
  static JSCVirtualMachine* vm() {
    static JSCVirtualMachine* machine = jsc_virtual_machine_new();
    return machine;
  }
  GObjectPtr<JSCContext> context_ =
      GObjectPtr<JSCContext>::adopt(jsc_context_new_with_virtual_machine(vm()));
};

}  // namespace vuko::test

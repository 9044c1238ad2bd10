#include "support/WebFixture.h"
#include <libsoup/soup.h>
#include <iostream>

using namespace vuko;
using namespace vuko::test;

namespace {
gboolean hook(GSignalInvocationHint*, guint n, const GValue* values, gpointer) {
  auto* view = WEBKIT_WEB_VIEW(g_value_get_object(&values[0]));
  auto* d = WEBKIT_POLICY_DECISION(g_value_get_object(&values[1]));
  auto type = (WebKitPolicyDecisionType)g_value_get_enum(&values[2]);
  (void)n;
  std::cerr << "decide type=" << type << " viewuri=" << (webkit_web_view_get_uri(view) ?: "null");
  if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    auto* a = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(d));
    auto* r = webkit_navigation_action_get_request(a);
    std::cerr << " req=" << webkit_uri_request_get_uri(r) << " navtype=" << webkit_navigation_action_get_navigation_type(a)
              << " gesture=" << webkit_navigation_action_is_user_gesture(a) << " redirect=" << webkit_navigation_action_is_redirect(a)
              << " frame=" << (webkit_navigation_action_get_frame_name(a) ?: "null");
    if (auto* h = webkit_uri_request_get_http_headers(r)) {
      SoupMessageHeadersIter it; soup_message_headers_iter_init(&it, h); const char *k, *v;
      while (soup_message_headers_iter_next(&it, &k, &v)) std::cerr << " [" << k << ": " << v << "]";
    }
    auto* mr = webkit_web_view_get_main_resource(view);
    std::cerr << " mainres=" << (mr ? webkit_web_resource_get_uri(mr) : "null");
  } else {
    auto* r = webkit_response_policy_decision_get_request(WEBKIT_RESPONSE_POLICY_DECISION(d));
    std::cerr << " resp for " << webkit_uri_request_get_uri(r) << " mainframe=" << webkit_response_policy_decision_is_main_frame_main_resource(WEBKIT_RESPONSE_POLICY_DECISION(d));
  }
  std::cerr << "\n";
  return TRUE;
}
}  // namespace

class Exp : public WebFixture {};
TEST_F(Exp, Subframes) {
  TestServer other;
  other.handle("/framed", [](const Received&) { return html("<p>framed</p><a id=a href='/framed2'>x</a>"); });
  other.handle("/framed2", [](const Received&) { return html("<p>framed2</p>"); });
  std::string foreign = "http://localhost:" + std::to_string(other.port());
  server.handle("/withframe", [&](const Received&) { return html("<iframe id=f src='" + foreign + "/framed'></iframe>"); });
  g_type_class_unref(g_type_class_ref(WEBKIT_TYPE_WEB_VIEW));
  g_signal_add_emission_hook(g_signal_lookup("decide-policy", WEBKIT_TYPE_WEB_VIEW), 0, hook, nullptr, nullptr);
  start();
  std::cerr << "--- load withframe\n";
  controller->load("/withframe");
  waitForUri(server.url() + "/withframe");
  spin(std::chrono::milliseconds(1000));
  std::cerr << "--- opened: " << opened.size() << "\n";
  for (auto& o : opened) std::cerr << "   " << o << "\n";
  std::cerr << "--- main nav to foreign\n";
  eval("location.href = '" + foreign + "/framed2'; true");
  spin(std::chrono::milliseconds(500));
  std::cerr << "--- iframe src change\n";
  eval("document.getElementById('f').src = '" + foreign + "/framed2'; true");
  spin(std::chrono::milliseconds(500));
}

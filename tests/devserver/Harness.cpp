#include "Harness.h"

#include <gtest/gtest.h>
#include <libsoup/soup.h>

namespace vuko::dev::test {

Harness::Harness(std::int64_t start, const std::string& db)
    : now(start),
      server({.db = db, .clock = [this] { return now; }}),
      session_(soup_session_new()) {
  auto reply =
      call("POST", "/api/auth/register", {{"email", "tester@vuko.local"}, {"password", "secret"}});
  EXPECT_EQ(reply.status, 201) << reply.body;
  token = reply.json.value("token", "");
}

Harness::~Harness() {
  g_object_unref(session_);
}

Reply Harness::raw(const std::string& method, const std::string& path, const std::string& body,
                   const std::string& bearer) {
  SoupMessage* msg = soup_message_new(method.c_str(), (server.url() + path).c_str());
  if (!msg) {
    ADD_FAILURE() << "bad request line " << method << " " << path;
    return {};
  }
  if (!body.empty() || method == "POST" || method == "PUT") {
    GBytes* bytes = g_bytes_new(body.data(), body.size());
    soup_message_set_request_body_from_bytes(msg, "application/json", bytes);
    g_bytes_unref(bytes);
  }
  if (!bearer.empty())
    soup_message_headers_replace(soup_message_get_request_headers(msg), "Authorization",
                                 ("Bearer " + bearer).c_str());
  // The server answers on this thread: the loop runs until the answer is in
  // (a server that never answers is ended by the test's time limit).
  std::pair<GBytes*, bool> pending{nullptr, false};
  soup_session_send_and_read_async(
      session_, msg, G_PRIORITY_DEFAULT, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* p = static_cast<std::pair<GBytes*, bool>*>(data);
        p->first = soup_session_send_and_read_finish(SOUP_SESSION(source), result, nullptr);
        p->second = true;
      },
      &pending);
  while (!pending.second) g_main_context_iteration(nullptr, TRUE);

  Reply reply;
  reply.status = static_cast<int>(soup_message_get_status(msg));
  if (pending.first) {
    gsize size = 0;
    auto* p = static_cast<const char*>(g_bytes_get_data(pending.first, &size));
    reply.body.assign(p ? p : "", size);
    g_bytes_unref(pending.first);
  }
  reply.json = nlohmann::json::parse(reply.body, nullptr, false);
  soup_message_headers_foreach(
      soup_message_get_response_headers(msg),
      [](const char* name, const char* value, gpointer out) {
        gchar* lower = g_ascii_strdown(name, -1);
        (*static_cast<std::map<std::string, std::string>*>(out))[lower] = value;
        g_free(lower);
      },
      &reply.headers);
  g_object_unref(msg);
  return reply;
}

Reply Harness::call(const std::string& method, const std::string& path, const nlohmann::json& body,
                    const std::string& bearer) {
  return raw(method, path, body.is_null() ? std::string() : body.dump(), bearer);
}

}  // namespace vuko::dev::test

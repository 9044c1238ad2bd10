// A fixture for tests of the real main window: a task server on 127.0.0.1
// used as the test server, fresh settings, and helpers to read the web
// view's state.
#pragma once

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Workspace.h"
#include "support/SettingsScope.h"
#include "support/TestServer.h"
#include "support/Wait.h"
#include "web/gtk/WebController.h"

namespace vuko::test {

class WebFixture : public testing::Test {
 protected:
  void SetUp() override {
    if (!gdk_display_get_default()) GTEST_SKIP() << "needs a display";
    scope.emplace(server.url());
    Workspace::setOpener([this](const std::string& uri) { opened.push_back(uri); });
    server.handle("/api/health", [](const Received&) { return healthy(); });
    server.handle("/today", [](const Received&) { return html(todayPage()); });
  }

  void TearDown() override {
    controller.reset();
    Workspace::setOpener(nullptr);
    scope.reset();
  }

  // A page of the task server with a marker that a reload would lose.
  static std::string todayPage() {
    return "<!doctype html><h1>Сегодня</h1><script>window.marker = 'kept';</script>";
  }

  static std::string uriOf(WebKitWebView* view) {
    const char* u = webkit_web_view_get_uri(view);
    return u ? u : "";
  }
  std::string uri() const { return uriOf(controller->webView()); }

  bool waitForUri(const std::string& expected, WebKitWebView* view = nullptr) {
    view = view ? view : controller->webView();
    return waitUntil([&] { return uriOf(view) == expected && !webkit_web_view_is_loading(view); });
  }

  std::optional<nlohmann::json> eval(const std::string& script, WebKitWebView* view = nullptr) {
    auto future = WebController::evaluateJson(view ? view : controller->webView(), script);
    std::optional<std::optional<nlohmann::json>> out;
    [](auto f, auto* result) -> Task<> { *result = co_await f; }(std::move(future), &out).detach();
    waitUntil([&] { return out.has_value(); });
    return out ? *out : std::nullopt;
  }

  // Waits until a script in the page gives the expected value.
  bool waitForValue(const std::string& script, const nlohmann::json& expected,
                    WebKitWebView* view = nullptr) {
    return waitUntil([&] { return eval(script, view) == std::optional<nlohmann::json>(expected); });
  }

  size_t requestCount(const std::string& path) const {
    size_t n = 0;
    for (const auto& r : server.received()) n += r.path == path;
    return n;
  }

  // Serves html at path and loads it in the main view.
  bool showPage(const std::string& path, const std::string& body) {
    server.handle(path, [body](const Received&) { return html(body); });
    controller->load(path);
    return waitForUri(server.url() + path);
  }

  // A script that posts a bridge message the way page scripts do.
  static std::string post(const std::string& messageJs) {
    return "window.webkit.messageHandlers.vuko.postMessage(" + messageJs + "); true";
  }

  // inMemory false: the page's storage is kept in the test's data folder.
  void start(bool inMemory = true) {
    controller = std::make_unique<WebController>(inMemory);
    ASSERT_TRUE(waitForUri(server.url() + "/today")) << uri();
  }

  TestServer server;
  std::optional<SettingsScope> scope;
  std::unique_ptr<WebController> controller;
  std::vector<std::string> opened;
};

}  // namespace vuko::test

// What the page-loading rules need of a web view, so that they can run
// against a scripted view in tests.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/Task.h"
#include "platform/Url.h"

namespace vuko {

class WebView {
 public:
  virtual ~WebView() = default;
  virtual void loadUrl(const Url& url) = 0;
  // Shows a page built in the client, with no base address.
  virtual void loadHtml(const std::string& html) = 0;
  // Runs a script in the page; its result as JSON, none on failure.
  virtual Future<std::optional<nlohmann::json>> evaluate(const std::string& script) = 0;
  virtual std::optional<Url> currentUrl() const = 0;
  virtual void stop() = 0;
  virtual void reload() = 0;
};

}  // namespace vuko

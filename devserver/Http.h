// The server's own view of an HTTP exchange, independent of libsoup, and the
// error that handlers throw to answer with a JSON error.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace vuko::dev {

struct Request {
  std::string method;
  std::string path;
  std::map<std::string, std::string> query;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  std::string header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
  }
};

struct Response {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;

  static Response json(int status, const nlohmann::json& value);
  // {"detail": detail}, plus "errors" when given.
  static Response error(int status, const std::string& detail,
                        const nlohmann::json& errors = nullptr);
};

// Thrown by handlers; the dispatcher turns it into Response::error.
struct HttpError : std::runtime_error {
  HttpError(int code, const std::string& detail, nlohmann::json details = nullptr)
      : std::runtime_error(detail), status(code), errors(std::move(details)) {}
  int status;
  nlohmann::json errors;
};

// Collects what is wrong with the members of a request body and answers 422
// naming all of them at once.
class FieldErrors {
 public:
  void add(const std::string& field, const std::string& message);
  bool empty() const { return list_.empty(); }
  // Throws HttpError 422 when anything was added.
  void check() const;

 private:
  nlohmann::json list_ = nlohmann::json::array();
  std::string text_;
};

// The request body as a JSON object; 422 when it is not one.
nlohmann::json jsonObject(const Request& request);

}  // namespace vuko::dev

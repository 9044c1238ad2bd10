#include "devserver/Http.h"

namespace vuko::dev {

Response Response::json(int status, const nlohmann::json& value) {
  Response r;
  r.status = status;
  // Replace rather than throw on strings that are not UTF-8.
  r.body = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return r;
}

Response Response::error(int status, const std::string& detail, const nlohmann::json& errors) {
  nlohmann::json body = {{"detail", detail}};
  if (!errors.is_null()) body["errors"] = errors;
  return json(status, body);
}

void FieldErrors::add(const std::string& field, const std::string& message) {
  list_.push_back({{"loc", {"body", field}}, {"msg", message}, {"type", "value_error"}});
  text_ += (text_.empty() ? "" : "; ") + field + ": " + message;
}

void FieldErrors::check() const {
  if (!empty()) throw HttpError(422, "Неверные данные — " + text_, list_);
}

nlohmann::json jsonObject(const Request& request) {
  if (request.body.empty()) throw HttpError(422, "Нужно тело запроса в формате JSON");
  auto value = nlohmann::json::parse(request.body, nullptr, false);
  if (value.is_discarded()) throw HttpError(422, "Тело запроса — не JSON");
  if (!value.is_object()) throw HttpError(422, "Тело запроса должно быть JSON-объектом");
  return value;
}

}  // namespace vuko::dev

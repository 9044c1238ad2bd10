#include "server/TaskApi.h"

namespace vuko {

TaskApi::Failure TaskApi::Failure::server(int status, std::optional<std::string> detail) {
  return Failure(Kind::server, detail ? *detail : "Ошибка сервера " + std::to_string(status),
                 status);
}

TaskApi::Failure TaskApi::Failure::notSignedIn() {
  return Failure(Kind::notSignedIn, "Сначала войдите в «Vuko» в главном окне", 401);
}

TaskApi::Failure TaskApi::Failure::network(const std::string& networkText, bool cancelled) {
  return Failure(Kind::network, networkText, 0, cancelled);
}

TaskApi::Failure TaskApi::Failure::unencodable() {
  // Only text that is not UTF-8 gets here; the field keeps it.
  return Failure(Kind::unencodable, "Не удалось отправить текст", 0);
}

Task<std::optional<std::string>> TaskApi::token() const {
  if (!tokenSource_) co_return std::nullopt;
  std::optional<std::string> token;
  try {
    token = co_await tokenSource_();
  } catch (...) {
    co_return std::nullopt;
  }
  if (token && token->empty()) token.reset();
  co_return token;
}

}  // namespace vuko

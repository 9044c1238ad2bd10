#include "server/NetworkText.h"

namespace vuko {

std::string networkFailureText(TransportError::Kind kind) {
  using K = TransportError::Kind;
  switch (kind) {
    case K::refused:
      return "Сервер отклонил соединение.";
    case K::unreachable:
      return "Сервер недоступен: нет пути к нему по сети.";
    case K::connectionLost:
      return "Соединение с сервером прервалось.";
    case K::timedOut:
      return "Превышен лимит времени на запрос.";
    case K::hostNotFound:
      return "Сервер с таким именем не найден.";
    case K::certificate:
      return "Ошибка сертификата: сервер не подтвердил, что он тот, за кого себя выдаёт.";
    case K::secureConnection:
      return "Защищённое соединение с сервером не установилось.";
    case K::notHttp:
      return "Сервер ответил не по протоколу HTTP.";
    case K::cancelled:
      return "Запрос отменён.";
    case K::badUrl:
      return "Неверный адрес.";
    case K::other:
      break;
  }
  return "Произошла ошибка сети.";
}

}  // namespace vuko

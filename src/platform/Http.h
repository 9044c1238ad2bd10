// HTTP client on the main loop (libsoup 3).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Task.h"

namespace vuko {

struct HttpRequest {
  std::string method = "GET";
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> body;
  std::chrono::milliseconds timeout{60000};
};

struct HttpResponse {
  int status = 0;
  std::map<std::string, std::string> headers;  // names lower-cased
  std::string body;
};

// A failed transfer (no connection, time-out, TLS or name failure). The kind
// says why; what() is the network library's own wording, for logs only (the
// user's sentence for a kind is the core's business).
class TransportError : public std::runtime_error {
 public:
  enum class Kind {
    refused,
    unreachable,
    connectionLost,
    timedOut,
    hostNotFound,
    certificate,
    secureConnection,
    notHttp,
    cancelled,
    badUrl,
    other
  };
  TransportError(Kind kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// The kind of a network failure from its GLib error domain (a GQuark) and
// code (GIO, resolver, TLS or HTTP session errors).
TransportError::Kind networkErrorKind(std::uint32_t domain, int code);

class Http {
 public:
  // Sends the request and waits for the whole response. Throws TransportError
  // when no HTTP response arrives; an HTTP error status is a response.
  // The request is cancelled (and throws kind cancelled) when guard ends.
  static Task<HttpResponse> send(HttpRequest request, Lifetime::Guard guard = {});
};

}  // namespace vuko

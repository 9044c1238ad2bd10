// An absolute URL (RFC 3986, parsed with GLib) with the parts the client reads.
#pragma once

#include <optional>
#include <string>

namespace vuko {

class Url {
 public:
  // None when text is not an absolute URL.
  static std::optional<Url> parse(const std::string& text);

  // The scheme exactly as written (parsers elsewhere lower-case it).
  const std::string& scheme() const { return scheme_; }
  const std::optional<std::string>& host() const { return host_; }
  const std::optional<int>& port() const { return port_; }
  const std::string& path() const { return path_; }
  const std::string& str() const { return text_; }

  // The host in lower case and the port unless it is the scheme's default:
  // the form in which the web engine reports every address.
  std::optional<std::string> lowerHost() const;
  std::optional<int> portUnlessDefault() const;

  // A host fit for a server address: lower case, international names in
  // their ASCII form; none when it is neither a DNS name nor an IP address.
  static std::optional<std::string> serverHost(const std::string& host);

  // Standard reference resolution against this URL; none when ref is unusable.
  std::optional<Url> resolve(const std::string& ref) const;

  bool operator==(const Url& o) const { return text_ == o.text_; }

 private:
  std::string text_, scheme_, path_;
  std::optional<std::string> host_;
  std::optional<int> port_;
};

}  // namespace vuko

// A notification server for tests: owns org.freedesktop.Notifications on the
// session bus from its own thread, main context and connection, records the
// Notify calls and emits the user's answers from the owning connection.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vuko::test {

class FakeNotificationServer {
 public:
  struct Call {
    std::uint32_t id = 0;
    std::string appName, icon, summary, body;
    std::uint32_t replaces = 0;
    std::vector<std::string> actions;
    std::map<std::string, std::string> hints;  // string hints only
  };

  explicit FakeNotificationServer(std::vector<std::string> capabilities = {"actions", "body",
                                                                           "sound"});
  ~FakeNotificationServer();
  FakeNotificationServer(const FakeNotificationServer&) = delete;
  FakeNotificationServer& operator=(const FakeNotificationServer&) = delete;

  // Whether the name is owned (the server is reachable).
  bool ready() const;
  std::vector<Call> calls() const;
  std::vector<std::uint32_t> closedByClient() const;
  // The user pressed a button ("default" for the body) of notification id;
  // a non-empty activationToken is sent first, as servers that have one do.
  void invoke(std::uint32_t id, const std::string& key, const std::string& activationToken = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A private session bus with no activatable services, for one test.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

 private:
  void* bus_ = nullptr;
};

}  // namespace vuko::test

// The JSON API below "/api": routing, authorisation and the handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devserver/Http.h"
#include "devserver/Store.h"
#include "devserver/UserSettings.h"

namespace vuko::dev {

class Api {
 public:
  using Clock = std::function<std::int64_t()>;
  Api(Store& store, Clock clock) : store_(store), clock_(std::move(clock)) {}

  // `request.path` is the path below "/api" ("/tasks/7").
  Response handle(const Request& request);

 private:
  // One request after routing: the signed-in user and the path's parameters.
  struct Call {
    const Request& request;
    std::int64_t userId = 0;
    std::string token;
    std::vector<std::string> params;
  };
  using Handler = Response (Api::*)(Call&);
  struct Route {
    const char* method;
    const char* pattern;  // "{id}" matches digits, "{key}" a reminder id
    Handler handler;
    bool open;  // no token needed
  };
  static const std::vector<Route>& routes();

  void authorise(Call& call);
  UserSettings settingsOf(std::int64_t userId);
  Task ownTask(Call& call, size_t param = 0);

  // Account (ApiAccount.cpp)
  Response health(Call&);
  Response login(Call&);
  Response signup(Call&);
  Response logout(Call&);
  Response me(Call&);
  Response getSettings(Call&);
  Response putSettings(Call&);
  // Tasks (ApiTasks.cpp)
  Response listTasks(Call&);
  Response createTask(Call&);
  Response getTask(Call&);
  Response putTask(Call&);
  Response deleteTask(Call&);
  Response counts(Call&);
  Response parse(Call&);
  Response attachment(Call&);
  // Reminders (ApiReminders.cpp)
  Response upcoming(Call&);
  Response fired(Call&);

  Store& store_;
  Clock clock_;
};

}  // namespace vuko::dev

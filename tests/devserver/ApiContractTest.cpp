// Status codes and body shapes of the API, as the client and the pages rely on them.
#include <gtest/gtest.h>

#include "Harness.h"

namespace vuko::dev::test {
namespace {

using nlohmann::json;

// Every error answer is a JSON object with a non-empty string "detail".
void expectError(Reply r, int status, const std::string& what) {
  EXPECT_EQ(r.status, status) << what << ": " << r.body;
  EXPECT_TRUE(r.json.is_object() && r.json.value("detail", "") != "") << what << ": " << r.body;
  EXPECT_NE(r.headers["content-type"].find("application/json"), std::string::npos) << what;
}

TEST(ApiContract, LoginGivesTokenAndUserAndLogoutEndsIt) {
  Harness h;
  auto bad =
      h.call("POST", "/api/auth/login", {{"email", "tester@vuko.local"}, {"password", "wrong"}});
  expectError(bad, 401, "wrong password");

  auto ok =
      h.call("POST", "/api/auth/login", {{"email", " Tester@Vuko.local "}, {"password", "secret"}});
  ASSERT_EQ(ok.status, 200) << ok.body;
  std::string token = ok.json["token"];
  EXPECT_GE(token.size(), 32u);
  EXPECT_NE(token, h.token) << "each sign-in gets a token of its own";
  EXPECT_EQ(ok.json["user"]["email"], "tester@vuko.local");

  EXPECT_EQ(h.call("GET", "/api/auth/me", nullptr, token).status, 200);
  EXPECT_EQ(h.call("POST", "/api/auth/logout", nullptr, token).status, 200);
  expectError(h.call("GET", "/api/tasks/counts", nullptr, token), 401, "after logout");
  EXPECT_EQ(h.api("GET", "/api/tasks/counts").status, 200) << "other sessions stay";
}

TEST(ApiContract, EveryCallButHealthAndLoginNeedsAValidToken) {
  Harness h;
  auto health = h.call("GET", "/api/health");
  EXPECT_EQ(health.status, 200);
  EXPECT_EQ(health.json["ok"], true);
  for (std::string call :
       {"GET /api/tasks", "POST /api/tasks", "GET /api/tasks/counts", "POST /api/tasks/parse",
        "GET /api/tasks/1", "PUT /api/tasks/1", "DELETE /api/tasks/1",
        "GET /api/tasks/1/attachment", "GET /api/settings", "PUT /api/settings",
        "GET /api/reminders/upcoming?hours=24", "POST /api/reminders/t1-5/fired",
        "POST /api/auth/logout"}) {
    std::string method = call.substr(0, call.find(' ')), path = call.substr(method.size() + 1);
    auto none = h.raw(method, path, "{}");
    expectError(none, 401, call + " without token");
    EXPECT_EQ(none.headers["www-authenticate"], "Bearer") << call;
    expectError(h.raw(method, path, "{}", "not-a-token"), 401, call + " with a bad token");
  }
}

TEST(ApiContract, UnknownPathsAnswer404AndWrongMethods405) {
  Harness h;
  expectError(h.api("GET", "/api/nothing"), 404, "unknown api path");
  expectError(h.api("GET", "/api/tasks/abc"), 404, "non-numeric id");
  expectError(h.api("POST", "/api/reminders/bogus/fired"), 404, "reminder id of no form");
  expectError(h.call("GET", "/no-such-page"), 404, "unknown page");
  expectError(h.call("GET", "/files/missing.pdf"), 404, "missing file");
  for (auto [method, path] : {std::pair{"DELETE", "/api/tasks/counts"}, {"POST", "/today"}}) {
    auto r = h.raw(method, path, "{}", h.token);
    expectError(r, 405, path);
    EXPECT_NE(r.headers["allow"].find("GET"), std::string::npos) << path;
  }
}

TEST(ApiContract, BadInputAnswers422AndChangesNothing) {
  Harness h;
  auto made = h.api("POST", "/api/tasks", {{"title", "Existing"}});
  ASSERT_EQ(made.status, 201);
  const std::string put = "PUT /api/tasks/" + std::to_string(made.json["id"].get<int>());
  // The call, its body, and the member named in the error list (if any).
  const std::tuple<std::string, const char*, const char*> cases[] = {
      {"POST /api/tasks", R"({"title": )", ""},  // malformed JSON
      {"POST /api/tasks", "", ""},
      {"POST /api/tasks", "[1, 2]", ""},
      {"POST /api/tasks", "{\"title\": \"\xff\xfe\"}", ""},  // invalid UTF-8
      {"POST /api/tasks", R"({"priority": 1})", "title"},
      {"POST /api/tasks", R"({"title": 5})", "title"},
      {"POST /api/tasks", R"({"title": "   "})", "title"},
      {"POST /api/tasks", R"({"title": "a", "priority": 7})", "priority"},
      {"POST /api/tasks", R"({"title": "a", "priority": "3"})", "priority"},
      {"POST /api/tasks", R"({"title": "a", "due_date": "2025-02-30"})", "due_date"},
      {"POST /api/tasks", R"({"title": "a", "start_date": "2025-+3-05"})", "start_date"},
      {"POST /api/tasks", R"({"title": "a", "start_date": "05.03.2025"})", "start_date"},
      {"POST /api/tasks", R"({"title": "a", "due_time": "25:00"})", "due_time"},
      {"POST /api/tasks", R"({"title": "a", "due_time": "-6:05"})", "due_time"},
      {"POST /api/tasks", R"({"title": "a", "tags": "дом"})", "tags"},
      {"POST /api/tasks", R"({"title": "a", "repeat": "hourly"})", "repeat"},
      {"POST /api/tasks", R"({"title": "a", "smart": "yes"})", "smart"},
      {put, R"({"completed": 1})", "completed"},
      {put, R"({"title": "New", "priority": -1})", "priority"},  // one bad member of many
      {"POST /api/tasks/parse", "{}", "text"},
      {"POST /api/tasks/parse", R"({"text": ["a"]})", "text"},
      {"POST /api/auth/login", R"({"email": "a@b"})", "password"},
      {"PUT /api/settings", R"({"timezone": "Mars/Olympus"})", "timezone"},
      {"PUT /api/settings", R"({"remindBefore": -5, "dailyDigest": true})", "remindBefore"},
      {"PUT /api/settings", R"({"dailyDigestTime": "8"})", "dailyDigestTime"},
      {"GET /api/reminders/upcoming?hours=abc", "", ""},
      {"GET /api/reminders/upcoming?hours=0", "", ""},
      {"GET /api/tasks?view=someday", "", ""},
  };
  for (const auto& [call, body, field] : cases) {
    std::string method = call.substr(0, call.find(' ')), what = call + " " + body;
    auto r = h.raw(method, call.substr(method.size() + 1), body, h.token);
    expectError(r, 422, what);
    bool named = !*field;
    for (const auto& e : r.json.value("errors", json::array())) named |= e["loc"].back() == field;
    EXPECT_TRUE(named) << what << ": " << r.body;
  }
  auto tasks = h.api("GET", "/api/tasks");
  ASSERT_EQ(tasks.json["count"], 1) << "no task was created by bad input";
  EXPECT_EQ(tasks.json["items"][0]["title"], "Existing") << "no half-applied change";
  EXPECT_EQ(tasks.json["items"][0]["priority"], 0);
  EXPECT_EQ(h.api("GET", "/api/settings").json["dailyDigest"], false)
      << "a rejected PUT changes no member";
}

TEST(ApiContract, TaskLifecycle) {
  Harness h;
  auto made = h.api("POST", "/api/tasks",
                    {{"title", "Созвон с командой"},
                     {"start_date", "2025-03-05"},
                     {"due_time", "12:16"},
                     {"priority", 2},
                     {"tags", json::array({"работа", {{"name", "#созвоны"}}})}});
  ASSERT_EQ(made.status, 201) << made.body;
  const json& t = made.json;
  EXPECT_EQ(t["due_time"], "12:16:00");
  EXPECT_EQ(t["tags"], json::array({"работа", "созвоны"}));
  EXPECT_FALSE(t.contains("due_date")) << "members without a value are left out";
  EXPECT_TRUE(t["completed_at"].is_null());
  std::string path = "/api/tasks/" + std::to_string(t["id"].get<int>());

  EXPECT_EQ(h.api("GET", path).json["title"], "Созвон с командой");
  auto done = h.api("PUT", path, {{"completed", true}});
  ASSERT_EQ(done.status, 200) << done.body;
  EXPECT_EQ(done.json["completed_at"], "2025-03-05T12:00:00+03:00");
  EXPECT_EQ(h.api("GET", path).json["completed"], true);
  EXPECT_TRUE(h.api("PUT", path, {{"completed", false}}).json["completed_at"].is_null());

  auto cleared = h.api("PUT", path, {{"start_date", nullptr}, {"due_time", nullptr}});
  EXPECT_FALSE(cleared.json.contains("start_date"));
  EXPECT_EQ(cleared.json["priority"], 2) << "members not sent stay";

  EXPECT_EQ(h.api("DELETE", path).status, 200);
  expectError(h.api("GET", path), 404, "deleted task");
  expectError(h.api("DELETE", path), 404, "deleted twice");
}

TEST(ApiContract, SmartCreateReadsTheTitle) {
  Harness h;
  auto r = h.api("POST", "/api/tasks",
                 {{"title", "завтра в 10 позвонить маме !высокий #семья"}, {"smart", true}});
  ASSERT_EQ(r.status, 201) << r.body;
  EXPECT_EQ(json({r.json["title"], r.json["due_date"], r.json["due_time"], r.json["priority"],
                  r.json["tags"]}),
            json({"позвонить маме", "2025-03-06", "10:00:00", 3, {"семья"}}));

  auto plain = h.api("POST", "/api/tasks", {{"title", "завтра в 10 позвонить"}});
  EXPECT_EQ(plain.json["title"], "завтра в 10 позвонить") << "without smart the text stays";
  auto onlyDate = h.api("POST", "/api/tasks", {{"title", "завтра"}, {"smart", true}});
  EXPECT_EQ(onlyDate.json["title"], "завтра") << "a title is never empty";
  auto overridden =
      h.api("POST", "/api/tasks", {{"title", "завтра отчёт !1"}, {"smart", true}, {"priority", 2}});
  EXPECT_EQ(overridden.json["priority"], 2) << "explicit members win over the text";
}

TEST(ApiContract, SettingsRoundTrip) {
  Harness h;
  auto put = h.api("PUT", "/api/settings",
                   {{"timezone", "Asia/Vladivostok"}, {"dailyDigestTime", "07:30"}});
  ASSERT_EQ(put.status, 200) << put.body;
  auto again = h.api("GET", "/api/settings");
  EXPECT_EQ(again.json["timezone"], "Asia/Vladivostok");
  EXPECT_EQ(again.json["dailyDigestTime"], "07:30");
  EXPECT_EQ(again.json["remindBefore"], 15);
}

TEST(ApiContract, PagesFilesAndTheDemo) {
  Harness h;
  for (const char* page : {"/login", "/today", "/inbox", "/week", "/calendar", "/focus",
                           "/mini-focus", "/settings", "/settings/advanced"}) {
    auto r = h.call("GET", page);
    EXPECT_EQ(r.status, 200) << page;
    EXPECT_NE(r.headers["content-type"].find("text/html"), std::string::npos) << page;
  }
  auto js = h.call("GET", "/static/app.js");
  EXPECT_EQ(js.status, 200);
  EXPECT_NE(js.headers["content-type"].find("javascript"), std::string::npos);
  auto pdf = h.call("GET", "/files/report.pdf");
  EXPECT_EQ(pdf.body.substr(0, 5), "%PDF-");
  EXPECT_EQ(pdf.headers["content-disposition"], "attachment; filename=\"report.pdf\"");

  h.server.seedDemo();
  auto login =
      h.call("POST", "/api/auth/login", {{"email", "demo@vuko.local"}, {"password", "demo"}});
  std::string demo = login.json["token"];
  auto tasks = h.call("GET", "/api/tasks?completed=all", nullptr, demo);
  EXPECT_GE(tasks.json["count"], 10);
  h.server.seedDemo();
  EXPECT_EQ(h.call("GET", "/api/tasks?completed=all", nullptr, demo).json["count"],
            tasks.json["count"])
      << "seeding again adds nothing";

  std::string url;
  for (const auto& t : tasks.json["items"])
    if (t["attachment"].is_object()) url = t["attachment"]["url"];
  ASSERT_FALSE(url.empty()) << "the demo has a task with an attachment";
  auto file = h.call("GET", url, nullptr, demo);
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(file.headers["content-type"], "application/pdf");
  EXPECT_NE(file.headers["content-disposition"].find("attachment"), std::string::npos);
  expectError(h.api("GET", url), 404, "someone else's task");
}

}  // namespace
}  // namespace vuko::dev::test

// Reminders computed from tasks and settings: time zones, kinds, ids, and the
// fired / withdrawn cycle.
#include <gtest/gtest.h>

#include "Harness.h"

namespace vuko::dev::test {
namespace {

using nlohmann::json;

json itemsFor(Harness& h, int taskId, const std::string& query = "") {
  auto r = h.api("GET", "/api/reminders/upcoming" + query);
  EXPECT_EQ(r.status, 200) << r.body;
  json out = json::array();
  for (const auto& item : r.json["items"])
    if (item["task_id"] == taskId) out.push_back(item);
  return out;
}

int makeTask(Harness& h, const json& body) {
  auto r = h.api("POST", "/api/tasks", body);
  EXPECT_EQ(r.status, 201) << r.body;
  return r.json.value("id", 0);
}

struct ZoneCase {
  const char* zone;
  const char* date;
  const char* time;      // "" = a task without time
  const char* query;     // "" = the default window of 24 hours
  const char* remindAt;  // "" = not listed
};

// Now is 2025-03-05 09:00 UTC.
const ZoneCase kZoneCases[] = {
    {"Europe/Moscow", "2025-03-05", "12:16", "", "2025-03-05T12:01:00+03:00"},
    {"America/New_York", "2025-03-05", "12:16", "", "2025-03-05T12:01:00-05:00"},
    {"UTC", "2025-03-05", "09:16", "", "2025-03-05T09:01:00+00:00"},
    // 12:16 on the 5th in Kiritimati (UTC+14) was yesterday in UTC: long past.
    {"Pacific/Kiritimati", "2025-03-05", "12:16", "", ""},
    // Daylight saving time starts in New York on 9 March.
    {"America/New_York", "2025-03-09", "09:00", "?hours=120", "2025-03-09T08:45:00-04:00"},
    {"America/New_York", "2025-03-09", "09:00", "?hours=24", ""},
    // A task without time is recalled at 09:00 on its day.
    {"Europe/Moscow", "2025-03-06", "", "", "2025-03-06T09:00:00+03:00"},
    {"Asia/Tokyo", "2025-03-06", "", "", "2025-03-06T09:00:00+09:00"},
    // Today's 09:00 in Moscow was three hours ago: nothing left to recall.
    {"Europe/Moscow", "2025-03-05", "", "", ""},
    // 30 hours away: beyond the default window, within a wider one.
    {"Europe/Moscow", "2025-03-06", "18:00", "", ""},
    {"Europe/Moscow", "2025-03-06", "18:00", "?hours=48", "2025-03-06T17:45:00+03:00"},
};

TEST(Reminders, ComputedInTheUsersTimeZone) {
  Harness h;
  for (const ZoneCase& c : kZoneCases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.date + " " + c.time + c.query);
    ASSERT_EQ(h.api("PUT", "/api/settings", {{"timezone", c.zone}}).status, 200);
    json body = {{"title", "Созвон"}, {"start_date", c.date}};
    if (*c.time) body["due_time"] = c.time;
    int id = makeTask(h, body);
    json items = itemsFor(h, id, c.query);
    if (!*c.remindAt) {
      EXPECT_TRUE(items.empty()) << items.dump();
      continue;
    }
    ASSERT_EQ(items.size(), 1u) << items.dump();
    EXPECT_EQ(items[0]["remind_at"], std::string(c.remindAt));
    EXPECT_EQ(items[0]["kind"], *c.time ? "task" : "auto");
    EXPECT_EQ(items[0]["title"], "Созвон");
    EXPECT_TRUE(items[0]["body"].is_string());
  }
}

TEST(Reminders, SettingsMoveRemindersAndAddTheDailyDigest) {
  Harness h;
  int timed = makeTask(h, {{"title", "a"}, {"due_date", "2025-03-06"}, {"due_time", "14:00"}});
  int untimed = makeTask(h, {{"title", "b"}, {"due_date", "2025-03-06"}});
  makeTask(h, {{"title", "просрочена"}, {"due_date", "2025-03-04"}});
  int done = makeTask(h, {{"title", "сделано"}, {"due_date", "2025-03-06"}});
  h.api("PUT", "/api/tasks/" + std::to_string(done), {{"completed", true}});
  auto off = h.api("GET", "/api/reminders/upcoming");
  for (const auto& item : off.json["items"]) EXPECT_NE(item["kind"], "digest");

  ASSERT_EQ(h.api("PUT", "/api/settings",
                  {{"remindBefore", 60},
                   {"autoRemindTime", "07:30"},
                   {"dailyDigest", true},
                   {"dailyDigestTime", "08:00"}})
                .status,
            200);
  EXPECT_EQ(itemsFor(h, timed, "?hours=48")[0]["remind_at"], "2025-03-06T13:00:00+03:00");
  EXPECT_EQ(itemsFor(h, untimed)[0]["remind_at"], "2025-03-06T07:30:00+03:00");
  auto on = h.api("GET", "/api/reminders/upcoming");
  json digest;
  for (const auto& item : on.json["items"])
    if (item["kind"] == "digest") digest = item;
  ASSERT_TRUE(digest.is_object()) << on.body;
  EXPECT_EQ(digest["id"], "d-20250306");
  EXPECT_EQ(digest["remind_at"], "2025-03-06T08:00:00+03:00");
  EXPECT_TRUE(digest["task_id"].is_null());
  EXPECT_NE(digest["body"].get<std::string>().find("3 задачи"), std::string::npos) << digest;
  EXPECT_EQ(h.api("POST", "/api/reminders/d-20250306/fired").status, 200);
}

TEST(Reminders, FiredThenWithdrawnByCompletionAndDeletion) {
  Harness h;
  // Due in 16 minutes: the reminder is a minute away.
  int id = makeTask(
      h, {{"title", "Созвон с командой"}, {"start_date", "2025-03-05"}, {"due_time", "12:16"}});
  json first = itemsFor(h, id);
  ASSERT_EQ(first.size(), 1u);
  std::string rid = first[0]["id"];
  EXPECT_EQ(first[0]["remind_at"], "2025-03-05T12:01:00+03:00");
  EXPECT_EQ(itemsFor(h, id)[0]["id"], rid) << "the id is stable across polls";

  h.now += 120;  // the reminder has come due
  ASSERT_EQ(itemsFor(h, id).size(), 1u) << "a just-missed reminder is still listed";
  EXPECT_EQ(h.api("POST", "/api/reminders/" + rid + "/fired").status, 200);
  EXPECT_EQ(itemsFor(h, id)[0]["shown"], true);
  EXPECT_EQ(itemsFor(h, id)[0]["id"], rid);

  std::string path = "/api/tasks/" + std::to_string(id);
  ASSERT_EQ(h.api("PUT", path, {{"completed", true}}).status, 200);
  EXPECT_TRUE(itemsFor(h, id).empty()) << "completing withdraws the reminder";
  ASSERT_EQ(h.api("PUT", path, {{"completed", false}}).status, 200);
  ASSERT_EQ(itemsFor(h, id).size(), 1u);
  EXPECT_EQ(itemsFor(h, id)[0]["shown"], false) << "a reopened task reminds again";

  ASSERT_EQ(h.api("PUT", path, {{"due_time", "13:00"}}).status, 200);
  EXPECT_NE(itemsFor(h, id)[0]["id"], rid) << "a new due time is a new reminder";

  ASSERT_EQ(h.api("DELETE", path).status, 200);
  EXPECT_TRUE(itemsFor(h, id).empty()) << "deleting withdraws the reminder";
  EXPECT_EQ(h.api("POST", "/api/reminders/" + rid + "/fired").status, 404);
}

TEST(Reminders, RepeatingTaskMovesOnWhenCompleted) {
  Harness h;
  int id = makeTask(h, {{"title", "Планёрка"},
                        {"due_date", "2025-03-05"},
                        {"due_time", "12:30"},
                        {"repeat", "weekly:1"}});
  auto done = h.api("PUT", "/api/tasks/" + std::to_string(id), {{"completed", true}});
  ASSERT_EQ(done.status, 200) << done.body;
  ASSERT_TRUE(done.json.contains("next"));
  EXPECT_EQ(done.json["next"]["due_date"], "2025-03-10") << "the next Monday";
  EXPECT_EQ(done.json["next"]["repeat"], "weekly:1");
  EXPECT_TRUE(itemsFor(h, id).empty());
  EXPECT_EQ(h.api("GET", "/api/tasks/counts").json["today"], 0);
}

TEST(Reminders, TheUsersDayFollowsTheTimeZone) {
  // 22:30 UTC on Wednesday: Thursday in Moscow, still Wednesday in New York.
  Harness h(kWednesdayNoonMoscow + 13 * 3600 + 30 * 60);
  makeTask(h, {{"title", "в четверг"}, {"due_date", "2025-03-06"}});
  makeTask(h, {{"title", "без даты"}});
  EXPECT_EQ(h.api("GET", "/api/tasks/counts").json["today"], 1);
  auto moscow = h.api("POST", "/api/tasks/parse", {{"text", "завтра в 10 позвонить"}});
  EXPECT_EQ(moscow.json["due_date"], "2025-03-07");
  EXPECT_EQ(moscow.json["due_time"], "10:00:00");
  EXPECT_FALSE(moscow.json.contains("start_date")) << "absent members are left out";
  h.api("PUT", "/api/settings", {{"timezone", "America/New_York"}});
  auto counts = h.api("GET", "/api/tasks/counts");
  EXPECT_EQ(counts.json["today"], 0);
  EXPECT_EQ(counts.json["inbox"], 1);
  EXPECT_EQ(h.api("GET", "/api/tasks?view=today").json["count"], 0);
  EXPECT_EQ(h.api("GET", "/api/tasks?view=week").json["count"], 1);
  EXPECT_EQ(h.api("GET", "/api/tasks?from=2025-03-06&to=2025-03-06").json["count"], 1);
  auto parsed = h.api("POST", "/api/tasks/parse", {{"text", "сегодня"}});
  EXPECT_EQ(parsed.json["due_date"], "2025-03-05") << "the parser reads the user's day";
}

}  // namespace
}  // namespace vuko::dev::test

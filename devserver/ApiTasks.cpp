// Tasks: lists, counts, changes, the text parser and attachments.
#include <algorithm>

#include "devserver/Api.h"
#include "devserver/Assets.h"
#include "devserver/Parser.h"
#include "devserver/Recurrence.h"
#include "devserver/TaskJson.h"

namespace vuko::dev {

namespace {

constexpr size_t kMaxParseText = 2000;

// Which lists a task shows in, by its days in the user's zone.
struct Views {
  Date today;
  Zone zone;

  bool onOrBefore(const Task& t, const Date& last) const {
    auto d = t.day();
    return (d && *d <= last) || (t.dueDate && *t.dueDate <= last);
  }
  bool today_(const Task& t) const {
    if (!t.open()) return zone.dayOf(*t.completedAt) == today;
    return onOrBefore(t, today);
  }
  bool week(const Task& t) const { return onOrBefore(t, today.addDays(6)); }
  bool inbox(const Task& t) const { return !t.startDate && !t.dueDate; }
  bool overdue(const Task& t) const {
    return t.dueDate ? *t.dueDate < today : (t.startDate && *t.startDate < today);
  }
};

std::optional<Date> queryDate(const Request& r, const char* name) {
  auto it = r.query.find(name);
  if (it == r.query.end() || it->second.empty()) return std::nullopt;
  auto d = Date::parse(it->second);
  if (!d) throw HttpError(422, std::string("Параметр ") + name + ": нужна дата вида «2025-12-05»");
  return d;
}

std::string queryText(const Request& r, const char* name, const char* fallback) {
  auto it = r.query.find(name);
  return it == r.query.end() || it->second.empty() ? fallback : it->second;
}

bool before(const Task& a, const Task& b) {
  auto key = [](const Task& t) {
    auto d = t.day();
    return std::make_tuple(!t.open(), !d.has_value(), d.value_or(Date{}), !t.dueTime.has_value(),
                           t.dueTime.value_or(0), -t.priority, t.id);
  };
  return key(a) < key(b);
}

std::optional<bool> flag(const nlohmann::json& body, const char* name, FieldErrors& errors) {
  if (!body.contains(name)) return std::nullopt;
  if (!body[name].is_boolean()) {
    errors.add(name, "нужно true или false");
    return std::nullopt;
  }
  return body[name].get<bool>();
}

}  // namespace

Response Api::listTasks(Call& call) {
  const Request& r = call.request;
  UserSettings settings = settingsOf(call.userId);
  std::int64_t now = clock_();
  Views views{settings.zone().dayOf(now), settings.zone()};
  std::string view = queryText(r, "view", "all");
  auto from = queryDate(r, "from");
  auto to = queryDate(r, "to");
  bool ranged = from || to;
  std::string completed = queryText(r, "completed",
                                    view == "completed"         ? "true"
                                    : ranged || view == "today" ? "all"
                                                                : "false");
  if (completed != "true" && completed != "false" && completed != "all")
    throw HttpError(422, "Параметр completed: true, false или all");
  static const char* const kViews[] = {"all", "today", "inbox", "week", "overdue", "completed"};
  if (std::find(std::begin(kViews), std::end(kViews), view) == std::end(kViews))
    throw HttpError(422, "Параметр view: all, today, inbox, week, overdue или completed");

  nlohmann::json items = nlohmann::json::array();
  auto tasks = store_.tasks(call.userId);
  std::sort(tasks.begin(), tasks.end(), before);
  for (const Task& t : tasks) {
    if (completed == "true" && t.open()) continue;
    if (completed == "false" && !t.open()) continue;
    if (view == "today" && !views.today_(t)) continue;
    if (view == "inbox" && !views.inbox(t)) continue;
    if (view == "week" && !views.week(t)) continue;
    if (view == "overdue" && (!t.open() || !views.overdue(t))) continue;
    if (ranged) {
      auto d = t.day();
      if (!d || (from && *d < *from) || (to && *d > *to)) continue;
    }
    items.push_back(taskJson(t, views.zone));
  }
  size_t count = items.size();
  return Response::json(200, {{"items", std::move(items)}, {"count", count}});
}

Response Api::counts(Call& call) {
  UserSettings settings = settingsOf(call.userId);
  Views views{settings.zone().dayOf(clock_()), settings.zone()};
  int today = 0, inbox = 0, week = 0, overdue = 0, done = 0, open = 0;
  for (const Task& t : store_.tasks(call.userId)) {
    if (!t.open()) {
      done += views.today_(t);
      continue;
    }
    ++open;
    today += views.today_(t);
    inbox += views.inbox(t);
    week += views.week(t);
    overdue += views.overdue(t);
  }
  return Response::json(200, {{"today", today},
                              {"inbox", inbox},
                              {"week", week},
                              {"overdue", overdue},
                              {"completed_today", done},
                              {"open", open}});
}

Response Api::parse(Call& call) {
  auto body = jsonObject(call.request);
  if (!body.contains("text") || !body["text"].is_string())
    throw HttpError(
        422, "Неверные данные — text: нужна строка",
        nlohmann::json::array(
            {{{"loc", {"body", "text"}}, {"msg", "нужна строка"}, {"type", "value_error"}}}));
  const std::string& text = body["text"].get_ref<const std::string&>();
  if (text.size() > kMaxParseText) throw HttpError(422, "Слишком длинный текст");
  Zone zone = settingsOf(call.userId).zone();
  std::int64_t now = clock_();
  return Response::json(200, parsedJson(parseTask(text, zone.dayOf(now), zone.secondOfDay(now))));
}

Response Api::createTask(Call& call) {
  auto body = jsonObject(call.request);
  FieldErrors errors;
  bool smart = flag(body, "smart", errors).value_or(false);
  bool done = flag(body, "completed", errors).value_or(false);
  errors.check();

  Zone zone = settingsOf(call.userId).zone();
  std::int64_t now = clock_();
  nlohmann::json fields = body;
  if (smart && body.contains("title") && body["title"].is_string()) {
    // What the text says, overridden by any member given explicitly.
    const std::string& text = body["title"].get_ref<const std::string&>();
    if (text.size() > kMaxParseText) throw HttpError(422, "Слишком длинный текст");
    ParsedTask parsed = parseTask(text, zone.dayOf(now), zone.secondOfDay(now));
    fields = parsedJson(parsed);
    if (parsed.title.empty()) fields["title"] = text;
    for (auto& [name, value] : body.items())
      if (name != "title" && name != "smart") fields[name] = value;
  }
  Task task;
  task.userId = call.userId;
  task.createdAt = task.updatedAt = now;
  applyTaskFields(task, fields, true);
  if (done) task.completedAt = now;
  task.id = store_.insertTask(task);
  return Response::json(201, taskJson(task, zone));
}

Response Api::getTask(Call& call) {
  return Response::json(200, taskJson(ownTask(call), settingsOf(call.userId).zone()));
}

Response Api::putTask(Call& call) {
  auto body = jsonObject(call.request);
  Task task = ownTask(call);
  FieldErrors errors;
  auto completed = flag(body, "completed", errors);
  errors.check();
  applyTaskFields(task, body, false);

  Zone zone = settingsOf(call.userId).zone();
  std::int64_t now = clock_();
  task.updatedAt = now;
  std::optional<Task> next;
  Store::Transaction tx(store_);
  if (completed && *completed && task.open()) {
    task.completedAt = now;
    store_.forgetShown(call.userId, task.id);
    if (task.repeat && task.day()) {
      // The next instance keeps the distance between start and deadline.
      Task n = task;
      Date day = *task.day();
      Date nextDay = nextOccurrence(*task.repeat, day);
      int shift = day.daysUntil(nextDay);
      if (n.startDate) n.startDate = n.startDate->addDays(shift);
      if (n.dueDate) n.dueDate = n.dueDate->addDays(shift);
      n.completedAt.reset();
      n.createdAt = n.updatedAt = now;
      n.seeded = false;
      n.id = store_.insertTask(n);
      next = n;
      task.repeat.reset();  // the rule lives on in the next instance
    }
  } else if (completed && !*completed) {
    task.completedAt.reset();
  }
  store_.updateTask(task);
  tx.commit();
  auto out = taskJson(task, zone);
  if (next) out["next"] = taskJson(*next, zone);
  return Response::json(200, out);
}

Response Api::deleteTask(Call& call) {
  Task task = ownTask(call);
  Store::Transaction tx(store_);
  store_.forgetShown(call.userId, task.id);
  store_.deleteTask(call.userId, task.id);
  tx.commit();
  return Response::json(200, {{"ok", true}, {"id", task.id}});
}

Response Api::attachment(Call& call) {
  Task task = ownTask(call);
  const Asset* file = task.attachment.empty() ? nullptr : findAsset("files/" + task.attachment);
  if (!file) throw HttpError(404, "У задачи нет вложения");
  Response r;
  r.contentType = file->contentType;
  r.body.assign(reinterpret_cast<const char*>(file->data), file->size);
  r.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + task.attachment + "\"");
  return r;
}

}  // namespace vuko::dev

#include "devserver/TaskJson.h"

#include <algorithm>

#include "devserver/Http.h"
#include "devserver/Recurrence.h"

namespace vuko::dev {

namespace {

constexpr size_t kMaxTitle = 1000;
constexpr size_t kMaxDescription = 20000;
constexpr size_t kMaxTag = 60;
constexpr size_t kMaxTags = 20;

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

}  // namespace

nlohmann::json taskJson(const Task& t, const Zone& zone) {
  nlohmann::json j = {{"id", t.id},
                      {"title", t.title},
                      {"description", t.description},
                      {"priority", t.priority},
                      {"tags", t.tags},
                      {"completed", !t.open()},
                      {"completed_at", nullptr},
                      {"created_at", zone.iso(t.createdAt)},
                      {"updated_at", zone.iso(t.updatedAt)},
                      {"attachment", nullptr}};
  if (t.startDate) j["start_date"] = t.startDate->iso();
  if (t.dueDate) j["due_date"] = t.dueDate->iso();
  if (t.dueTime) j["due_time"] = formatTime(*t.dueTime);
  if (t.repeat) j["repeat"] = *t.repeat;
  if (t.completedAt) j["completed_at"] = zone.iso(*t.completedAt);
  if (!t.attachment.empty())
    j["attachment"] = {{"name", t.attachment},
                       {"url", "/api/tasks/" + std::to_string(t.id) + "/attachment"},
                       {"file", "/files/" + t.attachment}};
  return j;
}

nlohmann::json parsedJson(const ParsedTask& p) {
  nlohmann::json j = {{"title", p.title}, {"priority", p.priority}, {"tags", p.tags}};
  if (p.startDate) j["start_date"] = p.startDate->iso();
  if (p.dueDate) j["due_date"] = p.dueDate->iso();
  if (p.dueTime) j["due_time"] = formatTime(*p.dueTime);
  if (p.repeat) j["repeat"] = *p.repeat;
  return j;
}

void applyTaskFields(Task& task, const nlohmann::json& body, bool creating) {
  Task next = task;
  FieldErrors errors;

  if (body.contains("title")) {
    const auto& v = body["title"];
    std::string title = v.is_string() ? trim(v.get<std::string>()) : "";
    if (!v.is_string())
      errors.add("title", "нужна строка");
    else if (title.empty())
      errors.add("title", "не может быть пустым");
    else if (title.size() > kMaxTitle)
      errors.add("title", "слишком длинное название");
    else
      next.title = title;
  } else if (creating) {
    errors.add("title", "обязательное поле");
  }

  if (body.contains("description")) {
    const auto& v = body["description"];
    if (v.is_null())
      next.description.clear();
    else if (!v.is_string() || v.get_ref<const std::string&>().size() > kMaxDescription)
      errors.add("description", "нужна строка не длиннее 20000 байт");
    else
      next.description = v.get<std::string>();
  }

  auto date = [&](const char* name, std::optional<Date>& out) {
    if (!body.contains(name)) return;
    const auto& v = body[name];
    if (v.is_null() || (v.is_string() && v.get_ref<const std::string&>().empty())) {
      out.reset();
    } else if (auto d = v.is_string() ? Date::parse(v.get<std::string>()) : std::nullopt) {
      out = d;
    } else {
      errors.add(name, "нужна дата вида «2025-12-05» или null");
    }
  };
  date("start_date", next.startDate);
  date("due_date", next.dueDate);

  if (body.contains("due_time")) {
    const auto& v = body["due_time"];
    if (v.is_null() || (v.is_string() && v.get_ref<const std::string&>().empty()))
      next.dueTime.reset();
    else if (auto t = v.is_string() ? parseTimeOfDay(v.get<std::string>()) : std::nullopt)
      next.dueTime = t;
    else
      errors.add("due_time", "нужно время вида «10:30» или null");
  }

  if (body.contains("priority")) {
    const auto& v = body["priority"];
    if (v.is_null())
      next.priority = 0;
    else if (!v.is_number_integer() || v.get<long long>() < 0 || v.get<long long>() > 3)
      errors.add("priority", "нужно целое число от 0 до 3");
    else
      next.priority = v.get<int>();
  }

  if (body.contains("tags")) {
    const auto& v = body["tags"];
    std::vector<std::string> tags;
    bool ok = v.is_array() || v.is_null();
    if (v.is_array()) {
      for (const auto& e : v) {
        const nlohmann::json* name = &e;
        if (e.is_object() && e.contains("name")) name = &e["name"];
        if (!name->is_string()) {
          ok = false;
          break;
        }
        std::string tag = trim(name->get<std::string>());
        if (!tag.empty() && tag[0] == '#') tag.erase(0, 1);
        if (tag.empty() || tag.size() > kMaxTag) {
          ok = false;
          break;
        }
        if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(tag);
      }
    }
    if (!ok || tags.size() > kMaxTags)
      errors.add("tags", "нужен список непустых строк (не больше 20)");
    else
      next.tags = tags;
  }

  if (body.contains("repeat")) {
    const auto& v = body["repeat"];
    if (v.is_null() || (v.is_string() && v.get_ref<const std::string&>().empty()))
      next.repeat.reset();
    else if (v.is_string() && validRepeat(v.get<std::string>()))
      next.repeat = v.get<std::string>();
    else
      errors.add("repeat",
                 "нужно daily, weekdays, weekly, weekly:1…weekly:7, monthly, yearly или null");
  }

  errors.check();
  task = std::move(next);
}

}  // namespace vuko::dev

// Tasks in and out of JSON. Members without a value (start_date, due_date,
// due_time, repeat) are left out rather than sent as null: a client tells a
// start day from a deadline by whether "start_date" is there at all.
#pragma once

#include <nlohmann/json.hpp>

#include "devserver/Parser.h"
#include "devserver/Task.h"

namespace vuko::dev {

nlohmann::json taskJson(const Task& task, const Zone& zone);
nlohmann::json parsedJson(const ParsedTask& parsed);

// Applies the members present in `body` to `task` (title, description,
// start_date, due_date, due_time, priority, tags, repeat). When `creating`,
// a title is required. Throws HttpError 422 naming every bad member; `task`
// is unchanged then.
void applyTaskFields(Task& task, const nlohmann::json& body, bool creating);

}  // namespace vuko::dev

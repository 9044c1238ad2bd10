#include "quick/QuickEntry.h"

#include <glib.h>

#include <exception>
#include <tuple>
#include <utility>
#include <vector>

#include "quick/Outbox.h"
#include "quick/Preview.h"

namespace vuko {

namespace {

// One UTF-8 sequence starting at pos: its code point and length (an invalid
// byte counts as a one-byte character that is never white space).
std::pair<char32_t, size_t> decode(const std::string& s, size_t pos) {
  const char* p = s.data() + pos;
  gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(s.size() - pos));
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return {0xFFFD, 1};
  return {c, static_cast<size_t>(g_utf8_next_char(p) - p)};
}

// Blanks: tab and the space separators.
bool isBlank(char32_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

// Blanks and line breaks.
bool isSpace(char32_t c) {
  return isBlank(c) || (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::string trimmed(const std::string& s, bool (*strip)(char32_t)) {
  std::vector<std::pair<size_t, bool>> marks;  // start of each character, whether stripped
  for (size_t pos = 0; pos < s.size();) {
    auto [cp, len] = decode(s, pos);
    marks.emplace_back(pos, strip(cp));
    pos += len;
  }
  size_t first = 0, last = marks.size();
  while (first < last && marks[first].second) ++first;
  while (last > first && marks[last - 1].second) --last;
  if (first == last) return "";
  size_t begin = marks[first].first;
  size_t end = last < marks.size() ? marks[last].first : s.size();
  return s.substr(begin, end - begin);
}

// The Russian sentence for a failed request, and whether no answer came.
std::pair<std::string, bool> describeFailure(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const TaskApi::Failure& f) {
    return {f.description(), f.kind() == TaskApi::Failure::Kind::network && !f.cancelled()};
  } catch (...) {
    return {TaskApi::Failure::unencodable().description(), false};
  }
}

}  // namespace

QuickEntry::QuickEntry(QuickView& view, TaskApi& api, Clock& clock)
    : view_(view), api_(api), clock_(clock) {}

void QuickEntry::show(std::uint32_t eventTime) {
  cancelParse();
  close_.cancel();
  ++shown_;
  view_.setText("");
  view_.setPreview("");
  view_.setPreviewTint(QuickView::Tint::blue);
  view_.present(eventTime);
}

void QuickEntry::hide() {
  cancelParse();
  close_.cancel();
  view_.orderOut();
}

void QuickEntry::toggle(std::uint32_t eventTime) {
  if (!view_.isVisible() || close_.active())
    show(eventTime);
  else
    hide();
}

void QuickEntry::cancelParse() {
  debounce_.cancel();
  parse_.renew();
}

void QuickEntry::fail(const std::string& message) {
  // No connection is no fault of the line: it would be kept.
  view_.setPreviewTint(message == Outbox::kUnreachable ? QuickView::Tint::amber
                                                       : QuickView::Tint::red);
  view_.setPreview(message);
}

std::string QuickEntry::unreachableOr(const std::string& message, bool noAnswer) const {
  if (!outbox_) return message;
  // No token while the offline page shows, from someone signed in before:
  // the page has no token to give, the user has not signed out.
  bool noToken = !noAnswer && offline_ && offline_() && outbox_->knowsAccount();
  return noAnswer || noToken ? Outbox::kUnreachable : message;
}

void QuickEntry::textChanged() {
  cancelParse();
  close_.cancel();
  std::string text = view_.text();
  if (trimmed(text, isBlank).empty()) {
    view_.setPreview("");
    return;
  }
  // The line goes out as typed; only a pause in typing sends it.
  debounce_ = clock_.schedule(
      kDebounce, [this, text, current = parse_.guard()] { parse(text, current).detach(); });
}

Task<> QuickEntry::parse(std::string text, Lifetime::Guard current) {
  auto alive = life_.guard();
  if (!current) co_return;
  auto token = co_await api_.token();
  if (!alive) co_return;
  if (!token) {
    fail(unreachableOr(TaskApi::Failure::notSignedIn().description(), false));
    co_return;
  }
  std::optional<nlohmann::json> answer;
  std::exception_ptr error;
  try {
    answer = co_await api_.parse(*token, std::move(text), current);
  } catch (...) {
    error = std::current_exception();
  }
  // A newer edit, Escape, hiding or a submission has made the answer stale.
  if (!alive || !current) co_return;
  if (!answer) {
    auto [message, noAnswer] = describeFailure(error);
    fail(unreachableOr(message, noAnswer));
    co_return;
  }
  view_.setPreviewTint(QuickView::Tint::blue);
  view_.setPreview(Preview::describe(answer->is_object() ? *answer : nlohmann::json::object()));
}

void QuickEntry::submit() {
  std::string typed = view_.text();
  std::string text = trimmed(typed, isSpace);
  if (text.empty()) return;
  if (busy_) {
    // Enter on a line typed after the one being sent: it goes once that one is in.
    enterWhileBusy_ = typed;
    return;
  }
  busy_ = true;
  cancelParse();
  close_.cancel();
  send(std::move(typed), std::move(text)).detach();
}

std::string QuickEntry::confirmation(const nlohmann::json& created, const std::string& text) {
  const nlohmann::json& task = created.is_object() ? created : nlohmann::json::object();
  auto title = task.find("title");
  std::string shown = title != task.end() && title->is_string() ? title->get<std::string>() : text;
  std::string detail = Preview::describe(task);
  return "✓ Добавлено: «" + shown + "»" + (detail.empty() ? " во «Входящие»" : " · " + detail);
}

Task<> QuickEntry::send(std::string typed, std::string text) {
  auto alive = life_.guard();
  std::uint64_t showing = shown_;
  auto token = co_await api_.token();
  if (!alive) co_return;
  std::optional<nlohmann::json> created;
  std::string message = TaskApi::Failure::notSignedIn().description();
  bool noAnswer = false;
  if (token) {
    std::exception_ptr error;
    try {
      created = co_await api_.create(*token, text, alive);
    } catch (...) {
      error = std::current_exception();
    }
    if (!alive) co_return;
    if (!created) std::tie(message, noAnswer) = describeFailure(error);
  }
  std::optional<std::string> entered = std::exchange(enterWhileBusy_, std::nullopt);
  busy_ = false;
  if (created) {
    view_.setPreviewTint(QuickView::Tint::green);
    view_.setPreview(confirmation(*created, text));
    // The server answers: what was kept while it did not goes now.
    if (outbox_) outbox_->send(*token).detach();
  } else if (unreachableOr(message, noAnswer) == Outbox::kUnreachable) {
    outbox_->keep(text);
    view_.setPreviewTint(QuickView::Tint::amber);
    view_.setPreview("Сохранено: «" + text + "» — уйдёт, когда связь вернётся");
  } else {
    // The typed line stays in the field for another try.
    fail(message);
    co_return;
  }
  settle(typed, entered, showing, created.has_value());
}

void QuickEntry::settle(const std::string& typed, const std::optional<std::string>& entered,
                        std::uint64_t showing, bool added) {
  auto alive = life_.guard();
  // A panel closed or opened again meanwhile keeps its field as it is.
  bool samePanel = shown_ == showing && view_.isVisible();
  std::string next;
  bool enterOnNext = false;
  if (samePanel) {
    // What the user typed after Enter stays as the start of the next task.
    std::string now = view_.text();
    next = now.rfind(typed, 0) == 0 ? now.substr(typed.size()) : now;
    enterOnNext = entered == now && !trimmed(next, isSpace).empty();
    view_.setText(next);
  }
  if (added && onAdded) onAdded();
  if (!alive || !samePanel) return;
  if (enterOnNext) {
    submit();
    return;
  }
  if (!trimmed(next, isBlank).empty()) {
    textChanged();
    return;
  }
  close_ = clock_.schedule(kCloseDelay, [this] {
    close_ = Timer();
    cancelParse();
    view_.orderOut();
  });
}

}  // namespace vuko

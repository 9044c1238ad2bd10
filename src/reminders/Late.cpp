// Reminders that fall due long after their moment: after a night with the lid
// closed every one of them would come at once, so a burst of them comes as a
// single notification instead.
#include <algorithm>

#include "reminders/Reminders.h"

namespace vuko {

namespace {

// Long enough for every appointment a wake fires to arrive.
constexpr auto gatherFor = std::chrono::seconds(1);

const char* reminderWord(std::size_t n) {
  if (n % 100 >= 11 && n % 100 <= 14) return "напоминаний";
  if (n % 10 == 1) return "напоминание";
  if (n % 10 >= 2 && n % 10 <= 4) return "напоминания";
  return "напоминаний";
}

}  // namespace

std::string Reminders::missedBody(const std::vector<std::string>& titles) {
  std::string out =
      std::to_string(titles.size()) + " " + reminderWord(titles.size()) + ", пока компьютер спал: ";
  for (std::size_t i = 0; i < titles.size() && i < 2; ++i)
    out += (i ? ", «" : "«") + titles[i] + "»";
  if (titles.size() > 2) out += " и ещё " + std::to_string(titles.size() - 2);
  return out;
}

bool Reminders::takeLate(const NotificationRequest& request, From from) {
  if (request.id.rfind("rem", 0) != 0 ||
      request.trigger.kind != NotificationTrigger::Kind::calendar)
    return false;
  if (wall_.now() - request.trigger.date <= kLateAfter) return false;
  auto item = itemOf(request);
  item->at = request.trigger.date;
  gatherLate({*item, request, from});
  return true;
}

void Reminders::gatherLate(Late late) {
  late_.push_back(std::move(late));
  if (late_.size() > 1) return;
  auto alive = life_.guard();
  lateTimer_ = clock_.schedule(gatherFor, [this, alive] {
    if (alive) showLate();
  });
}

void Reminders::showLate() {
  auto batch = std::move(late_);
  late_.clear();
  std::stable_sort(batch.begin(), batch.end(),
                   [](const Late& a, const Late& b) { return a.item.at < b.item.at; });
  if (batch.size() > kMostOneByOne) {
    std::vector<std::string> titles;
    for (const auto& l : batch) titles.push_back(l.item.title);
    auto secs =
        std::chrono::duration_cast<std::chrono::seconds>(wall_.now().time_since_epoch()).count();
    Item digest{"missed-" + std::to_string(secs),
                std::nullopt,
                "digest",
                missedTitle,
                missedBody(titles),
                wall_.now()};
    if (mode_ == Mode::own)
      showBanner(digest);
    else
      center_.add({digest.id, content(digest), {}});
  } else {
    for (const auto& l : batch) {
      if (l.from == From::desktop)
        center_.add({l.request.id, l.request.content, {}});
      else if (l.from == From::own)
        showBanner(l.item);
      else
        present(l.item);
    }
  }
  // Each reaches the server as fired once, shown or collapsed; the poll
  // records its own.
  for (const auto& l : batch)
    if (l.from != From::poll) delivered(l.request);
  updateActivity();
}

}  // namespace vuko

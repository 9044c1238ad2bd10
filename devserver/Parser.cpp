#include "devserver/Parser.h"

#include <glib.h>

#include <algorithm>
#include <charconv>
#include <map>

#include "devserver/Recurrence.h"

namespace vuko::dev {

namespace {

struct Word {
  std::string raw;  // as typed
  std::string key;  // lower case, "ё" as "е", trailing punctuation removed
};

std::string lower(std::string_view s) {
  gchar* l = g_utf8_strdown(s.data(), static_cast<gssize>(s.size()));
  std::string out = l;
  g_free(l);
  for (size_t p; (p = out.find("ё")) != std::string::npos;) out.replace(p, 2, "е");
  return out;
}

std::string stripTrailing(std::string s, std::string_view chars) {
  while (s.size() > 1 && chars.find(s.back()) != std::string_view::npos) s.pop_back();
  return s;
}

std::vector<Word> split(std::string_view text) {
  std::vector<Word> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && g_ascii_isspace(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !g_ascii_isspace(text[i])) ++i;
    if (i > start) {
      std::string raw(text.substr(start, i - start));
      words.push_back({raw, stripTrailing(lower(raw), ",;:.?)")});
    }
  }
  return words;
}

const std::map<std::string, int, std::less<>> kNumberWords = {
    {"один", 1},   {"одну", 1},   {"два", 2},    {"две", 2},   {"пару", 2},
    {"три", 3},    {"четыре", 4}, {"пять", 5},   {"шесть", 6}, {"семь", 7},
    {"восемь", 8}, {"девять", 9}, {"десять", 10}};

std::optional<int> digits(std::string_view s, size_t maxLen = 4) {
  if (s.empty() || s.size() > maxLen || s.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<int> amount(const std::string& key) {
  if (auto d = digits(key, 3)) return d;
  if (auto it = kNumberWords.find(key); it != kNumberWords.end()) return it->second;
  return std::nullopt;
}

const std::map<std::string, int, std::less<>> kWeekdays = {
    {"понедельник", 1}, {"вторник", 2}, {"среду", 3},   {"среда", 3},   {"четверг", 4},
    {"пятницу", 5},     {"пятница", 5}, {"субботу", 6}, {"суббота", 6}, {"воскресенье", 7}};
const std::map<std::string, int, std::less<>> kWeekdaysGenitive = {
    {"понедельника", 1}, {"вторника", 2}, {"среды", 3},      {"четверга", 4},
    {"пятницы", 5},      {"субботы", 6},  {"воскресенья", 7}};
const std::map<std::string, int, std::less<>> kWeekdaysPlural = {
    {"понедельникам", 1}, {"вторникам", 2}, {"средам", 3},      {"четвергам", 4},
    {"пятницам", 5},      {"субботам", 6},  {"воскресеньям", 7}};
const std::map<std::string, int, std::less<>> kMonths = {
    {"января", 1},   {"февраля", 2},  {"марта", 3},   {"апреля", 4},
    {"мая", 5},      {"июня", 6},     {"июля", 7},    {"августа", 8},
    {"сентября", 9}, {"октября", 10}, {"ноября", 11}, {"декабря", 12}};

int lookup(const std::map<std::string, int, std::less<>>& m, const std::string& key) {
  auto it = m.find(key);
  return it == m.end() ? 0 : it->second;
}

class Reader {
 public:
  Reader(std::string_view text, const Date& today, int nowSecond)
      : w_(split(text)), today_(today), now_(nowSecond) {}

  ParsedTask run() {
    std::vector<std::string> title;
    for (size_t i = 0; i < w_.size();) {
      size_t n = tag(i);
      if (!n) n = priority(i);
      if (!n) n = repeat(i);
      if (!n) n = deadline(i);
      if (!n) n = relativeTime(i);
      if (!n) n = time(i);
      if (!n) n = plainDate(i);
      if (n)
        i += n;
      else
        title.push_back(w_[i++].raw);
    }
    return finish(title);
  }

 private:
  const std::string& key(size_t i) const {
    static const std::string empty;
    return i < w_.size() ? w_[i].key : empty;
  }

  // The next day with this weekday, 1 to 7 days ahead.
  Date nextWeekday(int wd) const {
    Date d = today_.addDays(1);
    while (d.weekday() != wd) d = d.addDays(1);
    return d;
  }

  // A day without a year is the next such day from today on.
  std::optional<Date> dayMonth(int day, int month, std::optional<int> year) const {
    if (year) {
      if (*year < 100) *year += 2000;
      return Date::make(*year, month, day);
    }
    auto d = Date::make(today_.year, month, day);
    if (d && *d < today_) d = Date::make(today_.year + 1, month, day);
    if (!d && month == 2 && day == 29) {
      for (int y = today_.year + 1; !d && y < today_.year + 8; ++y) d = Date::make(y, 2, 29);
    }
    return d;
  }

  // "05.12", "5.12.2025", "2025-12-05"
  std::optional<Date> numericDate(const std::string& k) const {
    if (auto iso = Date::parse(k)) return iso;
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t p; (p = k.find('.', start)) != std::string::npos; start = p + 1)
      parts.push_back(k.substr(start, p - start));
    parts.push_back(k.substr(start));
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    auto d = digits(parts[0], 2);
    auto m = digits(parts[1], 2);
    std::optional<int> y;
    if (parts.size() == 3) {
      y = digits(parts[2], 4);
      if (!y || (parts[2].size() != 2 && parts[2].size() != 4)) return std::nullopt;
    }
    if (!d || !m) return std::nullopt;
    return dayMonth(*d, *m, y);
  }

  // A date expression at i; genitive forms after "до". Sets `used` to the words taken.
  std::optional<Date> dateAt(size_t i, bool genitive, size_t& used) const {
    const std::string& k = key(i);
    used = 1;
    if (k == "сегодня") return today_;
    if (k == "завтра") return today_.addDays(1);
    if (k == "послезавтра") return today_.addDays(2);
    if (int wd = lookup(genitive ? kWeekdaysGenitive : kWeekdays, k)) return nextWeekday(wd);
    if (auto d = numericDate(k)) return d;
    if (auto day = digits(k, 2)) {
      if (int month = lookup(kMonths, key(i + 1))) {
        std::optional<int> year;
        used = 2;
        if (auto y = digits(key(i + 2), 4); y && key(i + 2).size() == 4) {
          year = y;
          used = 3;
          if (key(i + 3) == "года" || key(i + 3) == "г") used = 4;
        }
        return dayMonth(*day, month, year);
      }
    }
    if (genitive && k == "конца") {
      used = 2;
      if (key(i + 1) == "недели") return today_.addDays(7 - today_.weekday());
      if (key(i + 1) == "месяца") return today_.addMonths(1).addDays(-today_.day);
    }
    if (!genitive && k == "через") {
      size_t at = i + 1;
      int n = 1;
      if (auto a = amount(key(at))) {
        n = *a;
        ++at;
      }
      const std::string& unit = key(at);
      used = at - i + 1;
      if (unit == "день" || unit == "дня" || unit == "дней") return today_.addDays(n);
      if (unit == "неделю" || unit == "недели" || unit == "недель") return today_.addDays(7 * n);
      if (unit == "месяц" || unit == "месяца" || unit == "месяцев") return today_.addMonths(n);
    }
    used = 0;
    return std::nullopt;
  }

  size_t tag(size_t i) {
    const std::string& raw = w_[i].raw;
    if (raw.size() < 2 || raw[0] != '#') return 0;
    std::string name = stripTrailing(raw.substr(1), ",;:.!?");
    if (name.empty() || name == "#") return 0;
    if (std::find(tags_.begin(), tags_.end(), name) == tags_.end()) tags_.push_back(name);
    return 1;
  }

  size_t priority(size_t i) {
    const std::string& k = key(i);
    if (k.size() < 2 || k[0] != '!') return 0;
    static const std::map<std::string, int, std::less<>> kLevels = {
        {"!высокий", 3}, {"!высокая", 3}, {"!высокое", 3}, {"!важно", 3},   {"!3", 3},
        {"!!!", 3},      {"!средний", 2}, {"!средняя", 2}, {"!среднее", 2}, {"!2", 2},
        {"!низкий", 1},  {"!низкая", 1},  {"!низкое", 1},  {"!1", 1}};
    int p = lookup(kLevels, k);
    if (!p) return 0;
    priority_ = p;
    return 1;
  }

  size_t repeat(size_t i) {
    if (repeat_) return 0;
    const std::string& k = key(i);
    const std::string& next = key(i + 1);
    auto set = [&](std::string rule, size_t n) {
      repeat_ = std::move(rule);
      return n;
    };
    if (k == "ежедневно") return set("daily", 1);
    if (k == "еженедельно") return set("weekly", 1);
    if (k == "ежемесячно") return set("monthly", 1);
    if (k == "ежегодно") return set("yearly", 1);
    if (k == "по" && next == "будням") return set("weekdays", 2);
    if (k == "по") {
      if (int wd = lookup(kWeekdaysPlural, next)) return set("weekly:" + std::to_string(wd), 2);
    }
    if (k == "каждый" || k == "каждую" || k == "каждое") {
      if (next == "день") return set("daily", 2);
      if (next == "будний" && key(i + 2) == "день") return set("weekdays", 3);
      if (next == "неделю") return set("weekly", 2);
      if (next == "месяц") return set("monthly", 2);
      if (next == "год") return set("yearly", 2);
      if (int wd = lookup(kWeekdays, next)) return set("weekly:" + std::to_string(wd), 2);
    }
    return 0;
  }

  size_t deadline(size_t i) {
    if (deadline_ || key(i) != "до") return 0;
    size_t used = 0;
    if (auto d = dateAt(i + 1, true, used)) {
      deadline_ = d;
      return used + 1;
    }
    if (!time_) {
      if (auto t = parseTimeOfDay(key(i + 1)); t && key(i + 1).size() == 5) {
        time_ = t;
        return 2;
      }
    }
    return 0;
  }

  // "через 20 минут", "через 2 часа", "через полчаса": a moment from now.
  size_t relativeTime(size_t i) {
    if (time_ || date_ || key(i) != "через") return 0;
    size_t at = i + 1;
    int n = 1;
    if (key(at) == "полчаса") {
      return setMoment(30 * 60, 2);
    }
    if (auto a = amount(key(at))) {
      n = *a;
      ++at;
    }
    const std::string& unit = key(at);
    if (unit == "минуту" || unit == "минуты" || unit == "минут" || unit == "мин")
      return setMoment(n * 60, at - i + 1);
    if (unit == "час" || unit == "часа" || unit == "часов") return setMoment(n * 3600, at - i + 1);
    return 0;
  }

  size_t setMoment(int offset, size_t used) {
    int total = now_ + offset;
    date_ = today_.addDays(total / 86400);
    time_ = total % 86400 / 60 * 60;
    return used;
  }

  size_t time(size_t i) {
    if (time_) return 0;
    const std::string& k = key(i);
    if (k == "утром" || k == "днем" || k == "вечером") {
      time_ = (k == "утром" ? 9 : k == "днем" ? 13 : 19) * 3600;
      return 1;
    }
    if (auto t = parseTimeOfDay(k); t && k.size() == 5) {
      time_ = t;
      return 1;
    }
    if (k != "в" && k != "во" && k != "к") return 0;
    const std::string& v = key(i + 1);
    if (v == "полдень") {
      time_ = 12 * 3600;
      return 2;
    }
    int hour = -1, minute = 0;
    size_t sep = v.find_first_of(":.");
    if (sep == std::string::npos) {
      if (auto h = digits(v, 2)) hour = *h;
    } else {
      auto h = digits(v.substr(0, sep), 2);
      auto m = digits(v.substr(sep + 1), 2);
      if (h && m && v.size() - sep == 3) hour = *h, minute = *m;
    }
    if (hour < 0 || hour > 23 || minute > 59) return 0;
    size_t used = 2;
    const std::string* next = &key(i + used);
    if (*next == "час" || *next == "часа" || *next == "часов" || *next == "ч")
      next = &key(i + ++used);
    if (*next == "утра" || *next == "ночи") {
      ++used;
    } else if (*next == "дня" || *next == "вечера") {
      if (hour < 12) hour += 12;
      ++used;
    }
    time_ = hour * 3600 + minute * 60;
    return used;
  }

  size_t plainDate(size_t i) {
    if (date_) return 0;
    size_t skip = 0;
    const std::string& k = key(i);
    if (k == "на" || k == "в" || k == "во") skip = 1;
    size_t used = 0;
    auto d = dateAt(i + skip, false, used);
    // "в" only introduces weekdays ("в пятницу"); "в 5 декабря" is not said.
    if (d && skip && k != "на" && !lookup(kWeekdays, key(i + skip))) return 0;
    if (!d) return 0;
    date_ = d;
    return used + skip;
  }

  ParsedTask finish(const std::vector<std::string>& title) {
    ParsedTask out;
    for (const auto& w : title) out.title += (out.title.empty() ? "" : " ") + w;
    // Whole characters: the dashes are several bytes long, and one of their
    // bytes ends many Cyrillic letters too.
    for (bool cut = true; cut;) {
      cut = false;
      for (std::string_view tail : {",", ";", ":", "-", " ", "—", "–"})
        if (out.title.size() >= tail.size() &&
            std::string_view(out.title).substr(out.title.size() - tail.size()) == tail) {
          out.title.resize(out.title.size() - tail.size());
          cut = true;
        }
    }
    if (out.title.starts_with("— ") || out.title.starts_with("- "))
      out.title.erase(0, out.title.find(' ') + 1);
    if (!date_ && !deadline_) {
      if (repeat_) {
        date_ = firstOccurrence(*repeat_, today_);
        if (time_ && *date_ == today_ && *time_ <= now_)
          date_ = firstOccurrence(*repeat_, today_.addDays(1));
      } else if (time_)
        date_ = *time_ > now_ ? today_ : today_.addDays(1);
    }
    if (deadline_) {
      out.dueDate = deadline_;
      out.startDate = date_;
    } else {
      out.dueDate = date_;
    }
    out.dueTime = time_;
    out.priority = priority_;
    out.tags = tags_;
    out.repeat = repeat_;
    return out;
  }

  std::vector<Word> w_;
  Date today_;
  int now_;
  std::optional<Date> date_, deadline_;
  std::optional<int> time_;
  std::optional<std::string> repeat_;
  int priority_ = 0;
  std::vector<std::string> tags_;
};

}  // namespace

ParsedTask parseTask(std::string_view text, const Date& today, int nowSecond) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return {};
  return Reader(text, today, nowSecond).run();
}

}  // namespace vuko::dev

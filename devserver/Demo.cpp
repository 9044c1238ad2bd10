#include "devserver/Demo.h"

#include "devserver/Secrets.h"
#include "devserver/UserSettings.h"

namespace vuko::dev {

namespace {

struct Seeder {
  Store& store;
  std::int64_t userId;
  std::int64_t now;
  Zone zone;
  Date today;

  Task base(const char* title, int priority, std::vector<std::string> tags) {
    Task t;
    t.userId = userId;
    t.title = title;
    t.priority = priority;
    t.tags = std::move(tags);
    t.createdAt = t.updatedAt = now - 3600;
    t.seeded = true;
    return t;
  }
  // A task due `minutes` from now, on whole minutes.
  Task inMinutes(const char* title, int minutes, int priority, std::vector<std::string> tags) {
    Task t = base(title, priority, std::move(tags));
    std::int64_t at = (now + std::int64_t{minutes} * 60 + 59) / 60 * 60;
    t.dueDate = zone.dayOf(at);
    t.dueTime = zone.secondOfDay(at);
    return t;
  }
  Task onDay(const char* title, int days, int priority, std::vector<std::string> tags) {
    Task t = base(title, priority, std::move(tags));
    t.dueDate = today.addDays(days);
    return t;
  }
  void add(const Task& t) { store.insertTask(t); }
};

}  // namespace

void seedDemo(Store& store, std::int64_t now) {
  Store::Transaction tx(store);
  auto user = store.userByEmail(kDemoEmail);
  std::int64_t id = 0;
  if (user) {
    id = user->id;
  } else {
    User u{0, kDemoEmail, "Демо", {}, hashPassword(kDemoPassword)};
    id = store.addUser(u);
  }
  store.deleteSeeded(id);
  Zone zone = UserSettings::fromStored(store.settings(id)).zone();
  Seeder s{store, id, now, zone, zone.dayOf(now)};

  // Reminders fall due about a minute, half an hour and two hours from now.
  s.add(s.inMinutes("Созвон с командой", 16, 2, {"работа"}));
  s.add(s.inMinutes("Забрать посылку на почте", 45, 1, {"дом"}));
  s.add(s.inMinutes("Позвонить маме", 135, 3, {"семья"}));

  Task bills = s.onDay("Оплатить интернет", 0, 2, {"дом"});
  bills.description = "Лицевой счёт — в письме от провайдера.";
  s.add(bills);
  Task shopping = s.onDay("Купить продукты", 0, 0, {"дом"});
  shopping.description = "Молоко, хлеб, яблоки, сыр.";
  s.add(shopping);
  Task mail = s.onDay("Разобрать почту", -1, 1, {"работа"});
  s.add(mail);
  Task morning = s.onDay("Утренняя зарядка", 0, 0, {"здоровье"});
  morning.completedAt = now - std::int64_t{2} * 3600;
  s.add(morning);

  Task report = s.base("Подготовить квартальный отчёт", 3, {"работа"});
  report.startDate = s.today.addDays(1);
  report.dueDate = s.today.addDays(3);
  report.dueTime = 11 * 3600;
  report.description = "Черновик во вложении. Сверить цифры с бухгалтерией.";
  report.attachment = "report.pdf";
  s.add(report);
  Task gym = s.onDay("Тренировка", 2, 0, {"здоровье"});
  gym.dueTime = 19 * 3600;
  gym.repeat = "weekly:" + std::to_string(s.today.addDays(2).weekday());
  s.add(gym);
  s.add(s.onDay("Записаться к врачу", 4, 1, {"здоровье"}));
  s.add(s.onDay("Поздравить Анну с днём рождения", 5, 2, {"семья"}));

  Task book = s.base("Прочитать «Мастера и Маргариту»", 0, {"книги"});
  s.add(book);
  Task trip = s.base("Идеи для отпуска", 0, {});
  trip.description = "Карелия летом? Посмотреть билеты и жильё.";
  s.add(trip);
  tx.commit();
}

}  // namespace vuko::dev

// An own reminder banner: the rules live here, the window in gtk/.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "reminders/Item.h"

namespace vuko {

// What a banner window shows.
struct BannerContent {
  std::string title;
  std::string body;
  // "Готово" and "Отложить на 10 мин".
  bool buttons = false;

  static BannerContent of(const ReminderItem& item);
};

// The window of one banner. It reports the user's input through onInput:
// the action string, or none for the close cross.
class BannerView {
 public:
  virtual ~BannerView() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual void moveTo(int x, int y) = 0;
  // Fades in above other windows without taking the focus.
  virtual void appear() = 0;
  virtual void hide() = 0;
  std::function<void(std::optional<std::string>)> onInput;
};

struct WorkArea {
  int x = 0, y = 0, width = 0, height = 0;
};

// Makes banner windows and knows the screen they go on.
class BannerHost {
 public:
  virtual ~BannerHost() = default;
  virtual std::unique_ptr<BannerView> make(const BannerContent& content) = 0;
  // The primary monitor's area without panels; none without a screen.
  virtual std::optional<WorkArea> workArea() const = 0;
  // The banner's sound ("Glass").
  virtual void playSound() = 0;
};

class ReminderBanner {
 public:
  static constexpr std::chrono::seconds lifetime{60};

  ReminderBanner(const ReminderItem& item, BannerHost& host, Clock& clock);
  ReminderBanner(const ReminderBanner&) = delete;
  ReminderBanner& operator=(const ReminderBanner&) = delete;

  void appear();
  // Takes the banner off screen and reports the action once.
  void finish(std::optional<std::string> action);

  BannerView* view() const { return view_.get(); }
  const ReminderItem& item() const { return item_; }

  std::function<void(std::optional<std::string>)> onAction;

 private:
  ReminderItem item_;
  Clock& clock_;
  std::unique_ptr<BannerView> view_;
  Timer hideWork_;
  Lifetime life_;
};

}  // namespace vuko

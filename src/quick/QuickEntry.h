// The quick panel's behaviour without its window: the live parse preview
// (a pause in typing, then one request, its answer dropped once stale) and
// the submission of the typed line as a new task.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/Clock.h"
#include "platform/Task.h"
#include "server/TaskApi.h"

namespace vuko {
class Outbox;
}

namespace vuko {

// What the entry asks of the panel that shows it.
class QuickView {
 public:
  // amber: a line kept to be sent later.
  enum class Tint { blue, red, green, amber };

  virtual ~QuickView() = default;
  virtual std::string text() const = 0;
  // Sets the field without it counting as the user's edit.
  virtual void setText(const std::string& text) = 0;
  virtual void setPreview(const std::string& text) = 0;
  virtual void setPreviewTint(Tint tint) = 0;
  // Places the panel on the screen under the pointer and gives the field the
  // keyboard focus; eventTime is the window system's time of the user's
  // action (0 when unknown).
  virtual void present(std::uint32_t eventTime) = 0;
  virtual void orderOut() = 0;
  virtual bool isVisible() const = 0;
};

// The quick panel as a hot key or a menu command asks for it (the
// application rules call it directly, with the press's time).
class QuickCommands {
 public:
  virtual ~QuickCommands() = default;
  virtual void showPanel(std::uint32_t eventTime) = 0;
  virtual void togglePanel(std::uint32_t eventTime) = 0;
};

class QuickEntry final : public QuickCommands {
 public:
  static constexpr Clock::Duration kDebounce{220};
  static constexpr Clock::Duration kCloseDelay{900};

  QuickEntry(QuickView& view, TaskApi& api, Clock& clock = Clock::main());
  QuickEntry(const QuickEntry&) = delete;
  QuickEntry& operator=(const QuickEntry&) = delete;

  void show(std::uint32_t eventTime = 0);
  void hide();
  // Shows the panel, or hides it unless it is only waiting to close after a
  // confirmation.
  void toggle(std::uint32_t eventTime = 0);
  void showPanel(std::uint32_t eventTime) override { show(eventTime); }
  void togglePanel(std::uint32_t eventTime) override { toggle(eventTime); }
  bool isVisible() const { return view_.isVisible(); }
  // Escape: drop the pending preview and close.
  void escape() { hide(); }

  // After every edit the user makes in the field.
  void textChanged();
  // Enter: sends the trimmed line as a new task.
  void submit();
  bool busy() const { return busy_; }

  // After a task was created.
  std::function<void()> onAdded;

  // Lines that cannot reach the server go to the outbox (which outlives the
  // entry); offline tells whether the main page shows its offline page, so
  // that a missing token means no connection rather than no sign-in.
  void keepOffline(Outbox& outbox, std::function<bool()> offline) {
    outbox_ = &outbox;
    offline_ = std::move(offline);
  }

  // The confirmation after a task was created from text: the server's title
  // (or the text) and what the server read in it.
  static std::string confirmation(const nlohmann::json& created, const std::string& text);

 private:
  void cancelParse();
  Task<> parse(std::string text, Lifetime::Guard current);
  Task<> send(std::string typed, std::string text);
  void fail(const std::string& message);
  // The sentence for a failed call, or for no token when none is given.
  std::string unreachableOr(const std::string& message, bool noAnswer) const;
  // After the line was created (added) or kept: the next line or the close.
  void settle(const std::string& typed, const std::optional<std::string>& entered,
              std::uint64_t showing, bool added);

  QuickView& view_;
  TaskApi& api_;
  Clock& clock_;
  // The pending preview request: the pause before it, and the lifetime its
  // answer must still be part of to be shown (its end cancels the request).
  Timer debounce_;
  Lifetime parse_;
  bool busy_ = false;
  // The field as it was at an Enter pressed during a submission.
  std::optional<std::string> enterWhileBusy_;
  // The close after a confirmation; the user's next keystroke or the hot key
  // cancels it, as they go on with the next task.
  Timer close_;
  // Counts the times the panel was shown, so that a submission's answer
  // leaves a panel opened again since alone.
  std::uint64_t shown_ = 0;
  Outbox* outbox_ = nullptr;
  std::function<bool()> offline_;
  Lifetime life_;
};

}  // namespace vuko

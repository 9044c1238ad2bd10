// The quick-task panel: one line for a new task, a live preview of how the
// server reads it, Enter to add it to the inbox, Escape to close.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/gtk/GObjectPtr.h"
#include "quick/QuickEntry.h"
#include "quick/gtk/KeyPanel.h"

namespace vuko {

class QuickPanel : private QuickView {
 public:
  // Builds the panel (not shown); api outlives it.
  explicit QuickPanel(TaskApi& api, Clock& clock = Clock::main());
  ~QuickPanel() override;
  QuickPanel(const QuickPanel&) = delete;
  QuickPanel& operator=(const QuickPanel&) = delete;

  // eventTime: the X server time of the key press or click that asked for
  // the panel, so that it takes the focus from another application.
  void show(std::uint32_t eventTime = 0) { entry_.show(eventTime); }
  void hide() { entry_.hide(); }
  void toggle(std::uint32_t eventTime = 0) { entry_.toggle(eventTime); }
  QuickCommands& commands() { return entry_; }
  bool isVisible() const override { return panel_.isVisible(); }
  void submit() { entry_.submit(); }
  bool busy() const { return entry_.busy(); }

  std::function<void()> onAdded;
  // See QuickEntry::keepOffline.
  void keepOffline(Outbox& outbox, std::function<bool()> offline) {
    entry_.keepOffline(outbox, std::move(offline));
  }

  static std::string describe(const nlohmann::json& task);
  static std::string day(const std::string& text);

  // For the self-test run.
  GtkEntry* testField() const { return GTK_ENTRY(field_); }
  GtkLabel* testPreview() const { return GTK_LABEL(preview_); }
  GtkWidget* testView() const { return content_; }
  // Sets the field and handles it as the user's edit.
  void testType(const std::string& text);
  void testSubmit() { submit(); }
  GtkWindow* window() const { return panel_.window(); }

 private:
  std::string text() const override;
  void setText(const std::string& text) override;
  void setPreview(const std::string& text) override;
  void setPreviewTint(Tint tint) override;
  void present(std::uint32_t eventTime) override;
  void orderOut() override { panel_.orderOut(); }

  void build();
  void applyStyle();

  KeyPanel panel_;
  GtkWidget* content_ = nullptr;
  GtkWidget* field_ = nullptr;
  GtkWidget* preview_ = nullptr;
  GtkWidget* hint_ = nullptr;
  GObjectPtr<GtkCssProvider> style_;
  // Set while the program itself writes the field.
  bool writing_ = false;
  QuickEntry entry_;
};

}  // namespace vuko

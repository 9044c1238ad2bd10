// What the self-test run asks of the components other than the main window
// and the mini window. The application delegate fills in one closure per
// question, each holding its component weakly; a hook left empty makes its
// step report "-" (a value) or "false" (a check), and the run goes on.
//
// Every hook runs on the main thread. Hooks that return a Task may suspend;
// the run gives each of them a generous limit and reports a hook that has
// not finished by then as missing.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Task.h"
#include "selftest/Report.h"
#include "server/TaskApi.h"

namespace vuko {

// A window opened for a snapshot alone, and how to get rid of it.
struct TestWindow {
  // The top-level widget to draw; it must be shown (realised and allocated).
  GtkWidget* widget = nullptr;
  // Closes the window and frees whatever was created for it.
  std::function<void()> close;
};

// The answer to a request for notification authorisation.
struct TestAuthorization {
  bool granted = false;
  // Set when the request failed: the error's domain and code, "domain code".
  std::optional<std::string> error;
};

// The notification centre's settings for the client.
struct TestNotifySettings {
  // 0 not asked yet, 1 denied, 2 authorised.
  int status = 0;
  // Banner (alert) setting: 0 not supported, 1 disabled, 2 enabled.
  int alert = 0;
};

struct TestHooks {
  // Dock badge. refreshBadge starts the same refresh as the badge timer does
  // (it may finish later); badgeLabel is the label last set on the launcher
  // badge, "" when it was cleared.
  std::function<void()> refreshBadge;
  std::function<std::string()> badgeLabel;

  // Quick panel. quickShow shows the panel with an empty field; quickType
  // puts the text into its field as typing would (the parse preview follows
  // after its debounce); quickPreview is the preview (or status) line as
  // shown; quickSubmit adds the task as Enter does; quickHide hides the
  // panel; quickWidget is the panel's top-level widget for a snapshot.
  std::function<void()> quickShow;
  std::function<void(const std::string& text)> quickType;
  std::function<std::string()> quickPreview;
  std::function<void()> quickSubmit;
  std::function<void()> quickHide;
  std::function<GtkWidget*()> quickWidget;

  // Reminder engine. reminderMode: "unknown", "system", "own" or "off".
  // sync runs one poll at once and gives the engine's status text after it.
  // lastPollItems: the items of the last poll. pendingIds: the identifiers of
  // the notification centre's pending requests. bannerCount: own banners on
  // screen; firstBanner: the top-level widget of the first one (null when
  // none). done and open run the reminder's "Готово" and "open" actions as a
  // press on its banner or notification does.
  std::function<std::string()> reminderMode;
  std::function<Task<std::string>()> sync;
  std::function<std::vector<TestReminder>()> lastPollItems;
  std::function<Task<std::vector<std::string>>()> pendingIds;
  std::function<int()> bannerCount;
  std::function<GtkWidget*()> firstBanner;
  std::function<void(const TestReminder&)> done;
  std::function<void(const TestReminder&)> open;

  // Notification centre. requestAuthorization asks for alerts and sounds;
  // notifySettings reads the current settings.
  std::function<Task<TestAuthorization>()> requestAuthorization;
  std::function<Task<TestNotifySettings>()> notifySettings;

  // A new server sheet and a new settings window, shown with the light
  // appearance whatever the desktop's theme, independent of the ones the
  // user opens.
  std::function<TestWindow()> openSheet;
  std::function<TestWindow()> openSettings;

  // Ends the client with status 0 (the default application's quit when unset).
  std::function<void()> quit;

  // The task server's API as the client calls it; it outlives the run. Its
  // checks report no answer when it is unset.
  TaskApi* api = nullptr;
};

}  // namespace vuko

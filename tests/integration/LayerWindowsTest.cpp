// The floating windows on a Wayland compositor with layer-shell (sway, as
// scripts/with-sway.sh runs it). The compositor lists no window for a layer
// surface, so where each one is is read from a screenshot: an ordinary window
// would be tiled over the whole screen with a title bar instead.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "platform/WindowLayer.h"
#include "quick/gtk/KeyPanel.h"
#include "reminders/gtk/BannerWindow.h"
#include "support/WebFixture.h"
#include "web/gtk/MiniFocus.h"

namespace vuko::test {
namespace {

// The screen as grim shows it, and the average colour of a rectangle in it.
struct Screen {
  int width = 0, height = 0;
  std::string pixels;
  static Screen take() {
    std::string ppm;
    GSubprocess* grim = g_subprocess_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE, nullptr, "grim", "-t",
                                         "ppm", "-", nullptr);
    GBytes* out = nullptr;
    if (grim && g_subprocess_communicate(grim, nullptr, nullptr, &out, nullptr, nullptr) && out) {
      gsize size = 0;
      const auto* data = static_cast<const char*>(g_bytes_get_data(out, &size));
      ppm.assign(data, size);
    }
    if (out) g_bytes_unref(out);
    if (grim) g_object_unref(grim);
    Screen s;
    int max = 0, used = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &s.width, &s.height, &max, &used) == 3)
      s.pixels = ppm.substr(static_cast<std::size_t>(used) + 1);
    return s;
  }
  // True when every channel's mean over the rectangle is within 12 of rgb.
  bool is(int x, int y, int w, int h, std::array<int, 3> rgb) const {
    if (pixels.size() < static_cast<std::size_t>(width * height * 3)) return false;
    std::array<long, 3> sum{};
    for (int row = y; row < y + h; ++row)
      for (int col = x; col < x + w; ++col)
        for (int c = 0; c < 3; ++c)
          sum[c] += static_cast<unsigned char>(pixels[(row * width + col) * 3 + c]);
    for (int c = 0; c < 3; ++c)
      if (std::abs(sum[c] / (w * h) - rgb[c]) > 12) return false;
    return true;
  }
};

class LayerWindows : public WebFixture {};

TEST_F(LayerWindows, PanelBannerAndPomodoroFloatWhereTheyBelong) {
  if (WindowLayer::support() != WindowLayer::Support::layers)
    GTEST_SKIP() << "needs a Wayland compositor with layer-shell";
  server.handle("/mini-focus",
                [](const Received&) { return html("<body style='background:#ff0000'></body>"); });
  start();
  MiniFocus mini(controller->sharedConfig());
  mini.toggle();
  KeyPanel panel(640, 118);
  panel.present(0);
  GtkBannerHost host;
  auto banner = host.make({"Напоминание", "Текст", false});
  auto area = *host.workArea();
  banner->moveTo(area.x + area.width - banner->width() - 12, area.y + 12);
  banner->appear();

  const std::array<int, 3> desktop{0x3a, 0x4a, 0x5a}, red{255, 0, 0};
  Screen s;
  bool placed = waitUntil([&] {
    s = Screen::take();
    // The panel a third of the way down, centred; the banner in the corner
    // over the pomodoro window; the desktop still bare beside them.
    return !s.is(340, 220, 600, 90, desktop) && s.is(980, 200, 260, 200, red) &&
           !s.is(940, 20, 300, 40, red) && !s.is(940, 20, 300, 40, desktop) &&
           s.is(20, 20, 200, 150, desktop) && s.is(20, 600, 200, 150, desktop);
  });
  EXPECT_TRUE(placed) << "screenshot " << s.width << "x" << s.height;
}

}  // namespace
}  // namespace vuko::test

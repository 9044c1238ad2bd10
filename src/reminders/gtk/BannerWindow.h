// Own reminder banners as GTK windows: translucent, rounded, above other
// windows on every workspace, never taking the focus.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "reminders/Banner.h"

namespace vuko {

class GtkBannerHost final : public BannerHost {
 public:
  GtkBannerHost();
  ~GtkBannerHost() override;
  GtkBannerHost(const GtkBannerHost&) = delete;
  GtkBannerHost& operator=(const GtkBannerHost&) = delete;

  std::unique_ptr<BannerView> make(const BannerContent& content) override;
  std::optional<WorkArea> workArea() const override;
  void playSound() override;

 private:
  struct Sound;
  std::unique_ptr<Sound> sound_;
};

// The window of a banner that GtkBannerHost made (none for other views).
GtkWindow* bannerWindow(BannerView* view);

}  // namespace vuko

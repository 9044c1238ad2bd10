// The main page's last picture in front of the live view. It needs the
// toolkit only, not the engine, so that a start can show it before the
// engine's libraries are even loaded.
#pragma once

#include <gtk/gtk.h>

#include <filesystem>
#include <functional>

#include "platform/Clock.h"
#include "platform/Url.h"

namespace vuko {

class PictureCover {
 public:
  // Fills place, in window, with the stored picture of the server in use when one fits
  // the window. A picture that cannot be read or does not fit is deleted.
  // Without showNow the picture waits for coverAgain().
  PictureCover(GtkBox* place, GtkWindow* window, bool showNow = true);
  ~PictureCover();
  PictureCover(const PictureCover&) = delete;
  PictureCover& operator=(const PictureCover&) = delete;

  // Puts the live view under the picture; none while the engine is away.
  void setView(GtkWidget* view);
  bool covering() const { return cover_ != nullptr; }
  // Runs next once, soon after the picture has been drawn, or when it was
  // not shown after all; at once when it has been drawn already or none
  // shows.
  void whenShown(std::function<void()> next);
  // Whether something waits for the picture to be drawn.
  bool awaitingDraw() const { return static_cast<bool>(onShown_); }
  // Shows the live view for good.
  void uncover();
  // The live view for good after limit at the latest.
  void uncoverWithin(Clock::Duration limit);
  // Puts the stored picture in front of the view again, as at a start.
  void coverAgain();
  // Deletes the picture of the server in use.
  void forget();

  // The picture file's text key naming the server it shows.
  static constexpr const char* kServerKey = "tEXt::vuko-server";
  // Where the picture of a server is kept.
  static std::filesystem::path file(const Url& server);

 private:
  void showStored();
  void showPicture(cairo_surface_t* picture);
  // The cover got its size: a picture of another size is not shown.
  void allocated(int width, int height);
  void discard();
  void shown();

  GtkWindow* window_ = nullptr;
  GtkWidget* overlay_ = nullptr;
  // Holds the live view under the picture.
  GtkWidget* holder_ = nullptr;
  std::filesystem::path path_;
  bool sized_ = false;
  bool drawn_ = false;
  std::function<void()> onShown_;
  GtkWidget* cover_ = nullptr;
  // The cover's picture; it goes with the cover.
  cairo_surface_t* picture_ = nullptr;
  Timer limit_;
};

}  // namespace vuko

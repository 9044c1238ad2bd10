#include "platform/Workspace.h"

#include <gio/gio.h>

#include <cstdlib>
#include <memory>

namespace vuko {

namespace {

Workspace::Opener& opener() {
  static Workspace::Opener o;
  return o;
}

void launch(const std::string& uri) {
  if (opener()) {
    opener()(uri);
    return;
  }
  g_app_info_launch_default_for_uri_async(uri.c_str(), nullptr, nullptr, nullptr, nullptr);
}

std::string fileUri(const std::filesystem::path& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (!uri) return {};
  std::string out = uri;
  g_free(uri);
  return out;
}

// What an asynchronous reveal needs once the bus answers.
struct Reveal {
  std::filesystem::path file;

  void fallBack() const { launch(fileUri(file.parent_path())); }
};

void shownItems(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Reveal> reveal(static_cast<Reveal*>(data));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply) {
    g_variant_unref(reply);
    return;
  }
  g_error_free(error);
  reveal->fallBack();
}

void gotBus(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Reveal> reveal(static_cast<Reveal*>(data));
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (!bus) {
    g_error_free(error);
    reveal->fallBack();
    return;
  }
  const std::string uri = fileUri(reveal->file);
  const gchar* uris[] = {uri.c_str(), nullptr};
  g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", "ShowItems",
                         g_variant_new("(^ass)", uris, ""), G_VARIANT_TYPE("()"),
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, shownItems, reveal.release());
  g_object_unref(bus);
}

}  // namespace

void Workspace::openUrl(const std::string& url) {
  launch(url);
}

void Workspace::revealFile(const std::string& path) {
  auto reveal = std::make_unique<Reveal>();
  std::error_code ec;
  reveal->file = std::filesystem::absolute(path, ec).lexically_normal();
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, gotBus, reveal.release());
}

std::filesystem::path Workspace::downloadsFolder() {
  std::filesystem::path folder;
  if (const char* env = std::getenv("XDG_DOWNLOAD_DIR"); env && *env == '/') {
    folder = env;
  } else if (const char* special = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)) {
    folder = special;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::filesystem::path(home && *home ? home : g_get_home_dir()) / "Downloads";
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

bool Workspace::installed(const std::string& program) {
  gchar* path = g_find_program_in_path(program.c_str());
  bool found = path != nullptr;
  g_free(path);
  return found;
}

bool Workspace::run(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<gchar*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<gchar*>(a.c_str()));
  args.push_back(nullptr);
  GError* error = nullptr;
  bool started = g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                               nullptr, &error);
  if (error) g_error_free(error);
  return started;
}

void Workspace::setOpener(Opener o) {
  opener() = std::move(o);
}

}  // namespace vuko

// vuko-devserver: the stand-in task server and its web application.
#include <glib-unix.h>
#include <glib.h>

#include <cstdio>
#include <exception>

#include "devserver/DevServer.h"

namespace {

gboolean quit(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  gint port = 5300;
  gchar* db = nullptr;
  gboolean demo = FALSE;
  gboolean quiet = FALSE;
  GOptionEntry entries[] = {
      {"port", 'p', 0, G_OPTION_ARG_INT, &port, "Порт на 127.0.0.1 (0 — любой свободный)", "N"},
      {"db", 'd', 0, G_OPTION_ARG_FILENAME, &db, "Файл базы SQLite (по умолчанию vuko-dev.db)",
       "FILE"},
      {"demo", 0, 0, G_OPTION_ARG_NONE, &demo, "Создать демо-аккаунт с задачами", nullptr},
      {"quiet", 'q', 0, G_OPTION_ARG_NONE, &quiet, "Не печатать запросы", nullptr},
      {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  GOptionContext* context = g_option_context_new("— сервер задач «Vuko» для разработки");
  g_option_context_add_main_entries(context, entries, nullptr);
  GError* error = nullptr;
  bool parsed = g_option_context_parse(context, &argc, &argv, &error);
  g_option_context_free(context);
  if (!parsed || port < 0 || port > 65535) {
    std::fprintf(stderr, "vuko-devserver: %s\n", error ? error->message : "неверный порт");
    g_clear_error(&error);
    return 2;
  }

  vuko::dev::DevServer::Options options;
  options.db = db ? db : "vuko-dev.db";
  options.port = port;
  options.demo = demo;
  options.log = !quiet;
  g_free(db);

  try {
    vuko::dev::DevServer server(options);
    std::printf("vuko-devserver: %s (база %s)\n", server.url().c_str(), options.db.c_str());
    if (demo)
      std::printf("Демо-аккаунт: %s, пароль «%s» — войдите на %s/login\n",
                  vuko::dev::DevServer::demoEmail(), vuko::dev::DevServer::demoPassword(),
                  server.url().c_str());
    std::fflush(stdout);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGINT, quit, loop);
    g_unix_signal_add(SIGTERM, quit, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vuko-devserver: %s\n", e.what());
    return 1;
  }
  return 0;
}

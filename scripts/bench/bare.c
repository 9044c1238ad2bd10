/* A bare web window for comparison with the client: one window, one view,
 * software rendering. Prints "bench first-frame <epoch ms>" once the first
 * page has painted, then, after REST seconds, "bench pss-kib <n>" for its
 * process tree, and exits.
 *
 * Usage: bare URL REST [DATA_DIR]
 * DATA_DIR: web data kept there (the client's, to start as signed in as it);
 * without it, nothing is kept. */
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include "web/PaintedMark.h"

/* The same mark of a painted page as the client's. */
static const char *kPainted = VUKO_PAINTED_SCRIPT;

/* With VUKO_BENCH_TRACE set, the steps' times too. */
static void trace_stamp(const char *name) {
  if (!getenv("VUKO_BENCH_TRACE")) return;
  printf("bench %s %" G_GINT64_FORMAT "\n", name, g_get_real_time() / 1000);
}

static int rest_seconds;
static gboolean reported;

static long parent_of(long pid) {
  char path[64], buf[512];
  snprintf(path, sizeof path, "/proc/%ld/stat", pid);
  FILE *f = fopen(path, "r");
  if (!f) return -1;
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = 0;
  char *end = strrchr(buf, ')');
  long ppid = -1;
  if (end && sscanf(end + 2, "%*c %ld", &ppid) == 1) return ppid;
  return -1;
}

static long pss_of(long pid) {
  char path[64], line[256];
  snprintf(path, sizeof path, "/proc/%ld/smaps_rollup", pid);
  FILE *f = fopen(path, "r");
  if (!f) return 0;
  long kib = 0;
  while (fgets(line, sizeof line, f))
    if (sscanf(line, "Pss: %ld kB", &kib) == 1) break;
  fclose(f);
  return kib;
}

/* The process itself and every process below it. */
static long tree_pss(long root) {
  long total = 0;
  DIR *d = opendir("/proc");
  struct dirent *e;
  while (d && (e = readdir(d))) {
    long pid = strtol(e->d_name, NULL, 10);
    if (pid <= 0) continue;
    for (long p = pid; p > 1; p = parent_of(p))
      if (p == root) {
        total += pss_of(pid);
        break;
      }
  }
  if (d) closedir(d);
  return total;
}

static gboolean finish(gpointer unused) {
  (void)unused;
  printf("bench pss-kib %ld\n", tree_pss(getpid()));
  /* For a comparison of what the two processes map. */
  const char *keep = getenv("VUKO_BENCH_SMAPS");
  if (keep) {
    char *maps = NULL;
    if (g_file_get_contents("/proc/self/smaps", &maps, NULL, NULL))
      g_file_set_contents(keep, maps, -1, NULL);
    g_free(maps);
  }
  fflush(stdout);
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

static void painted(GObject *src, GAsyncResult *res, gpointer unused) {
  (void)unused;
  JSCValue *v = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(src), res,
                                                                      NULL);
  if (!v || reported) return;
  g_object_unref(v);
  reported = TRUE;
  printf("bench first-frame %lld\n", (long long)(g_get_real_time() / 1000));
  fflush(stdout);
  g_timeout_add_seconds(rest_seconds, finish, NULL);
}

static void load_changed(WebKitWebView *view, WebKitLoadEvent event, gpointer unused) {
  (void)unused;
  if (event == WEBKIT_LOAD_COMMITTED) trace_stamp("t-committed");
  if (event == WEBKIT_LOAD_COMMITTED && !reported)
    webkit_web_view_call_async_javascript_function(view, kPainted, -1, NULL, NULL, NULL, NULL,
                                                   painted, NULL);
}


int main(int argc, char **argv) {
  trace_stamp("t-main");
  gtk_init(&argc, &argv);
  trace_stamp("t-gtk");
  if (argc < 3) {
    fprintf(stderr, "usage: %s URL REST [DATA_DIR]\n", argv[0]);
    return 2;
  }
  rest_seconds = atoi(argv[2]);
  WebKitWebsiteDataManager *data =
      argc > 3 ? webkit_website_data_manager_new("base-data-directory", argv[3], NULL)
               : webkit_website_data_manager_new_ephemeral();
  WebKitWebContext *context =
      WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data, NULL));
  trace_stamp("t-context");
  WebKitSettings *settings = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1280, 820);
  GtkWidget *view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                            "settings", settings, NULL));
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "load-changed", G_CALLBACK(load_changed), NULL);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  trace_stamp("t-load");
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}

// Downloads and the page's own dialogs of the main window, answered the way a
// user would: through the dialogs' buttons and fields.
#include <filesystem>
#include <fstream>

#include "support/FakeFileManager.h"
#include "support/WebFixture.h"

using namespace vuko;
using namespace vuko::test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string fileUri(const fs::path& path) {
  gchar* u = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string out = u ? u : "";
  g_free(u);
  return out;
}

// The visible toplevel of the given type, if there is one.
template <class Pred>
GtkWindow* findWindow(Pred pred) {
  GList* all = gtk_window_list_toplevels();
  GtkWindow* found = nullptr;
  for (GList* w = all; w && !found; w = w->next)
    if (gtk_widget_get_visible(GTK_WIDGET(w->data)) && pred(GTK_WINDOW(w->data)))
      found = GTK_WINDOW(w->data);
  g_list_free(all);
  return found;
}

std::string property(GtkMessageDialog* dialog, const char* name) {
  gchar* text = nullptr;
  g_object_get(dialog, name, &text, nullptr);
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

std::string buttonLabel(GtkDialog* dialog, int response) {
  GtkWidget* b = gtk_dialog_get_widget_for_response(dialog, response);
  return b && GTK_IS_BUTTON(b) ? gtk_button_get_label(GTK_BUTTON(b)) : "";
}

GtkEntry* findEntry(GtkMessageDialog* dialog) {
  GList* children =
      gtk_container_get_children(GTK_CONTAINER(gtk_message_dialog_get_message_area(dialog)));
  GtkEntry* entry = nullptr;
  for (GList* c = children; c && !entry; c = c->next)
    if (GTK_IS_ENTRY(c->data)) entry = GTK_ENTRY(c->data);
  g_list_free(children);
  return entry;
}

bool isOpen(gpointer window) {
  GList* all = gtk_window_list_toplevels();
  bool found = g_list_find(all, window) != nullptr;
  g_list_free(all);
  return found;
}

class DownloadsDialogsTest : public WebFixture {
 protected:
  // The page's answer once its dialog has been dealt with.
  std::optional<json> answer() { return eval("'answer' in window ? window.answer : 'pending'"); }
};

// What the engine hands over as a download (an attachment, a type it cannot
// show, a link with the download attribute) is saved in the downloads folder
// under a free name and shown in the file manager; the page stays.
TEST_F(DownloadsDialogsTest, DownloadsAreSavedUnderFreeNamesAndRevealed) {
  auto serve = [&](const std::string& path, const std::string& type, const std::string& name) {
    server.handle(path, [=](const Received&) {
      Reply r;
      r.contentType = type;
      if (!name.empty()) r.headers["Content-Disposition"] = "ATTACHMENT; filename=\"" + name + "\"";
      r.body = "content of " + path;
      return r;
    });
  };
  serve("/files/report", "application/pdf", "report.pdf");
  serve("/files/archive.zip", "application/zip", "");
  serve("/files/plain", "text/plain", "");
  struct Case {
    std::string click, path, saved;
  };
  // The choice of names is unit-tested; here the second report must see the
  // first one's file.
  const std::vector<Case> cases{
      {"r", "/files/report", "report.pdf"},
      {"r", "/files/report", "report (2).pdf"},
      {"z", "/files/archive.zip", "archive.zip"},
      {"t", "/files/plain", "notes.txt"},
  };
  FakeFileManager fileManager;
  start();
  ASSERT_TRUE(showPage("/start",
                       "<a id=r href='/files/report'>r</a>"
                       "<a id=z href='/files/archive.zip'>z</a>"
                       "<a id=t href='/files/plain' download='notes.txt'>t</a>"));
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.saved);
    eval("document.getElementById('" + c.click + "').click(); true");
    ASSERT_TRUE(waitUntil([&] { return fileManager.shown().size() == i + 1; }));
    EXPECT_EQ(fileManager.shown()[i], std::vector<std::string>{fileUri(downloads / c.saved)});
    std::ifstream in(downloads / c.saved);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "content of " + c.path);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(downloads), fs::directory_iterator()), 4);
  EXPECT_EQ(uri(), server.url() + "/start");
  EXPECT_TRUE(opened.empty());
}

TEST_F(DownloadsDialogsTest, PageDialogsAnswerAsTheUserChose) {
  struct Case {
    std::string name, call;
    int response;
    std::optional<std::string> typed;
    json expected;
  };
  const std::vector<Case> cases{
      {"alert", "(alert('Сохранено'), 'closed')", GTK_RESPONSE_OK, std::nullopt, "closed"},
      {"confirm OK", "confirm('Удалить?')", GTK_RESPONSE_OK, std::nullopt, true},
      {"confirm closed", "confirm('Удалить?')", GTK_RESPONSE_DELETE_EVENT, std::nullopt, false},
      {"prompt OK with typed text", "prompt('Название', 'Черновик')", GTK_RESPONSE_OK, "Новый план",
       "Новый план"},
      {"prompt Отмена", "prompt('Название', 'Черновик')", GTK_RESPONSE_CANCEL, std::nullopt,
       nullptr},
  };
  start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(showPage("/dialogs", "<p>dialogs</p>"));
    // The page waits for its dialog; the evaluation itself must not.
    eval("setTimeout(() => { window.answer = " + c.call + "; }, 0); true");
    GtkMessageDialog* dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] {
      return (dialog = GTK_MESSAGE_DIALOG(
                  findWindow([](GtkWindow* w) { return GTK_IS_MESSAGE_DIALOG(w); }))) != nullptr;
    }));
    const bool isAlert = c.name == "alert";
    const bool isPrompt = c.call.rfind("prompt", 0) == 0;
    EXPECT_EQ(property(dialog, "text"), isAlert ? "Сохранено" : isPrompt ? "Название" : "Удалить?");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "");
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), controller->window());
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    EXPECT_EQ(buttonLabel(GTK_DIALOG(dialog), GTK_RESPONSE_OK), "OK");
    EXPECT_EQ(buttonLabel(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL), isAlert ? "" : "Отмена");
    GtkEntry* entry = findEntry(dialog);
    EXPECT_EQ(entry != nullptr, isPrompt);
    if (entry) {
      EXPECT_STREQ(gtk_entry_get_text(entry), "Черновик");
      EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(dialog)), GTK_WIDGET(entry));
      int w = 0, h = 0;
      gtk_widget_get_size_request(GTK_WIDGET(entry), &w, &h);
      EXPECT_EQ(w, 280);
      if (c.typed) gtk_entry_set_text(entry, c.typed->c_str());
    }
    gtk_dialog_response(GTK_DIALOG(dialog), c.response);
    EXPECT_TRUE(waitUntil([&] { return answer() == std::optional<json>(c.expected); }))
        << answer()->dump();
    EXPECT_FALSE(isOpen(dialog));
  }
}

// Choosing files in the chooser needs its folder view to load, which under the
// test bus stalls on desktop services; the offer and the refusal are checked.
TEST_F(DownloadsDialogsTest, FileChooserOffersFilesOnlyAsThePageAsks) {
  start();
  for (bool multiple : {true, false}) {
    SCOPED_TRACE(multiple ? "multiple" : "single");
    ASSERT_TRUE(showPage(
        "/upload", std::string("<input type=file id=f ") + (multiple ? "multiple" : "") + ">"));
    eval("document.getElementById('f').click(); true");
    GtkWindow* found = nullptr;
    ASSERT_TRUE(waitUntil([&] {
      return (found = findWindow([](GtkWindow* w) { return GTK_IS_FILE_CHOOSER_DIALOG(w); })) !=
             nullptr;
    }));
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(found);
    EXPECT_EQ(gtk_file_chooser_get_action(chooser), GTK_FILE_CHOOSER_ACTION_OPEN);
    EXPECT_EQ(static_cast<bool>(gtk_file_chooser_get_select_multiple(chooser)), multiple);
    EXPECT_EQ(gtk_window_get_transient_for(found), controller->window());
    EXPECT_TRUE(gtk_window_get_modal(found));
    gtk_dialog_response(GTK_DIALOG(found), GTK_RESPONSE_CANCEL);
    EXPECT_TRUE(waitUntil([&] { return !isOpen(found); }));
    EXPECT_EQ(eval("document.getElementById('f').files.length"), json(0));
  }
}

}  // namespace

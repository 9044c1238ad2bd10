// Downloads and the page's own dialogs of the main window, answered the way a
// user would: through the dialogs' buttons and fields.
#include <filesystem>

#include "support/FakeDesktop.h"
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

// The visible message dialog, if there is one.
GtkWindow* messageDialog() {
  GList* all = gtk_window_list_toplevels();
  GtkWindow* found = nullptr;
  for (GList* w = all; w && !found; w = w->next)
    if (gtk_widget_get_visible(GTK_WIDGET(w->data)) && GTK_IS_MESSAGE_DIALOG(w->data))
      found = GTK_WINDOW(w->data);
  g_list_free(all);
  return found;
}

class DownloadsDialogsTest : public WebFixture {
 protected:
  // The page's answer once its dialog has been dealt with.
  std::optional<json> answer() { return eval("'answer' in window ? window.answer : 'pending'"); }
};

// What the engine hands over as a download (an attachment, a link with the
// download attribute) is saved in the downloads folder
// under a free name and shown in the file manager (or its folder opened when
// that fails); the page stays.
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
  serve("/files/plain", "text/plain", "");
  // The choice of names is unit-tested; here the second report must see the
  // first one's file.
  const std::vector<std::pair<std::string, std::string>> cases{
      {"r", "report.pdf"}, {"r", "report (2).pdf"}, {"t", "notes.txt"}};
  std::optional<FakeDesktop> fileManager(std::vector<std::string>{"filemanager"});
  start();
  ASSERT_TRUE(showPage("/start",
                       "<a id=r href='/files/report'>r</a>"
                       "<a id=t href='/files/plain' download='notes.txt'>t</a>"));
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& [click, saved] = cases[i];
    eval("document.getElementById('" + click + "').click(); true");
    ASSERT_TRUE(waitUntil([&] { return fileManager->calls("ShowItems").size() == i + 1; }));
    EXPECT_EQ(fileManager->calls("ShowItems")[i][0], json::array({fileUri(downloads / saved)}));
    EXPECT_TRUE(fs::file_size(downloads / saved) > 0) << saved;
  }
  EXPECT_EQ(uri(), server.url() + "/start");
  EXPECT_TRUE(opened.empty());

  // A file manager that fails to show it: the folder opens instead.
  fileManager.reset();
  FakeDesktop failing({"filemanager", "fail"});
  eval("document.getElementById('r').click(); true");
  ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(failing.calls("ShowItems").size(), 1u);
  EXPECT_EQ(opened, std::vector<std::string>{fileUri(downloads)});
}

// The page's alert, confirm and prompt are modal dialogs over the main
// window; the page gets what the user chose.
TEST_F(DownloadsDialogsTest, PageDialogsAnswerAsTheUserChose) {
  struct Case {
    std::string call;
    int response;
    std::optional<std::string> typed;
    json expected;
  };
  const std::vector<Case> cases{
      {"confirm('Удалить?')", GTK_RESPONSE_DELETE_EVENT, std::nullopt, false},
      {"prompt('Название', 'Черновик')", GTK_RESPONSE_OK, "Новый план", "Новый план"},
      {"prompt('Название', 'Черновик')", GTK_RESPONSE_CANCEL, std::nullopt, nullptr},
  };
  start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call + " " + std::to_string(c.response));
    ASSERT_TRUE(showPage("/dialogs", "<p>dialogs</p>"));
    // The page waits for its dialog; the evaluation itself must not.
    eval("setTimeout(() => { window.answer = " + c.call + "; }, 0); true");
    GtkWindow* dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (dialog = messageDialog()) != nullptr; }));
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    EXPECT_NE(c.call.find(text), std::string::npos) << text;
    g_free(text);
    EXPECT_EQ(gtk_window_get_transient_for(dialog), controller->window());
    EXPECT_TRUE(gtk_window_get_modal(dialog));
    GList* children = gtk_container_get_children(
        GTK_CONTAINER(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))));
    GtkEntry* entry = nullptr;
    for (GList* l = children; l; l = l->next)
      if (GTK_IS_ENTRY(l->data)) entry = GTK_ENTRY(l->data);
    g_list_free(children);
    EXPECT_EQ(entry != nullptr, c.call.rfind("prompt", 0) == 0);
    if (entry) {
      EXPECT_STREQ(gtk_entry_get_text(entry), "Черновик");
      EXPECT_EQ(gtk_window_get_focus(dialog), GTK_WIDGET(entry));
      if (c.typed) gtk_entry_set_text(entry, c.typed->c_str());
    }
    gtk_dialog_response(GTK_DIALOG(dialog), c.response);
    EXPECT_TRUE(waitUntil([&] { return answer() == std::optional<json>(c.expected); }))
        << answer()->dump();
  }
}

}  // namespace

// Downloads and the page's own dialogs of the main window, answered the way a
// user would: through the dialogs' buttons and fields.
#include <filesystem>
#include <tuple>

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

class DownloadsDialogsTest : public WebFixture {};

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
  std::optional<FakeDesktop> fileManager("filemanager");
  const fs::path downloads = Workspace::downloadsFolder();  // this process's own
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
  FakeDesktop failing("filemanager", {"fail"});
  eval("document.getElementById('r').click(); true");
  ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(failing.calls("ShowItems").size(), 1u);
  EXPECT_EQ(opened, std::vector<std::string>{fileUri(downloads)});
}

// The page's alert, confirm and prompt are modal dialogs over the main
// window; the page gets what the user chose.
TEST_F(DownloadsDialogsTest, PageDialogsAnswerAsTheUserChose) {
  // A prompt answered with OK gives its field's text, here its default.
  const std::vector<std::tuple<std::string, int, json>> cases{
      {"confirm('Удалить?')", GTK_RESPONSE_DELETE_EVENT, false},
      {"prompt('Название', 'Черновик')", GTK_RESPONSE_OK, "Черновик"},
      {"prompt('Название', 'Черновик')", GTK_RESPONSE_CANCEL, nullptr},
  };
  start();
  auto answer = [&] { return eval("'answer' in window ? window.answer : 'pending'"); };
  for (const auto& [call, response, expected] : cases) {
    SCOPED_TRACE(call + " " + std::to_string(response));
    ASSERT_TRUE(showPage("/dialogs", "<p>dialogs</p>"));
    // The page waits for its dialog; the evaluation itself must not.
    eval("setTimeout(() => { window.answer = " + call + "; }, 0); true");
    GtkWindow* dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (dialog = messageDialog()) != nullptr; }));
    EXPECT_EQ(gtk_window_get_transient_for(dialog), controller->window());
    EXPECT_TRUE(gtk_window_get_modal(dialog));
    gtk_dialog_response(GTK_DIALOG(dialog), response);
    EXPECT_TRUE(waitUntil([&] { return answer() == std::optional<json>(expected); }))
        << answer()->dump();
  }
}

}  // namespace

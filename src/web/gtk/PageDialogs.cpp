#include "web/gtk/PageDialogs.h"

namespace vuko {

GtkWidget* messageDialog(GtkWindow* parent, const char* text) {
  GtkWidget* dialog = gtk_message_dialog_new(
      parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", text);
  gtk_window_set_title(GTK_WINDOW(dialog), "");
  return dialog;
}

namespace {

constexpr int kPromptWidth = 280, kPromptHeight = 24;

void addOkCancel(GtkWidget* dialog) {
  // The first choice ("OK") is the default, placed last as GTK orders buttons.
  gtk_dialog_add_button(GTK_DIALOG(dialog), "Отмена", GTK_RESPONSE_CANCEL);
  gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

gboolean runScriptDialog(GtkWindow* parent, WebKitScriptDialog* request) {
  // Leaving a page is the user's own choice; the page does not get to ask.
  if (webkit_script_dialog_get_dialog_type(request) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    webkit_script_dialog_confirm_set_confirmed(request, TRUE);
    return TRUE;
  }
  const char* message = webkit_script_dialog_get_message(request);
  GtkWidget* dialog = messageDialog(parent, message ? message : "");
  GtkWidget* entry = nullptr;
  switch (webkit_script_dialog_get_dialog_type(request)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
      gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT: {
      addOkCancel(dialog);
      entry = gtk_entry_new();
      gtk_widget_set_size_request(entry, kPromptWidth, kPromptHeight);
      const char* initial = webkit_script_dialog_prompt_get_default_text(request);
      gtk_entry_set_text(GTK_ENTRY(entry), initial ? initial : "");
      gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
      GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
      gtk_container_add(GTK_CONTAINER(area), entry);
      gtk_widget_show(entry);
      break;
    }
    default:
      addOkCancel(dialog);
      break;
  }
  webkit_script_dialog_ref(request);
  g_object_set_data(G_OBJECT(dialog), "vuko-entry", entry);
  // The dialog holds a reference to the request and destroys itself on response.
  g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog* d, int response, gpointer p) {
                     auto* req = static_cast<WebKitScriptDialog*>(p);
                     bool ok = response == GTK_RESPONSE_OK;
                     switch (webkit_script_dialog_get_dialog_type(req)) {
                       case WEBKIT_SCRIPT_DIALOG_ALERT:
                         break;
                       case WEBKIT_SCRIPT_DIALOG_PROMPT:
                         // Without OK the page's prompt returns null.
                         if (ok) {
                           auto* e = GTK_ENTRY(g_object_get_data(G_OBJECT(d), "vuko-entry"));
                           webkit_script_dialog_prompt_set_text(req, gtk_entry_get_text(e));
                         }
                         break;
                       default:
                         webkit_script_dialog_confirm_set_confirmed(req, ok);
                         break;
                     }
                     webkit_script_dialog_close(req);
                     webkit_script_dialog_unref(req);
                     gtk_widget_destroy(GTK_WIDGET(d));
                   }),
                   request);
  gtk_widget_show(dialog);
  if (entry) gtk_widget_grab_focus(entry);
  return TRUE;
}

gboolean runFileChooser(GtkWindow* parent, WebKitFileChooserRequest* request) {
  GtkWidget* chooser =
      gtk_file_chooser_dialog_new("", parent, GTK_FILE_CHOOSER_ACTION_OPEN, "Отмена",
                                  GTK_RESPONSE_CANCEL, "Открыть", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser),
                                       webkit_file_chooser_request_get_select_multiple(request));
  g_object_ref(request);
  // The chooser holds a reference to the request and destroys itself on response.
  g_signal_connect(chooser, "response", G_CALLBACK(+[](GtkDialog* d, int response, gpointer p) {
                     auto* req = static_cast<WebKitFileChooserRequest*>(p);
                     GSList* files = response == GTK_RESPONSE_ACCEPT
                                         ? gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(d))
                                         : nullptr;
                     if (files) {
                       GPtrArray* names = g_ptr_array_new_with_free_func(g_free);
                       for (GSList* f = files; f; f = f->next) g_ptr_array_add(names, f->data);
                       g_ptr_array_add(names, nullptr);
                       webkit_file_chooser_request_select_files(
                           req, reinterpret_cast<const gchar* const*>(names->pdata));
                       g_slist_free(files);
                       g_ptr_array_unref(names);
                     } else {
                       webkit_file_chooser_request_cancel(req);
                     }
                     g_object_unref(req);
                     gtk_widget_destroy(GTK_WIDGET(d));
                   }),
                   request);
  gtk_widget_show(chooser);
  return TRUE;
}

}  // namespace

PageDialogs::PageDialogs(WebKitWebView* view, GtkWindow* parent) : parent_(parent) {
  scriptDialog_ = SignalConnection::connect(
      view, "script-dialog", G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* d, gpointer self) {
        return runScriptDialog(static_cast<PageDialogs*>(self)->parent_, d);
      }),
      this);
  fileChooser_ = SignalConnection::connect(
      view, "run-file-chooser",
      G_CALLBACK(+[](WebKitWebView*, WebKitFileChooserRequest* r, gpointer self) {
        return runFileChooser(static_cast<PageDialogs*>(self)->parent_, r);
      }),
      this);
}

}  // namespace vuko

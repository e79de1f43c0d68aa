#include "platform/linux/alerts.h"

#include <glib/gi18n.h>

#include <algorithm>

namespace kestrine::linux_desktop {

int responseForClosedAlert(const Alert& alert) {
  if (alert.buttons.empty()) return kAlertFirstButton;
  return kAlertFirstButton + static_cast<int>(alert.buttons.size()) - 1;
}

bool needsAnswer(const Alert& alert) { return alert.buttons.size() > 1; }

namespace {

void onMessageAnswered(GtkDialog* dialog, gint, gpointer) {
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

}  // namespace

int GtkAlerts::runModal(const Alert& alert) {
  if (closing_) return responseForClosedAlert(alert);
  const bool modal = needsAnswer(alert);
  const GtkDialogFlags flags = modal ? GTK_DIALOG_MODAL : GtkDialogFlags{};
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, flags, GTK_MESSAGE_INFO, GTK_BUTTONS_NONE,
                                             "%s", alert.title.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", alert.body.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), alert.title.c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  if (alert.buttons.empty()) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), _("OK"), kAlertFirstButton);
  } else {
    int response = kAlertFirstButton;
    for (const std::string& title : alert.buttons) {
      // The button's own text: no mnemonic processing of underscores.
      GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(dialog), "", response++);
      gtk_button_set_use_underline(GTK_BUTTON(button), FALSE);
      gtk_button_set_label(GTK_BUTTON(button), title.c_str());
    }
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), kAlertFirstButton);
  GtkWidget* first = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), kAlertFirstButton);
  if (first != nullptr) gtk_widget_grab_focus(first);
  if (!modal) {
    // Only informs: it stays open on its own while the loop goes on, and
    // closes itself when answered; nobody waits for the answer.
    g_signal_connect(dialog, "response", G_CALLBACK(onMessageAnswered), nullptr);
    messages_.remove(nullptr);  // the ones closed since
    GtkWidget*& entry = messages_.emplace_back(dialog);
    g_signal_connect(dialog, "destroy", G_CALLBACK(gtk_widget_destroyed), &entry);
    gtk_window_present(GTK_WINDOW(dialog));
    return kAlertFirstButton;
  }
  gtk_window_present(GTK_WINDOW(dialog));
  open_.push_back(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  open_.pop_back();
  gtk_widget_destroy(dialog);
  if (response >= kAlertFirstButton &&
      response <
          kAlertFirstButton + static_cast<int>(std::max<std::size_t>(alert.buttons.size(), 1))) {
    return response;
  }
  return responseForClosedAlert(alert);
}

void GtkAlerts::closeAll() {
  closing_ = true;
  for (GtkWidget* message : messages_) {
    if (message != nullptr) gtk_widget_destroy(message);
  }
  for (GtkWidget* dialog : open_)
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
}

}  // namespace kestrine::linux_desktop

// Every message box and modal dialog of the program goes through here, for two reasons: a
// termination request (see Termination.h) must make a modal dialog shown meanwhile close at once
// as cancelled, and tests answer message boxes without a screen by installing a handler.
// Thread contract: UI thread only.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace platform {

enum class MsgType { Error, Warning, Information, Confirmation };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No, Cancel };

struct MessageRequest {
    QString caption;  // a null string = the standard caption of the type ("Ошибка", ...);
                      // an empty one = an empty caption
    QString text;
    MsgType type = MsgType::Error;
    MsgButtons buttons = MsgButtons::Ok;
    MsgResult defaultButton = MsgResult::Ok;
};

// Shows the box modally and returns the answer; Cancel when termination has been requested.
MsgResult showMessage(QWidget* parent, const MessageRequest& request);

// Shortcuts for the two common forms.
void showError(QWidget* parent, const QString& text, const QString& caption = {});
bool askYesNo(QWidget* parent, const QString& text, const QString& caption = {},
              MsgResult defaultButton = MsgResult::Yes);

// The boundary of a user action: runs action and shows any Exception (or other std::exception) it
// raises in an error box with an OK button; the program keeps running.
void guardAction(QWidget* parent, const std::function<void()>& action);

// Runs a dialog modally; QDialog::Rejected at once when termination has been requested.
int runModal(QDialog& dialog);

// Tests: answer every message box through handler (nullptr restores the real boxes).
using MessageHandler = std::function<MsgResult(const MessageRequest&)>;
void setMessageHandler(MessageHandler handler);
// Tests: decide the outcome of runModal without showing the dialog (nullptr restores).
using ModalHandler = std::function<int(QDialog&)>;
void setModalHandler(ModalHandler handler);

}  // namespace platform

#include "platform/MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Exception.h"
#include "platform/LangDispatcher.h"
#include "platform/Termination.h"

namespace platform {
namespace {

MessageHandler& messageHandler() {
    static MessageHandler handler;
    return handler;
}

ModalHandler& modalHandler() {
    static ModalHandler handler;
    return handler;
}

// The common texts of every dialog: button and caption texts, translatable through the common
// language file.
const platform::StringTable& commonTexts() {
    static const platform::StringTable table("TZarinLang",
                                             {{"Ok", "OK"},
                                              {"Yes", "&Да"},
                                              {"No", "&Нет"},
                                              {"Cancel", "Отмена"},
                                              {"Error", "Ошибка"},
                                              {"Warning", "Предупреждение"},
                                              {"Information", "Информация"},
                                              {"Confirmation", "Подтверждение"}},
                                             platform::LangDispatcher::Scope::Common);
    return table;
}

QString defaultCaption(MsgType type) {
    switch (type) {
        case MsgType::Error:
            return commonTexts()("Error");
        case MsgType::Warning:
            return commonTexts()("Warning");
        case MsgType::Information:
            return commonTexts()("Information");
        case MsgType::Confirmation:
            return commonTexts()("Confirmation");
    }
    return {};
}

QMessageBox::Icon iconOf(MsgType type) {
    switch (type) {
        case MsgType::Error:
            return QMessageBox::Critical;
        case MsgType::Warning:
            return QMessageBox::Warning;
        case MsgType::Information:
            return QMessageBox::Information;
        case MsgType::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MsgResult showMessage(QWidget* parent, const MessageRequest& request) {
    if (terminationRequested())
        return MsgResult::Cancel;
    if (messageHandler())
        return messageHandler()(request);

    QMessageBox box(iconOf(request.type),
                    request.caption.isNull() ? defaultCaption(request.type) : request.caption,
                    request.text, QMessageBox::NoButton, parent);
    if (request.buttons == MsgButtons::Ok) {
        box.addButton(QMessageBox::Ok)->setText(commonTexts()("Ok"));
    } else {
        auto* yes = box.addButton(QMessageBox::Yes);
        auto* no = box.addButton(QMessageBox::No);
        yes->setText(commonTexts()("Yes"));
        no->setText(commonTexts()("No"));
        box.setDefaultButton(request.defaultButton == MsgResult::No ? no : yes);
        box.setEscapeButton(no);
    }
    runModal(box);
    if (box.clickedButton() == nullptr)  // closed without an answer
        return MsgResult::Cancel;
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Ok:
            return MsgResult::Ok;
        default:
            return MsgResult::Cancel;
    }
}

void showError(QWidget* parent, const QString& text, const QString& caption) {
    showMessage(parent, {caption, text, MsgType::Error, MsgButtons::Ok, MsgResult::Ok});
}

bool askYesNo(QWidget* parent, const QString& text, const QString& caption,
              MsgResult defaultButton) {
    return showMessage(parent, {caption, text, MsgType::Confirmation, MsgButtons::YesNo,
                                defaultButton}) == MsgResult::Yes;
}

void guardAction(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        showError(parent, e.Message());
    } catch (const std::exception& e) {
        showError(parent, QString::fromUtf8(e.what()));
    }
}

int runModal(QDialog& dialog) {
    if (terminationRequested())
        return QDialog::Rejected;
    if (modalHandler())
        return modalHandler()(dialog);
    return dialog.exec();
}

void setMessageHandler(MessageHandler handler) {
    messageHandler() = std::move(handler);
}
void setModalHandler(ModalHandler handler) {
    modalHandler() = std::move(handler);
}

}  // namespace platform

#include "session/PasswordDlg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "platform/LangDispatcher.h"

namespace session {

namespace {

const platform::StringTable& Texts() {
    static const platform::StringTable table("TPasswordDlg", {
                                                                 {"Caption", "Регистрация"},
                                                                 {"Label1", "Пароль"},
                                                                 {"OKBtn", "Да"},
                                                                 {"CancelBtn", "Отменить"},
                                                             });
    return table;
}

}  // namespace

TPasswordDlg::TPasswordDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint) {
    const auto& t = Texts();
    setObjectName("PasswordDlg");
    setWindowTitle(t("Caption"));
    setFixedSize(kClientWidth, kClientHeight);

    Picture = new QLabel(this);
    Picture->setObjectName("Picture");
    Picture->setGeometry(8, 8, 32, 32);
    Picture->setPixmap(QApplication::windowIcon().pixmap(32, 32));

    PasswordLabel = new QLabel(t("Label1"), this);
    PasswordLabel->setObjectName("Label1");
    PasswordLabel->setGeometry(52, 8, 170, 16);

    Password = new QLineEdit(this);
    Password->setObjectName("Password");
    Password->setGeometry(52, 27, 172, 22);
    Password->setEchoMode(QLineEdit::Password);
    Password->setStyleSheet("lineedit-password-character: 42");  // '*'
    PasswordLabel->setBuddy(Password);

    OKBtn = new QPushButton(t("OKBtn"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setGeometry(52, 70, 82, 26);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(t("CancelBtn"), this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setGeometry(142, 70, 82, 26);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects as well
    connect(Password, &QLineEdit::textChanged, this, &TPasswordDlg::PasswordChange);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Password->setFocus();
}

TPasswordDlg::~TPasswordDlg() {
    ClearPassword();
}

// An empty box emits no change, so "Да" is disabled here as well: after an attempt nothing can
// be submitted until something is typed.
void TPasswordDlg::ClearPassword() {
    Password->clear();
    OKBtn->setEnabled(false);
}

void TPasswordDlg::PasswordChange(const QString& text) {
    OKBtn->setEnabled(!text.isEmpty());
}

}  // namespace session

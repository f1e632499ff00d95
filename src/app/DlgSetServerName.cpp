#include "app/DlgSetServerName.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ComputerBrowser.h"

const platform::StringTable& DlgSetServerNameTexts() {
    static const platform::StringTable table(
        "TDlgSetServerNameDialog",
        {
            {"Caption", "Сервер"},
            {"DescLabel",
             "Укажите имя сервера, к которому необходимо подключится для формирования отчетов"},
            {"ServerNameLabel", "Имя сервера :"},
            {"SelectComputerButton", "..."},
            {"HintLabel",
             "Если оставить это поле пустым, программа попытается установить локальное "
             "соединение"},
            {"OkButton", "Ok"},
            {"CancelButton", "Отмена"},
            {"SCD.Caption", "Выберите сервер БД \"Зарин Про\""},
        });
    return table;
}

TDlgSetServerNameDialog::TDlgSetServerNameDialog(QWidget* owner)
    : QDialog(owner), HostsFile(TComputerNameDialog::kDefaultHostsFile) {
    const auto& t = DlgSetServerNameTexts();
    setObjectName("DlgSetServerNameDialog");
    setWindowTitle(t("Caption"));
    setFixedSize(kClientWidth, kClientHeight);
    // The texts were laid out for a small dialog font.
    QFont small = font();
    small.setPointSizeF(7.5);
    setFont(small);

    SetServerNameLogo = new QLabel(this);
    SetServerNameLogo->setObjectName("SetServerNameLogo");
    SetServerNameLogo->setGeometry(6, 6, 32, 32);
    SetServerNameLogo->setPixmap(QIcon(":/icons/server-logo.svg").pixmap(32, 32));

    DescLabel = new QLabel(t("DescLabel"), this);
    DescLabel->setObjectName("DescLabel");
    DescLabel->setWordWrap(true);
    DescLabel->setGeometry(44, 4, 264, 32);

    ServerNameLabel = new QLabel(t("ServerNameLabel"), this);
    ServerNameLabel->setObjectName("ServerNameLabel");
    ServerNameLabel->setGeometry(44, 40, 84, 22);
    ServerName = new QLineEdit(this);
    ServerName->setObjectName("ServerName");
    ServerName->setGeometry(128, 40, 152, 22);
    ServerNameLabel->setBuddy(ServerName);
    SelectComputerButton = new QPushButton(t("SelectComputerButton"), this);
    SelectComputerButton->setObjectName("SelectComputerButton");
    SelectComputerButton->setGeometry(284, 40, 24, 22);
    SelectComputerButton->setAutoDefault(false);

    HintLabel = new QLabel(t("HintLabel"), this);
    HintLabel->setObjectName("HintLabel");
    HintLabel->setWordWrap(true);
    HintLabel->setGeometry(44, 66, 264, 32);
    QPalette navy = HintLabel->palette();
    navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    HintLabel->setPalette(navy);

    OkButton = new QPushButton(t("OkButton"), this);
    OkButton->setObjectName("OkButton");
    OkButton->setGeometry(152, 106, 75, 26);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(t("CancelButton"), this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setGeometry(233, 106, 75, 26);
    CancelButton->setAutoDefault(false);

    connect(SelectComputerButton, &QPushButton::clicked, this,
            &TDlgSetServerNameDialog::SelectComputerButtonClick);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (owner)
        move(owner->geometry().center() - rect().center());
    ServerName->setFocus();
}

void TDlgSetServerNameDialog::SelectComputerButtonClick() {
    const auto picked = BrowseComputerName(this, DlgSetServerNameTexts()("SCD.Caption"),
                                           KnownComputerNames(UsedServers, HostsFile));
    if (picked)
        ServerName->setText(*picked);
}

// The server dialog ("Сервер"): the data server's host name or address, with a "..." button that
// opens the computer browser; OK and "Отмена". An empty box means the local server.
// Thread contract: UI thread; exists only while the "Сервер..." item runs (owned by the main
// window, freed when the item ends).
#pragma once

#include <QDialog>
#include <QStringList>

#include "platform/LangDispatcher.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The dialog's texts (built-in Russian, translatable).
const platform::StringTable& DlgSetServerNameTexts();

class TDlgSetServerNameDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 312;
    static constexpr int kClientHeight = 139;

    explicit TDlgSetServerNameDialog(QWidget* owner);

    // Runs the computer browser; a picked name replaces the box's text.
    void SelectComputerButtonClick();

    // Names the browser offers ahead of the hosts file (servers used before); and that file.
    QStringList UsedServers;
    QString HostsFile;

    QLabel* SetServerNameLogo = nullptr;
    QLabel* DescLabel = nullptr;
    QLabel* ServerNameLabel = nullptr;
    QLineEdit* ServerName = nullptr;
    QPushButton* SelectComputerButton = nullptr;
    QLabel* HintLabel = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

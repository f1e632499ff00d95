// The pass-code dialog of the sign-in: a masked box and "Да" / "Отменить". "Да" follows the box
// (enabled exactly when it holds text) once the text has changed; a fresh dialog starts empty
// with "Да" enabled, so an empty code can be submitted once.
// Thread contract: UI thread; the data module creates one per sign-in and frees it when the
// sign-in ends. The box holds a secret: whoever reads it clears it again (ClearPassword).
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace session {

class TPasswordDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 233;
    static constexpr int kClientHeight = 106;

    explicit TPasswordDlg(QWidget* owner = nullptr);
    ~TPasswordDlg() override;

    // Empties the box (which disables "Да" until something is typed).
    void ClearPassword();

    QLabel* Picture = nullptr;
    QLabel* PasswordLabel = nullptr;
    QLineEdit* Password = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    void PasswordChange(const QString& text);
};

}  // namespace session

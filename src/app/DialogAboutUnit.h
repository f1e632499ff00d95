// The about window ("О программе"): program logo, name, product, versions and the maker line,
// read from the build's version information. Also serves as the start-up splash (OK hidden,
// borderless, centred). Closes on OK and as soon as it loses activation.
// Thread contract: UI thread; created and freed within one operation (or by start-up).
#pragma once

#include <QDialog>
#include <array>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;

class TDialogAbout : public QDialog {
    Q_OBJECT
public:
    explicit TDialogAbout(QWidget* owner = nullptr);

    // Turns the window into the start-up splash.
    void MakeSplash();

    QFrame* InfoPanel = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProgramName = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* ProductVersion = nullptr;
    QLabel* Maker = nullptr;
    QPushButton* OKButton = nullptr;

    // "a.b.c" with c in 0..255, as the product version is read; nullopt when it is not.
    static std::optional<std::array<int, 3>> ParseProductVersion(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void FillVersionLabels();
};

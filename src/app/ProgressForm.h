// The progress window: a small always-on-top tool window naming the operation under way
// (preparing, exporting or printing a report), the page being processed, and a cancel button.
// The main window's progress handlers drive it; it never shows itself. Cancel asks the preview
// to stop the operation under way (OnCancel, bound by the main window).
//
// Thread contract: UI thread; one instance created at start-up after the main window, reachable
// through `FormProgress` until the program ends.
#pragma once

#include <QDialog>
#include <functional>

#include "platform/LangDispatcher.h"

class QLabel;
class QPushButton;

// The window's own texts (built-in Russian, translatable).
const platform::StringTable& ProgressTexts();

class TFormProgress : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 223;
    static constexpr int kDesignHeight = 110;

    // Centred on owner (the main window) whenever it is shown.
    explicit TFormProgress(QWidget* owner = nullptr);
    ~TFormProgress() override;

    QLabel* lbWork = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* PageCount = nullptr;
    QPushButton* btCancel = nullptr;

    // What btCancel does.
    std::function<void()> OnCancel;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;  // Escape cancels the operation; the window stays until it stops
};

extern TFormProgress* FormProgress;

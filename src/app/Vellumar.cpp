// Program entry: creates the modules in their fixed order behind a splash, then runs the message
// loop. The process ends when the loop ends (or at once, when the control shell is missing).
#include <QApplication>
#include <QIcon>
#include <memory>

#include "app/DialogAboutUnit.h"
#include "app/LanguagesData.h"
#include "app/Main.h"
#include "app/ProgressForm.h"
#include "app/VellumarApplication.h"
#include "app/ZarinLangData.h"
#include "platform/Termination.h"
#include "session/DataModule.h"

int main(int argc, char** argv) {
    VellumarApplication app(argc, argv);
    std::unique_ptr<TZarinLang> zarinLang(CreateZarinLang());

    auto languages = std::make_unique<TLanguages>();
    app.setApplicationDisplayName(MainTexts()("Caption"));
    app.setWindowIcon(QIcon(":/icons/mainicon.svg"));

    auto splash = std::make_unique<TDialogAbout>();
    splash->MakeSplash();
    splash->show();
    app.processEvents();

    auto mainForm = std::make_unique<TMainForm>(app.arguments());
    auto dataDB = std::make_unique<session::TDataDB>();
    mainForm->SetDataModule(dataDB.get());
    // The report host module joins here, before the progress window. The pass-code dialog is
    // made afresh by each sign-in.
    auto formProgress = std::make_unique<TFormProgress>(mainForm.get());
    formProgress->OnCancel = [form = mainForm.get()] { form->CancelReportOperation(); };

    splash.reset();
    mainForm->show();
    mainForm->FormShow();

    int code = 0;
    if (!platform::terminationRequested())
        code = app.exec();
    formProgress.reset();
    mainForm.reset();  // saves the layout, also on the way out of a second instance
    dataDB.reset();    // then the database disconnects
    return code;
}

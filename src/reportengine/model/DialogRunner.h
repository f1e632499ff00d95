// TfrxDialogRunner: how the preparation engine runs a report's dialog pages before its report
// pages. The dialog runtime implements it, showing each page as a modal dialog or, headless,
// playing it with its default answers; the engine calls RunDialogPage for each visible dialog
// page in order and stops the report on mrCancel. Without a runner the engine takes every dialog
// page as confirmed with the answers the template holds.
// Thread contract: called on the thread that prepares the report (the UI thread when dialogs are
// shown); the runner does not outlive nor own the pages it is given.
#pragma once

namespace reportengine {

class TfrxDialogPage;

class TfrxDialogRunner {
public:
    virtual ~TfrxDialogRunner() = default;
    // Runs one dialog page and returns its modal result (a TModalResult value); mrCancel stops
    // the report with no pages, any other result continues. Script errors thrown by the page's
    // event handlers propagate and stop the report too.
    virtual int RunDialogPage(TfrxDialogPage& page) = 0;
};

}  // namespace reportengine

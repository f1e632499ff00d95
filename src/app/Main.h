// The main window: catalog tool window on the left, preview panel with its own docks on the
// right, three toolbars, five menus, a one-panel status bar showing the current hint. Its creation
// runs the start-up checks (single instance, control shell), restores the layout and the selected
// catalog node from the registry; its destruction saves them. `SetEditRights` grants or withdraws
// catalog editing after each sign-in. The File menu's "Сервер..." and "Переподключится" point
// the data module at another server or reconnect, both ending in a new sign-in. The right-hand
// side is the preview (`frPreview`) with its toolbar, page box, zoom box and export submenu; the
// progress handlers drive the progress window while a report is prepared, exported or printed.
//
// Components are public members named as the rest of the program knows them (`ReportForm`,
// `ToolbarPreview`, `CheckShowTree`, ...), so that later modules and the tests can reach them.
// Thread contract: UI thread; one instance, reachable through `MainForm` for its whole life.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "app/FormStorage.h"
#include "platform/LangDispatcher.h"
#include "reportengine/preview/Preview.h"
#include "session/DataModule.h"

class QAction;
class QActionGroup;
class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class TReportForm;

// The main window's own texts (built-in Russian, translatable).
const platform::StringTable& MainTexts();

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Registry sections of the layout.
    static const QString kFormSection;     // "\Software\TAMUR\ZARIN_PRO\Vellumar\Form\"
    static const QString kToolbarSection;  // "\Software\TAMUR\ZARIN_PRO\Vellumar\ToolBars\"
    static constexpr int kMinTreeWidth = 100;
    static constexpr quint32 kShellMessage = 1623;
    static constexpr qint64 kShellMessageParam = 27518;

    // Builds the window and runs its creation handler with the program's command line
    // (arguments[0] is the program itself).
    explicit TMainForm(const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Run when the window is first shown: the report host set-up, then connection and sign-in.
    // Each is a hook that its module fills in; unset hooks are skipped.
    void FormShow();
    std::function<void()> PrepareReportHostHook;
    std::function<void()> DataConnectHook;
    // Whether the database is connected; "Переподключится" is offered only while it is not.
    std::function<bool()> DatabaseConnectedHook;
    // Asked on closing; the window closes when it answers true (unset = true).
    std::function<bool()> ConfirmCloseHook;

    void SetEditRights(bool Value);

    // Binds the data module: showing the window connects and signs in through it, the close query
    // asks it, the File menu's server items use it, and its sign-in sets the edit rights here.
    void SetDataModule(session::TDataDB* dataModule);
    session::TDataDB* DataModule() const { return FDataDB; }
    void ItemServerClick();
    void KTSClick();
    // Pauses of 200 ms that "Сервер..." waits for the old connection to go down.
    static constexpr int kDisconnectPauses = 16;

    void CheckShowTreeClick();
    void CheckReportToolsClick();
    void CheckReportToolsEditClick();
    void CheckPreviewToolsClick();
    void TBToolWindowTreeClose();
    // The splitter between catalog and preview: a width under kMinTreeWidth is refused.
    bool SplitterCanResize(int NewSize);
    void ShowApplicationHint(const QString& hint);
    void ItemExitClick();
    void mnItemAboutClick();
    void HelpClick();
    void LanguageItemClick(int languageNumber);

    // Catalog frame and its window.
    TReportForm* ReportForm = nullptr;
    QDockWidget* TBToolWindowTree = nullptr;

    // Toolbars.
    QToolBar* ToolbarReport = nullptr;
    QToolBar* ToolbarReportEdit = nullptr;
    QToolBar* ToolbarPreview = nullptr;
    QToolButton* PreviewReportButton = nullptr;  // drop-down with the history items
    std::array<QAction*, 7> HistoryItems{};      // H1..H7

    // Preview side.
    QMainWindow* PreviewPanel = nullptr;
    reportengine::TfrxPreview* frPreview = nullptr;
    QMenu* PopupMenuPreView = nullptr;
    QAction* ItemToolsPreview = nullptr;
    QAction *LoadPreview = nullptr, *SavePreview = nullptr, *PrintPreview = nullptr,
            *FindPreview = nullptr, *PageSetup = nullptr, *FirstPage = nullptr, *PrevPage = nullptr,
            *NextPage = nullptr, *LastPage = nullptr, *ZoomIn = nullptr, *ZoomOut = nullptr,
            *Miniature = nullptr, *PdfB = nullptr, *EmailB = nullptr;
    QToolButton* ExportPopup = nullptr;
    QMenu* ExportMenu = nullptr;
    QLineEdit* PageE = nullptr;
    QComboBox* ZoomCB = nullptr;

    // Menus.
    QMenu* FileMenu = nullptr;
    QMenu* EditMenu = nullptr;
    QMenu* ViewMenu = nullptr;
    QMenu* LanguagesMenu = nullptr;  // hidden in the built-in layout
    QMenu* HelpMenu = nullptr;
    QAction *ItemServer = nullptr, *KTS = nullptr, *ItemExit = nullptr;
    QAction *CheckShowTree = nullptr, *CheckReportTools = nullptr, *CheckReportToolsEdit = nullptr,
            *CheckPreviewTools = nullptr;
    QAction *ItemHelp = nullptr, *mnItemAbout = nullptr;
    QList<QAction*> LanguageItems;  // item n-1 is language n

    // --- Preview commands (each runs its operation on frPreview).
    void LoadPreviewExecute();
    void SavePreviewExecute();
    void PrintPreviewExecute();
    void FindPreviewExecute();
    void PageSetupExecute();
    void FirstPageExecute();
    void PrevPageExecute();
    void NextPageExecute();
    void LastPageExecute();
    void ZoomInExecute();
    void ZoomOutExecute();
    void MiniatureExecute();
    // The preview's page-change event: navigation enabling and the page box.
    void frPreviewPageChanged(int PageNo);
    // The page box's accept event: true accepts NewText (possibly replaced by the page actually
    // shown), false rejects it and the box keeps its previous text.
    bool PageEAcceptText(QString& NewText);
    void ZoomCBChange(const QString& Text);
    void PreviewZoomExecute();
    // Writes the preview's zoom into the zoom box without running its change event.
    void UpdateZoomBox();
    // One item per registered export filter but the dot-matrix one; tag = the filter's position.
    void BuildExportMenu();
    void ExportItemClick(int tag);
    // Wheel events that reach the main window scroll the preview.
    void FormMouseWheel(int delta);
    // The catalog's "Редактирование": the reports leave the preview while the template is edited.
    void ReportFormEditReportExecute();
    std::function<void()> EditReportHook;  // the catalog's edit command, filled in by its module
    // The host's report objects: bound to the preview, their progress events to the handlers
    // below. The host calls this from its set-up.
    void AttachReports(const std::vector<reportengine::TfrxReport*>& reports);
    std::vector<reportengine::TfrxReport*> AttachedReports() const;

    // --- Progress of the attached reports (the progress window).
    void ReportProgressStart(reportengine::TfrxReport* Report, int ProgressType, int Progress);
    void ReportProgress(reportengine::TfrxReport* Report, int ProgressType, int Progress);
    void ReportProgressStop(reportengine::TfrxReport* Report, int ProgressType, int Progress);
    void CancelReportOperation();

    // Status bar panel and the hidden label carrying the selected node between runs.
    QLabel* StatusPanel = nullptr;
    QLabel* SelectedTreeNode = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }  // toggles live in "Вид" only

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolbars();
    void BuildCatalogWindow();
    void BuildPreviewPanel();
    void BuildStatusBar();
    void BindPreviewCommands();
    void AcceptPageBox();
    void BindViewToggle(QAction* item, void (TMainForm::*handler)());
    void ToggleView(QAction* item, QAction* mirror, QWidget* target);

    void FormCreate(const QStringList& arguments);
    void FormDestroy();
    void BuildLanguageMenu();
    bool CheckSingleInstance();
    void CheckControlShell(const QStringList& arguments);
    void RestoreSelectedNode();
    void SyncViewChecks();
    QList<QPair<QString, QMainWindow*>> LayoutWindows();

    void ChangeServer(session::TDataDB& dataModule);

    std::unique_ptr<FormStorage> FFormStorage;
    QPointer<session::TDataDB> FDataDB;
    QStringList FUsedServers;  // servers chosen in this run, offered by the computer browser
    QString FPageEText;        // the page box's text before the current edit
    QString FZoomCBText;       // the zoom box's text before the current pick
    std::vector<QPointer<reportengine::TfrxReport>> FReports;
};

extern TMainForm* MainForm;

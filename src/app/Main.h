// The main window: catalog tool window on the left, preview panel with its own docks on the
// right, three toolbars, five menus, a one-panel status bar showing the current hint. Its creation
// runs the start-up checks (single instance, control shell), restores the layout and the selected
// catalog node from the registry; its destruction saves them. `SetEditRights` grants or withdraws
// catalog editing after each sign-in. The File menu's "Сервер..." and "Переподключится" point
// the data module at another server or reconnect, both ending in a new sign-in.
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
    QWidget* frPreview = nullptr;
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

    // Status bar panel and the hidden label carrying the selected node between runs.
    QLabel* StatusPanel = nullptr;
    QLabel* SelectedTreeNode = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }  // toggles live in "Вид" only

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolbars();
    void BuildCatalogWindow();
    void BuildPreviewPanel();
    void BuildStatusBar();
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
};

extern TMainForm* MainForm;

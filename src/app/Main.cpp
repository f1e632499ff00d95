#include "app/Main.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <chrono>
#include <thread>

#include "app/DialogAboutUnit.h"
#include "app/DlgSetServerName.h"
#include "app/LanguagesData.h"
#include "catalog/Report.h"
#include "platform/AppPaths.h"
#include "platform/ControlShell.h"
#include "platform/Exception.h"
#include "platform/MessageBox.h"
#include "platform/SingleInstance.h"
#include "platform/Termination.h"
#include "session/DataModule.h"

TMainForm* MainForm = nullptr;

const QString TMainForm::kFormSection =
    QStringLiteral("\\Software\\TAMUR\\ZARIN_PRO\\Vellumar\\Form\\");
const QString TMainForm::kToolbarSection =
    QStringLiteral("\\Software\\TAMUR\\ZARIN_PRO\\Vellumar\\ToolBars\\");

const platform::StringTable& MainTexts() {
    static const platform::StringTable table(
        "TMainForm",
        {
            {"Caption", "Генератор отчетов"},
            {"IDS_1", "Экзампляр генератора отчетов уже выполняентся на Вашем компьютере"},
            {"IDS_2", "Зарин Про. Управляющая оболочка"},
            {"IDS_3", "Незапущена оболочка АРМ \"Зарин Про\""},
            {"IDS_4", "Формирование отчета"},
            {"IDS_5", "Экспорт отчета"},
            {"IDS_6", "Печать отчета"},
            // The language switch only takes effect at the next start, so the operator is told.
            {"Err1",
             "Язык интерфейса будет изменен при следующем запуске программы. "
             "Показать, как это сделать?"},
            {"Err2", "Закройте программу и запустите ее снова: она откроется на выбранном языке."},
            {"FileMenu", "Файл"},
            {"EditMenu", "Редактирование"},
            {"ViewMenu", "Вид"},
            {"Languages", "Язык"},
            {"HelpMenu", "Справка"},
            {"ItemServer", "Сервер..."},
            {"ItemServer.Hint", "Сервер для подключения"},
            {"DisconnectError", "Ошибка разъединения с KTS"},
            {"DisconnectError.Caption", "Ошибка"},
            {"KTS", "Переподключится"},
            {"KTS.Hint", "Переподключится к серверу"},
            {"ItemExit", "Выход"},
            {"CheckShowTree", "Каталог отчетов"},
            {"ToolbarsMenu", "Панели инструментов"},
            {"CheckReportTools", "Формирование отчетов"},
            {"CheckReportToolsEdit", "Редактирование отчетов"},
            {"CheckPreviewTools", "Предварительный просмотр"},
            {"ItemHelp", "Справка"},
            {"mnItemAbout", "О программе..."},
            {"ToolbarReport", "Каталог шаблонов отчетов"},
            {"ToolbarReportEdit", "Редактирование отчетов"},
            {"ToolbarPreview", "Предварительный просмотр"},
            {"TBToolWindowTree", "Каталог отчетов"},
            {"HistoryPreview", "HistoryPreview"},
            {"frPreview.Hint", "Просмотр сформированного отчета"},
            {"ItemToolsPreview", "Панель инструментов"},
            {"LoadPreview", "Загрузить"},
            {"LoadPreview.Hint", "Загрузить отчет из файла"},
            {"SavePreview", "Сохранить"},
            {"SavePreview.Hint", "Сохранить сформированный отчет в файл"},
            {"PrintPreview", "Печать"},
            {"PrintPreview.Hint", "Печать сформированного отчета"},
            {"FindPreview", "Поиск"},
            {"FindPreview.Hint", "Поиск в отчете"},
            {"PageSetup", "Установки страницы"},
            {"PageSetup.Hint", "Установки страницы"},
            {"FirstPage", "Первая страница"},
            {"FirstPage.Hint", "Первая страница"},
            {"PrevPage", "Предыдущая страница"},
            {"PrevPage.Hint", "Предыдущая страница"},
            {"NextPage", "Последующая страницы"},
            {"NextPage.Hint", "Последующая страницы"},
            {"NextPageButton", "Последующая страница"},
            {"LastPage", "Последняя страница"},
            {"LastPage.Hint", "Последняя страница"},
            {"ZoomIn", "ZoomIn"},
            {"ZoomIn.Hint", "Увеличить изображение"},
            {"ZoomOut", "ZoomOut"},
            {"ZoomOut.Hint", "Уменньшить изображение"},
            {"Miniature", "Miniature"},
            {"Miniature.Hint", "Показать миниатюры страниц"},
            {"ExportPopup.Hint", "Экспорт сформированного отчета"},
            {"PdfB", "PDF"},
            {"EmailB", "E-mail"},
            {"ZoomCB", "Масштаб"},
            {"ZoomCB.Hint", "Масштаб просмотра"},
            {"Zoom25", "25%"},
            {"Zoom50", "50%"},
            {"Zoom75", "75%"},
            {"Zoom100", "100%"},
            {"Zoom150", "150%"},
            {"Zoom200", "200%"},
            {"ZoomPageWidth", "по ширине"},
            {"ZoomWholePage", "целиком"},
        });
    return table;
}

namespace {

constexpr int kToolbarHelpContext = 24;
constexpr int kDesignWidth = 830;
constexpr int kDesignHeight = 617;
constexpr int kTreeDesignWidth = 320;

QAction* makeAction(QObject* owner, const char* name, const QString& icon = {}) {
    const auto& t = MainTexts();
    auto* action = new QAction(t(name), owner);
    action->setObjectName(name);
    const QString hintKey = QString::fromLatin1(name) + ".Hint";
    if (t.contains(hintKey)) {
        action->setToolTip(t(hintKey));
        action->setStatusTip(t(hintKey));
    }
    if (!icon.isEmpty())
        action->setIcon(QIcon(":/icons/" + icon + ".svg"));
    return action;
}

// The catalog's own close button hides the tool window; the main window wants to know, so that
// the "Каталог отчетов" checks follow.
class ToolWindow : public QDockWidget {
public:
    using QDockWidget::QDockWidget;
    std::function<void()> onClosedByUser;

protected:
    void closeEvent(QCloseEvent* event) override {
        QDockWidget::closeEvent(event);
        if (event->isAccepted() && onClosedByUser)
            onClosedByUser();
    }
};

}  // namespace

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
    MainForm = this;
    setObjectName("MainForm");
    setWindowTitle(MainTexts()("Caption"));
    setWindowIcon(QIcon(":/icons/mainicon.svg"));
    setDockOptions(QMainWindow::AnimatedDocks);
    resize(kDesignWidth, kDesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    BuildCatalogWindow();
    BuildPreviewPanel();
    BuildActions();
    BuildToolbars();
    BuildMenus();
    BuildStatusBar();
    BindPreviewCommands();

    FFormStorage = std::make_unique<FormStorage>(this);
    FFormStorage->addStoredProperty({"SelectedTreeNode.Caption",
                                     [this] { return SelectedTreeNode->text(); },
                                     [this](const QString& v) { SelectedTreeNode->setText(v); }});
    for (QAction* check :
         {CheckPreviewTools, CheckReportTools, CheckReportToolsEdit, CheckShowTree}) {
        FFormStorage->addStoredProperty(
            {check->objectName() + ".Checked",
             [check] {
                 return check->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
             },
             [check](const QString& v) {
                 check->setChecked(v.compare("True", Qt::CaseInsensitive) == 0);
             }});
    }

    FormCreate(arguments);
}

TMainForm::~TMainForm() {
    FormDestroy();
    if (MainForm == this)
        MainForm = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Layout

void TMainForm::BuildCatalogWindow() {
    ReportForm = new TReportForm(this);
    auto* dock = new ToolWindow(MainTexts()("TBToolWindowTree"), this);
    dock->setObjectName("TBToolWindowTree");
    dock->setFeatures(QDockWidget::DockWidgetClosable);
    dock->setAllowedAreas(Qt::LeftDockWidgetArea);
    dock->setWidget(ReportForm);
    dock->setMinimumWidth(kMinTreeWidth);
    dock->onClosedByUser = [this] { TBToolWindowTreeClose(); };
    TBToolWindowTree = dock;
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    resizeDocks({dock}, {kTreeDesignWidth}, Qt::Horizontal);

    SelectedTreeNode = new QLabel("0", this);
    SelectedTreeNode->setObjectName("SelectedTreeNode");
    SelectedTreeNode->hide();
}

void TMainForm::BuildPreviewPanel() {
    // A main window of its own, so that the preview toolbar has docks on every side.
    PreviewPanel = new QMainWindow(this);
    PreviewPanel->setWindowFlags(Qt::Widget);  // the constructor always makes a top-level window
    PreviewPanel->setObjectName("PreviewPanel");
    frPreview = new reportengine::TfrxPreview(PreviewPanel);
    frPreview->setObjectName("frPreview");
    frPreview->setToolTip(MainTexts()("frPreview.Hint"));
    frPreview->setStatusTip(MainTexts()("frPreview.Hint"));
    PreviewPanel->setCentralWidget(frPreview);
    setCentralWidget(PreviewPanel);
}

void TMainForm::BuildActions() {
    ItemServer = makeAction(this, "ItemServer", "server");
    KTS = makeAction(this, "KTS", "reconnect");
    connect(ItemServer, &QAction::triggered, this, &TMainForm::ItemServerClick);
    connect(KTS, &QAction::triggered, this, &TMainForm::KTSClick);
    ItemExit = makeAction(this, "ItemExit", "exit");
    connect(ItemExit, &QAction::triggered, this, &TMainForm::ItemExitClick);
    ItemHelp = makeAction(this, "ItemHelp", "help");
    ItemHelp->setVisible(false);
    connect(ItemHelp, &QAction::triggered, this, &TMainForm::HelpClick);
    mnItemAbout = makeAction(this, "mnItemAbout", "about");
    connect(mnItemAbout, &QAction::triggered, this, &TMainForm::mnItemAboutClick);

    CheckShowTree = makeAction(this, "CheckShowTree");
    CheckReportTools = makeAction(this, "CheckReportTools");
    CheckReportToolsEdit = makeAction(this, "CheckReportToolsEdit");
    CheckPreviewTools = makeAction(this, "CheckPreviewTools");
    ItemToolsPreview = makeAction(this, "ItemToolsPreview");
    BindViewToggle(CheckShowTree, &TMainForm::CheckShowTreeClick);
    BindViewToggle(CheckReportTools, &TMainForm::CheckReportToolsClick);
    BindViewToggle(CheckReportToolsEdit, &TMainForm::CheckReportToolsEditClick);
    BindViewToggle(CheckPreviewTools, &TMainForm::CheckPreviewToolsClick);
    BindViewToggle(ItemToolsPreview, &TMainForm::CheckPreviewToolsClick);
    // The catalog pop-up's mirrors ask; the handlers set every check mark themselves.
    connect(ReportForm, &TReportForm::showTreeToggleRequested, this,
            &TMainForm::CheckShowTreeClick);
    connect(ReportForm, &TReportForm::reportToolsToggleRequested, this,
            &TMainForm::CheckReportToolsClick);
    connect(ReportForm, &TReportForm::reportToolsEditToggleRequested, this,
            &TMainForm::CheckReportToolsEditClick);

    // The preview's commands; the preview module binds what they do.
    LoadPreview = makeAction(this, "LoadPreview", "load");
    SavePreview = makeAction(this, "SavePreview", "save");
    PrintPreview = makeAction(this, "PrintPreview", "print");
    FindPreview = makeAction(this, "FindPreview", "find");
    PageSetup = makeAction(this, "PageSetup", "page-setup");
    FirstPage = makeAction(this, "FirstPage", "first-page");
    PrevPage = makeAction(this, "PrevPage", "prev-page");
    NextPage = makeAction(this, "NextPage", "next-page");
    LastPage = makeAction(this, "LastPage", "last-page");
    ZoomIn = makeAction(this, "ZoomIn", "zoom-in");
    ZoomOut = makeAction(this, "ZoomOut", "zoom-out");
    Miniature = makeAction(this, "Miniature", "thumbnails");
    Miniature->setCheckable(true);
    PdfB = makeAction(this, "PdfB", "export-pdf");
    EmailB = makeAction(this, "EmailB", "email");
    PdfB->setVisible(false);
    EmailB->setVisible(false);
}

// A view item's handler flips the check itself, as when it is called directly; the automatic
// flip of a checkable QAction is undone first so a click toggles exactly once.
void TMainForm::BindViewToggle(QAction* item, void (TMainForm::*handler)()) {
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item, handler](bool checked) {
        item->setChecked(!checked);
        (this->*handler)();
    });
}

void TMainForm::BuildToolbars() {
    const auto& t = MainTexts();
    auto makeToolbar = [&t](QMainWindow* window, const char* name) {
        auto* bar = new QToolBar(t(name), window);
        bar->setObjectName(name);
        bar->setIconSize(QSize(16, 16));
        bar->setProperty("helpContext", kToolbarHelpContext);
        window->addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    };

    ToolbarReport = makeToolbar(this, "ToolbarReport");
    ToolbarReport->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea |
                                   Qt::RightToolBarArea);
    auto* historyMenu = new QMenu(ToolbarReport);
    for (int k = 0; k < 7; ++k) {
        auto* item = new QAction(t("HistoryPreview"), historyMenu);
        item->setObjectName(QStringLiteral("H%1").arg(k + 1));
        item->setVisible(false);
        historyMenu->addAction(item);
        HistoryItems[k] = item;
    }
    PreviewReportButton = new QToolButton(ToolbarReport);
    PreviewReportButton->setObjectName("PreviewReportButton");
    PreviewReportButton->setDefaultAction(ReportForm->PreviewReport);
    PreviewReportButton->setMenu(historyMenu);
    PreviewReportButton->setPopupMode(QToolButton::MenuButtonPopup);
    ToolbarReport->addWidget(PreviewReportButton);
    ToolbarReport->addAction(ReportForm->PrintReport);

    ToolbarReportEdit = makeToolbar(this, "ToolbarReportEdit");
    ToolbarReportEdit->setAllowedAreas(ToolbarReport->allowedAreas());
    ToolbarReportEdit->addActions(
        {ReportForm->NewReport, ReportForm->EditReport, ReportForm->DeleteReport});
    ToolbarReportEdit->hide();

    ToolbarPreview = makeToolbar(PreviewPanel, "ToolbarPreview");
    ToolbarPreview->addActions({PrintPreview, LoadPreview, SavePreview});
    ExportMenu = new QMenu(ToolbarPreview);
    ExportPopup = new QToolButton(ToolbarPreview);
    ExportPopup->setObjectName("ExportPopup");
    ExportPopup->setIcon(QIcon(":/icons/export.svg"));
    ExportPopup->setToolTip(t("ExportPopup.Hint"));
    ExportPopup->setStatusTip(t("ExportPopup.Hint"));
    ExportPopup->setMenu(ExportMenu);
    ExportPopup->setPopupMode(QToolButton::InstantPopup);
    ToolbarPreview->addWidget(ExportPopup);
    ToolbarPreview->addActions({PdfB, EmailB, FindPreview});
    ToolbarPreview->addSeparator();
    ToolbarPreview->addActions({FirstPage, PrevPage});
    PageE = new QLineEdit(ToolbarPreview);
    PageE->setObjectName("PageE");
    PageE->setFixedWidth(40);
    ToolbarPreview->addWidget(PageE);
    ToolbarPreview->addAction(NextPage);
    if (auto* nextButton = qobject_cast<QToolButton*>(ToolbarPreview->widgetForAction(NextPage))) {
        nextButton->setToolTip(t("NextPageButton"));
        nextButton->setStatusTip(t("NextPageButton"));
    }
    ToolbarPreview->addAction(LastPage);
    ToolbarPreview->addSeparator();
    ToolbarPreview->addActions({Miniature, ZoomIn});
    ZoomCB = new QComboBox(ToolbarPreview);
    ZoomCB->setObjectName("ZoomCB");
    ZoomCB->setFixedWidth(80);
    // Read-only to the user, but able to show a zoom that is not in the list ("87%").
    ZoomCB->setEditable(true);
    ZoomCB->lineEdit()->setReadOnly(true);
    ZoomCB->setInsertPolicy(QComboBox::NoInsert);
    ZoomCB->setToolTip(t("ZoomCB.Hint"));
    ZoomCB->setStatusTip(t("ZoomCB.Hint"));
    for (const char* key : {"Zoom25", "Zoom50", "Zoom75", "Zoom100", "Zoom150", "Zoom200",
                            "ZoomPageWidth", "ZoomWholePage"})
        ZoomCB->addItem(t(key));
    ToolbarPreview->addWidget(ZoomCB);
    ToolbarPreview->addActions({ZoomOut, PageSetup});

    PopupMenuPreView = new QMenu(frPreview);
    PopupMenuPreView->setObjectName("PopupMenuPreView");
    PopupMenuPreView->addAction(ItemToolsPreview);
    PopupMenuPreView->addSeparator();
    PopupMenuPreView->addActions({LoadPreview, SavePreview, PrintPreview, FindPreview, PageSetup});
    PopupMenuPreView->addSeparator();
    PopupMenuPreView->addActions({FirstPage, PrevPage, NextPage, LastPage});
    PopupMenuPreView->addSeparator();
    frPreview->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(frPreview, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenuPreView->popup(frPreview->mapToGlobal(at)); });
}

void TMainForm::BuildMenus() {
    const auto& t = MainTexts();
    QMenuBar* bar = menuBar();

    FileMenu = bar->addMenu(t("FileMenu"));
    FileMenu->setObjectName("FileMenu");
    FileMenu->addActions({LoadPreview, SavePreview});
    FileMenu->addSeparator();
    FileMenu->addActions({ItemServer, KTS});
    FileMenu->addSeparator();
    FileMenu->addActions({PageSetup, PrintPreview});
    FileMenu->addSeparator();
    FileMenu->addAction(ItemExit);
    connect(FileMenu, &QMenu::aboutToShow, this,
            [this] { KTS->setEnabled(!(DatabaseConnectedHook && DatabaseConnectedHook())); });

    EditMenu = bar->addMenu(t("EditMenu"));
    EditMenu->setObjectName("EditMenu");
    EditMenu->addActions({ReportForm->NewReport, ReportForm->EditReport, ReportForm->DeleteReport});
    EditMenu->addSeparator();
    EditMenu->addActions(
        {ReportForm->NewFolder, ReportForm->RenameFolder, ReportForm->DeleteFolder});
    EditMenu->addSeparator();
    EditMenu->addAction(ReportForm->PlugInReport);

    ViewMenu = bar->addMenu(t("ViewMenu"));
    ViewMenu->setObjectName("ViewMenu");
    ViewMenu->addAction(CheckShowTree);
    QMenu* toolbars = ViewMenu->addMenu(t("ToolbarsMenu"));
    toolbars->setObjectName("ToolbarsMenu");
    toolbars->addActions({CheckReportTools, CheckReportToolsEdit, CheckPreviewTools});

    LanguagesMenu = bar->addMenu(t("Languages"));
    LanguagesMenu->setObjectName("Languages");
    LanguagesMenu->menuAction()->setVisible(false);

    HelpMenu = bar->addMenu(t("HelpMenu"));
    HelpMenu->setObjectName("HelpMenu");
    HelpMenu->addActions({ItemHelp, mnItemAbout});
}

void TMainForm::BuildStatusBar() {
    StatusPanel = new QLabel(this);
    StatusPanel->setObjectName("StatusPanel");
    StatusPanel->setMinimumWidth(50);
    statusBar()->addWidget(StatusPanel, 1);
}

QList<QPair<QString, QMainWindow*>> TMainForm::LayoutWindows() {
    return {{QStringLiteral("MainForm"), this}, {QStringLiteral("PreviewPanel"), PreviewPanel}};
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

void TMainForm::FormCreate(const QStringList& arguments) {
    BuildLanguageMenu();
    if (CheckSingleInstance())
        CheckControlShell(arguments);

    FFormStorage->setSection(kFormSection);
    FFormStorage->RestoreFormPlacement();
    FormStorage::LoadToolbarPositions(kToolbarSection, LayoutWindows());

    // Help requests carry the help context of the nearest widget that has one.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &TMainForm::HelpClick);

    ReportForm->LoadCatalog();
    RestoreSelectedNode();
    SyncViewChecks();
    frPreview->SetZoomMode(reportengine::zmWholePage);
}

void TMainForm::BuildLanguageMenu() {
    if (!Languages)
        return;
    platform::LangDispatcher& d = Languages->siLangDispatcher();
    auto* group = new QActionGroup(this);
    for (int n = 1; n <= d.languageCount(); ++n) {
        auto* item = new QAction(d.languageName(n), LanguagesMenu);
        item->setCheckable(true);
        item->setActionGroup(group);
        connect(item, &QAction::triggered, this, [this, n] { LanguageItemClick(n); });
        LanguagesMenu->addAction(item);
        LanguageItems.append(item);
    }
    if (d.activeLanguage() >= 1 && d.activeLanguage() <= LanguageItems.size())
        LanguageItems[d.activeLanguage() - 1]->setChecked(true);
}

// True when this is the only instance. A second instance says so and asks to end, but still
// builds its window and saves its (unchanged) layout on the way out.
bool TMainForm::CheckSingleInstance() {
    if (platform::SingleInstanceGuard::acquire(QStringLiteral("ReportPro"), 10))
        return true;
    platform::showError(this, MainTexts()("IDS_1"));
    platform::requestTermination();
    return false;
}

void TMainForm::CheckControlShell(const QStringList& arguments) {
    if (arguments.size() > 1 && arguments.last().toLower() == QLatin1String("/notshell"))
        return;
    const QString shellClass = QStringLiteral("TfrmZarinShell");
    if (!platform::ControlShellLocator::findWindow(shellClass, MainTexts()("IDS_2"))) {
        platform::showError(this, MainTexts()("IDS_3"));
        platform::terminateProcessNow(0);
    }
    platform::ControlShellLocator::postMessage(shellClass, kShellMessage, quint64(winId()),
                                               kShellMessageParam);
}

void TMainForm::RestoreSelectedNode() {
    bool ok = false;
    const int index = SelectedTreeNode->text().toInt(&ok);
    if (!ok || index < 0 || index >= ReportForm->nodeCount())
        return;
    ReportForm->twReports->setCurrentItem(ReportForm->nodeAtAbsoluteIndex(index));
}

void TMainForm::SyncViewChecks() {
    const bool tree = !TBToolWindowTree->isHidden();
    const bool preview = !ToolbarPreview->isHidden();
    const bool report = !ToolbarReport->isHidden();
    const bool reportEdit = !ToolbarReportEdit->isHidden();
    CheckShowTree->setChecked(tree);
    ReportForm->PopCheckShowTree->setChecked(tree);
    CheckPreviewTools->setChecked(preview);
    ItemToolsPreview->setChecked(preview);
    CheckReportTools->setChecked(report);
    ReportForm->PopCheckReportTools->setChecked(report);
    CheckReportToolsEdit->setChecked(reportEdit);
    ReportForm->PopCheckReportToolsEdit->setChecked(reportEdit);
}

void TMainForm::FormShow() {
    frPreview->setFocus();
    if (PrepareReportHostHook)
        PrepareReportHostHook();
    if (DataConnectHook)
        DataConnectHook();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!ConfirmCloseHook || ConfirmCloseHook())
        event->accept();
    else
        event->ignore();
}

void TMainForm::FormDestroy() {
    QTreeWidgetItem* selected = ReportForm->selectedNode();
    // Nothing selected is stored as -1, which selects nothing at the next start.
    SelectedTreeNode->setText(QString::number(selected ? ReportForm->absoluteIndex(selected) : -1));
    try {
        FormStorage::SaveToolbarPositions(kToolbarSection, LayoutWindows());
        FFormStorage->SaveFormPlacement();
    } catch (const platform::Exception& e) {
        // The window is going away; there is no one left to show a box to.
        qWarning("%s", qPrintable(e.Message()));
    }
}

// ---------------------------------------------------------------------------------------------
// Rights and view toggles

void TMainForm::SetEditRights(bool Value) {
    QTreeWidget* tree = ReportForm->twReports;
    // Dragging starts only with rights; where a dragged report may land is the catalog's call.
    tree->setDragDropMode(Value ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
    tree->setEditTriggers(Value ? QAbstractItemView::EditKeyPressed |
                                      QAbstractItemView::SelectedClicked
                                : QAbstractItemView::NoEditTriggers);
    ReportForm->SetCanEdit(Value);
    for (QAction* action :
         {ReportForm->NewReport, ReportForm->EditReport, ReportForm->DeleteReport,
          ReportForm->RenameFolder, ReportForm->DeleteFolder, ReportForm->NewFolder})
        action->setEnabled(Value);
    if (QTreeWidgetItem* node = ReportForm->selectedNode())
        ReportForm->twReportsChange(node);
    if (!TBToolWindowTree->isHidden())
        tree->setFocus();
}

void TMainForm::ToggleView(QAction* item, QAction* mirror, QWidget* target) {
    const bool on = !item->isChecked();
    item->setChecked(on);
    mirror->setChecked(on);
    target->setVisible(on);
}

void TMainForm::CheckShowTreeClick() {
    ToggleView(CheckShowTree, ReportForm->PopCheckShowTree, TBToolWindowTree);
}
void TMainForm::CheckReportToolsClick() {
    ToggleView(CheckReportTools, ReportForm->PopCheckReportTools, ToolbarReport);
}
void TMainForm::CheckReportToolsEditClick() {
    ToggleView(CheckReportToolsEdit, ReportForm->PopCheckReportToolsEdit, ToolbarReportEdit);
}
void TMainForm::CheckPreviewToolsClick() {
    ToggleView(CheckPreviewTools, ItemToolsPreview, ToolbarPreview);
}

void TMainForm::TBToolWindowTreeClose() {
    CheckShowTree->setChecked(false);
    ReportForm->PopCheckShowTree->setChecked(false);
}

bool TMainForm::SplitterCanResize(int NewSize) {
    if (NewSize < kMinTreeWidth)
        return false;
    resizeDocks({TBToolWindowTree}, {NewSize}, Qt::Horizontal);
    return true;
}

void TMainForm::ShowApplicationHint(const QString& hint) {
    StatusPanel->setText(hint);
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        ShowApplicationHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Menu items

void TMainForm::ItemExitClick() {
    close();
}

void TMainForm::mnItemAboutClick() {
    TDialogAbout about(this);
    platform::runModal(about);
}

// The help folder stands in for the compiled help file; a topic page per help context when one
// exists, the contents page otherwise.
void TMainForm::HelpClick() {
    int context = 0;
    for (QWidget* w = QApplication::focusWidget(); w && !context; w = w->parentWidget())
        context = w->property("helpContext").toInt();
    const QString folder = platform::appDir() + "help/";
    const QString topic = folder + QStringLiteral("%1.html").arg(context);
    const QString page = QFileInfo::exists(topic) ? topic : folder + "index.html";
    if (QFileInfo::exists(page))
        QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void TMainForm::LanguageItemClick(int languageNumber) {
    if (!Languages)
        return;
    if (languageNumber == Languages->siLangDispatcher().activeLanguage())
        return;
    platform::guardAction(this, [&] {
        if (platform::askYesNo(this, MainTexts()("Err1"), QString(""), platform::MsgResult::No))
            platform::showMessage(this,
                                  {QString(""), MainTexts()("Err2"), platform::MsgType::Information,
                                   platform::MsgButtons::Ok, platform::MsgResult::Ok});
        TLanguages::StoreActiveLanguage(languageNumber);
    });
}

// ---------------------------------------------------------------------------------------------
// Data module and server items

void TMainForm::SetDataModule(session::TDataDB* dataModule) {
    FDataDB = dataModule;
    if (!dataModule) {
        DataConnectHook = nullptr;
        DatabaseConnectedHook = nullptr;
        ConfirmCloseHook = nullptr;
        return;
    }
    dataModule->DialogOwner = this;
    dataModule->OnSetEditRights = [this](bool value) { SetEditRights(value); };
    DataConnectHook = [this] {
        if (FDataDB)
            FDataDB->DataConnect();
    };
    DatabaseConnectedHook = [this] { return FDataDB && FDataDB->DefaultDB->Connected(); };
    ConfirmCloseHook = [this] { return !FDataDB || FDataDB->ConfirmClose(); };
}

void TMainForm::KTSClick() {
    if (FDataDB)
        FDataDB->DataConnect();
}

void TMainForm::ItemServerClick() {
    if (FDataDB)
        platform::guardAction(this, [this] { ChangeServer(*FDataDB); });
}

void TMainForm::ChangeServer(session::TDataDB& dataModule) {
    dataclient::TZarinDatabase& database = *dataModule.DefaultDB;
    TDlgSetServerNameDialog dialog(this);
    dialog.UsedServers = QStringList{database.Host()} + FUsedServers;
    dialog.ServerName->setText(database.Host());
    if (platform::runModal(dialog) != QDialog::Accepted)
        return;
    if (dialog.ServerName->text().isEmpty())
        dialog.ServerName->setText(session::TDataDB::kDefaultHost);
    const QString host = dialog.ServerName->text();
    if (database.Host() == host && database.Connected())
        return;

    // The session goes down at once, without closing the database session first: the old server
    // may be the one that no longer answers. The wait blocks on purpose: nothing may run meanwhile.
    database.Client()->SetActive(false);
    int pauses = 0;
    while (database.Connected()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (++pauses >= kDisconnectPauses) {
            platform::showMessage(
                nullptr,
                {MainTexts()("DisconnectError.Caption"), MainTexts()("DisconnectError"),
                 platform::MsgType::Error, platform::MsgButtons::Ok, platform::MsgResult::Ok});
            return;
        }
    }
    database.SetHost(host);
    FUsedServers.removeAll(host);
    FUsedServers.prepend(host);
    dataModule.StoreServerAddress();
}

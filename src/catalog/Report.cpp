// The report catalog frame: catalog file, tree, actions and pop-up menu.
#include "catalog/Report.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <functional>
#include <vector>

#include "platform/AppPaths.h"
#include "platform/Exception.h"
#include "platform/LangDispatcher.h"
#include "platform/MessageBox.h"

namespace {

const platform::StringTable& texts() {
    static const platform::StringTable table(
        "TReportForm", {
                           {"twReports.Hint", "Шаблоны отчетов"},
                           {"PreviewReport.Caption", "Просмотр"},
                           {"PreviewReport.Hint", "Предварительный просмотр отчета"},
                           {"PrintReport.Caption", "Печать"},
                           {"PrintReport.Hint", "Печать отчета без предварительного просмотра"},
                           {"NewReport.Caption", "Новый отчет"},
                           {"NewReport.Hint", "Создание нового шаблона отчета"},
                           {"EditReport.Caption", "Редактирование"},
                           {"EditReport.Hint", "Редактирование шаблона отчета"},
                           {"DeleteReport.Caption", "Удалить"},
                           {"DeleteReport.Hint", "Удаление шаблона отчета"},
                           {"NewFolder.Caption", "Новая папка"},
                           {"NewFolder.Hint", "Создание новой папки шаблонов отчетов"},
                           {"RenameFolder.Caption", "Переименовать"},
                           {"RenameFolder.Hint", "Переименование папки шаблонов отчетов"},
                           {"DeleteFolder.Caption", "Удалить"},
                           {"DeleteFolder.Hint", "Удаление папки шаблонов отчетов"},
                           {"PlugInReport.Caption", "Подключить"},
                           {"PlugInReport.Hint", "Подключение новых шаблонов отчетов отчетов"},
                           {"PopCheckShowTree.Caption", "Каталог отчетов"},
                           {"PopToolbars.Caption", "Панель инструментов"},
                           {"PopCheckReportTools.Caption", "Формирование отчетов"},
                           {"PopCheckReportToolsEdit.Caption", "Редактирование отчетов"},
                           {"ErrLoad", "Ошибка загрузки Reports.XML "},
                           {"ErrMsxml", "Ошибка MSXML : "},
                           {"ErrParseHead", "Ошибка при загрузке документа ["},
                           {"ErrParseLine", "строка "},
                           {"ErrParsePos", ", символ "},
                           {"ErrNoCatalog", "Каталог отчетов не загружен"},
                           {"ErrNoFolder", "В каталоге нет папки "},
                       });
    return table;
}

constexpr char kCatalogFile[] = "Reports.XML";
constexpr char kNameAttribute[] = "Name";
constexpr char kFolderTag[] = "Groups";
constexpr char kReportTag[] = "Pattern";
constexpr int kHelpContext = 30206;
const QString kCrLf = QStringLiteral("\r\n");

int levelOf(QModelIndex index) {
    int level = 0;
    for (index = index.parent(); index.isValid(); index = index.parent())
        ++level;
    return level;
}

// Draws every node with the pictures of its current level, asked at paint time, so that a node
// moved to another level never shows a stale picture and no item data has to be rewritten.
class TreeImageDelegate : public QStyledItemDelegate {
public:
    TreeImageDelegate(const TReportForm* form, QObject* parent)
        : QStyledItemDelegate(parent), FForm(form) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->icon = FForm->ImagesOfLevel(levelOf(index)).icon;
        option->decorationSize = QSize(16, 16);
        if (!option->icon.isNull())
            option->features |= QStyleOptionViewItem::HasDecoration;
    }

private:
    const TReportForm* FForm;
};

// How an action's enabled state follows the level of the selected node.
enum class Enable { Off, On, Rights };

}  // namespace

QString catalogText(const QString& key) {
    return texts()(key);
}

TReportForm::TReportForm(QWidget* owner) : QWidget(owner) {
    setObjectName("ReportForm");
    setProperty("helpContext", kHelpContext);

    twReports = new QTreeWidget(this);
    twReports->setObjectName("twReports");
    twReports->setColumnCount(1);
    twReports->setHeaderHidden(true);
    twReports->setSortingEnabled(false);  // sorted by SetNodeCaption only
    twReports->setToolTip(catalogText("twReports.Hint"));
    twReports->setStatusTip(catalogText("twReports.Hint"));
    twReports->setProperty("helpContext", kHelpContext);
    twReports->setSelectionMode(QAbstractItemView::SingleSelection);
    // Without edit rights the tree is read-only and takes no drops; the rights switch opens it.
    twReports->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twReports->setDragDropMode(QAbstractItemView::NoDragDrop);
    twReports->setIconSize(QSize(16, 16));
    twReports->setItemDelegate(new TreeImageDelegate(this, twReports));
    twReports->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(twReports);

    static const char* const kTreeImages[] = {"tree-root", "tree-folder", "tree-report",
                                              "tree-report-selected"};
    for (size_t i = 0; i < ImageListTree.size(); ++i)
        ImageListTree[i] =
            QIcon(QStringLiteral(":/icons/%1.svg").arg(kTreeImages[i])).pixmap(QSize(16, 16));

    CreateActions();
    CreatePopupMenu();

    connect(twReports, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { twReportsChange(current); });
    connect(twReports, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* node) { twReportsDblClick(node); });
    connect(twReports, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenuTree->popup(twReports->viewport()->mapToGlobal(pos));
    });
}

TReportForm::~TReportForm() = default;

void TReportForm::CreateActions() {
    struct ActionDef {
        QAction* TReportForm::*member;
        const char* name;
        const char* icon;
    };
    static const ActionDef kActions[] = {
        {&TReportForm::PreviewReport, "PreviewReport", "preview-report"},
        {&TReportForm::PrintReport, "PrintReport", "print-report"},
        {&TReportForm::NewReport, "NewReport", "new-report"},
        {&TReportForm::EditReport, "EditReport", "edit-report"},
        {&TReportForm::DeleteReport, "DeleteReport", "delete-report"},
        {&TReportForm::NewFolder, "NewFolder", "new-folder"},
        {&TReportForm::RenameFolder, "RenameFolder", "rename-folder"},
        {&TReportForm::DeleteFolder, "DeleteFolder", "delete-folder"},
        {&TReportForm::PlugInReport, "PlugInReport", "plugin-report"},
    };
    for (const ActionDef& def : kActions) {
        const QString name = QString::fromLatin1(def.name);
        auto* action = new QAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(def.icon)),
                                   catalogText(name + ".Caption"), this);
        action->setObjectName(name);
        action->setToolTip(catalogText(name + ".Hint"));
        action->setStatusTip(catalogText(name + ".Hint"));
        // Nothing is selected and nobody has signed in yet; only the plug-in is always there.
        action->setEnabled(def.member == &TReportForm::PlugInReport);
        this->*def.member = action;
    }
}

void TReportForm::CreatePopupMenu() {
    auto makeCheck = [this](const QString& name) {
        auto* action = new QAction(catalogText(name + ".Caption"), this);
        action->setObjectName(name);
        action->setCheckable(true);
        return action;
    };
    PopCheckShowTree = makeCheck("PopCheckShowTree");
    PopCheckReportTools = makeCheck("PopCheckReportTools");
    PopCheckReportToolsEdit = makeCheck("PopCheckReportToolsEdit");
    connect(PopCheckShowTree, &QAction::triggered, this, &TReportForm::showTreeToggleRequested);
    connect(PopCheckReportTools, &QAction::triggered, this,
            &TReportForm::reportToolsToggleRequested);
    connect(PopCheckReportToolsEdit, &QAction::triggered, this,
            &TReportForm::reportToolsEditToggleRequested);

    PopupMenuTree = new QMenu(this);
    PopupMenuTree->setObjectName("PopupMenuTree");
    PopupMenuTree->addAction(PopCheckShowTree);
    PopToolbars = PopupMenuTree->addMenu(catalogText("PopToolbars.Caption"));
    PopToolbars->setObjectName("PopToolbars");
    PopToolbars->addAction(PopCheckReportTools);
    PopToolbars->addAction(PopCheckReportToolsEdit);
    PopupMenuTree->addSeparator();
    PopupMenuTree->addAction(PreviewReport);
    PopupMenuTree->addAction(PrintReport);
    PopupMenuTree->addSeparator();
    PopupMenuTree->addAction(NewReport);
    PopupMenuTree->addAction(EditReport);
    PopupMenuTree->addAction(DeleteReport);
    PopupMenuTree->addSeparator();
    PopupMenuTree->addAction(NewFolder);
    PopupMenuTree->addAction(RenameFolder);
    PopupMenuTree->addAction(DeleteFolder);
    PopupMenuTree->addSeparator();
    PopupMenuTree->addAction(PlugInReport);
}

QString TReportForm::CatalogPath() const {
    return FAppDir + QLatin1String(kCatalogFile);
}

// --- catalog file and tree ------------------------------------------------------------------

void TReportForm::LoadCatalog() {
    try {
        FAppDir = platform::appDir();
        if (!FCatalog.load(CatalogPath()))
            platform::showError(this,
                                catalogText("ErrLoad") + ParseErrorText(FCatalog.parseError()));
        else
            BuildTree();
    } catch (const platform::Exception& e) {
        platform::showError(this, catalogText("ErrMsxml") + e.Message());
    } catch (const std::exception& e) {
        platform::showError(this, catalogText("ErrMsxml") + QString::fromLocal8Bit(e.what()));
    }
    FHistory.clear();
    FCatalogNames.clear();
    emit loadHistoryRequested();
    emit plugInStepRequested();
}

QString TReportForm::ParseErrorText(const platform::XmlParseError& error) {
    QString text =
        catalogText("ErrParseHead") + '"' + error.url + " ]" + kCrLf + error.reason + kCrLf + kCrLf;
    if (error.line > 0)
        text += catalogText("ErrParseLine") + QString::number(error.line) +
                catalogText("ErrParsePos") + QString::number(error.linepos) + kCrLf + error.srcText;
    return text;
}

void TReportForm::BuildTree() {
    QTreeWidgetItem* root = AddElementNode(nullptr, FCatalog.documentElement());
    if (!root)
        return;
    for (int i = 0; i < root->childCount(); ++i)
        root->child(i)->setExpanded(true);
    root->setExpanded(true);
}

QTreeWidgetItem* TReportForm::AddElementNode(QTreeWidgetItem* parent,
                                             const platform::XmlElement& element) {
    if (element.isNull())
        return nullptr;
    auto* node = new QTreeWidgetItem;
    node->setFlags(node->flags() | Qt::ItemIsEditable);  // editing itself needs edit triggers
    if (parent)
        parent->addChild(node);
    else
        twReports->addTopLevelItem(node);
    for (const auto& [name, value] : element.attributes())
        if (name == QLatin1String(kNameAttribute))
            SetNodeCaption(node, value);
    // No images to set: the tree's delegate asks ImagesOfLevel when it paints the node.
    for (const platform::XmlElement& child : element.childElements())
        AddElementNode(node, child);
    return node;
}

platform::XmlElement TReportForm::FindGroupElement(const QString& name) const {
    const platform::XmlElement root = FCatalog.documentElement();
    for (const platform::XmlElement& child : root.childElements())
        for (const auto& [attrName, value] : child.attributes())
            if (attrName == QLatin1String(kNameAttribute) && value == name)
                return child;
    return {};
}

platform::XmlElement TReportForm::FindPatternElement(const QString& name) const {
    const platform::XmlElement root = FCatalog.documentElement();
    for (const platform::XmlElement& report : root.elementsByTagName(kReportTag))
        if (report.hasAttribute(kNameAttribute) && report.attribute(kNameAttribute) == name)
            return report;
    return {};
}

bool TReportForm::AddGroupElement(const QString& name) {
    platform::XmlElement root = FCatalog.documentElement();
    if (root.isNull()) {
        ShowCatalogWriteError(catalogText("ErrNoCatalog"));
        return false;
    }
    platform::XmlElement folder = FCatalog.createElement(kFolderTag);
    folder.setAttribute(kNameAttribute, name);
    root.appendChild(folder);
    return SaveCatalog();
}

bool TReportForm::AddPatternElement(QTreeWidgetItem* folderNode, const QString& name) {
    const QString folderName = folderNode ? folderNode->text(0) : QString();
    platform::XmlElement folder = FindGroupElement(folderName);
    if (folder.isNull()) {
        ShowCatalogWriteError(FCatalog.documentElement().isNull()
                                  ? catalogText("ErrNoCatalog")
                                  : catalogText("ErrNoFolder") + folderName);
        return false;
    }
    platform::XmlElement report = FCatalog.createElement(kReportTag);
    report.setAttribute(kNameAttribute, name);
    folder.appendChild(report);
    return SaveCatalog();
}

bool TReportForm::SaveCatalog() {
    try {
        FCatalog.save(CatalogPath());
        return true;
    } catch (const platform::Exception& e) {
        ShowCatalogWriteError(e.Message());
    } catch (const std::exception& e) {
        ShowCatalogWriteError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void TReportForm::ShowCatalogWriteError(const QString& reason) {
    platform::showError(this, reason + ' ' + CatalogPath());
}

// --- actions ----------------------------------------------------------------------------------

void TReportForm::twReportsChange(QTreeWidgetItem* node) {
    if (!node)
        return;
    const int level = NodeLevel(node);
    if (level > 2)
        return;
    using E = Enable;
    struct Row {
        QAction* TReportForm::*action;
        Enable byLevel[3];  // root, folder, report
    };
    // NewFolder follows only the rights switch and PlugInReport is always enabled: not here.
    static const Row kTable[] = {
        {&TReportForm::PreviewReport, {E::Off, E::Off, E::On}},
        {&TReportForm::PrintReport, {E::Off, E::Off, E::On}},
        {&TReportForm::NewReport, {E::Off, E::Rights, E::Rights}},
        {&TReportForm::EditReport, {E::Off, E::Off, E::Rights}},
        {&TReportForm::DeleteReport, {E::Off, E::Off, E::Rights}},
        {&TReportForm::RenameFolder, {E::Off, E::Rights, E::Rights}},
        {&TReportForm::DeleteFolder, {E::Off, E::Rights, E::Off}},
    };
    for (const Row& row : kTable) {
        switch (row.byLevel[level]) {
            case E::Off:
                (this->*row.action)->setEnabled(false);
                break;
            case E::On:
                (this->*row.action)->setEnabled(true);
                break;
            case E::Rights:
                (this->*row.action)->setEnabled(FCanEdit);
                break;
        }
    }
}

void TReportForm::twReportsDblClick(QTreeWidgetItem* node) {
    if (node)
        emit previewRequested();
}

// --- node helpers -----------------------------------------------------------------------------

int TReportForm::NodeLevel(const QTreeWidgetItem* node) {
    int level = 0;
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

// The image rule. Normal picture = level (root, folder, report); deeper nodes share the last
// picture. Selected picture: root and folder keep theirs, a report (or deeper) gets picture 3.
TReportForm::NodeImages TReportForm::ImagesOfLevel(int level) const {
    NodeImages images;
    images.imageIndex = std::min(level, 3);
    images.selectedIndex = level <= 1 ? level : 3;
    const QPixmap& normal = ImageListTree[size_t(images.imageIndex)];
    const QPixmap& selected = ImageListTree[size_t(images.selectedIndex)];
    if (!normal.isNull())
        images.icon.addPixmap(normal, QIcon::Normal);
    if (!selected.isNull())
        images.icon.addPixmap(selected, QIcon::Selected);
    return images;
}

TReportForm::NodeImages TReportForm::NodeImagesOf(const QTreeWidgetItem* node) const {
    return ImagesOfLevel(NodeLevel(node));
}

void TReportForm::SetNodeCaption(QTreeWidgetItem* node, const QString& text) {
    if (!node)
        return;
    node->setText(0, text);
    if (node->treeWidget() != twReports)
        return;

    QTreeWidgetItem* parent = node->parent();
    auto childAt = [&](int i) { return parent ? parent->child(i) : twReports->topLevelItem(i); };
    const int count = parent ? parent->childCount() : twReports->topLevelItemCount();
    QList<QTreeWidgetItem*> sorted;
    for (int i = 0; i < count; ++i)
        sorted.append(childAt(i));
    std::stable_sort(sorted.begin(), sorted.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return QString::localeAwareCompare(a->text(0), b->text(0)) < 0;
    });

    // Move only what is out of place. Taking an item out makes the view forget its expansion
    // and, when it holds the current node, the selection; both are put back, with the tree's
    // signals held so that nothing sees the transient state.
    QTreeWidgetItem* current = twReports->currentItem();
    const QList<QTreeWidgetItem*> selected = twReports->selectedItems();
    std::vector<std::pair<QTreeWidgetItem*, bool>> expansion;
    std::function<void(QTreeWidgetItem*)> noteExpansion = [&](QTreeWidgetItem* item) {
        expansion.emplace_back(item, item->isExpanded());
        for (int i = 0; i < item->childCount(); ++i)
            noteExpansion(item->child(i));
    };

    const QSignalBlocker blocker(twReports);
    bool moved = false;
    for (int i = 0; i < count; ++i) {
        if (childAt(i) == sorted[i])
            continue;
        if (!moved)
            for (QTreeWidgetItem* sibling : sorted)
                noteExpansion(sibling);
        moved = true;
        if (parent) {
            parent->takeChild(parent->indexOfChild(sorted[i]));
            parent->insertChild(i, sorted[i]);
        } else {
            twReports->takeTopLevelItem(twReports->indexOfTopLevelItem(sorted[i]));
            twReports->insertTopLevelItem(i, sorted[i]);
        }
    }
    if (!moved)
        return;
    for (const auto& [item, wasExpanded] : expansion)
        if (item->isExpanded() != wasExpanded)
            item->setExpanded(wasExpanded);
    if (current)
        twReports->setCurrentItem(current);
    for (QTreeWidgetItem* item : selected)
        item->setSelected(true);
}

int TReportForm::nodeCount() const {
    int count = 0;
    for (QTreeWidgetItemIterator it(twReports); *it; ++it)
        ++count;
    return count;
}

int TReportForm::absoluteIndex(const QTreeWidgetItem* node) const {
    int index = 0;
    for (QTreeWidgetItemIterator it(twReports); *it; ++it, ++index)
        if (*it == node)
            return index;
    return -1;
}

QTreeWidgetItem* TReportForm::nodeAtAbsoluteIndex(int index) const {
    if (index < 0)
        return nullptr;
    for (QTreeWidgetItemIterator it(twReports); *it; ++it)
        if (index-- == 0)
            return *it;
    return nullptr;
}

QTreeWidgetItem* TReportForm::selectedNode() const {
    return twReports->currentItem();
}

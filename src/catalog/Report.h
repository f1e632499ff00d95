// The report catalog frame: the catalog file "Reports.XML" beside the executable, read once into
// an XML document that lives as long as the frame, shown as a tree of root (level 0), folders
// (level 1) and reports (level 2); the catalog actions, enabled for the selected node; the tree's
// pop-up menu; and the writers that append folders and reports and save the whole document back
// (atomically: a failed save leaves the old file whole).
//
// What the frame does not do itself it asks for with a signal, so that it never includes the
// main window: loading the history list and the plug-in step at the end of LoadCatalog, the
// preview on a double click, and the three check items of the pop-up menu (the main window
// toggles its catalog window and toolbars and keeps the check marks). The action handlers for
// preview, print and editing are connected by the units that implement them.
//
// Sorting: the tree widget's own sorting stays off. A node's siblings are re-sorted by caption
// (locale-aware, case-sensitive, stable) exactly when its caption is set while it is in the tree
// (SetNodeCaption); a node inserted with its caption already given stays where it was put.
//
// Thread contract: UI thread only. Created with the main window and freed with it.
#pragma once

#include <QAction>
#include <QIcon>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>

#include "platform/XmlDocument.h"

class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

// The texts of the frame (captions, hints, messages), by key; the built-in Russian text unless
// a language file supplies another.
QString catalogText(const QString& key);

class TReportForm : public QWidget {
    Q_OBJECT
public:
    // What the end of the next label edit means.
    enum class TEditMode { None, AddReport, Delete, Rename };

    // The images of a node: indexes into ImageListTree (root, folder, report, selected report)
    // and the icon the tree draws, holding the normal and the selected picture.
    struct NodeImages {
        int imageIndex = 0;
        int selectedIndex = 0;
        QIcon icon;
    };

    explicit TReportForm(QWidget* owner = nullptr);
    ~TReportForm() override;

    // --- components ---
    QTreeWidget* twReports = nullptr;
    QMenu* PopupMenuTree = nullptr;
    QMenu* PopToolbars = nullptr;  // "Панель инструментов"

    QAction* PreviewReport = nullptr;
    QAction* PrintReport = nullptr;
    QAction* NewReport = nullptr;
    QAction* EditReport = nullptr;
    QAction* DeleteReport = nullptr;
    QAction* NewFolder = nullptr;
    QAction* RenameFolder = nullptr;
    QAction* DeleteFolder = nullptr;
    QAction* PlugInReport = nullptr;

    QAction* PopCheckShowTree = nullptr;
    QAction* PopCheckReportTools = nullptr;
    QAction* PopCheckReportToolsEdit = nullptr;

    // 16x16 pictures: 0 root, 1 folder, 2 report, 3 selected report.
    std::array<QPixmap, 4> ImageListTree;

    // --- catalog file and tree ---
    // Loads FAppDir + "Reports.XML" and builds the tree; every failure is shown in an error box
    // and the run goes on (with an empty tree after a parse error). Ends by asking for the
    // history and the plug-in step, so connect those signals first.
    void LoadCatalog();
    void BuildTree();
    QTreeWidgetItem* AddElementNode(QTreeWidgetItem* parent, const platform::XmlElement& element);
    static QString ParseErrorText(const platform::XmlParseError& error);

    platform::XmlElement FindGroupElement(const QString& name) const;
    platform::XmlElement FindPatternElement(const QString& name) const;
    // Append the element, then save; false (after the error box) when either step failed. The
    // in-memory document may hold the new element even then.
    bool AddGroupElement(const QString& name);
    bool AddPatternElement(QTreeWidgetItem* folderNode, const QString& name);
    // Writes the whole document to FAppDir + "Reports.XML"; false after the error box.
    bool SaveCatalog();

    // Enables and disables the catalog actions for node (bound to the tree's current item).
    void twReportsChange(QTreeWidgetItem* node);

    // --- node helpers ---
    static int NodeLevel(const QTreeWidgetItem* node);
    // The image rule, from the node's current level; the tree's delegate asks it at paint time,
    // so a node moved to another level is drawn right without any item data to update.
    NodeImages ImagesOfLevel(int level) const;
    NodeImages NodeImagesOf(const QTreeWidgetItem* node) const;
    // Sets the caption; a node in the tree then has its siblings re-sorted.
    void SetNodeCaption(QTreeWidgetItem* node, const QString& text);
    // Depth-first, parent before children, root = 0; over the displayed tree.
    int nodeCount() const;
    int absoluteIndex(const QTreeWidgetItem* node) const;   // -1 when not in the tree
    QTreeWidgetItem* nodeAtAbsoluteIndex(int index) const;  // nullptr when out of range
    QTreeWidgetItem* selectedNode() const;                  // the current node or nullptr

    // --- state ---
    bool CanEdit() const { return FCanEdit; }
    void SetCanEdit(bool value) { FCanEdit = value; }
    TEditMode EditMode() const { return FEditMode; }
    void SetEditMode(TEditMode mode) { FEditMode = mode; }
    const QString& AppDir() const { return FAppDir; }
    const platform::XmlDocument& Catalog() const { return FCatalog; }
    QString CatalogPath() const;  // FAppDir + "Reports.XML"

    // Recently previewed report names, newest first (filled by the main window's history load).
    QStringList FHistory;
    // Scratch list of the report names in the tree (the plug-in step).
    QStringList FCatalogNames;

signals:
    void loadHistoryRequested();  // end of LoadCatalog: the main window loads the history
    void plugInStepRequested();   // then: add template files not yet in the catalog
    void previewRequested();      // double click on a node
    void showTreeToggleRequested();
    void reportToolsToggleRequested();
    void reportToolsEditToggleRequested();

private:
    void CreateActions();
    void CreatePopupMenu();
    void twReportsDblClick(QTreeWidgetItem* node);
    void ShowCatalogWriteError(const QString& reason);

    QString FAppDir;
    platform::XmlDocument FCatalog;
    TEditMode FEditMode = TEditMode::None;
    bool FCanEdit = false;
};

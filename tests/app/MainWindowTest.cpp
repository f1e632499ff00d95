// The main window: view toggles and their mirrors, the splitter limit, the rights switch, the
// status-bar hint, and the layout and selected node kept between runs.
#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QTreeWidget>

#include "AppFixture.h"
#include "catalog/Report.h"
#include "platform/Registry.h"

TEST_F(AppTest, BuiltInLayout) {
    auto form = startProgram();
    EXPECT_EQ(form->windowTitle(), "Генератор отчетов");
    EXPECT_FALSE(form->ToolbarReport->isHidden());
    EXPECT_TRUE(form->ToolbarReportEdit->isHidden());
    EXPECT_FALSE(form->ToolbarPreview->isHidden());
    EXPECT_FALSE(form->TBToolWindowTree->isHidden());
    EXPECT_TRUE(form->CheckShowTree->isChecked());
    EXPECT_TRUE(form->CheckReportTools->isChecked());
    EXPECT_FALSE(form->CheckReportToolsEdit->isChecked());
    EXPECT_TRUE(form->ItemToolsPreview->isChecked());
    EXPECT_EQ(form->SelectedTreeNode->text(), "0");
    EXPECT_EQ(form->ReportForm->selectedNode(), form->ReportForm->nodeAtAbsoluteIndex(0));
    QStringList menus;
    for (QAction* a : form->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"Файл", "Редактирование", "Вид", "Язык", "Справка"}));
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(form->HistoryItems[k]->objectName(), QStringLiteral("H%1").arg(k + 1));
        EXPECT_FALSE(form->HistoryItems[k]->isVisible());
        EXPECT_EQ(form->HistoryItems[k]->text(), "HistoryPreview");
    }
}

TEST_F(AppTest, ViewTogglesFlipTargetCheckAndMirrorAndReturnAfterTwoClicks) {
    auto form = startProgram();
    form->show();
    TReportForm* catalog = form->ReportForm;
    struct Toggle {
        const char* name;
        QAction* item;
        QAction* mirror;
        QWidget* target;
    };
    const Toggle toggles[] = {
        {"tree", form->CheckShowTree, catalog->PopCheckShowTree, form->TBToolWindowTree},
        {"report tools", form->CheckReportTools, catalog->PopCheckReportTools, form->ToolbarReport},
        {"edit tools", form->CheckReportToolsEdit, catalog->PopCheckReportToolsEdit,
         form->ToolbarReportEdit},
        {"preview tools", form->CheckPreviewTools, form->ItemToolsPreview, form->ToolbarPreview},
    };
    for (const Toggle& t : toggles) {
        SCOPED_TRACE(t.name);
        const bool initial = t.item->isChecked();
        t.item->trigger();  // a click on the menu item
        EXPECT_EQ(t.item->isChecked(), !initial);
        EXPECT_EQ(t.mirror->isChecked(), !initial);
        EXPECT_EQ(t.target->isVisible(), !initial);
        t.mirror->trigger();  // a click on the mirror does the same
        EXPECT_EQ(t.item->isChecked(), initial);
        EXPECT_EQ(t.mirror->isChecked(), initial);
        EXPECT_EQ(t.target->isVisible(), initial);
    }
}

TEST_F(AppTest, ClosingTheCatalogWindowClearsBothChecks) {
    auto form = startProgram();
    form->show();
    form->TBToolWindowTree->close();
    EXPECT_FALSE(form->CheckShowTree->isChecked());
    EXPECT_FALSE(form->ReportForm->PopCheckShowTree->isChecked());
    form->CheckShowTreeClick();
    EXPECT_TRUE(form->TBToolWindowTree->isVisible());
}

TEST_F(AppTest, SplitterRefusesCatalogWidthsUnder100) {
    auto form = startProgram();
    form->show();
    QApplication::processEvents();
    const int before = form->TBToolWindowTree->width();
    EXPECT_FALSE(form->SplitterCanResize(99));
    QApplication::processEvents();
    EXPECT_EQ(form->TBToolWindowTree->width(), before);
    EXPECT_TRUE(form->SplitterCanResize(100));
    QApplication::processEvents();
    EXPECT_EQ(form->TBToolWindowTree->width(), 100);
    EXPECT_GE(form->TBToolWindowTree->minimumWidth(), 100);  // the drag handle obeys the same
}

TEST_F(AppTest, EditRightsSwitchSixActionsAndTheTreeButNotPlugIn) {
    auto form = startProgram();
    TReportForm* catalog = form->ReportForm;
    const QList<QAction*> editing = {catalog->NewReport,    catalog->EditReport,
                                     catalog->DeleteReport, catalog->RenameFolder,
                                     catalog->DeleteFolder, catalog->NewFolder};
    catalog->PlugInReport->setEnabled(false);
    catalog->twReports->setCurrentItem(nullptr);

    form->SetEditRights(true);
    for (QAction* a : editing)
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(catalog->CanEdit());
    EXPECT_NE(catalog->twReports->dragDropMode(), QAbstractItemView::NoDragDrop);

    form->SetEditRights(false);
    for (QAction* a : editing)
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(catalog->CanEdit());
    EXPECT_EQ(catalog->twReports->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(catalog->twReports->dragDropMode(), QAbstractItemView::NoDragDrop);
    EXPECT_FALSE(catalog->PlugInReport->isEnabled());  // never touched
}

TEST_F(AppTest, EditRightsReapplyTheLevelTableForTheSelectedNode) {
    auto form = startProgram();
    TReportForm* catalog = form->ReportForm;
    catalog->twReports->setCurrentItem(catalog->nodeAtAbsoluteIndex(0));  // the root
    form->SetEditRights(true);
    EXPECT_FALSE(catalog->NewReport->isEnabled());  // root: off whatever the rights
    EXPECT_FALSE(catalog->RenameFolder->isEnabled());
    EXPECT_TRUE(catalog->NewFolder->isEnabled());  // follows the rights only
}

TEST_F(AppTest, StatusTipsShowInTheStatusPanel) {
    auto form = startProgram();
    QStatusTipEvent tip("Шаблоны отчетов");
    QApplication::sendEvent(form.get(), &tip);
    EXPECT_EQ(form->StatusPanel->text(), "Шаблоны отчетов");
}

TEST_F(AppTest, LayoutAndSelectedNodeSurviveARestart) {
    {
        auto form = startProgram();
        form->show();
        form->CheckReportToolsEditClick();  // show
        form->CheckPreviewToolsClick();     // hide
        form->ReportForm->twReports->setCurrentItem(form->ReportForm->nodeAtAbsoluteIndex(3));
    }
    freshRuntimeFolder();
    auto form = startProgram();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(form->ToolbarReportEdit->isHidden());
    EXPECT_TRUE(form->CheckReportToolsEdit->isChecked());
    EXPECT_TRUE(form->ReportForm->PopCheckReportToolsEdit->isChecked());
    EXPECT_TRUE(form->ToolbarPreview->isHidden());
    EXPECT_FALSE(form->CheckPreviewTools->isChecked());
    EXPECT_FALSE(form->ItemToolsPreview->isChecked());
    EXPECT_EQ(form->SelectedTreeNode->text(), "3");
    EXPECT_EQ(form->ReportForm->absoluteIndex(form->ReportForm->selectedNode()), 3);
}

TEST_F(AppTest, StoredSelectionOutsideTheTreeSelectsNothing) {
    int nodeCount = 0;
    {
        auto form = startProgram();
        nodeCount = form->ReportForm->nodeCount();
    }
    for (const QString& stored :
         {QString::number(nodeCount), QStringLiteral("-1"), QStringLiteral("x")}) {
        SCOPED_TRACE(stored.toStdString());
        platform::Registry r(platform::RootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(r.OpenKey(TMainForm::kFormSection, true));
        r.WriteString("SelectedTreeNode.Caption", stored);
        freshRuntimeFolder();
        auto form = startProgram();
        EXPECT_EQ(form->ReportForm->selectedNode(), nullptr);
    }
}

TEST_F(AppTest, ReconnectIsOfferedOnlyWhileDisconnected) {
    auto form = startProgram();
    bool connected = true;
    form->DatabaseConnectedHook = [&] { return connected; };
    emit form->FileMenu->aboutToShow();
    EXPECT_FALSE(form->KTS->isEnabled());
    connected = false;
    emit form->FileMenu->aboutToShow();
    EXPECT_TRUE(form->KTS->isEnabled());
}

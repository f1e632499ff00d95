// The catalog frame against real files in a sandboxed application folder: loading and its error
// texts, look-ups, the tree's levels, images and sorting, the action table, writing back (byte
// for byte, and never a truncated file), and the absolute node index used across runs.
#include <gtest/gtest.h>

#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTreeWidget>

#include "catalog/Report.h"
#include "platform/MessageBox.h"
#include "TestEnv.h"

namespace {

using platform::XmlParseError;

const QString kCrLf = "\r\n";

// A sandboxed application folder and every message box text shown meanwhile.
class CatalogTest : public ::testing::Test {
protected:
    CatalogTest() {
        platform::setMessageHandler([this](const platform::MessageRequest& request) {
            messages << request.text;
            return platform::MsgResult::Ok;
        });
    }
    ~CatalogTest() override { platform::setMessageHandler(nullptr); }

    QString catalogPath() const { return sandbox.appDir() + "Reports.XML"; }
    void writeCatalog(const QByteArray& utf8) { sandbox.writeFile(catalogPath(), utf8); }
    static QByteArray demoBytes() {
        return testenv::Sandbox::readFile(VELLUMAR_SOURCE_DIR "/resources/demo/Reports.XML");
    }
    // The frame with the catalog loaded from the sandbox.
    std::unique_ptr<TReportForm> loadedForm() {
        auto form = std::make_unique<TReportForm>();
        form->LoadCatalog();
        return form;
    }
    static QTreeWidgetItem* nodeByCaption(const TReportForm& form, const QString& caption) {
        for (int i = 0; i < form.nodeCount(); ++i)
            if (form.nodeAtAbsoluteIndex(i)->text(0) == caption)
                return form.nodeAtAbsoluteIndex(i);
        return nullptr;
    }
    static QStringList childCaptions(const QTreeWidgetItem* node) {
        QStringList list;
        for (int i = 0; i < node->childCount(); ++i)
            list << node->child(i)->text(0);
        return list;
    }

    testenv::Sandbox sandbox;
    QStringList messages;
};

TEST(ParseErrorText, LinePartOnlyWhenTheLineIsKnown) {
    XmlParseError withLine{76, "/app/Reports.XML",      "Opening and ending tag mismatch", 3,
                           21, "  <b Name=\"При\"></c>"};
    EXPECT_EQ(TReportForm::ParseErrorText(withLine),
              "Ошибка при загрузке документа [\"/app/Reports.XML ]\r\n"
              "Opening and ending tag mismatch\r\n\r\n"
              "строка 3, символ 21\r\n  <b Name=\"При\"></c>");

    XmlParseError noLine{1549, "/app/Reports.XML", "Файл не найден", 0, 7, "ignored"};
    EXPECT_EQ(TReportForm::ParseErrorText(noLine),
              "Ошибка при загрузке документа [\"/app/Reports.XML ]\r\nФайл не найден\r\n\r\n");
}

TEST_F(CatalogTest, BrokenFileShowsTheParseErrorAndAnEmptyTree) {
    // windows-1251 on disk: the offending line must come back decoded.
    writeCatalog(
        QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Catalog>\n"
                   "  <Groups Name=\"\xCF\xE0\xEF\xEA\xE0\"></Group>\n</Catalog>\n"));
    auto form = loadedForm();
    ASSERT_EQ(messages.size(), 1);
    const QString expectedHead = "Ошибка загрузки Reports.XML Ошибка при загрузке документа [\"" +
                                 catalogPath() + " ]" + kCrLf;
    EXPECT_TRUE(messages[0].startsWith(expectedHead)) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith(kCrLf + kCrLf + "строка 3, символ 32" + kCrLf +
                                     "  <Groups Name=\"Папка\"></Group>"))
        << messages[0].toStdString();
    EXPECT_EQ(form->nodeCount(), 0);
}

TEST_F(CatalogTest, MissingFileIsAParseErrorAndLaterWritesFailWithThePath) {
    auto form = loadedForm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Ошибка загрузки Reports.XML Ошибка при загрузке документа [\"" +
                               catalogPath() + " ]\r\nФайл не найден\r\n\r\n");
    EXPECT_EQ(form->nodeCount(), 0);

    EXPECT_FALSE(form->AddGroupElement("Папка"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], "Каталог отчетов не загружен " + catalogPath());
    EXPECT_FALSE(QFile::exists(catalogPath()));  // the system never creates the catalog
}

TEST_F(CatalogTest, LoadingEndsByAskingForHistoryThenPlugIn) {
    writeCatalog("<Catalog Name=\"К\"/>");
    TReportForm form;
    QStringList order;
    QObject::connect(&form, &TReportForm::loadHistoryRequested, [&] { order << "history"; });
    QObject::connect(&form, &TReportForm::plugInStepRequested, [&] { order << "plugin"; });
    form.LoadCatalog();
    EXPECT_EQ(order, QStringList({"history", "plugin"}));
    EXPECT_TRUE(messages.isEmpty());  // a root without folders is no error
    EXPECT_EQ(form.nodeCount(), 1);
    EXPECT_EQ(form.AppDir(), sandbox.appDir());
}

// Structure, not tag names, makes the tree; look-ups follow their own rules.
TEST_F(CatalogTest, LookUpsAndLevels) {
    writeCatalog(R"(<?xml version="1.0" encoding="UTF-8"?>
<Catalog>
  <!-- a comment is no node -->
  <Groups Name="Дубль" n="1">
    <Pattern Name="Отчет" n="1"/>
    <Report Name="Чужой тег"/>
  </Groups>
  <Folder Name="Другой тег">
    <Pattern Name="Вложенный">
      <Pattern Name="Глубже" n="deep"/>
    </Pattern>
  </Folder>
  <Groups Name="Дубль" n="2">
    <Pattern Name="Отчет" n="2"/>
  </Groups>
  text is no node either
</Catalog>
)");
    auto form = loadedForm();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(form->nodeCount(), 9);

    QTreeWidgetItem* root = form->nodeAtAbsoluteIndex(0);
    EXPECT_EQ(root->text(0), "");  // root without Name: empty caption, folders still work
    EXPECT_TRUE(root->isExpanded());

    EXPECT_EQ(form->FindGroupElement("Дубль").attribute("n"), "1");
    EXPECT_EQ(form->FindPatternElement("Отчет").attribute("n"), "1");
    EXPECT_FALSE(form->FindGroupElement("Другой тег").isNull());
    EXPECT_EQ(form->FindPatternElement("Глубже").attribute("n"), "deep");
    EXPECT_TRUE(form->FindPatternElement("Чужой тег").isNull());
    EXPECT_NE(nodeByCaption(*form, "Чужой тег"), nullptr);    // shown all the same
    EXPECT_TRUE(form->FindGroupElement("Отчет").isNull());    // folders only at level 1
    EXPECT_TRUE(form->FindPatternElement("отчет").isNull());  // exact text

    struct Case {
        const char* caption;
        int level, image, selectedImage;
    } cases[] = {
        {"Другой тег", 1, 1, 1},
        {"Вложенный", 2, 2, 3},
        {"Глубже", 3, 3, 3},  // below a report: shown at level 3 with image 3
    };
    for (const Case& c : cases) {
        QTreeWidgetItem* node = nodeByCaption(*form, c.caption);
        ASSERT_NE(node, nullptr) << c.caption;
        EXPECT_EQ(TReportForm::NodeLevel(node), c.level) << c.caption;
        EXPECT_EQ(form->NodeImagesOf(node).imageIndex, c.image) << c.caption;
        EXPECT_EQ(form->NodeImagesOf(node).selectedIndex, c.selectedImage) << c.caption;
    }
    EXPECT_EQ(form->NodeImagesOf(root).imageIndex, 0);
    EXPECT_EQ(form->NodeImagesOf(root).selectedIndex, 0);
}

TEST_F(CatalogTest, CaptionsSortWhenSetInTheTreeNotOnInsertion) {
    writeCatalog(R"(<Catalog Name="К">
  <Groups Name="Гамма"><Pattern Name="в"/><Pattern Name="а"/><Pattern Name="б"/></Groups>
  <Groups Name="Альфа"/>
  <Groups Name="Бета"/>
</Catalog>)");
    auto form = loadedForm();
    QTreeWidgetItem* root = form->nodeAtAbsoluteIndex(0);
    EXPECT_EQ(childCaptions(root), QStringList({"Альфа", "Бета", "Гамма"}));
    QTreeWidgetItem* gamma = root->child(2);
    EXPECT_EQ(childCaptions(gamma), QStringList({"а", "б", "в"}));

    // A node put in with its caption stays where it was put...
    form->twReports->setCurrentItem(gamma->child(1));
    root->insertChild(0, new QTreeWidgetItem(QStringList{"Яблоко"}));
    EXPECT_EQ(childCaptions(root), QStringList({"Яблоко", "Альфа", "Бета", "Гамма"}));
    // ...until a sibling's caption is set; expansion and the current node survive the move.
    form->SetNodeCaption(root->child(1), "Дельта");
    EXPECT_EQ(childCaptions(root), QStringList({"Бета", "Гамма", "Дельта", "Яблоко"}));
    EXPECT_TRUE(gamma->isExpanded());
    EXPECT_EQ(form->selectedNode(), gamma->child(1));
    EXPECT_FALSE(form->twReports->isSortingEnabled());
}

// Which actions the selected node enables, for every level and both rights, starting once from
// all enabled and once from all disabled so that "untouched" is seen as untouched.
TEST_F(CatalogTest, ActionTableByLevelAndRights) {
    writeCatalog(R"(<Catalog Name="К"><Groups Name="П"><Pattern Name="О">
                    <Pattern Name="Г"/></Pattern></Groups></Catalog>)");
    auto form = loadedForm();
    QList<QAction*> actions = {form->PreviewReport, form->PrintReport,  form->NewReport,
                               form->EditReport,    form->DeleteReport, form->RenameFolder,
                               form->DeleteFolder,  form->NewFolder,    form->PlugInReport};
    // Per action, in the order above: 0 off, 1 on, R rights, - untouched.
    struct Case {
        const char* node;
        const char* expected;
    } cases[] = {
        {"К", "0000000--"},
        {"П", "00R00RR--"},
        {"О", "11RRRR0--"},
        {"Г", "---------"},  // deeper than a report: nothing applies
    };
    for (const Case& c : cases)
        for (bool rights : {false, true})
            for (bool start : {false, true}) {
                for (QAction* a : actions)
                    a->setEnabled(start);
                form->SetCanEdit(rights);
                form->twReportsChange(nodeByCaption(*form, c.node));
                for (int i = 0; i < actions.size(); ++i) {
                    const char e = c.expected[i];
                    const bool want = e == '1' || (e == 'R' && rights) || (e == '-' && start);
                    EXPECT_EQ(actions[i]->isEnabled(), want)
                        << actions[i]->objectName().toStdString() << " at " << c.node
                        << " rights=" << rights << " start=" << start;
                }
            }
}

TEST_F(CatalogTest, SelectionChangeRunsTheTable) {
    writeCatalog(R"(<Catalog Name="К"><Groups Name="П"><Pattern Name="О"/></Groups></Catalog>)");
    auto form = loadedForm();
    EXPECT_FALSE(form->CanEdit());
    EXPECT_FALSE(form->PreviewReport->isEnabled());
    EXPECT_TRUE(form->PlugInReport->isEnabled());
    form->twReports->setCurrentItem(nodeByCaption(*form, "О"));
    EXPECT_TRUE(form->PreviewReport->isEnabled());
    EXPECT_FALSE(form->EditReport->isEnabled());

    QSignalSpy preview(form.get(), &TReportForm::previewRequested);
    emit form->twReports->itemDoubleClicked(nodeByCaption(*form, "О"), 0);
    EXPECT_EQ(preview.count(), 1);
}

TEST_F(CatalogTest, PopupMenuOrderAndCheckItems) {
    TReportForm form;
    QStringList entries;
    for (QAction* a : form.PopupMenuTree->actions())
        entries << (a->isSeparator() ? "-" : a->menu() ? a->menu()->objectName() : a->objectName());
    EXPECT_EQ(entries,
              QStringList({"PopCheckShowTree", "PopToolbars", "-", "PreviewReport", "PrintReport",
                           "-", "NewReport", "EditReport", "DeleteReport", "-", "NewFolder",
                           "RenameFolder", "DeleteFolder", "-", "PlugInReport"}));
    EXPECT_EQ(form.PopToolbars->title(), "Панель инструментов");
    EXPECT_EQ(form.PopToolbars->actions(),
              QList<QAction*>({form.PopCheckReportTools, form.PopCheckReportToolsEdit}));

    QSignalSpy tree(&form, &TReportForm::showTreeToggleRequested);
    QSignalSpy tools(&form, &TReportForm::reportToolsToggleRequested);
    QSignalSpy toolsEdit(&form, &TReportForm::reportToolsEditToggleRequested);
    form.PopCheckShowTree->trigger();
    form.PopCheckReportToolsEdit->trigger();
    EXPECT_EQ(tree.count(), 1);
    EXPECT_EQ(tools.count(), 0);
    EXPECT_EQ(toolsEdit.count(), 1);
}

TEST_F(CatalogTest, Windows1251RoundTripAndNamesOutsideIt) {
    const QByteArray demo = demoBytes();
    ASSERT_FALSE(demo.isEmpty());
    sandbox.writeFile(catalogPath(), demo);
    auto form = loadedForm();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_TRUE(form->SaveCatalog());
    EXPECT_EQ(testenv::Sandbox::readFile(catalogPath()), demo);

    const QString folder = "Папка € ✓ 中";  // € is in windows-1251, ✓ and 中 are not
    ASSERT_TRUE(form->AddGroupElement(folder));
    ASSERT_TRUE(form->AddPatternElement(nodeByCaption(*form, "Архив"), "Отчет ✓"));
    const QByteArray saved = testenv::Sandbox::readFile(catalogPath());
    EXPECT_TRUE(saved.startsWith("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"));
    EXPECT_TRUE(saved.contains("&#10003;"));

    auto reloaded = loadedForm();
    ASSERT_EQ(messages.size(), 0);
    EXPECT_FALSE(reloaded->FindGroupElement(folder).isNull());
    EXPECT_EQ(reloaded->FindPatternElement("Отчет ✓").parentElement().attribute("Name"), "Архив");
    EXPECT_EQ(reloaded->FindPatternElement("Рабочее время").attribute("Owner"), "Отдел кадров");
}

TEST_F(CatalogTest, FailedSaveLeavesTheOldFileWhole) {
    const QByteArray demo = demoBytes();
    sandbox.writeFile(catalogPath(), demo);
    auto form = loadedForm();

    // A read-only catalog.
    QFile::setPermissions(catalogPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_FALSE(form->AddGroupElement("Новая"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].endsWith(" " + catalogPath()));
    EXPECT_GT(messages[0].size(), catalogPath().size() + 1);  // the reason comes first
    EXPECT_EQ(testenv::Sandbox::readFile(catalogPath()), demo);
    QFile::setPermissions(catalogPath(), QFile::ReadOwner | QFile::WriteOwner);

    // The application folder gone, a regular file in its place: the write itself fails.
    const QString appDir = sandbox.appDir().chopped(1);
    ASSERT_TRUE(QFile::rename(appDir, sandbox.path() + "/moved"));
    sandbox.writeFile(appDir, "not a folder");
    EXPECT_FALSE(form->SaveCatalog());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].endsWith(" " + catalogPath()));
    EXPECT_EQ(testenv::Sandbox::readFile(sandbox.path() + "/moved/Reports.XML"), demo);
    EXPECT_EQ(testenv::Sandbox::readFile(appDir), "not a folder");
}

TEST_F(CatalogTest, AbsoluteIndexIsDepthFirstOverTheSortedTree) {
    sandbox.writeFile(catalogPath(), demoBytes());
    auto form = loadedForm();
    const QStringList expected = {"Отчеты",
                                  "Архив",
                                  "Оборудование",
                                  "Список устройств",
                                  "Персонал",
                                  "Карты и пароли",
                                  "Проходы сотрудников за период",
                                  "Рабочее время",
                                  "События",
                                  "Журнал событий",
                                  "Нарушения режима доступа"};
    ASSERT_EQ(form->nodeCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QTreeWidgetItem* node = form->nodeAtAbsoluteIndex(i);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->text(0), expected[i]);
        EXPECT_EQ(form->absoluteIndex(node), i);
    }
    EXPECT_EQ(form->nodeAtAbsoluteIndex(form->nodeCount()), nullptr);
    EXPECT_EQ(form->nodeAtAbsoluteIndex(-1), nullptr);
    EXPECT_EQ(form->absoluteIndex(nullptr), -1);

    EXPECT_EQ(form->selectedNode(), nullptr);
    form->twReports->setCurrentItem(form->nodeAtAbsoluteIndex(7));
    EXPECT_EQ(form->absoluteIndex(form->selectedNode()), 7);
}

}  // namespace

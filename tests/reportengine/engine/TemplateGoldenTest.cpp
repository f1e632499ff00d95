// The stored test templates prepared on fixed data: the first page of each rendered at 96 dpi and
// compared with a stored picture, and the PDF of the whole report read back as text.
#include "EngineFixture.h"

#include "platform/DateTime.h"
#include "reportengine/export/PdfExport.h"
#include "reportengine/render/PageRenderer.h"

#include "GoldenImage.h"
#include <QTemporaryDir>

#include <QDateTime>
#include <QPainter>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>

using namespace enginetest;
using platform::Variant;

namespace {

const QString kGoldenDir = QStringLiteral(VELLUMAR_SOURCE_DIR "/tests/reportengine/engine/golden");

Variant At(int day, int hour, int minute) {
    return Variant::FromDateTime(
        platform::QDateTimeToDateTime(QDateTime(QDate(2026, 11, day), QTime(hour, minute))));
}

const char* const kNoteWords[] = {"Обход", "периметра", "выполнен,", "замечаний", "нет.",
                                  "Дверь", "склада", "закрыта", "в", "срок;", "журнал", "сдан."};

QString Sentence(int words) {
    QStringList out;
    for (int i = 0; i < words; ++i)
        out << QString::fromUtf8(kNoteWords[i % 12]);
    return out.join(u' ');
}

struct Case {
    const char* Template;
    const char* Golden;
    std::function<std::vector<std::unique_ptr<dataclient::FilledMemTable>>(TfrxReport&)> Bind;
    QStringList PdfTexts;  // lines that pdftotext must find
    int Pages;
};

std::vector<std::unique_ptr<dataclient::FilledMemTable>> One(std::unique_ptr<dataclient::FilledMemTable> t) {
    std::vector<std::unique_ptr<dataclient::FilledMemTable>> v;
    v.push_back(std::move(t));
    return v;
}

std::vector<Case> Cases() {
    return {
        {"simple_list.fr3", "simple_list-1.png",
         [](TfrxReport& r) {
             Rows rows;
             for (int i = 1; i <= 60; ++i)
                 rows.push_back({i, QStringLiteral("Сотрудник %1").arg(i), i % 4 + 1});
             return One(Bind(r, "People", {{"ID", platform::ftInteger}, {"Name", platform::ftString, 40},
                                           {"Status", platform::ftInteger}}, rows));
         },
         {"Список сотрудников", "Сотрудник 60", "2 / 2"}, 2},
        {"groups.fr3", "groups-1.png",
         [](TfrxReport& r) {
             Rows rows;
             for (int i = 0; i < 14; ++i)
                 rows.push_back({i / 5 + 1, QStringLiteral("Турникет %1").arg(i / 5 + 1), At(i + 1, 8, i),
                                 i == 3 ? Sentence(40) : QStringLiteral("Проход %1").arg(i + 1), i % 2 + 1});
             return One(Bind(r, "Events", {{"Device", platform::ftInteger}, {"DeviceName", platform::ftString, 40},
                                           {"EventTime", platform::ftDateTime}, {"Text", platform::ftString, 400},
                                           {"Direction", platform::ftInteger}}, rows));
         },
         {"Events by device", "Турникет 3", "Events: 4", "21,00"}, 1},
        {"master_detail.fr3", "master_detail-1.png",
         [](TfrxReport& r) {
             std::vector<std::unique_ptr<dataclient::FilledMemTable>> v;
             v.push_back(Bind(r, "People", {{"Name", platform::ftString, 40}, {"FirstName", platform::ftString, 40},
                                            {"Status", platform::ftInteger}},
                              {{"Петров", "Иван", 1}, {"Смирнова", "Анна", 4}, {"Кузнецов", "Олег", 2}}));
             v.push_back(Bind(r, "Marks", {{"CodeP", platform::ftString, 20}, {"Config", platform::ftInteger}},
                              {{"00A1", 1024}, {"00B2", 0}, {"00C3", 1025}}));
             return v;
         },
         {"Петров Иван", "00C3", "1 / 1"}, 1},
        {"stretching_notes.fr3", "stretching_notes-1.png",
         [](TfrxReport& r) {
             Rows rows;
             for (int i = 0; i < 12; ++i)
                 rows.push_back({At(i + 1, 20, 0), Sentence(i == 9 ? 900 : 6 + i * 9)});
             return One(Bind(r, "Notes", {{"At", platform::ftDateTime}, {"Text", platform::ftString, 8000}}, rows));
         },
         {"Журнал смены", "Страница 1 из 3", "Страница 3 из 3"}, 3},
        {"barcodes_pictures.fr3", "barcodes_pictures-1.png",
         [](TfrxReport& r) {
             return One(Bind(r, "Cards", {{"Name", platform::ftString, 40}, {"Code", platform::ftString, 20},
                                          {"Ean", platform::ftString, 20}, {"Active", platform::ftBoolean}},
                             {{"Петров И.", "A1024", "460123456789", true},
                              {"Смирнова А.", "B2048", "460987654321", false}}));
         },
         {"Пропуска и штрихкоды", "Петров И.", "4601234567893"}, 1},
    };
}

QImage Render(const PreparedPage& page) {
    QImage image(int(std::ceil(PageWidthPx(page))), int(std::ceil(PageHeightPx(page))),
                 QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    RenderPage(painter, page, 1.0);
    return image;
}

}  // namespace

TEST(TemplateGolden, EachTemplatePreparesRendersAndExports) {
    QTemporaryDir folder;
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Template);
        TfrxReport report;
        ASSERT_TRUE(report.LoadFromFile(TemplatePath(c.Template)));
        auto tables = c.Bind(report);
        ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
        ASSERT_EQ(report.PreparedPages().Count(), c.Pages);
        testenv::CompareWithGolden(Render(*report.PreparedPages().Page(0)), kGoldenDir,
                                   QString::fromLatin1(c.Golden));

        const QString pdf = folder.path() + u'/' + QString::fromLatin1(c.Template) + ".pdf";
        TfrxPDFExport filter;
        filter.SetFileName(pdf);
        ASSERT_TRUE(filter.Export(report.PreparedPages())) << filter.ErrorText().toStdString();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(30000));
        // pdftotext spaces words by their positions; compare without blanks.
        QString extracted = QString::fromUtf8(text.readAllStandardOutput());
        EXPECT_EQ(extracted.count(u'\f'), c.Pages);
        extracted.remove(u' ');
        for (QString expected : c.PdfTexts)
            EXPECT_TRUE(extracted.contains(expected.remove(u' ')))
                << expected.toStdString() << " not in\n" << extracted.left(3000).toStdString();
    }
}

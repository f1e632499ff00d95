// TfrxDBDataset over a real in-memory table: fields by name in any letter case and through
// aliases, the walk with ranges, and the page's band order.
#include "dataclient/UZMemTableBuilder.h"
#include "reportengine/model/Bands.h"
#include "reportengine/model/DataSets.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Views.h"

#include <gtest/gtest.h>

using namespace reportengine;
using platform::Variant;

namespace {

class People : public dataclient::FilledMemTable {
public:
    People() : FilledMemTable({{"ID", platform::ftInteger}, {"Name", platform::ftString, 20}}) {
        addRow({1, "Петров"});
        addRow({2, "Смирнова"});
        addRow({3, Variant::Null()});
    }
};

}  // namespace

TEST(DBDataset, ReadsTheWrappedDataSet) {
    People table;
    TfrxDBDataset ds;
    ds.setObjectName(QStringLiteral("People"));
    ds.SetDataSet(&table);
    QStringList names;
    for (ds.First(); !ds.Eof(); ds.Next())
        names << ds.Value(QStringLiteral("name")).ToString();  // opened on First
    EXPECT_EQ(names, QStringList({"Петров", "Смирнова", ""}));
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.FieldNames(), QStringList({"ID", "Name"}));
    EXPECT_THROW(ds.Value(QStringLiteral("Missing")), platform::Exception);

    ds.FieldAliases = QStringList{QStringLiteral("Number=ID"), QStringLiteral("Who=Name")};
    ds.RangeEnd = reCount;
    ds.RangeEndCount = 2;
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids.push_back(ds.Value(QStringLiteral("NUMBER")).ToInt());
    EXPECT_EQ(ids, (std::vector<int>{1, 2}));
    EXPECT_EQ(ds.FieldNames(), QStringList({"Number", "Who"}));
}

TEST(DBDataset, WithoutADataSetItIsEmpty) {
    TfrxDBDataset ds;
    ds.First();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_FALSE(ds.HasField(QStringLiteral("x")));
}

TEST(DBDataset, PageBandsComeInTopOrder) {
    TfrxReportPage page;
    auto* footer = new TfrxPageFooter(&page);
    footer->Top = 300;
    auto* data = new TfrxMasterData(&page);
    data->Top = 100;
    auto* header = new TfrxHeader(&page);
    header->Top = 100;        // same Top: list order decides
    new TfrxMemoView(&page);  // not a band
    EXPECT_EQ(page.Bands(), (std::vector<TfrxBand*>{data, header, footer}));
}

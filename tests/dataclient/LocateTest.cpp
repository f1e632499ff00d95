// Record search: partial keys, Windows-1251 case folding, NULL keys and columns, filters, several
// key fields, and keys of every searchable type.
#include "MemTableFixture.h"

#include <gtest/gtest.h>

using namespace memtest;

namespace {

std::unique_ptr<FilledTable> people() {
    auto t = std::make_unique<FilledTable>(std::vector<Column>{
        {"Id", ftInteger}, {"Name", ftString, 20}, {"Status", ftSmallint}, {"Day", ftDate}});
    t->setObjectName("People");
    TDateTime d;
    TryEncodeDate(2024, 5, 1, d);
    t->addRow({1, "ёлка", 2, Variant::FromDateTime(d)});
    t->addRow({2, "", 1, Variant::Null()});  // present but empty
    t->addRow({3, Variant::Null(), 2, Variant::Null()});
    t->addRow({4, "Ёлка", 0, Variant::Null()});
    t->addRow({5, "smith", 2, Variant::Null()});
    t->addRow({6, "Smithson", 1, Variant::FromDateTime(d + 1)});
    t->addRow({7, "Петров", Variant::Null(), Variant::Null()});
    return t;
}

struct LocateCase {
    const char* fields;
    Variant keys;
    TLocateOptions options;
    int id;  // the id found, 0 for none
};

TEST(Locate, KeysOptionsAndNulls) {
    auto t = people();
    t->Open();
    TDateTime d;
    TryEncodeDate(2024, 5, 2, d);
    const LocateCase cases[] = {
        {"Id", 4, 0, 4},
        {"id", Variant("6"), 0, 6},  // field names ignore case; the key is converted
        {"Name", "Ёлка", 0, 4},
        {"Name", "ЁЛКА", loCaseInsensitive, 1},  // capital Cyrillic finds small, ё included
        {"Name", "ПЕТРОВ", loCaseInsensitive, 7},
        {"Name", "SMITH", loCaseInsensitive, 0},  // Latin letters are not folded
        {"Name", "Smith", loPartialKey, 6},
        {"Name", "", 0, 2},               // the present empty string
        {"Name", "", loPartialKey, 1},    // an empty partial key matches any value
        {"Name", "x", loPartialKey, 0},   // the empty string is shorter than the key
        {"Name", Variant::Null(), 0, 3},  // a null key finds the first column without a value
        {"Status", Variant::Null(), 0, 7},
        {"Day", Variant::FromDateTime(d), 0, 6},
        {" Status ; Name ", QList<Variant>{2, "smith"}, 0, 5},
        {"Status;Name", QList<Variant>{1, Variant::Null()}, 0, 0},
        {"Name;Status", QList<Variant>{Variant::Null(), 2}, 0, 3},
    };
    int index = 0;
    for (const LocateCase& c : cases) {
        SCOPED_TRACE(std::string(c.fields) + " case " + std::to_string(index++));
        t->First();
        EXPECT_EQ(t->Locate(c.fields, c.keys, c.options), c.id != 0);
        // Without a match the cursor stays on the first record.
        EXPECT_EQ(t->FieldByName("Id")->AsInteger(), c.id ? c.id : 1);
    }
}

TEST(Locate, FilterEventsAndErrors) {
    auto t = people();
    t->Open();
    t->SetFilter("Status = 2");
    t->SetFiltered(true);
    int before = 0, after = 0;
    t->BeforeScroll = [&](TDataSet*) { ++before; };
    t->AfterScroll = [&](TDataSet*) { ++after; };
    EXPECT_FALSE(t->Locate("Id", 4, 0));  // matches, but the filter rejects it
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
    EXPECT_TRUE(t->Locate("Name", "SMI", loCaseInsensitive | loPartialKey) == false);
    EXPECT_TRUE(t->Locate("Name", "smi", loPartialKey));
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 5);
    EXPECT_EQ(after, 1);

    FilledTable blobs({{"Data", ftBlob}});
    blobs.setObjectName("B");
    blobs.addRow({QByteArray("x")});
    blobs.Open();
    try {
        blobs.Locate("Data", QByteArray("x"), 0);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "TZMemTable.Locate.GetFieldSize(B): Неподдерживаемый тип поля ftBlob");
    }
    EXPECT_THROW(t->Locate("Id;;Name", QList<Variant>{1, 2, 3}, 0), EDatabaseError);
    EXPECT_THROW(t->Locate("Id;Name", 1, 0), EVariantError);
}

TEST(Locate, EveryFixedType) {
    FilledTable t({{"W", ftWord},
                   {"B", ftBoolean},
                   {"F", ftFloat},
                   {"C", ftCurrency},
                   {"T", ftTime},
                   {"DT", ftDateTime},
                   {"L", ftLargeint},
                   {"G", ftGuid, 38}});
    TDateTime day;
    TryEncodeDate(2020, 2, 29, day);
    TDateTime noon;
    TryEncodeTime(12, 0, 0, 0, noon);
    t.addRow({0, false, 0.0, 0.0, Variant::FromDateTime(0), Variant::FromDateTime(day), int64_t(0),
              "{00000000-0000-0000-0000-000000000001}"});
    t.addRow({65535, true, 2.5, 7.25, Variant::FromDateTime(noon),
              Variant::FromDateTime(day + noon), int64_t(1) << 50,
              "{12345678-9ABC-DEF0-1234-56789ABCDEF0}"});
    t.Open();
    const std::pair<const char*, Variant> keys[] = {
        {"W", 65535},
        {"B", true},
        {"F", 2.5},
        {"C", Variant::FromCurrency(7.25)},
        {"T", Variant::FromDateTime(noon)},
        {"DT", Variant::FromDateTime(day + noon)},
        {"L", int64_t(1) << 50},
        {"G", "{12345678-9abc-def0-1234-56789abcdef0}"},
    };
    for (const auto& [field, key] : keys) {
        SCOPED_TRACE(field);
        t.First();
        EXPECT_TRUE(t.Locate(field, key, 0));
        EXPECT_EQ(t.RecNo(), 2);
    }
}

}  // namespace

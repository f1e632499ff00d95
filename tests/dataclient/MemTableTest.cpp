// The in-memory table: record layout, navigation and counts, editing across clusters, value
// blocks, blob streams, field binding errors, filtering hooks and data-link notification.
#include "MemTableFixture.h"
#include "dataclient/UZFilterParser.h"
#include "platform/DataSource.h"

#include <gtest/gtest.h>

using namespace memtest;

namespace {

std::vector<Column> peopleColumns() {
    return {{"Id", ftInteger}, {"Name", ftString, 20}, {"Status", ftSmallint}};
}

// Ids 1..6; Name present-empty on 2 and null on 3.
void addPeople(FilledTable& t) {
    t.addRow({1, "Иванов", 2});
    t.addRow({2, "", 1});
    t.addRow({3, Variant::Null(), 2});
    t.addRow({4, "Петров", 0});
    t.addRow({5, "ёлка", 2});
    t.addRow({6, "Smith", 1});
}

std::unique_ptr<FilledTable> numbered(int count) {
    auto t = std::make_unique<FilledTable>(std::vector<Column>{{"Id", ftInteger}});
    for (int i = 0; i < count; ++i)
        t->addRow({i});
    return t;
}

TEST(MemTableLayout, ThreeAndNineColumns) {
    FilledTable three(peopleColumns());
    auto* calc = new TStringField(&three, 10);
    calc->FieldName = "Calc";
    calc->FieldKind = fkCalculated;
    for (const Column& c : peopleColumns()) {
        TField* f = CreateFieldOfType(c.type, &three, c.size);
        f->FieldName = c.name;
        f->SetDataSet(&three);
    }
    calc->SetDataSet(&three);
    three.addRow({7, "x", 1});
    three.Open();
    // One bitmap byte, then 4 + 4 + 2 bytes of slots; the calculated part has its own bitmap.
    EXPECT_EQ(three.MemFieldDefs()[0].Offset, 1);
    EXPECT_EQ(three.MemFieldDefs()[1].Offset, 5);
    EXPECT_EQ(three.MemFieldDefs()[2].Offset, 9);
    EXPECT_EQ(three.DataSize(), 11);
    EXPECT_EQ(three.MemFieldDefs()[3].Offset, 12);
    EXPECT_EQ(three.RecSize(), 16);
    EXPECT_EQ(uint8_t(three.Record(0)[0]), 0x07);

    std::vector<Column> nine;
    for (int i = 0; i < 9; ++i)
        nine.push_back({"C" + QString::number(i), ftSmallint});
    FilledTable t9(nine);
    QList<Variant> row;
    for (int i = 0; i < 9; ++i)
        row << (i == 8 ? Variant(42) : Variant::Null());
    t9.addRow(row);
    t9.Open();
    EXPECT_EQ(t9.MemFieldDefs()[0].Offset, 2);  // a two-byte bitmap
    EXPECT_EQ(t9.DataSize(), 2 + 9 * 2);
    EXPECT_EQ(uint8_t(t9.Record(0)[0]), 0);
    EXPECT_EQ(uint8_t(t9.Record(0)[1]), 1);  // column 8 is bit 0 of byte 1
    EXPECT_EQ(t9.FieldByName("C8")->AsInteger(), 42);
    EXPECT_TRUE(t9.FieldByName("C7")->IsNull());
}

TEST(MemTableLayout, UnsupportedTypeAndUnknownKindAreRejected) {
    FilledTable t({{"Amount", ftBCD}});
    t.setObjectName("T");
    try {
        t.Open();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "TZMemTable.CalcFieldOffset.GetTypeSize(T): Неподдерживаемый тип поля ftBCD");
    }
    EXPECT_FALSE(t.Active());
}

TEST(MemTableNavigation, EmptyTable) {
    FilledTable t(peopleColumns());
    t.Open();
    EXPECT_TRUE(t.Bof());
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.RecordCount(), 0);
    char* buf = t.activeBuffer();
    EXPECT_EQ(buf, nullptr);
    std::vector<char> scratch(size_t(t.RecSize()) + 5);
    for (TGetMode m : {gmCurrent, gmNext, gmPrior})
        EXPECT_EQ(t.GetRecord(scratch.data(), m, false), grBOF);
    EXPECT_FALSE(t.Locate("Id", 1, 0));
}

TEST(MemTableNavigation, WalkCountsAndRecNoWithFilter) {
    FilledTable t(peopleColumns());
    addPeople(t);
    t.Open();
    EXPECT_EQ(columnValues(t, "Id"), QStringList({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(t.RecNo(), 6);
    t.Prior();
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_EQ(t.MoveBy(-10), -4);
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 1);

    t.SetFilter("Status = 2");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(columnValues(t, "Id"), QStringList({"1", "3", "5"}));
    // RecNo is the physical position, also on the last accepted record after a failed Next.
    EXPECT_EQ(t.RecNo(), 5);
    t.SetRecNo(2);  // the second accepted record
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 3);
    EXPECT_EQ(t.RecNo(), 3);
    t.SetRecNo(4);  // there is none: nothing moves
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 3);
    t.Last();
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 5);

    t.SetFilter("Status = 1");
    EXPECT_EQ(t.RecordCount(), 2);  // the cached count follows the new text
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 6);
}

TEST(MemTableNavigation, BookmarkOfRejectedRecordLeavesCursor) {
    FilledTable t(peopleColumns());
    addPeople(t);
    t.Open();
    t.SetRecNo(2);
    const TBookmark second = t.Bookmark();
    t.SetRecNo(5);
    const TBookmark fifth = t.Bookmark();
    EXPECT_EQ(t.CompareBookmarks(second.constData(), fifth.constData()), -1);
    EXPECT_EQ(t.CompareBookmarks(nullptr, fifth.constData()), -1);
    EXPECT_EQ(t.CompareBookmarks(nullptr, nullptr), 0);
    t.SetFilter("Status = 2");
    t.SetFiltered(true);
    t.SetRecNo(3);          // Id 5
    t.SetBookmark(second);  // Id 2 has status 1
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 5);

    const int32_t outside = 99;
    t.setObjectName("T");
    try {
        t.SetBookmark(TBookmark(reinterpret_cast<const char*>(&outside), 4));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "TZMemTable.InternalGotoBookmark(T): BookMark 99 not found");
    }
}

TEST(MemTableEditing, InsertPositionsAppendAndDelete) {
    auto t = numbered(8);
    t->Open();
    t->Insert();  // on the first record: goes to the end
    t->FieldByName("Id")->SetAsInteger(100);
    t->Post();
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 100);
    EXPECT_EQ(t->RecNo(), 9);

    t->SetRecNo(6);  // index 5
    t->Insert();
    t->FieldByName("Id")->SetAsInteger(200);
    t->Post();
    EXPECT_EQ(t->RecNo(), 6);
    EXPECT_EQ(columnValues(*t, "Id"),
              QStringList({"0", "1", "2", "3", "4", "200", "5", "6", "7", "100"}));

    t->Append();
    t->FieldByName("Id")->SetAsInteger(300);
    t->Cancel();
    EXPECT_EQ(t->RecordCount(), 10);
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 100);

    t->SetRecNo(1);
    t->Delete();
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 1);
    t->Last();
    t->Delete();  // the cursor falls back onto the new last record
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 7);
    EXPECT_EQ(t->RecordCount(), 8);
}

TEST(MemTableEditing, ClustersGrowAndShrinkAtTheBoundary) {
    auto t = numbered(ClusterSize);
    t->Open();
    EXPECT_EQ(t->ClusterCount(), 1u);
    t->Append();
    t->FieldByName("Id")->SetAsInteger(ClusterSize);
    t->Post();
    EXPECT_EQ(t->ClusterCount(), 2u);
    EXPECT_EQ(t->RecordCount(), ClusterSize + 1);
    // An insert in the first cluster shifts a reference across the boundary.
    t->SetRecNo(2);
    t->Insert();
    t->FieldByName("Id")->SetAsInteger(-1);
    t->Post();
    t->SetRecNo(ClusterSize + 2);
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), ClusterSize);
    t->SetRecNo(2);
    t->Delete();
    t->Last();
    t->Delete();
    EXPECT_EQ(t->ClusterCount(), 1u);
    EXPECT_EQ(t->RecordCount(), ClusterSize);
    t->SetRecNo(ClusterSize);
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), ClusterSize - 1);
}

TEST(MemTableEditing, StringEditsShareAndReleaseBlocks) {
    FilledTable t(peopleColumns());
    addPeople(t);
    t.Open();
    const size_t stored = t.Blocks().LiveCount();
    t.Edit();
    t.FieldByName("Name")->SetAsString("Сидоров");
    EXPECT_TRUE(t.Modified());
    t.Cancel();
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "Иванов");
    t.Edit();
    t.FieldByName("Name")->SetAsString("Сидоров-Длинная-Фамилия-Обрезана");
    t.Post();
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "Сидоров-Длинная-Фами");  // 20 characters
    EXPECT_EQ(t.Blocks().LiveCount(), stored);
    t.Close();
    EXPECT_EQ(t.Blocks().LiveCount(), 0u);
}

TEST(MemTableEditing, WritingOutsideEditModeFails) {
    FilledTable t(peopleColumns());
    addPeople(t);
    t.Open();
    EXPECT_THROW(t.FieldByName("Id")->SetAsInteger(9), EDatabaseError);
    EXPECT_EQ(t.FieldByName("Id")->AsInteger(), 1);
    FilledTable closed(peopleColumns());
    EXPECT_THROW(closed.RecordCount(), EDatabaseError);
}

TEST(MemTableFields, EmptyValuesAndGuids) {
    FilledTable t({{"Name", ftString, 10}, {"G", ftGuid, 38}, {"Bytes", ftVarBytes, 4}});
    t.addRow({"", "{00000000-0000-0000-0000-000000000001}", QByteArray("abcdef")});
    t.addRow({"x", "{12345678-9ABC-DEF0-1234-56789ABCDEF0}", Variant::Null()});
    t.Open();
    TField* name = t.FieldByName("Name");
    EXPECT_FALSE(name->IsNull());  // present but empty: no block, bit set
    EXPECT_EQ(name->AsString(), "");
    EXPECT_EQ(t.FieldByName("G")->AsString(), "");  // first 32-bit part zero
    // A stored byte array longer than the field's size stops at the size.
    EXPECT_EQ(t.FieldByName("Bytes")->Value(), Variant(QByteArray("abcd")));
    t.Next();
    EXPECT_EQ(t.FieldByName("G")->AsString(), "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_TRUE(t.FieldByName("Bytes")->IsNull());
    t.Edit();
    t.FieldByName("G")->SetAsString("{AAAAAAAA-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_THROW(t.FieldByName("G")->SetAsString("not a guid"), EConvertError);
    t.Post();
    EXPECT_EQ(t.FieldByName("G")->AsString(), "{AAAAAAAA-9ABC-DEF0-1234-56789ABCDEF0}");
}

TEST(MemTableFields, PersistentFieldMismatches) {
    struct Case {
        const char* name;
        TFieldType type;
        int size;
        bool required;
        const char* message;
    };
    const Case cases[] = {
        {"Name", ftInteger, 0, false,
         "TMemTable.GetFieldOffset(T): Несовпадение типа у заданного и табличного полей Name"},
        {"Name", ftString, 5, false,
         "TMemTable.GetFieldOffset(T): Несовпадение размера у заданного и табличного полей Name"},
        {"Name", ftString, 0, true,
         "TMemTable.GetFieldOffset(T): Несовпадение признака обязательности у заданного и "
         "табличного полей Name"},
        {"Missing", ftString, 0, false, "TMemTable.GetFieldOffset(T): поле Missing не найдено!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        FilledTable t(peopleColumns());
        t.setObjectName("T");
        addPeople(t);
        TField* f = CreateFieldOfType(c.type, &t, c.size);
        f->FieldName = c.name;
        f->Required = c.required;
        f->SetDataSet(&t);
        t.Open();
        try {
            (void)f->AsString();
            FAIL();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_TRUE(t.Active());
    }
    // An integer field binds to an autoinc column.
    FilledTable t({{"Id", ftAutoInc}});
    t.addRow({5});
    auto* id = new TIntegerField(&t);
    id->FieldName = "ID";
    id->SetDataSet(&t);
    t.Open();
    EXPECT_EQ(id->AsInteger(), 5);
}

TEST(MemTableBlobs, StreamsReadWriteAndRefuse) {
    FilledTable t({{"Data", ftBlob}, {"Note", ftMemo}});
    t.addRow({QByteArray("hello"), "Привет"});
    t.Open();
    auto* data = static_cast<TBlobField*>(t.FieldByName("Data"));
    EXPECT_EQ(data->AsBytes(), QByteArray("hello"));
    EXPECT_EQ(t.FieldByName("Note")->AsString(), "Привет");
    EXPECT_THROW(t.CreateBlobStream(data, bmReadWrite), Exception);
    {
        auto read = t.CreateBlobStream(data, bmRead);
        try {
            read->Write("x", 1);
            FAIL();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "TZMemoryStream.Write: Operation not supported");
        }
    }
    const size_t before = t.Blocks().LiveCount();
    t.Edit();
    {
        auto w = t.CreateBlobStream(data, bmWrite);
        w->Write("abc", 3);
        w->Write("XYZW", 4);
        w->SetPosition(1);
        w->Write("-", 1);
    }
    EXPECT_EQ(data->AsBytes(), QByteArray("a-cXYZW"));
    { auto nothing = t.CreateBlobStream(t.FieldByName("Note"), bmWrite); }
    EXPECT_TRUE(t.FieldByName("Note")->IsNull());  // a write stream that wrote nothing
    t.Post();
    EXPECT_EQ(data->AsBytes(), QByteArray("a-cXYZW"));
    EXPECT_EQ(t.Blocks().LiveCount(), before - 1);                    // the memo's block went
    EXPECT_THROW(t.CreateBlobStream(data, bmWrite), EDatabaseError);  // not editing
}

TEST(MemTableFilter, FailedTextEmptyTextHandlerAndErrors) {
    FilledTable t(peopleColumns());
    addPeople(t);
    t.Open();
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 6);  // empty text accepts every record
    t.SetFilter("Status = ");       // incomplete: no tree, no error
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    t.SetFilter("Status = 'unterminated");
    EXPECT_EQ(t.RecordCount(), 0);
    t.SetFilter("   ");
    t.OnFilterRecord = [](TDataSet* ds, bool& accept) {
        accept = ds->FieldByName("Id")->AsInteger() % 2 == 0;
    };
    t.SetFiltered(true);
    EXPECT_EQ(columnValues(t, "Id"), QStringList({"2", "4", "6"}));
    t.OnFilterRecord = nullptr;

    // Evaluation errors go to the application's handler and the record is accepted.
    CapturedErrors errors;
    t.SetFilter("Nobody = 1");
    EXPECT_EQ(t.RecordCount(), 6);
    ASSERT_FALSE(errors.texts.isEmpty());
    EXPECT_EQ(errors.texts.first(), "Field 'Nobody' not found");

    // On a closed table the setters only store the value.
    t.Close();
    t.SetFilter("Status = 2");
    t.SetFiltered(false);
    t.SetFiltered(true);
    t.Open();
    EXPECT_EQ(t.RecordCount(), 3);
    t.Close();
    EXPECT_EQ(t.Blocks().LiveCount(), 0u);  // filter tests leave no reference behind
}

TEST(MemTableCalcFields, ComputedPerRecordAndFilterable) {
    FilledTable t({{"Id", ftInteger}, {"Name", ftString, 10}});
    for (int i = 1; i <= 4; ++i)
        t.addRow({i, "n" + QString::number(i)});
    auto* id = new TIntegerField(&t);
    id->FieldName = "Id";
    id->SetDataSet(&t);
    auto* name = new TStringField(&t, 10);
    name->FieldName = "Name";
    name->SetDataSet(&t);
    auto* label = new TStringField(&t, 20);
    label->FieldName = "Label";
    label->FieldKind = fkCalculated;
    label->SetDataSet(&t);
    t.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("Label")->SetAsString(ds->FieldByName("Name")->AsString() + "!");
    };
    t.Open();
    EXPECT_EQ(columnValues(t, "Label"), QStringList({"n1!", "n2!", "n3!", "n4!"}));
    t.SetFilter("Label = 'n3!'");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 1);
    t.Close();
    EXPECT_EQ(t.Blocks().LiveCount(), 0u);  // calculated strings released with the buffers
}

class CountingLink : public TDataLink {
public:
    int changes = 0, activeChanges = 0;

protected:
    void DataSetChanged() override { ++changes; }
    void ActiveChanged() override { ++activeChanges; }
};

TEST(MemTableLinks, EventsAndDisabledControls) {
    FilledTable t(peopleColumns());
    addPeople(t);
    TDataSource source;
    source.SetDataSet(&t);
    CountingLink link;
    link.SetDataSource(&source);
    t.Open();
    EXPECT_TRUE(link.Active());
    EXPECT_EQ(link.activeChanges, 1);
    int scrolls = 0;
    t.AfterScroll = [&](TDataSet*) { ++scrolls; };
    link.changes = 0;
    t.Next();
    EXPECT_EQ(link.changes, 1);
    t.DisableControls();
    t.Next();
    t.Next();
    EXPECT_EQ(link.changes, 1);
    t.EnableControls();
    EXPECT_EQ(link.changes, 2);
    EXPECT_EQ(scrolls, 3);
    TDataSource other;
    other.SetDataSet(&t);
    t.Close();
    EXPECT_FALSE(link.Active());
}

}  // namespace

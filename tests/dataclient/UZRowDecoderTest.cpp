// The result header and row-stream decoder on byte strings: bitmaps of 3 and 9 columns, every
// split position of a small stream, empty versus null strings, a stream cut inside a row,
// hostile headers and lengths, and the reply picking in Sequence order.
#include "DataSetDump.h"
#include "TestEnv.h"
#include "dataclient/UZRowDecoder.h"
#include "platform/Cp1251.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace dataclient;
using namespace platform;

namespace {

QByteArray le32(int32_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

template <typename T>
QByteArray raw(T v) {
    return QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
}

struct Col {
    uint8_t type;
    int32_t size;
    const char* name;
};

QByteArray header(const std::vector<Col>& cols) {
    QByteArray out = le32(int32_t(cols.size()));
    for (const Col& c : cols) {
        const QByteArray name = toCp1251(QString::fromUtf8(c.name));
        out += char(c.type);
        out += le32(c.size);
        out += char(name.size());
        out += name;
    }
    return out;
}

// One row: a value's wire bytes per column (a length prefix is added for text), none for null.
using Cell = std::optional<QByteArray>;
QByteArray text(const QString& s) {
    const QByteArray b = toCp1251(s);
    return le32(int32_t(b.size())) + b;
}
QByteArray row(const std::vector<Cell>& cells) {
    QByteArray bitmap((int(cells.size()) + 7) / 8, '\0');
    QByteArray values;
    for (size_t k = 0; k < cells.size(); ++k)
        if (cells[k]) {
            bitmap[int(k / 8)] = char(uint8_t(bitmap[int(k / 8)]) | (1u << (k % 8)));
            values += *cells[k];
        }
    return bitmap + values;
}

// A table filled by the decoder from a header and row-stream parts, then opened.
class DecodedTable : public TZMemTable {
public:
    DecodedTable() : decoder(*this, FDataSize) {}
    ~DecodedTable() override { decoder.Abandon(); }

    void feed(const QByteArray& head, const std::vector<QByteArray>& parts) {
        FHead = head;
        FParts = parts;
        Open();
    }
    TZRowDecoder decoder;

protected:
    void InternalOpen() override {
        decoder.DecodeHeader(reinterpret_cast<const uint8_t*>(FHead.constData()),
                             size_t(FHead.size()), true);
        for (const QByteArray& part : FParts)
            decoder.DecodeRows(reinterpret_cast<const uint8_t*>(part.constData()),
                               size_t(part.size()));
        decoder.Finish();
        TZMemTable::InternalOpen();
    }

private:
    QByteArray FHead;
    std::vector<QByteArray> FParts;
};

using testenv::dump;

const std::vector<Col> kSmall = {
    {ftInteger, 0, "ID"}, {ftString, 20, "Name"}, {ftSmallint, 0, "S"}};

QByteArray smallStream() {
    return row({raw<int32_t>(1), text("Иванов"), raw<int16_t>(2)}) +
           row({raw<int32_t>(2), text(""), std::nullopt}) +
           row({std::nullopt, std::nullopt, raw<int16_t>(-3)});
}

const QStringList kSmallRows = {"1|Иванов|2", "2||~", "~|~|-3"};

TEST(RowDecoder, ThreeColumnsOneBitmapByteAndNineColumnsTwo) {
    DecodedTable three;
    three.feed(header(kSmall), {smallStream()});
    EXPECT_EQ(three.DataSize(), 1 + 4 + 4 + 2);
    EXPECT_EQ(dump(three), kSmallRows);

    std::vector<Col> cols;
    std::vector<Cell> cells;
    static const char* names[] = {"c0", "c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8"};
    for (int k = 0; k < 9; ++k) {
        cols.push_back({ftInteger, 0, names[k]});
        cells.push_back(k == 3 ? Cell() : Cell(raw<int32_t>(k * 10)));
    }
    DecodedTable nine;
    nine.feed(header(cols), {row(cells)});
    EXPECT_EQ(nine.DataSize(), 2 + 9 * 4);
    EXPECT_EQ(dump(nine), QStringList{"0|10|20|~|40|50|60|70|80"});
}

TEST(RowDecoder, EverySplitOfASmallStreamDecodesTheSame) {
    // Two cuts anywhere, covering cuts inside bitmaps, length prefixes (1 + 3 among them) and
    // values, and empty parts.
    const QByteArray stream = smallStream();
    for (int i = 0; i <= stream.size(); ++i)
        for (int j = i; j <= stream.size(); ++j) {
            DecodedTable t;
            t.feed(header(kSmall), {stream.left(i), stream.mid(i, j - i), stream.mid(j)});
            ASSERT_EQ(dump(t), kSmallRows) << i << "," << j;
        }
}

TEST(RowDecoder, EmptyStringKeepsItsBitWithoutABlockAndNullClearsIt) {
    DecodedTable t;
    t.feed(header(kSmall), {smallStream()});
    EXPECT_EQ(t.Blocks().LiveCount(), 1u);  // only "Иванов"
    const char* empty = t.Record(1);
    const char* null = t.Record(2);
    EXPECT_EQ(uint8_t(empty[0]) & 2, 2);
    EXPECT_EQ(getU32(reinterpret_cast<const uint8_t*>(empty) + 5), 0u);
    EXPECT_EQ(uint8_t(null[0]) & 2, 0);
}

TEST(RowDecoder, StreamCutInsideARowKeepsThePartialRow) {
    const QByteArray full = row({raw<int32_t>(7), text("abcdef"), raw<int16_t>(1)});
    DecodedTable t;
    // Cut inside the text value: its missing bytes stay zero, the last column stays zero.
    t.feed(header(kSmall), {full.left(1 + 4 + 4 + 3)});
    ASSERT_EQ(t.RecordCount(), 1);
    t.First();
    EXPECT_EQ(t.FieldByName("ID")->AsInteger(), 7);
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "abc");
    EXPECT_EQ(t.FieldByName("S")->AsInteger(), 0);
}

TEST(RowDecoder, HostileHeadersRaise) {
    struct Case {
        const char* what;
        QByteArray head;
        QString text;
    };
    const QString malformed = MalformedResultText();
    const Case cases[] = {
        {"short", QByteArray("\x01\x00", 2), malformed},
        {"negative count", le32(-1), malformed},
        {"count beyond the payload", le32(1000) + header({{ftInteger, 0, "a"}}).mid(4), malformed},
        {"name beyond the payload", header({{ftInteger, 0, "abc"}}).chopped(1), malformed},
        {"negative size", header({{ftString, -5, "a"}}), malformed},
        {"size a string field cannot hold", header({{ftString, kMaxDeclaredSize + 1, "a"}}),
         malformed},
        {"unsupported type", header({{ftBCD, 0, "a"}}),
         "TZTable.SetActive: Неподдерживаемый тип поля ftBCD"},
        {"code beyond the names", header({{200, 0, "a"}}),
         "TZTable.SetActive: Неподдерживаемый тип поля 200"},
    };
    for (const Case& c : cases) {
        DecodedTable t;
        try {
            t.feed(c.head, {});
            ADD_FAILURE() << c.what;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.text) << c.what;
        }
        EXPECT_FALSE(t.Active()) << c.what;
    }
}

TEST(RowDecoder, HostileLengthStopsTheStream) {
    for (int32_t bad : {-1, kMaxValueLength + 1}) {
        DecodedTable t;
        const QByteArray good = row({raw<int32_t>(1), text("x"), std::nullopt});
        const QByteArray evil = QByteArray("\x02", 1) + le32(bad) + "rest";
        t.feed(header(kSmall), {good + evil, good});
        EXPECT_TRUE(t.decoder.Malformed());
        EXPECT_EQ(t.RecordCount(), 1);  // the partial record was released, not kept
        EXPECT_EQ(t.Blocks().LiveCount(), 1u);
    }
}

TEST(RowDecoder, ZeroColumnsSwallowRowBytes) {
    DecodedTable t;
    t.feed(header({}), {QByteArray(100, '\x01')});
    EXPECT_EQ(t.RecordCount(), 0);
}

TEST(RowDecoder, AbandonReleasesAPartlyBuiltValue) {
    DecodedTable t;
    const QByteArray head = header(kSmall);
    t.decoder.DecodeHeader(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()),
                           false);
    const QByteArray part = row({raw<int32_t>(1), text("abcdef"), std::nullopt}).left(10);
    EXPECT_TRUE(t.decoder.DecodeRows(reinterpret_cast<const uint8_t*>(part.constData()),
                                     size_t(part.size())));
    EXPECT_TRUE(t.decoder.InsideRow());
    EXPECT_EQ(t.Blocks().LiveCount(), 1u);
    t.decoder.Abandon();
    EXPECT_EQ(t.Blocks().LiveCount(), 0u);
}

TEST(RowDecoder, RepairFSLCopiesTheColumnSizeToAPersistentStringField) {
    DecodedTable t;
    auto* id = CreateFieldOfType(ftInteger, &t, 0);
    id->FieldName = "ID";
    id->SetDataSet(&t);
    auto* name = new TStringField(&t, 5);
    name->FieldName = "Name";
    name->SetDataSet(&t);
    auto* s = CreateFieldOfType(ftSmallint, &t, 0);
    s->FieldName = "S";
    s->SetDataSet(&t);
    t.feed(header(kSmall), {smallStream()});
    EXPECT_EQ(name->Size(), 20);
    EXPECT_EQ(dump(t), kSmallRows);
}

PacketPtr reply(int32_t kind, int32_t sequence = 1) {
    auto p = std::make_unique<Packet>(wire::kHeaderSize);
    p->SetKind(kind);
    p->SetSequence(sequence);
    return p;
}

// The order PickReply hands out packets arriving in the given order (kind, sequence).
QList<QPair<int, int>> pickOrder(const QList<QPair<int, int>>& arrivals) {
    std::vector<PacketPtr> replies;
    for (auto [kind, seq] : arrivals)
        replies.push_back(reply(kind, seq));
    QList<QPair<int, int>> order;
    int seen = 0;
    while (PacketPtr p = PickReply(replies, seen))
        order.append({p->Kind(), p->Sequence()});
    return order;
}

TEST(ReplyPicking, HeaderThenRowsInSequenceOrder) {
    using L = QList<QPair<int, int>>;
    // 134 before 133, and 2 before 1: decoded as header, 1, 2.
    EXPECT_EQ(pickOrder({{134, 2}, {134, 1}, {133, 1}}), (L{{133, 1}, {134, 1}, {134, 2}}));
    // Other kinds are picked where they stand; a row that never fits stays behind.
    EXPECT_EQ(pickOrder({{134, 3}, {-1, 1}, {133, 1}, {134, 1}}), (L{{-1, 1}, {133, 1}, {134, 1}}));
    EXPECT_EQ(pickOrder({{135, 1}}), (L{{135, 1}}));
    // Rows without a header wait.
    EXPECT_EQ(pickOrder({{134, 1}}), L{});
}

}  // namespace

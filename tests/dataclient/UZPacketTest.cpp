// Packet layout, masking and validation on byte strings; login and error records; server error
// texts.
#include "dataclient/UZPacket.h"
#include "dataclient/UZarinMemoryConnection.h"

#include "TestEnv.h"

#include <gtest/gtest.h>

using namespace dataclient;

namespace {

QByteArray bytesOf(const Packet& p) {
    return QByteArray(reinterpret_cast<const char*>(p.Data()), p.Size());
}

// A packet as the server would put it on the wire.
QByteArray wirePacket(int32_t kind, const QByteArray& payload, uint8_t key = 0x5A) {
    return bytesOf(*buildPacket(makeClientNameField("KTS"), kind, payload, key));
}

void setU32(QByteArray& b, int offset, uint32_t v) {
    putU32(reinterpret_cast<uint8_t*>(b.data()) + offset, v);
}

}  // namespace

TEST(UZPacket, BuildPacketFillsTheHeaderAndMasksThePayload) {
    auto p = buildPacket(makeClientNameField("Оператор"), 33, QByteArray("\x01\x02\xFF", 3), 0x10);
    const QByteArray b = bytesOf(*p);
    ASSERT_EQ(b.size(), 69);
    EXPECT_EQ(p->Length(), 69);
    EXPECT_EQ(p->Kind(), 33);
    EXPECT_EQ(p->Check(), 69 + 8735421);
    EXPECT_EQ(uint8_t(b[12]), 8);                                             // name length byte
    EXPECT_EQ(b.mid(13, 8), QByteArray("\xCE\xEF\xE5\xF0\xE0\xF2\xEE\xF0"));  // Windows-1251
    EXPECT_EQ(b.mid(21, 13), QByteArray(13, '\0'));  // rest of the name field zero
    EXPECT_EQ(p->Sequence(), 1);
    EXPECT_EQ(p->Final(), 255);
    EXPECT_EQ(p->Priority(), 255);
    EXPECT_EQ(p->Key(), 0x10);
    EXPECT_EQ(p->ChainCount(), 0);
    EXPECT_EQ(b.mid(66), QByteArray("\x11\x12\xEF", 3));
    EXPECT_EQ(p->Checksum(), uint8_t(0x11 ^ 0x12 ^ 0xEF));
}

TEST(UZPacket, ClientNameKeepsTwentyOneCharacters) {
    auto field = makeClientNameField(QString(30, QChar('N')));
    EXPECT_EQ(field[0], 21);
    EXPECT_EQ(field[21], 'N');
}

TEST(UZPacket, PushChainAppendsUpToFiveIdentities) {
    auto p = buildPacket({}, 5, {}, 0);
    for (uint32_t id = 1; id <= 5; ++id)
        EXPECT_TRUE(PushChain(*p, id * 100));
    EXPECT_FALSE(PushChain(*p, 600));
    EXPECT_EQ(p->ChainCount(), 5);
    EXPECT_EQ(p->Chain(0), 100u);
    EXPECT_EQ(p->Chain(4), 500u);
    EXPECT_EQ(getU32(p->Data() + 46 + 16), 500u);  // Chain[4] at offset 62
}

TEST(UZPacket, ReadPacketUnmasksAValidPacket) {
    TZarinMemoryConnection in(wirePacket(150, QByteArray("\x02zz", 3)) + wirePacket(268, {}));
    int stamps = 0;
    ReadOutcome first = readPacket(in, [&] { ++stamps; });
    ASSERT_TRUE(first.packet) << first.error.toStdString();
    EXPECT_EQ(first.packet->Kind(), 150);
    EXPECT_EQ(first.packet->PayloadBytes(), QByteArray("\x02zz", 3));
    EXPECT_EQ(first.packet->Key(), 0);
    EXPECT_EQ(first.packet->Checksum(), 0);
    EXPECT_EQ(first.packet->ClientName(), QByteArray("KTS"));
    EXPECT_EQ(stamps, 4);  // three header words and the body
    // No payload: checksum 0 always passes.
    ReadOutcome second = readPacket(in);
    ASSERT_TRUE(second.packet);
    EXPECT_EQ(second.packet->Kind(), 268);
}

TEST(UZPacket, ReadPacketRejectsBadPackets) {
    struct Case {
        const char* name;
        std::function<void(QByteArray&)> spoil;
        ReadFault fault;
        QString text;
    };
    const QString length = "Ошибка длины принятого пакета";
    const Case cases[] = {
        {"length 65 with matching check",
         [](QByteArray& b) {
             setU32(b, 0, 65);
             setU32(b, 8, 65 + 8735421);
         },
         ReadFault::Length, length},
        {"check off by one", [](QByteArray& b) { setU32(b, 8, 70 + 8735421 + 1); },
         ReadFault::Length, length},
        // Mended: without a ceiling one header could make the reader allocate 2 GiB.
        {"length above the ceiling",
         [](QByteArray& b) {
             setU32(b, 0, 64 * 1024 * 1024 + 1);
             setU32(b, 8, 64 * 1024 * 1024 + 1 + 8735421);
         },
         ReadFault::Length, length},
        // A Check that cannot be formed in 32 bits never matches.
        {"length whose check overflows",
         [](QByteArray& b) {
             setU32(b, 0, 0x7FFFFFFF);
             setU32(b, 8, uint32_t(0x7FFFFFFFu + 8735421u));
         },
         ReadFault::Length, length},
        {"client name length 22", [](QByteArray& b) { b[12] = 22; }, ReadFault::ClientName,
         "Ошибка длины имени клиента"},
        {"one payload bit flipped", [](QByteArray& b) { b[67] = char(b[67] ^ 0x04); },
         ReadFault::Checksum, "Ошибка контрольной суммы в принятом пакете"},
        {"checksum byte flipped", [](QByteArray& b) { b[41] = char(b[41] ^ 0x01); },
         ReadFault::Checksum, "Ошибка контрольной суммы в принятом пакете"},
        {"cut inside the body", [](QByteArray& b) { b.chop(1); }, ReadFault::Connection,
         "LAN_ERROR 00000000"},
        {"cut inside the header words", [](QByteArray& b) { b.truncate(6); }, ReadFault::Connection,
         "LAN_ERROR 00000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = wirePacket(134, QByteArray("abcd"));  // 70 bytes
        c.spoil(bytes);
        TZarinMemoryConnection in(bytes);
        ReadOutcome out = readPacket(in);
        EXPECT_FALSE(out.packet);
        EXPECT_EQ(out.fault, c.fault);
        EXPECT_EQ(out.error, c.text);
    }
}

TEST(UZPacket, LoginRecordCarriesNineCharactersOfThePassword) {
    LoginRecord record;
    record.mode = 2;
    record.clientType = 3;
    for (int i = 0; i < 16; ++i)
        record.guid[size_t(i)] = uint8_t(i + 1);
    record.password = "123456789ABC";
    const QByteArray bytes = encodeLoginRecord(record);
    ASSERT_EQ(bytes.size(), 28);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(bytes[2], 1);
    EXPECT_EQ(bytes[17], 16);
    EXPECT_EQ(bytes[18], 9);
    EXPECT_EQ(bytes.mid(19), QByteArray("123456789"));
    LoginRecord back;
    ASSERT_TRUE(decodeLoginRecord(bytes, &back));
    EXPECT_EQ(back.password, QByteArray("123456789"));
    EXPECT_EQ(back.guid, record.guid);
    EXPECT_FALSE(decodeLoginRecord(bytes.left(27), &back));
}

TEST(UZPacket, ServerErrorTexts) {
    auto reply = [](int32_t kind, const QByteArray& payload = {}) {
        auto p = std::make_unique<Packet>(int32_t(66 + payload.size()));
        p->SetKind(kind);
        std::memcpy(p->Payload(), payload.constData(), size_t(payload.size()));
        return p;
    };
    const QByteArray record = encodeErrorRecord("нет таблицы");
    struct Case {
        int32_t kind;
        QByteArray payload;
        QString text;
    };
    const Case cases[] = {
        {-1, record, "При выполнении SQL запроса возникла ошибка: нет таблицы"},
        {-5, record, "Не удалось начать транзакцию: нет таблицы"},
        {-6, record, "Не удалось подтвердить изменения: нет таблицы"},
        {-7, record, "Не удалось сделать откат: нет таблицы"},
        {-3, {}, "Не удалось получить соединение с базой данных"},
        {-4, {}, "Запрос не поддерживается"},
        {-9, {}, "Неверная структура запроса"},
        {-10, {}, "Не удалось прочитать файл prdv"},
        {-11, {}, "Не найдена Dll"},
        {-12, {}, "Не найдена процедура"},
        {-13, {}, "При выполнении хранимой процедуры возникла ошибка"},
        {-14, {}, "Не удалось получить ID"},
        {-15, {}, "Ошибка при выполнении одного из SQL - запросов"},
        {-16, {}, "Ошибка при захвате / освобождении сессии"},
        {-17, {}, "Ошибка при изменении параметров БД - есть занятые соединения"},
        {-2, {}, "Код ошибки -2"},
        {268, {}, "Код ошибки 268"},
        // An error record that claims more text than the reply holds.
        {-1, record.left(6), "Ошибка возникла при расшифровке ошибки"},
        {-5, {}, "Ошибка возникла при расшифровке ошибки"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(ServerErrorText(reply(c.kind, c.payload)), c.text);
    }
}

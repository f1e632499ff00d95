// Packet building, reading and validation.
#include "dataclient/UZPacket.h"

#include "dataclient/UZarinAbstracts.h"
#include "platform/Cp1251.h"

#include <cstring>
#include <random>

namespace dataclient {

ClientNameField makeClientNameField(const QString& name) {
    ClientNameField field{};
    QByteArray bytes = platform::toCp1251(name.left(wire::kMaxClientName));
    field[0] = uint8_t(bytes.size());
    std::memcpy(field.data() + 1, bytes.constData(), size_t(bytes.size()));
    return field;
}

Packet::Packet(int32_t length) : FBytes(size_t(std::max(length, wire::kHeaderSize)), 0) {
    SetLengthField(int32_t(FBytes.size()));
    SetCheck(int32_t(int64_t(FBytes.size()) + wire::kCheckMagic));
}

QByteArray Packet::ClientName() const {
    int n = FBytes[wire::kOffClientName];
    if (n > wire::kMaxClientName)
        return {};
    return QByteArray(reinterpret_cast<const char*>(FBytes.data() + wire::kOffClientName + 1), n);
}

void Packet::SetClientName(const ClientNameField& field) {
    std::memcpy(FBytes.data() + wire::kOffClientName, field.data(), field.size());
}

void Packet::CopyChain(const Packet& from) {
    std::memcpy(FBytes.data() + wire::kOffChainCount, from.Data() + wire::kOffChainCount,
                size_t(wire::kHeaderSize - wire::kOffChainCount));
}

uint8_t maskPayload(Packet& packet) {
    const uint8_t key = packet.Key();
    uint8_t sum = 0;
    uint8_t* p = packet.Payload();
    for (int32_t i = 0, n = packet.PayloadSize(); i < n; ++i) {
        p[i] ^= key;
        sum ^= p[i];
    }
    return sum;
}

PacketPtr buildPacket(const ClientNameField& name, int32_t kind, const QByteArray& payload,
                      uint8_t key) {
    auto packet = std::make_unique<Packet>(int32_t(wire::kHeaderSize + payload.size()));
    packet->SetKind(kind);
    packet->SetClientName(name);
    packet->SetSequence(1);
    packet->SetFinal(wire::kFinalMark);
    packet->SetPriority(wire::kDefaultPriority);
    packet->SetKey(key);
    if (!payload.isEmpty())
        std::memcpy(packet->Payload(), payload.constData(), size_t(payload.size()));
    packet->SetChecksum(maskPayload(*packet));
    return packet;
}

uint8_t randomKey() {
    thread_local std::minstd_rand engine{std::random_device{}()};
    return uint8_t(std::uniform_int_distribution<int>(0, wire::kMaxKey)(engine));
}

bool PushChain(Packet& packet, uint32_t commandId) {
    const int32_t n = packet.ChainCount();
    if (n < 0 || n >= wire::kMaxChain)
        return false;
    packet.SetChain(n, commandId);
    packet.SetChainCount(n + 1);
    return true;
}

QString lengthErrorText() {
    return QStringLiteral("Ошибка длины принятого пакета");
}
QString clientNameErrorText() {
    return QStringLiteral("Ошибка длины имени клиента");
}
QString checksumErrorText() {
    return QStringLiteral("Ошибка контрольной суммы в принятом пакете");
}

namespace {

ReadOutcome failure(ReadFault fault, QString text) {
    ReadOutcome out;
    out.fault = fault;
    out.error = std::move(text);
    return out;
}

}  // namespace

ReadOutcome readPacket(TZarinAbstractConnection& connection,
                       const std::function<void()>& onReceived) {
    uint8_t words[12];
    for (int i = 0; i < 3; ++i) {
        if (connection.Read(words + 4 * i, 4) != 4 || !connection.LastError().isEmpty())
            return failure(ReadFault::Connection, connection.LastError());
        if (onReceived)
            onReceived();
    }
    const int32_t length = int32_t(getU32(words));
    const int32_t check = int32_t(getU32(words + 8));
    // The sum is formed in 64 bits, so a length whose Check would not fit in 32 bits fails.
    if (int64_t(length) + wire::kCheckMagic != int64_t(check) || length < wire::kHeaderSize ||
        length > wire::kMaxPacketLength)
        return failure(ReadFault::Length, lengthErrorText());

    auto packet = std::make_unique<Packet>(length);
    std::memcpy(packet->Data(), words, sizeof words);
    const int32_t rest = length - 12;
    if (connection.Read(packet->Data() + 12, rest) != rest || !connection.LastError().isEmpty())
        return failure(ReadFault::Connection, connection.LastError());
    if (packet->Data()[wire::kOffClientName] > wire::kMaxClientName)
        return failure(ReadFault::ClientName, clientNameErrorText());
    if (onReceived)
        onReceived();
    // The stored checksum XOR every masked byte is zero for an intact payload.
    const uint8_t sum = packet->Checksum() ^ [&] {
        uint8_t x = 0;
        const uint8_t* p = packet->Payload();
        for (int32_t i = 0, n = packet->PayloadSize(); i < n; ++i)
            x ^= p[i];
        return x;
    }();
    if (sum != 0)
        return failure(ReadFault::Checksum, checksumErrorText());
    maskPayload(*packet);
    packet->SetKey(0);
    packet->SetChecksum(0);
    ReadOutcome out;
    out.packet = std::move(packet);
    return out;
}

QByteArray encodeLoginRecord(const LoginRecord& record) {
    QByteArray out(wire::kLoginRecordSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    p[wire::kLoginMode] = record.mode;
    p[wire::kLoginClientType] = record.clientType;
    std::memcpy(p + wire::kLoginGuid, record.guid.data(), record.guid.size());
    const int n = int(std::min<qsizetype>(wire::kMaxPassword, record.password.size()));
    p[wire::kLoginPasswordLength] = uint8_t(n);
    std::memcpy(p + wire::kLoginPassword, record.password.constData(), size_t(n));
    return out;
}

bool decodeLoginRecord(const QByteArray& payload, LoginRecord* record) {
    if (payload.size() < wire::kLoginRecordSize)
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(payload.constData());
    record->mode = p[wire::kLoginMode];
    record->clientType = p[wire::kLoginClientType];
    std::memcpy(record->guid.data(), p + wire::kLoginGuid, record->guid.size());
    const int n = std::min<int>(wire::kMaxPassword, p[wire::kLoginPasswordLength]);
    record->password = payload.mid(wire::kLoginPassword, n);
    return true;
}

QByteArray encodeErrorRecord(const QString& text) {
    const QByteArray bytes = platform::toCp1251(text);
    QByteArray out(4, '\0');
    putU32(reinterpret_cast<uint8_t*>(out.data()), uint32_t(bytes.size()));
    return out + bytes;
}

bool decodeErrorRecord(const QByteArray& payload, QString* text) {
    if (payload.size() < 4)
        return false;
    const int64_t n = int32_t(getU32(reinterpret_cast<const uint8_t*>(payload.constData())));
    if (n < 0 || n > payload.size() - 4)
        return false;
    *text = platform::fromCp1251(payload.mid(4, qsizetype(n)));
    return true;
}

QString ServerErrorText(PacketPtr reply) {
    if (!reply)
        return QStringLiteral("Ошибка возникла при расшифровке ошибки");
    const int32_t code = reply->Kind();
    const char* prefix = nullptr;
    switch (code) {
        case -1:
            prefix = "При выполнении SQL запроса возникла ошибка: ";
            break;
        case -5:
            prefix = "Не удалось начать транзакцию: ";
            break;
        case -6:
            prefix = "Не удалось подтвердить изменения: ";
            break;
        case -7:
            prefix = "Не удалось сделать откат: ";
            break;
        case -3:
            return QStringLiteral("Не удалось получить соединение с базой данных");
        case -4:
            return QStringLiteral("Запрос не поддерживается");
        case -9:
            return QStringLiteral("Неверная структура запроса");
        case -10:
            return QStringLiteral("Не удалось прочитать файл prdv");
        case -11:
            return QStringLiteral("Не найдена Dll");
        case -12:
            return QStringLiteral("Не найдена процедура");
        case -13:
            return QStringLiteral("При выполнении хранимой процедуры возникла ошибка");
        case -14:
            return QStringLiteral("Не удалось получить ID");
        case -15:
            return QStringLiteral("Ошибка при выполнении одного из SQL - запросов");
        case -16:
            return QStringLiteral("Ошибка при захвате / освобождении сессии");
        case -17:
            return QStringLiteral("Ошибка при изменении параметров БД - есть занятые соединения");
        default:
            return QStringLiteral("Код ошибки ") + QString::number(code);
    }
    QString text;
    if (!decodeErrorRecord(reply->PayloadBytes(), &text))
        return QStringLiteral("Ошибка возникла при расшифровке ошибки");
    return QString::fromUtf8(prefix) + text;
}

}  // namespace dataclient

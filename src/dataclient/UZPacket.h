// One packet of the data-server protocol as a single heap block (66-byte header + payload), and
// the pieces of the protocol that do not depend on a session: building and masking, reading and
// validating a packet from a connection, login and error records, server error texts. The client
// session and the stand-in server both use this code; docs/protocol.md describes the format.
//
// Thread contract: a Packet has one owner at a time and no locking of its own. The functions are
// reentrant; readPacket blocks on its connection.
#pragma once

#include "dataclient/UZProtocol.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace dataclient {

class TZarinAbstractConnection;

// Little-endian access to packed integers.
inline uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void putU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline uint16_t getU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The 22-byte client-name field of the header: length byte, then at most 21 characters.
using ClientNameField = std::array<uint8_t, wire::kClientNameField>;
ClientNameField makeClientNameField(const QString& name);

class Packet {
public:
    // A zeroed packet of the given whole length (at least the header); Length and Check are set.
    explicit Packet(int32_t length);

    int32_t Length() const { return int32_t(getU32(FBytes.data() + wire::kOffLength)); }
    int32_t Kind() const { return int32_t(getU32(FBytes.data() + wire::kOffKind)); }
    int32_t Check() const { return int32_t(getU32(FBytes.data() + wire::kOffCheck)); }
    int32_t Sequence() const { return int32_t(getU32(FBytes.data() + wire::kOffSequence)); }
    uint8_t Final() const { return FBytes[wire::kOffFinal]; }
    uint8_t Priority() const { return FBytes[wire::kOffPriority]; }
    uint8_t Key() const { return FBytes[wire::kOffKey]; }
    uint8_t Checksum() const { return FBytes[wire::kOffChecksum]; }
    int32_t ChainCount() const { return int32_t(getU32(FBytes.data() + wire::kOffChainCount)); }
    uint32_t Chain(int index) const { return getU32(FBytes.data() + wire::kOffChain + 4 * index); }
    // The name characters (without the length byte), as sent; empty if the length is out of range.
    QByteArray ClientName() const;

    void SetKind(int32_t kind) { putU32(FBytes.data() + wire::kOffKind, uint32_t(kind)); }
    void SetCheck(int32_t check) { putU32(FBytes.data() + wire::kOffCheck, uint32_t(check)); }
    void SetLengthField(int32_t length) {
        putU32(FBytes.data() + wire::kOffLength, uint32_t(length));
    }
    void SetSequence(int32_t n) { putU32(FBytes.data() + wire::kOffSequence, uint32_t(n)); }
    void SetFinal(uint8_t v) { FBytes[wire::kOffFinal] = v; }
    void SetPriority(uint8_t v) { FBytes[wire::kOffPriority] = v; }
    void SetKey(uint8_t v) { FBytes[wire::kOffKey] = v; }
    void SetChecksum(uint8_t v) { FBytes[wire::kOffChecksum] = v; }
    void SetChainCount(int32_t n) { putU32(FBytes.data() + wire::kOffChainCount, uint32_t(n)); }
    void SetChain(int index, uint32_t id) {
        putU32(FBytes.data() + wire::kOffChain + 4 * index, id);
    }
    void SetClientName(const ClientNameField& field);
    // Copies ChainCount and Chain from another packet (a reply carries its request's chain).
    void CopyChain(const Packet& from);

    uint8_t* Data() { return FBytes.data(); }
    const uint8_t* Data() const { return FBytes.data(); }
    int32_t Size() const { return int32_t(FBytes.size()); }
    uint8_t* Payload() { return FBytes.data() + wire::kHeaderSize; }
    const uint8_t* Payload() const { return FBytes.data() + wire::kHeaderSize; }
    int32_t PayloadSize() const { return int32_t(FBytes.size()) - wire::kHeaderSize; }
    QByteArray PayloadBytes() const {
        return QByteArray(reinterpret_cast<const char*>(Payload()), PayloadSize());
    }

private:
    std::vector<uint8_t> FBytes;
};

using PacketPtr = std::unique_ptr<Packet>;

// A request-form packet: Sequence 1, Final and Priority 255, ChainCount 0, the payload masked with
// key and the checksum computed over the masked bytes.
PacketPtr buildPacket(const ClientNameField& name, int32_t kind, const QByteArray& payload,
                      uint8_t key);
// A uniformly drawn key in 0..254.
uint8_t randomKey();
// Masks (or unmasks) the payload with the packet's Key and returns the XOR of the masked bytes.
uint8_t maskPayload(Packet& packet);
// Appends a command identity to the chain; false when the chain is already full.
bool PushChain(Packet& packet, uint32_t commandId);

// Why readPacket gave no packet.
enum class ReadFault { None, Connection, Length, ClientName, Checksum };

struct ReadOutcome {
    PacketPtr packet;  // validated, payload unmasked, Key and Checksum 0
    ReadFault fault = ReadFault::None;
    QString error;  // the text to report; empty on success
};

// Reads one packet and validates it: Check and the length bounds, the client-name length byte,
// the payload checksum. onReceived runs after every successful read of header words and after the
// packet body arrived (the session's last-receive time stamp).
ReadOutcome readPacket(TZarinAbstractConnection& connection,
                       const std::function<void()>& onReceived = {});

// The texts reported for bad packets.
QString lengthErrorText();
QString clientNameErrorText();
QString checksumErrorText();

// Login record (28 bytes).
struct LoginRecord {
    uint8_t mode = 0;
    uint8_t clientType = 0;
    std::array<uint8_t, 16> guid{};
    QByteArray password;  // at most 9 bytes, code page 1251
};
QByteArray encodeLoginRecord(const LoginRecord& record);
bool decodeLoginRecord(const QByteArray& payload, LoginRecord* record);

// Error record: int32 length + text in code page 1251.
QByteArray encodeErrorRecord(const QString& text);
bool decodeErrorRecord(const QByteArray& payload, QString* text);

// The exception text for a server error reply; takes ownership of the reply and frees it.
QString ServerErrorText(PacketPtr reply);

}  // namespace dataclient

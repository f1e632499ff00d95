// The numbers of the data-server protocol: packet header layout, request and reply kinds, login
// record layout, limits. Shared by the client library and the stand-in server ktsd, so that both
// sides read one definition; docs/protocol.md describes the same format in prose.
// Thread contract: constants only.
#pragma once

#include <cstdint>

namespace dataclient::wire {

// Header layout: byte offsets of the fields, all integers little-endian, packed.
inline constexpr int kOffLength = 0;
inline constexpr int kOffKind = 4;
inline constexpr int kOffCheck = 8;
inline constexpr int kOffClientName = 12;  // length byte + up to 21 characters, 22 bytes in all
inline constexpr int kOffSequence = 34;
inline constexpr int kOffFinal = 38;
inline constexpr int kOffPriority = 39;
inline constexpr int kOffKey = 40;
inline constexpr int kOffChecksum = 41;
inline constexpr int kOffChainCount = 42;
inline constexpr int kOffChain = 46;  // 5 x int32
inline constexpr int kHeaderSize = 66;

inline constexpr int kClientNameField = 22;
inline constexpr int kMaxClientName = 21;
inline constexpr int kMaxChain = 5;

// Check = Length + kCheckMagic, a guard against reading a stream out of step.
inline constexpr int64_t kCheckMagic = 8735421;

// A length above this is refused like any other bad length: one corrupted header must not make
// the client allocate gigabytes. Real result packets stay far below it.
inline constexpr int32_t kMaxPacketLength = 64 * 1024 * 1024;

inline constexpr uint8_t kFinalMark = 255;
inline constexpr uint8_t kDefaultPriority = 255;
inline constexpr uint8_t kMaxKey = 254;

// Request kinds (client to server).
inline constexpr int32_t kLogin = 0;
inline constexpr int32_t kKeepAlive = 1;
inline constexpr int32_t kQuery = 5;
inline constexpr int32_t kPoll = 11;
inline constexpr int32_t kGoodbye = 17;
inline constexpr int32_t kQueryRepair = 29;
inline constexpr int32_t kExecRepair = 30;
inline constexpr int32_t kOpenDBSession = 31;
inline constexpr int32_t kCloseDBSession = 32;
inline constexpr int32_t kDBSessionState = 33;

// Reply kinds (server to client).
inline constexpr int32_t kResultHeader = 133;
inline constexpr int32_t kResultRows = 134;
inline constexpr int32_t kNoResultSet = 135;
inline constexpr int32_t kSessionState = 150;
inline constexpr int32_t kLoginAccepted = 265;
inline constexpr int32_t kLoginAcceptedAgain = 266;
inline constexpr int32_t kNothingPending = 268;

// Bit of the first payload byte of a kind-150 reply: the client must send kind 32 first.
inline constexpr uint8_t kSessionStateMustClose = 0x02;

// Login record (payload of kind 0).
inline constexpr int kLoginMode = 0;
inline constexpr int kLoginClientType = 1;
inline constexpr int kLoginGuid = 2;  // 16 bytes: uint32, uint16, uint16 little-endian, 8 bytes
inline constexpr int kLoginPasswordLength = 18;
inline constexpr int kLoginPassword = 19;
inline constexpr int kMaxPassword = 9;
inline constexpr int kLoginRecordSize = 28;

// Link modes, carried in the login record.
inline constexpr uint8_t kModeRequest = 0;
inline constexpr uint8_t kModeSend = 1;
inline constexpr uint8_t kModeReceive = 2;

// Server error codes whose reply carries an error record (int32 length + text).
inline constexpr bool errorCarriesText(int32_t code) {
    return code == -1 || code == -5 || code == -6 || code == -7;
}

}  // namespace dataclient::wire

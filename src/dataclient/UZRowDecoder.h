// Decoding of a query result straight into a TZMemTable: the result header (reply kind 133) fills
// the column table, then the row stream (the payloads of the kind-134 packets, concatenated in
// Sequence order) is decoded incrementally into records of the table's own record store. A packet
// may end anywhere: inside a bitmap, a length prefix or a value; the decoder keeps its place and
// resumes with the next payload. The picking of replies in Sequence order lives here too, so that
// it can be tested without a session.
//
// Hostile input: a length prefix is never trusted beyond kMaxValueLength, a header must fit its
// payload and declare sane sizes, and a header without columns swallows row bytes instead of
// looping on empty rows. A malformed stream stops the decoder; the caller ends the query with
// MalformedResultText().
//
// Thread contract: the table's thread (the main thread for TZTable); no locking of its own.
// Lifetime: one decoder per table, reused by every query; DecodeHeader starts afresh.
#pragma once

#include "dataclient/UZMemTable.h"
#include "dataclient/UZPacket.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace dataclient {

// The largest value the decoder accepts in one length-prefixed column. A four-byte prefix from a
// broken server must not make the client allocate gigabytes.
inline constexpr int32_t kMaxValueLength = wire::kMaxPacketLength;

// The largest declared column size the decoder accepts: a string field allocates its declared
// size for every read, so a lying header must not set it to gigabytes.
inline constexpr int32_t kMaxDeclaredSize = 1 << 20;

// The text of the error a malformed header or row stream ends the query with.
QString MalformedResultText();

class TZRowDecoder {
public:
    // dataSize is the table's FDataSize, which the header sets.
    TZRowDecoder(TZMemTable& table, int& dataSize) : FTable(table), FDataSize(dataSize) {}
    ~TZRowDecoder() { Abandon(); }
    TZRowDecoder(const TZRowDecoder&) = delete;
    TZRowDecoder& operator=(const TZRowDecoder&) = delete;

    // Clears the table's field definitions and fills them and FMemFieldDefs from a 133 payload,
    // then appends the calculated fields. With repairFSL a persistent ftString field named
    // exactly like a column takes the column's size. Raises platform::EDatabaseError for a
    // column of an unsupported type ("TZTable.SetActive: Неподдерживаемый тип поля ...") or a
    // header that does not fit its payload.
    void DecodeHeader(const uint8_t* data, size_t size, bool repairFSL);

    // Consumes one part of the row stream; false once the stream is malformed (a negative or
    // oversized length), after which further input is ignored.
    bool DecodeRows(const uint8_t* data, size_t size);

    // The stream ended: a record cut inside a row is appended as read so far.
    void Finish();
    // The query was given up: a partly built record and its value blocks are released.
    void Abandon();
    // Forgets everything of the previous result (a partly built record is released).
    void Reset();

    bool Malformed() const { return FMalformed; }
    bool InsideRow() const { return FRecord != nullptr; }

private:
    bool bitSet(int column) const { return (uint8_t(FRecord[column / 8]) >> (column % 8)) & 1u; }
    // Copies up to the missing bytes of the current item; true when the item is complete.
    bool gather(char* dest, int32_t want, const uint8_t*& p, const uint8_t* end);
    bool lengthPrefixed(const uint8_t*& p, const uint8_t* end);

    TZMemTable& FTable;
    int& FDataSize;

    int FColumns = 0;  // N, the data columns of the header
    int FBitmapSize = 0;
    std::vector<int> FWidths;  // slot width per column
    std::vector<bool> FPrefixed;

    char* FRecord = nullptr;  // the record under construction, none between rows
    int FCursor = -1;         // -1: expecting the bitmap; N: the row is complete
    int FWritePos = 0;        // slot offset inside FRecord
    int32_t FGathered = 0;    // bytes gathered of the current item
    uint8_t FLengthBuf[4] = {};
    bool FInValue = false;  // gathering the bytes of a length-prefixed value
    int32_t FValueLength = 0;
    TBlockRef FValueRef = 0;
    bool FMalformed = false;
};

// The reply picking of a running query: the first packet in arrival order that is the one wanted
// (kind 133 while headerSeen is 0; kind 134 whose Sequence equals headerSeen otherwise) or of any
// kind other than 134. The picked packet is removed from replies and headerSeen advanced; 134
// packets that do not fit yet stay. None when nothing fits.
PacketPtr PickReply(std::vector<PacketPtr>& replies, int& headerSeen);

}  // namespace dataclient

// Result header and row-stream decoding into the in-memory table's record store.
#include "dataclient/UZRowDecoder.h"

#include "platform/Cp1251.h"
#include "platform/DataSet.h"

#include <algorithm>
#include <cstring>

namespace dataclient {

using namespace platform;

QString MalformedResultText() {
    return QStringLiteral("TZTable.SetActive: Неверный формат результата запроса");
}

namespace {

[[noreturn]] void malformedHeader() {
    throw EDatabaseError(MalformedResultText());
}

int32_t readI32(const uint8_t* p) {
    return int32_t(getU32(p));
}

}  // namespace

void TZRowDecoder::Reset() {
    Abandon();
    FColumns = 0;
    FBitmapSize = 0;
    FWidths.clear();
    FPrefixed.clear();
    FMalformed = false;
}

void TZRowDecoder::Abandon() {
    // The slots of a partly built record already hold their value blocks (a value being gathered
    // included), and the column table carries their offsets, so the table can release them.
    if (FRecord)
        FTable.FreeRecord(FRecord);
    FRecord = nullptr;
    FCursor = -1;
    FGathered = 0;
    FInValue = false;
    FValueRef = 0;
}

void TZRowDecoder::DecodeHeader(const uint8_t* data, size_t size, bool repairFSL) {
    // A second header would give the records already stored a different layout.
    if (FTable.RecCount() != 0)
        malformedHeader();
    Reset();
    FTable.FieldDefs().Clear();
    TMemFieldDefs& defs = FTable.MemFieldDefs();
    defs.clear();
    if (size < 4)
        malformedHeader();
    const int32_t n = readI32(data);
    // Every descriptor takes at least six bytes: a count beyond that is a lie, not a big result.
    if (n < 0 || size_t(n) > (size - 4) / 6)
        malformedHeader();
    const uint8_t* p = data + 4;
    const uint8_t* end = data + size;
    int offset = (n + 7) / 8;
    FBitmapSize = offset;
    for (int k = 0; k < n; ++k) {
        if (end - p < 6)
            malformedHeader();
        const uint8_t type = p[0];
        const int32_t declared = readI32(p + 1);
        const uint8_t nameLength = p[5];
        p += 6;
        if (end - p < nameLength || declared < 0 || declared > kMaxDeclaredSize)
            malformedHeader();
        const QString name = fromCp1251(QByteArray(reinterpret_cast<const char*>(p), nameLength));
        p += nameLength;
        const int width = GetTypeSize(type);
        if (width == 0)
            throw EDatabaseError(QStringLiteral("TZTable.SetActive: Неподдерживаемый тип поля ") +
                                 FieldTypeName(type));
        FTable.FieldDefs().Add(name, TFieldType(type), declared);
        TMemFieldDef def;
        def.Name = name;
        def.DataType = type;
        def.Size = declared;
        def.Offset = offset;  // the open step computes the same; a partial record needs it now
        defs.push_back(def);
        if (repairFSL && type == ftString)
            for (TField* f : FTable.Fields())
                if (f->FieldName == name && f->DataType() == ftString)
                    f->SetSize(declared);
        FWidths.push_back(width);
        FPrefixed.push_back(IsBlockType(type));
        offset += width;
    }
    FColumns = n;
    FDataSize = offset;
    for (TField* f : FTable.Fields())
        if (f->FieldKind == fkCalculated) {
            TMemFieldDef def;
            def.Field = f;
            def.Name = f->FieldName;
            def.DataType = f->DataType();
            def.FieldKind = fkCalculated;
            def.Size = f->Size();
            def.Required = f->Required;
            defs.push_back(def);
        }
}

bool TZRowDecoder::gather(char* dest, int32_t want, const uint8_t*& p, const uint8_t* end) {
    const int32_t take = int32_t(std::min<ptrdiff_t>(want - FGathered, end - p));
    std::memcpy(dest + FGathered, p, size_t(take));
    p += take;
    FGathered += take;
    if (FGathered < want)
        return false;
    FGathered = 0;
    return true;
}

bool TZRowDecoder::lengthPrefixed(const uint8_t*& p, const uint8_t* end) {
    if (!FInValue) {
        if (!gather(reinterpret_cast<char*>(FLengthBuf), 4, p, end))
            return false;
        const int32_t n = readI32(FLengthBuf);
        if (n < 0 || n > kMaxValueLength) {
            // What follows cannot be trusted; the row read so far is not kept either.
            FMalformed = true;
            Abandon();
            return false;
        }
        if (n == 0) {
            FWritePos += 4;
            return true;
        }
        FValueRef = FTable.Blocks().Create(n);
        std::memcpy(FRecord + FWritePos, &FValueRef, 4);
        FValueLength = n;
        FInValue = true;
    }
    if (!gather(FTable.Blocks().Get(FValueRef)->Data(), FValueLength, p, end))
        return false;
    FInValue = false;
    FValueRef = 0;
    FWritePos += 4;
    return true;
}

bool TZRowDecoder::DecodeRows(const uint8_t* data, size_t size) {
    if (FMalformed)
        return false;
    // Rows of no columns are zero bytes long: decoding them would never consume anything.
    if (FColumns == 0)
        return true;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    for (;;) {
        if (FCursor == -1) {
            if (p == end)
                return true;
            if (!FRecord) {
                FRecord = FTable.NewRecord();
                FWritePos = FBitmapSize;
            }
            if (!gather(FRecord, FBitmapSize, p, end))
                return true;
            FCursor = 0;
        }
        while (FCursor < FColumns) {
            const int k = FCursor;
            if (!bitSet(k)) {
                FWritePos += FWidths[size_t(k)];
            } else if (FPrefixed[size_t(k)]) {
                if (!lengthPrefixed(p, end))
                    return !FMalformed;
            } else {
                if (!gather(FRecord + FWritePos, FWidths[size_t(k)], p, end))
                    return true;
                FWritePos += FWidths[size_t(k)];
            }
            ++FCursor;
        }
        FTable.AppendRecord(FRecord);
        FRecord = nullptr;
        FCursor = -1;
    }
}

void TZRowDecoder::Finish() {
    if (FRecord)
        FTable.AppendRecord(FRecord);
    FRecord = nullptr;
    FCursor = -1;
    FGathered = 0;
    FInValue = false;
    FValueRef = 0;
}

PacketPtr PickReply(std::vector<PacketPtr>& replies, int& headerSeen) {
    for (auto it = replies.begin(); it != replies.end(); ++it) {
        const int32_t kind = (*it)->Kind();
        if (kind == wire::kResultRows) {
            if (headerSeen == 0 || (*it)->Sequence() != headerSeen)
                continue;
            ++headerSeen;
        } else if (kind == wire::kResultHeader && headerSeen == 0) {
            headerSeen = 1;
        }
        PacketPtr picked = std::move(*it);
        replies.erase(it);
        return picked;
    }
    return nullptr;
}

}  // namespace dataclient

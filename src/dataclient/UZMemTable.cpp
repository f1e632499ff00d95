// The in-memory table: layout, record store, buffers, field access, editing and filtering.
// See UZMemTable.h; the record search lives in UZLocate.cpp.
#include "dataclient/UZMemTable.h"

#include "dataclient/UZFilterParser.h"
#include "dataclient/UZMemoryStream.h"
#include "platform/ConvertError.h"

#include <QUuid>
#include <cstdlib>
#include <cstring>
#include <new>

namespace dataclient {

using namespace platform;

namespace {

TBlockRef slotRef(const char* slot) {
    TBlockRef ref;
    std::memcpy(&ref, slot, sizeof ref);
    return ref;
}

void setSlotRef(char* slot, TBlockRef ref) {
    std::memcpy(slot, &ref, sizeof ref);
}

// The 16-byte GUID (32-bit, 16-bit, 16-bit little-endian parts, then 8 bytes) as braced text.
QByteArray guidToText(const char* slot) {
    uint32_t d1;
    uint16_t d2, d3;
    std::memcpy(&d1, slot, 4);
    std::memcpy(&d2, slot + 4, 2);
    std::memcpy(&d3, slot + 6, 2);
    const auto* d4 = reinterpret_cast<const uint8_t*>(slot + 8);
    const QUuid uuid(d1, d2, d3, d4[0], d4[1], d4[2], d4[3], d4[4], d4[5], d4[6], d4[7]);
    return uuid.toString(QUuid::WithBraces).toUpper().toLatin1();
}

bool textToGuid(const QByteArray& text, char* slot) {
    const QUuid uuid = QUuid::fromString(QLatin1String(text));
    if (uuid.isNull() || text.size() != 38 || text[0] != '{')
        return false;
    std::memcpy(slot, &uuid.data1, 4);
    std::memcpy(slot + 4, &uuid.data2, 2);
    std::memcpy(slot + 6, &uuid.data3, 2);
    std::memcpy(slot + 8, uuid.data4, 8);
    return true;
}

}  // namespace

int GetTypeSize(int code) {
    switch (code) {
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftString:
        case ftInteger:
        case ftDate:
        case ftTime:
        case ftVarBytes:
        case ftAutoInc:
        case ftBlob:
        case ftMemo:
        case ftGraphic:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        case ftGuid:
            return 16;
        default:
            return 0;
    }
}

bool IsBlockType(int code) {
    return code == ftString || code == ftVarBytes || code == ftBlob || code == ftMemo ||
           code == ftGraphic;
}

bool TypesCompatible(int a, int b) {
    auto norm = [](int c) { return c == ftAutoInc ? int(ftInteger) : c; };
    return norm(a) == norm(b);
}

// --- construction and errors

TZMemTable::TZMemTable(QObject* owner)
    : TDataSet(owner), FParser(std::make_unique<TZFilterParser>(this)) {}

TZMemTable::~TZMemTable() {
    try {
        Close();
    } catch (...) {
        // Closing only frees memory; an event handler's failure must not escape a destructor.
    }
    // A filler may have left records behind a failed open.
    FreeAllRecords();
}

void TZMemTable::raise(const QString& where, const QString& text) const {
    throw Exception(where + "(" + objectName() + "): " + text);
}

// --- layout

void TZMemTable::CalcFieldOffset() {
    if (FMemFieldDefs.empty()) {
        for (TField* f : Fields()) {
            TMemFieldDef def;
            def.Field = f;
            def.Name = f->FieldName;
            def.DataType = f->DataType();
            def.Size = f->Size();
            def.Required = f->Required;
            def.FieldKind = f->FieldKind;
            FMemFieldDefs.push_back(def);
        }
    }
    int nData = 0, nCalc = 0;
    for (const TMemFieldDef& def : FMemFieldDefs) {
        if (def.FieldKind == fkData)
            ++nData;
        else if (def.FieldKind == fkCalculated)
            ++nCalc;
        else
            raise("TMemTable.GetFieldOffset", "Неизвесный тип поля " + def.Name);
    }
    auto slotWidth = [this](const TMemFieldDef& def) {
        const int width = GetTypeSize(def.DataType);
        if (width == 0)
            raise("TZMemTable.CalcFieldOffset.GetTypeSize",
                  "Неподдерживаемый тип поля " + FieldTypeName(def.DataType));
        return width;
    };
    int offset = (nData + 7) / 8;
    for (TMemFieldDef& def : FMemFieldDefs)
        if (def.FieldKind == fkData) {
            def.Offset = offset;
            offset += slotWidth(def);
        }
    const int dataSize = offset;
    offset += (nCalc + 7) / 8;
    for (TMemFieldDef& def : FMemFieldDefs)
        if (def.FieldKind == fkCalculated) {
            def.Offset = offset;
            offset += slotWidth(def);
        }
    if (offset > 65535)
        throw Exception("Range check error");
    FDataSize = dataSize;
    FRecSize = offset;
}

const TMemFieldDef* TZMemTable::FindMemFieldDef(TField* field, int* bit) {
    // One pass finds the entry and counts the entries of its kind before it.
    int sameKind = 0;
    for (const TMemFieldDef& def : FMemFieldDefs) {
        if (def.Field == field) {
            if (bit)
                *bit = sameKind;
            return &def;
        }
        if (def.FieldKind == field->FieldKind)
            ++sameKind;
    }
    const QString upper = field->FieldName.toUpper();
    for (TMemFieldDef& def : FMemFieldDefs) {
        if (def.Field || def.Name.toUpper() != upper)
            continue;
        const QString where = "TMemTable.GetFieldOffset";
        if (!TypesCompatible(def.DataType, field->DataType()))
            raise(where, "Несовпадение типа у заданного и табличного полей " + def.Name);
        if (field->Size() != 0 && field->Size() != def.Size)
            raise(where, "Несовпадение размера у заданного и табличного полей " + def.Name);
        if (field->Required != def.Required)
            raise(where, "Несовпадение признака обязательности у заданного и табличного полей " +
                             def.Name);
        def.Field = field;
        FieldsChanged();
        if (bit)
            *bit = NullBitIndex(field);
        return &def;
    }
    raise("TMemTable.GetFieldOffset", "поле " + field->FieldName + " не найдено!");
}

int TZMemTable::GetFieldOffset(TField* field) {
    return FindMemFieldDef(field)->Offset;
}

int TZMemTable::NullBitIndex(TField* field) const {
    int bit = 0;
    for (const TMemFieldDef& def : FMemFieldDefs) {
        if (def.Field == field)
            return bit;
        if (def.FieldKind == field->FieldKind)
            ++bit;
    }
    return bit;
}

bool TZMemTable::hasValue(const char* buffer, const TMemFieldDef& def, int bit) const {
    const char* bitmap = def.FieldKind == fkCalculated ? buffer + FDataSize : buffer;
    return (uint8_t(bitmap[bit / 8]) >> (bit % 8)) & 1;
}

void TZMemTable::setHasValue(char* buffer, const TMemFieldDef& def, int bit, bool value) {
    char* bitmap = def.FieldKind == fkCalculated ? buffer + FDataSize : buffer;
    if (value)
        bitmap[bit / 8] = char(uint8_t(bitmap[bit / 8]) | (1u << (bit % 8)));
    else
        bitmap[bit / 8] = char(uint8_t(bitmap[bit / 8]) & ~(1u << (bit % 8)));
}

// --- value blocks of records and buffers

void TZMemTable::AddRefBlocks(char* record) {
    for (const TMemFieldDef& def : FMemFieldDefs)
        if (def.FieldKind == fkData && IsBlockType(def.DataType))
            if (const TBlockRef ref = slotRef(record + def.Offset))
                FBlocks.AddRef(ref);
}

void TZMemTable::ReleaseDataBlocks(char* record) {
    for (const TMemFieldDef& def : FMemFieldDefs)
        if (def.FieldKind == fkData && IsBlockType(def.DataType))
            if (const TBlockRef ref = slotRef(record + def.Offset)) {
                FBlocks.Release(ref);
                setSlotRef(record + def.Offset, 0);
            }
}

void TZMemTable::ReleaseAllBlocks(char* buffer) {
    for (const TMemFieldDef& def : FMemFieldDefs)
        if (IsBlockType(def.DataType))
            if (const TBlockRef ref = slotRef(buffer + def.Offset)) {
                FBlocks.Release(ref);
                setSlotRef(buffer + def.Offset, 0);
            }
}

// --- record store

char* TZMemTable::NewRecord() const {
    char* record = static_cast<char*>(std::calloc(1, size_t(FDataSize > 0 ? FDataSize : 1)));
    if (!record)
        throw std::bad_alloc();
    return record;
}

void TZMemTable::FreeRecord(char* record) {
    if (!record)
        return;
    ReleaseDataBlocks(record);
    std::free(record);
}

void TZMemTable::addCluster() {
    auto cluster = std::make_unique<TCluster>();
    cluster->fill(nullptr);
    FClusters.push_back(std::move(cluster));
}

void TZMemTable::AppendRecord(char* record) {
    if (int(FClusters.size()) * ClusterSize == FRecCount)
        addCluster();
    (*FClusters[size_t(FRecCount / ClusterSize)])[FRecCount % ClusterSize] = record;
    ++FRecCount;
}

void TZMemTable::FreeAllRecords() {
    for (int i = 0; i < FRecCount; ++i)
        FreeRecord(Record(i));
    FClusters.clear();
    FRecCount = 0;
}

// --- open and close

void TZMemTable::InternalInitFieldDefs() {
    if (DefaultFields())
        return;
    FieldDefs().Clear();
    for (TField* f : Fields())
        FieldDefs().Add(f->FieldName, f->DataType(), f->Size(), f->Required);
}

void TZMemTable::InternalOpen() {
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    BindFields(true);
    CalcFieldOffset();
    FCurRec = -1;
    BookmarkSize = 4;
    FCursorOpen = true;
    FFilterCountStale = true;
}

void TZMemTable::InternalClose() {
    FreeAllRecords();
    FMemFieldDefs.clear();
    BindFields(false);
    if (DefaultFields())
        DestroyFields();
    FCursorOpen = false;
}

// --- buffers

char* TZMemTable::AllocRecordBuffer() {
    char* buffer = static_cast<char*>(std::calloc(1, size_t(FRecSize) + 5));
    if (!buffer)
        throw std::bad_alloc();
    return buffer;
}

void TZMemTable::FreeRecordBuffer(char*& buffer) {
    ReleaseAllBlocks(buffer);
    std::free(buffer);
    buffer = nullptr;
}

void TZMemTable::InternalInitRecord(char* buffer) {
    ReleaseAllBlocks(buffer);
    std::memset(buffer, 0, size_t(FRecSize) + 5);
}

void TZMemTable::ClearBuffers() {
    for (char* buffer : Buffers())
        InternalInitRecord(buffer);
    TDataSet::ClearBuffers();
}

char* TZMemTable::GetActiveRecBuf() const {
    switch (State()) {
        case dsCalcFields:
            return CalcBuffer();
        case dsFilter:
            return TempBuffer();
        default:
            return ActiveBuffer();
    }
}

// --- reading records

TGetResult TZMemTable::GetRecord(char* buffer, TGetMode mode, bool doCheck) {
    if (FRecCount <= 0)
        return grBOF;
    TGetResult result = grOK;
    switch (mode) {
        case gmCurrent:
            if (FCurRec < 0 || FCurRec >= FRecCount || (Filtered() && !RecordAccepted(FCurRec)))
                result = grError;
            break;
        case gmNext:
            if (FCurRec < FRecCount - 1) {
                result = grEOF;
                while (FCurRec < FRecCount - 1) {
                    ++FCurRec;
                    if (!Filtered() || RecordAccepted(FCurRec)) {
                        result = grOK;
                        break;
                    }
                }
                if (result != grOK)
                    FCurRec = FRecCount - 1;
            } else {
                result = grEOF;
            }
            break;
        case gmPrior:
            if (FCurRec > 0) {
                result = grBOF;
                while (FCurRec > 0) {
                    --FCurRec;
                    if (!Filtered() || RecordAccepted(FCurRec)) {
                        result = grOK;
                        break;
                    }
                }
                if (result != grOK)
                    FCurRec = -1;
            } else {
                result = grBOF;
            }
            break;
    }
    if (result == grError && doCheck)
        raise("TZMemTable.GetRecord", "Invalid record");
    if (result != grOK)
        return result;
    ReleaseAllBlocks(buffer);
    std::memset(buffer, 0, size_t(FRecSize) + 5);
    char* record = Record(FCurRec);
    AddRefBlocks(record);
    std::memcpy(buffer, record, size_t(FDataSize));
    GetCalcFields(buffer);
    const int32_t bookmark = FCurRec;
    std::memcpy(buffer + FRecSize, &bookmark, 4);
    buffer[FRecSize + 4] = char(bfCurrent);
    return grOK;
}

bool TZMemTable::RecordAccepted(int index) {
    if (index < 0 || index >= FRecCount)
        return false;
    const TDataSetState saved = SetTempState(dsFilter);
    char* buffer = TempBuffer();
    bool accepted = true;
    // The parser only reads. Without calculated fields and an OnFilterRecord handler nothing can
    // write to the buffer, so it may borrow the record's blocks without taking references.
    const bool borrow = !HasCalcFields() && !OnFilterRecord;
    try {
        ReleaseAllBlocks(buffer);
        char* record = Record(index);
        if (!borrow)
            AddRefBlocks(record);
        std::memcpy(buffer, record, size_t(FDataSize));
        GetCalcFields(buffer);
        if (!FFilterBlank)
            accepted = FParser->EvaluteToBool();
        if (accepted && OnFilterRecord)
            OnFilterRecord(this, accepted);
        if (!borrow)
            ReleaseAllBlocks(buffer);
        std::memset(buffer, 0, size_t(FRecSize) + 5);
    } catch (...) {
        if (borrow)
            std::memset(buffer, 0, size_t(FRecSize) + 5);
        RestoreState(saved);
        InternalHandleException();
        return accepted;
    }
    RestoreState(saved);
    return accepted;
}

// --- bookmarks and positions

void TZMemTable::GetBookmarkData(char* buffer, void* data) {
    std::memcpy(data, buffer + FRecSize, 4);
}

void TZMemTable::SetBookmarkData(char* buffer, const void* data) {
    if (data)
        std::memcpy(buffer + FRecSize, data, 4);
    else
        std::memset(buffer + FRecSize, 0, 4);
}

TBookmarkFlag TZMemTable::GetBookmarkFlag(char* buffer) {
    return TBookmarkFlag(uint8_t(buffer[FRecSize + 4]));
}

void TZMemTable::SetBookmarkFlag(char* buffer, TBookmarkFlag flag) {
    buffer[FRecSize + 4] = char(flag);
}

void TZMemTable::InternalGotoBookmark(const void* bookmark) {
    int32_t index;
    std::memcpy(&index, bookmark, 4);
    if (index < 0 || index >= FRecCount)
        raise("TZMemTable.InternalGotoBookmark",
              "BookMark " + QString::number(index) + " not found");
    const int previous = FCurRec;
    FCurRec = index;
    if (Filtered() && !RecordAccepted(index))
        FCurRec = previous;
}

void TZMemTable::InternalSetToRecord(char* buffer) {
    InternalGotoBookmark(buffer + FRecSize);
}

int TZMemTable::CompareBookmarks(const void* a, const void* b) {
    if (!a && !b)
        return 0;
    if (!b)
        return 1;
    if (!a)
        return -1;
    int32_t ia, ib;
    std::memcpy(&ia, a, 4);
    std::memcpy(&ib, b, 4);
    return ia < ib ? -1 : ia > ib ? 1 : 0;
}

int TZMemTable::GetRecordCount() {
    CheckActive();
    if (!Filtered())
        return FRecCount;
    if (FFilterCountStale) {
        int count = 0;
        for (int i = 0; i < FRecCount; ++i)
            if (RecordAccepted(i))
                ++count;
        FFilterCount = count;
        FFilterCountStale = false;
    }
    return FFilterCount;
}

int TZMemTable::GetRecNo() {
    // The cursor may still stand where a failed step left it; the active record is what counts.
    if (Active() && State() == dsBrowse)
        UpdateCursorPos();
    return FCurRec >= 0 ? FCurRec + 1 : 1;
}

void TZMemTable::SetRecNoHook(int value) {
    CheckBrowseMode();
    if (Filtered()) {
        int count = 0;
        for (int i = 0; i < FRecCount; ++i)
            if (RecordAccepted(i) && ++count == value) {
                FCurRec = i;
                Resync();
                return;
            }
        return;
    }
    if (value >= 1 && value <= FRecCount) {
        FCurRec = value - 1;
        Resync();
    }
}

// --- field data

bool TZMemTable::GetFieldData(TField* field, void* destination) {
    char* buffer = GetActiveRecBuf();
    if (!buffer)
        return false;
    int bit = 0;
    const TMemFieldDef& def = *FindMemFieldDef(field, &bit);
    const char* slot = buffer + def.Offset;
    if (destination) {
        char* dest = static_cast<char*>(destination);
        switch (def.DataType) {
            case ftString: {
                const int size = std::max(field->Size(), 0);
                int n = 0;
                if (const TBlockRef ref = slotRef(slot)) {
                    const TValueBlock* b = FBlocks.Get(ref);
                    n = std::min(b->BlockLength, size);
                    std::memcpy(dest, b->Data(), size_t(n));
                }
                std::memset(dest + n, 0, size_t(size - n) + 1);
                break;
            }
            case ftVarBytes: {
                const int size = field->Size();
                std::memset(dest, 0, size_t(size) + 2);
                if (const TBlockRef ref = slotRef(slot)) {
                    const TValueBlock* b = FBlocks.Get(ref);
                    const uint16_t n = uint16_t(std::min(b->BlockLength & 0xFFFF, size));
                    std::memcpy(dest, &n, 2);
                    std::memcpy(dest + 2, b->Data(), n);
                }
                break;
            }
            case ftSmallint:
            case ftInteger:
            case ftWord:
            case ftBoolean:
            case ftFloat:
            case ftCurrency:
            case ftDate:
            case ftTime:
            case ftDateTime:
            case ftAutoInc:
            case ftLargeint:
                std::memcpy(dest, slot,
                            size_t(std::min(field->DataSize(), GetTypeSize(def.DataType))));
                break;
            case ftGuid: {
                const int size = field->Size();
                std::memset(dest, 0, size_t(size) + 1);
                uint32_t first;
                std::memcpy(&first, slot, 4);
                if (first != 0)
                    std::memcpy(dest, guidToText(slot).constData(), size_t(std::min(38, size)));
                break;
            }
            case ftBlob:
            case ftMemo:
            case ftGraphic:
                break;
            default:
                raise("TZMemTable.GetFieldData",
                      "Неподдерживаемый тип поля " + FieldTypeName(def.DataType));
        }
    }
    return hasValue(buffer, def, bit);
}

void TZMemTable::SetFieldData(TField* field, const void* source) {
    char* buffer = GetActiveRecBuf();
    if (!buffer)
        return;
    int bit = 0;
    const TMemFieldDef& def = *FindMemFieldDef(field, &bit);
    char* slot = buffer + def.Offset;
    const char* src = static_cast<const char*>(source);
    switch (def.DataType) {
        case ftString:
            if (const TBlockRef old = slotRef(slot))
                FBlocks.Release(old);
            setSlotRef(slot, 0);
            if (src) {
                const int32_t length = int32_t(strnlen(src, size_t(std::max(field->Size(), 0))));
                setSlotRef(slot, FBlocks.Create(src, length));
            }
            break;
        case ftVarBytes:
            if (const TBlockRef old = slotRef(slot))
                FBlocks.Release(old);
            setSlotRef(slot, 0);
            if (src) {
                uint16_t length;
                std::memcpy(&length, src, 2);
                // The source holds Size + 2 bytes; a larger count must not read past it.
                length = uint16_t(std::min<int>(length, std::max(field->Size(), 0)));
                setSlotRef(slot, FBlocks.Create(src + 2, length));
            }
            break;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftBoolean:
        case ftFloat:
        case ftCurrency:
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftAutoInc:
        case ftLargeint:
            if (src)
                std::memcpy(slot, src,
                            size_t(std::min(field->DataSize(), GetTypeSize(def.DataType))));
            break;
        case ftBlob:
        case ftMemo:
        case ftGraphic:
            break;
        case ftGuid:
            if (!src || src[0] == 0) {
                std::memset(slot, 0, 16);
            } else {
                const QByteArray text(src, int(strnlen(src, 39)));
                if (!textToGuid(text, slot))
                    throw EConvertError("'" + QString::fromLatin1(text) +
                                        "' is not a valid GUID value");
            }
            break;
        default:
            raise("TZMemTable.SetFieldData",
                  "Неподдерживаемый тип поля " + FieldTypeName(def.DataType));
    }
    setHasValue(buffer, def, bit, src != nullptr);
    DataEvent(deFieldChange, field);
}

std::unique_ptr<TStream> TZMemTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    if (mode == bmReadWrite)
        throw Exception("TZMemoryStream.Create: Mode bmReadWrite not supported");
    char* buffer = GetActiveRecBuf();
    const TMemFieldDef& def = *FindMemFieldDef(field);
    // Only block slots hold references; anything else read as one would be arbitrary memory.
    if (!IsBlockType(def.DataType))
        raise("TZMemTable.CreateBlobStream",
              "Неподдерживаемый тип поля " + FieldTypeName(def.DataType));
    if (mode == bmWrite) {
        const TDataSetState s = State();
        if (!buffer || (s != dsEdit && s != dsInsert && s != dsCalcFields && s != dsFilter))
            DatabaseError("Dataset not in edit or insert mode", this);
    }
    if (!buffer) {
        static char emptySlot[4] = {};
        return std::make_unique<TZMemoryStream>(this, field, emptySlot, nullptr, mode);
    }
    return std::make_unique<TZMemoryStream>(this, field, buffer + def.Offset, buffer, mode);
}

// --- editing

void TZMemTable::InternalPost() {
    CheckActive();
    char* buffer = GetActiveRecBuf();
    if (State() == dsEdit) {
        char* record = Record(FCurRec);
        ReleaseDataBlocks(record);
        std::memcpy(record, buffer, size_t(FDataSize));
        AddRefBlocks(record);
    } else if (State() == dsInsert) {
        if (FCurRec >= 1) {
            if (int(FClusters.size()) * ClusterSize == FRecCount)
                addCluster();
            ++FRecCount;
            for (int i = FRecCount - 1; i > FCurRec; --i)
                (*FClusters[size_t(i / ClusterSize)])[i % ClusterSize] = Record(i - 1);
            char* record = NewRecord();
            std::memcpy(record, buffer, size_t(FDataSize));
            (*FClusters[size_t(FCurRec / ClusterSize)])[FCurRec % ClusterSize] = record;
            AddRefBlocks(record);
        } else {
            // On the first record or in an empty table the new record goes to the end.
            InternalAddRecord(buffer, false);
        }
    }
    FFilterCountStale = true;
}

void TZMemTable::InternalAddRecord(char*, bool) {
    char* buffer = GetActiveRecBuf();
    char* record = NewRecord();
    if (buffer)
        std::memcpy(record, buffer, size_t(FDataSize));
    FCurRec = FRecCount;
    AppendRecord(record);
    AddRefBlocks(record);
    FFilterCountStale = true;
}

void TZMemTable::InternalDelete() {
    FreeRecord(Record(FCurRec));
    for (int i = FCurRec; i < FRecCount - 1; ++i)
        (*FClusters[size_t(i / ClusterSize)])[i % ClusterSize] = Record(i + 1);
    (*FClusters[size_t((FRecCount - 1) / ClusterSize)])[(FRecCount - 1) % ClusterSize] = nullptr;
    --FRecCount;
    if (int(FClusters.size()) * ClusterSize == FRecCount + ClusterSize)
        FClusters.pop_back();
    if (FCurRec >= FRecCount)
        FCurRec = FRecCount - 1;
    FFilterCountStale = true;
}

void TZMemTable::InternalHandleException() {
    TDataSet::InternalHandleException();
}

// --- filtering

void TZMemTable::firstAfterFilterChange() {
    // Only an open table moves; on a closed one the new setting simply waits for the open.
    if (Active())
        First();
}

void TZMemTable::SetFilteredHook(bool value) {
    FFilterCountStale = true;
    TDataSet::SetFilteredHook(value);
    firstAfterFilterChange();
}

void TZMemTable::SetFilterText(const QString& text) {
    FParser->SetFilter(text);
    FFilterBlank = text.trimmed().isEmpty();
    FFilterCountStale = true;
    TDataSet::SetFilterText(text);
    firstAfterFilterChange();
}

}  // namespace dataclient

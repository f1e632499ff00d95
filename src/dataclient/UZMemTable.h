// TZMemTable, the in-memory table that holds a whole query result: records in clusters of 1024
// references, field access on the fixed record layout below, blobs through TZMemoryStream,
// filtering through an owned TZFilterParser, and the record search Locate (UZLocate.cpp).
// TZTable fills FMemFieldDefs and the records (NewRecord / AppendRecord, value blocks from
// Blocks()) and then runs InternalOpen of this class.
//
// Record layout. A stored record is the data part, FDataSize bytes: a null bitmap of the data
// columns (bit k of byte k / 8, set = has a value), then each data column's slot in column order,
// unaligned. A record buffer is FRecSize + 5 bytes: the data part, the calculated part (its own
// bitmap and slots), the bookmark (int32 record index) at FRecSize and the bookmark flag at
// FRecSize + 4. Slots are little-endian exactly as received from the server.
//
// Lifetime: created closed; closing discards records and the column table; the parsed filter
// survives. Thread contract: one thread, the one that opens the table; nothing is atomic.
#pragma once

#include "dataclient/UZValueBlocks.h"
#include "platform/DataSet.h"

#include <QString>
#include <array>
#include <memory>
#include <vector>

namespace dataclient {

class TZFilterParser;

using platform::TDataSet;
using platform::TField;
using platform::TFieldType;

using platform::FieldTypeName;
// Slot width of a supported type code; 0 for every other code.
int GetTypeSize(int code);
// Types whose slot holds a value-block reference (strings, byte arrays, blobs).
bool IsBlockType(int code);
// ftInteger and ftAutoInc count as one type.
bool TypesCompatible(int a, int b);

struct TMemFieldDef {
    TField* Field = nullptr;
    QString Name;
    uint8_t DataType = 0;
    int32_t Size = 0;
    bool Required = false;
    uint8_t FieldKind = platform::fkData;
    int32_t Offset = 0;
};
using TMemFieldDefs = std::vector<TMemFieldDef>;

constexpr int ClusterSize = 1024;
using TCluster = std::array<char*, ClusterSize>;
using TClusterSet = std::vector<std::unique_ptr<TCluster>>;

class TZMemTable : public TDataSet {
public:
    explicit TZMemTable(QObject* owner = nullptr);
    ~TZMemTable() override;

    bool GetFieldData(TField* field, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer) override;
    std::unique_ptr<platform::TStream> CreateBlobStream(TField* field,
                                                        platform::TBlobStreamMode mode) override;
    int CompareBookmarks(const void* a, const void* b) override;
    bool Locate(const QString& keyFields, const platform::Variant& keyValues,
                platform::TLocateOptions options) override;

    // --- the record store, for the filler (TZTable), tests and measurements
    TMemFieldDefs& MemFieldDefs() { return FMemFieldDefs; }
    int RecCount() const { return FRecCount; }
    int DataSize() const { return FDataSize; }
    int RecSize() const { return FRecSize; }
    char* Record(int index) const {
        return (*FClusters[size_t(index / ClusterSize)])[index % ClusterSize];
    }
    // FDataSize zeroed bytes for a record under construction; hand it to AppendRecord or
    // FreeRecord.
    char* NewRecord() const;
    void AppendRecord(char* record);
    // Releases the record's value blocks and frees it.
    void FreeRecord(char* record);
    TValueBlocks& Blocks() { return FBlocks; }
    size_t ClusterCount() const { return FClusters.size(); }
    TZFilterParser& Parser() { return *FParser; }
    int CurRec() const { return FCurRec; }
    // Whether record index passes the filter (always true when not filtered).
    bool RecordAccepted(int index);

protected:
    char* AllocRecordBuffer() override;
    void FreeRecordBuffer(char*& buffer) override;
    int GetRecordSize() override { return FRecSize; }
    void InternalInitFieldDefs() override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return FCursorOpen; }
    void InternalInitRecord(char* buffer) override;
    void ClearBuffers() override;
    platform::TGetResult GetRecord(char* buffer, platform::TGetMode mode, bool doCheck) override;
    void InternalFirst() override { FCurRec = -1; }
    void InternalLast() override { FCurRec = FRecCount; }
    void GetBookmarkData(char* buffer, void* data) override;
    void SetBookmarkData(char* buffer, const void* data) override;
    platform::TBookmarkFlag GetBookmarkFlag(char* buffer) override;
    void SetBookmarkFlag(char* buffer, platform::TBookmarkFlag flag) override;
    void InternalGotoBookmark(const void* bookmark) override;
    void InternalSetToRecord(char* buffer) override;
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoHook(int value) override;
    void InternalPost() override;
    void InternalAddRecord(char* buffer, bool append) override;
    void InternalDelete() override;
    void InternalHandleException() override;
    void SetFilterText(const QString& text) override;
    void SetFilteredHook(bool value) override;

    // --- internal operations
    void CalcFieldOffset();
    int GetFieldOffset(TField* field);
    char* GetActiveRecBuf() const;
    int NullBitIndex(TField* field) const;
    // The field's column entry, bound on first use; bit receives NullBitIndex.
    const TMemFieldDef* FindMemFieldDef(TField* field, int* bit = nullptr);
    void AddRefBlocks(char* record);
    void ReleaseDataBlocks(char* record);
    void ReleaseAllBlocks(char* buffer);
    void FreeAllRecords();
    void addCluster();
    // The framework's browse-mode check and a move to the first record, for the filter setters.
    void firstAfterFilterChange();
    [[noreturn]] void raise(const QString& where, const QString& text) const;

    TClusterSet FClusters;
    int FRecCount = 0;
    int FCurRec = -1;
    TMemFieldDefs FMemFieldDefs;
    int FDataSize = 0;
    int FRecSize = 0;
    int FFilterCount = 0;
    bool FFilterCountStale = true;
    bool FCursorOpen = false;
    bool FFilterBlank = true;  // the trimmed Filter text is empty
    TValueBlocks FBlocks;
    std::unique_ptr<TZFilterParser> FParser;

private:
    friend class TZMemoryStream;
    friend class LocateScan;
    bool hasValue(const char* buffer, const TMemFieldDef& def, int bit) const;
    void setHasValue(char* buffer, const TMemFieldDef& def, int bit, bool value);
};

}  // namespace dataclient

// TZMemoryStream, the stream TZMemTable hands out for blob and memo fields. A read stream views
// the slot's value block (holding one reference while it lives); a write stream builds a new
// block and stores it into the slot when destroyed, then the field counts as changed.
// Lifetime: destroy the stream before the table leaves the record (post, cancel, scroll); a
// stream outliving its buffer or table only drops what it built. Thread contract: the table's.
#pragma once

#include "dataclient/UZValueBlocks.h"
#include "platform/Stream.h"

#include <QPointer>

namespace platform {
class TField;
}

namespace dataclient {

class TZMemTable;

class TZMemoryStream : public platform::TCustomMemoryStream {
public:
    TZMemoryStream(TZMemTable* table, platform::TField* field, char* slot, char* recordBuffer,
                   platform::TBlobStreamMode mode);
    ~TZMemoryStream() override;

    int64_t Write(const void* buffer, int64_t count) override;

    platform::TField* Field;
    platform::TBlobStreamMode OpenMode;
    char* RecordBuffer;
    char* Slot;
    TBlockRef Block = 0;

private:
    QPointer<TZMemTable> FTable;
};

}  // namespace dataclient

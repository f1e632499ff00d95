// Blob streams over value blocks; see UZMemoryStream.h.
#include "dataclient/UZMemoryStream.h"

#include "dataclient/UZMemTable.h"

#include <algorithm>
#include <cstring>

namespace dataclient {

using namespace platform;

TZMemoryStream::TZMemoryStream(TZMemTable* table, TField* field, char* slot, char* recordBuffer,
                               TBlobStreamMode mode)
    : Field(field), OpenMode(mode), RecordBuffer(recordBuffer), Slot(slot), FTable(table) {
    if (mode == bmReadWrite)
        throw Exception("TZMemoryStream.Create: Mode bmReadWrite not supported");
    TBlockRef old;
    std::memcpy(&old, Slot, sizeof old);
    if (mode == bmRead) {
        if (old) {
            Block = old;
            table->Blocks().AddRef(Block);
            const TValueBlock* b = table->Blocks().Get(Block);
            SetPointer(b->Data(), b->BlockLength);
        }
        return;
    }
    // Write: the old value goes now; the slot gets the new block when the stream is destroyed.
    if (old) {
        table->Blocks().Release(old);
        const TBlockRef empty = 0;
        std::memcpy(Slot, &empty, sizeof empty);
    }
}

TZMemoryStream::~TZMemoryStream() {
    if (!FTable) {
        return;  // the pool went with the table
    }
    TValueBlocks& blocks = FTable->Blocks();
    const auto buffers = FTable->Buffers();
    const bool bufferAlive =
        OpenMode == bmWrite && FTable->Active() &&
        std::find(buffers.begin(), buffers.end(), RecordBuffer) != buffers.end();
    if (OpenMode == bmRead || !bufferAlive) {
        if (Block)
            blocks.Release(Block);
        return;
    }
    std::memcpy(Slot, &Block, sizeof Block);
    const TMemFieldDef* def = FTable->FindMemFieldDef(Field);
    if (def)
        FTable->setHasValue(RecordBuffer, *def, FTable->NullBitIndex(Field), Block != 0);
    try {
        FTable->DataEvent(deFieldChange, Field);
    } catch (...) {
        // A destructor must not throw; a failing handler of the change only loses its notice.
    }
}

int64_t TZMemoryStream::Write(const void* buffer, int64_t count) {
    if (OpenMode != bmWrite)
        throw Exception("TZMemoryStream.Write: Operation not supported");
    if (count <= 0 || !FTable)
        return 0;
    TValueBlocks& blocks = FTable->Blocks();
    const int64_t p = FPosition;
    if (p + count > INT32_MAX)
        throw Exception("TZMemoryStream.Write: Operation not supported");
    if (!Block) {
        // No block yet: exactly the written bytes; a write after a seek past the start keeps its
        // place, with zeros before it, instead of landing at offset 0.
        Block = blocks.Create(int32_t(p + count));
        TValueBlock* b = blocks.Get(Block);
        std::memcpy(b->Data() + p, buffer, size_t(count));
        SetPointer(b->Data(), p + count);
        FPosition = p + count;
        return count;
    }
    const TValueBlock* old = blocks.Get(Block);
    const int32_t newLength = int32_t(std::max<int64_t>(p + count, old->BlockLength));
    const TBlockRef fresh = blocks.Create(newLength);
    TValueBlock* nb = blocks.Get(fresh);
    old = blocks.Get(Block);
    std::memcpy(nb->Data(), old->Data(), size_t(std::min(old->BlockLength, newLength)));
    std::memcpy(nb->Data() + p, buffer, size_t(count));
    blocks.Release(Block);
    Block = fresh;
    SetPointer(nb->Data(), newLength);
    FPosition = p + count;
    return count;
}

}  // namespace dataclient

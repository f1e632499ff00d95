// Value blocks: the shared, reference-counted heap blocks that hold the strings, byte arrays and
// blobs of a table's records. A record slot is four bytes wide, so a slot holds a 32-bit
// reference into the table's block pool rather than a pointer; reference 0 is an empty slot.
// Every holder (a stored record, each record buffer showing it) owns one reference; releasing the
// last frees the block. Counts are plain integers: a table and its pool belong to one thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace dataclient {

struct TValueBlock {
    int32_t RefCount;
    int32_t BlockLength;
    char* Data() { return reinterpret_cast<char*>(this + 1); }
    const char* Data() const { return reinterpret_cast<const char*>(this + 1); }
};

using TBlockRef = uint32_t;

class TValueBlocks {
public:
    TValueBlocks() = default;
    ~TValueBlocks();
    TValueBlocks(const TValueBlocks&) = delete;
    TValueBlocks& operator=(const TValueBlocks&) = delete;

    // A new block of length bytes (zeroed) with RefCount 1.
    TBlockRef Create(int32_t length);
    TBlockRef Create(const void* data, int32_t length) {
        const TBlockRef ref = Create(length);
        if (length > 0)
            std::memcpy(Get(ref)->Data(), data, size_t(length));
        return ref;
    }
    TValueBlock* Get(TBlockRef ref) const { return FBlocks[ref - 1]; }
    void AddRef(TBlockRef ref) { ++FBlocks[ref - 1]->RefCount; }
    void Release(TBlockRef ref);
    // Blocks alive; for tests and measurements.
    size_t LiveCount() const { return FBlocks.size() - FFree.size(); }
    // Bytes held by live blocks, headers included.
    size_t LiveBytes() const { return FLiveBytes; }

private:
    std::vector<TValueBlock*> FBlocks;
    std::vector<TBlockRef> FFree;
    size_t FLiveBytes = 0;
};

}  // namespace dataclient

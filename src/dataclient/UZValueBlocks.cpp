// Block pool; see UZValueBlocks.h.
#include "dataclient/UZValueBlocks.h"

#include <cstdlib>
#include <new>

namespace dataclient {

TValueBlocks::~TValueBlocks() {
    for (TValueBlock* b : FBlocks)
        std::free(b);
}

TBlockRef TValueBlocks::Create(int32_t length) {
    if (length < 0)
        length = 0;
    auto* block = static_cast<TValueBlock*>(std::calloc(1, sizeof(TValueBlock) + size_t(length)));
    if (!block)
        throw std::bad_alloc();
    block->RefCount = 1;
    block->BlockLength = length;
    FLiveBytes += sizeof(TValueBlock) + size_t(length);
    if (!FFree.empty()) {
        const TBlockRef ref = FFree.back();
        FFree.pop_back();
        FBlocks[ref - 1] = block;
        return ref;
    }
    FBlocks.push_back(block);
    return TBlockRef(FBlocks.size());
}

void TValueBlocks::Release(TBlockRef ref) {
    TValueBlock*& block = FBlocks[ref - 1];
    if (--block->RefCount > 0)
        return;
    FLiveBytes -= sizeof(TValueBlock) + size_t(block->BlockLength);
    std::free(block);
    block = nullptr;
    FFree.push_back(ref);
}

}  // namespace dataclient

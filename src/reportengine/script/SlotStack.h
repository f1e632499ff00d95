// The cells of the routine activations of one script: each call takes a contiguous run of value
// cells (and of the pointers to the cells its slots really use) and gives it back on return, so a
// call costs no heap allocation once the stack has grown. Cells live in chunks that never move:
// a `var` parameter may point into a caller's frame while deeper calls take and give back cells.
// Thread contract: owned by one Script and used by its thread only; runs are taken and given back
// in strict last-in, first-out order.
#pragma once

#include "platform/Variant.h"

#include <memory>
#include <vector>

namespace script {

class SlotStack {
public:
    struct Run {
        platform::Variant* Cells = nullptr;
        platform::Variant** Refs = nullptr;
        size_t Chunk = 0;
        size_t Size = 0;
    };

    // n cells, each one's reference pointing at itself; the cells hold whatever the last user
    // left there (plain values only: Release empties the heavy ones).
    Run Take(size_t n) {
        if (FChunks.empty() || FChunks[FCurrent].Used + n > FChunks[FCurrent].Size) {
            const size_t next = FChunks.empty() ? 0 : FCurrent + 1;
            if (next == FChunks.size() || FChunks[next].Size < n)
                NewChunk(next, n);
            FCurrent = next;
        }
        Chunk& c = FChunks[FCurrent];
        Run run{c.Cells.get() + c.Used, c.Refs.get() + c.Used, FCurrent, n};
        c.Used += n;
        for (size_t i = 0; i < n; ++i)
            run.Refs[i] = run.Cells + i;
        return run;
    }

    // Gives back the last run taken; texts, arrays and objects in it are released now rather
    // than when the cells are taken again.
    void Release(const Run& run) {
        for (size_t i = 0; i < run.Size; ++i)
            if (run.Cells[i].HoldsStorage())
                run.Cells[i] = platform::Variant();
        Chunk& c = FChunks[run.Chunk];
        c.Used -= run.Size;
        FCurrent = run.Chunk > 0 && c.Used == 0 ? run.Chunk - 1 : run.Chunk;
    }

private:
    static constexpr size_t ChunkCells = 1024;
    struct Chunk {
        std::unique_ptr<platform::Variant[]> Cells;
        std::unique_ptr<platform::Variant*[]> Refs;
        size_t Size = 0;
        size_t Used = 0;
    };

    void NewChunk(size_t at, size_t n) {
        Chunk c;
        c.Size = std::max(n, ChunkCells);
        c.Cells = std::make_unique<platform::Variant[]>(c.Size);
        c.Refs = std::make_unique<platform::Variant*[]>(c.Size);
        if (at == FChunks.size())
            FChunks.push_back(std::move(c));
        else
            FChunks[at] = std::move(c);  // unused: every chunk past the current one is empty
    }

    std::vector<Chunk> FChunks;
    size_t FCurrent = 0;
};

}  // namespace script

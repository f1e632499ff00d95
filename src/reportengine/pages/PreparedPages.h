// TfrxPreparedPages: the pages of one prepared report. Pages are kept in memory up to a byte
// budget; beyond it the oldest resident pages are written in their compact binary form
// (PageCodec.h) to an anonymous temporary spill file and read back on demand through a small
// cache, so a report of 100,000 pages never holds them all in RAM. Also saves and loads .fp3
// files (Fp3File.h).
//
// Thread contract: every public call is safe from any thread. The engine appends pages on its
// thread while the preview reads finished pages on the UI thread: Count() only grows during a
// run, Page(i) for i < Count() always returns the finished page (a shared_ptr<const> the reader
// may keep as long as it likes; spilling never touches pages already handed out). Clear() and
// LoadFromFile() replace the whole set and must not race with an engine still appending.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

class QTemporaryFile;

namespace reportengine {

class TfrxPreparedPages {
public:
    static constexpr std::size_t kDefaultBudget = 64u << 20;  // bytes of resident pages
    static constexpr int kCacheSize = 8;                      // spilled pages kept after reading

    explicit TfrxPreparedPages(std::size_t memoryBudget = kDefaultBudget);
    ~TfrxPreparedPages();
    TfrxPreparedPages(const TfrxPreparedPages&) = delete;
    TfrxPreparedPages& operator=(const TfrxPreparedPages&) = delete;

    // Appends a finished page. Throws platform::EFileError when spilling fails (disk full).
    void AddPage(PreparedPage page);
    int Count() const;
    // The page at index (0-based); null when out of range. Throws platform::EFileError when the
    // spill file cannot be read back.
    std::shared_ptr<const PreparedPage> Page(int index) const;
    void Clear();

    // .fp3: gzip-compressed XML. Return false with ErrorText() set on failure; a failed load
    // leaves the current pages untouched.
    bool SaveToFile(const QString& fileName) const;
    bool LoadFromFile(const QString& fileName);
    QString ErrorText() const;

    // For tests and the preview's status: how many pages live in memory / in the spill file.
    int ResidentCount() const;
    int SpilledCount() const;

private:
    struct Slot {
        std::shared_ptr<const PreparedPage> Resident;  // null once spilled
        std::size_t Bytes = 0;                         // ApproximateBytes while resident
        qint64 Offset = -1;                            // in the spill file once spilled
        qint64 Length = 0;
    };

    void spillLocked();
    std::shared_ptr<const PreparedPage> readSpilledLocked(int index) const;
    void setError(const QString& text) const;

    const std::size_t FBudget;

    mutable std::mutex FLock;
    // Guarded by FLock:
    std::vector<Slot> FSlots;
    std::size_t FResidentBytes = 0;
    std::size_t FFirstResident = 0;  // slots below it are spilled
    std::unique_ptr<QTemporaryFile> FSpill;
    mutable std::vector<std::pair<int, std::shared_ptr<const PreparedPage>>> FCache;  // MRU first
    mutable QString FError;
};

}  // namespace reportengine

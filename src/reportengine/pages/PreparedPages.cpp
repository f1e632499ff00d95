#include "reportengine/pages/PreparedPages.h"

#include "platform/Exception.h"
#include "reportengine/pages/Fp3File.h"
#include "reportengine/pages/PageCodec.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>

namespace reportengine {

TfrxPreparedPages::TfrxPreparedPages(std::size_t memoryBudget) : FBudget(memoryBudget) {}

TfrxPreparedPages::~TfrxPreparedPages() = default;

void TfrxPreparedPages::AddPage(PreparedPage page) {
    const std::size_t bytes = ApproximateBytes(page);
    auto shared = std::make_shared<const PreparedPage>(std::move(page));
    std::lock_guard lock(FLock);
    FSlots.push_back(Slot{std::move(shared), bytes});
    FResidentBytes += bytes;
    if (FResidentBytes > FBudget)
        spillLocked();
}

// Writes the oldest resident pages until the resident ones fit in half the budget, so that
// spilling happens in batches rather than on every append. The newest page always stays.
void TfrxPreparedPages::spillLocked() {
    if (!FSpill) {
        FSpill = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/vellumar-pages-XXXXXX");
        if (!FSpill->open())
            throw platform::EFileError(QStringLiteral("Cannot create the page spill file: ") +
                                       FSpill->errorString());
    }
    if (!FSpill->seek(FSpill->size()))
        throw platform::EFileError(FSpill->errorString());
    // Encode first and drop pages from memory only once their bytes are safely written, so that
    // a full disk loses nothing.
    QByteArray batch;
    const qint64 offset = FSpill->size();
    std::size_t last = FFirstResident, freed = 0;
    std::vector<std::pair<qint64, qint64>> places;
    while (FResidentBytes - freed > FBudget / 2 && last + 1 < FSlots.size()) {
        const QByteArray bytes = EncodePage(*FSlots[last].Resident);
        places.emplace_back(offset + batch.size(), bytes.size());
        batch.append(bytes);
        freed += FSlots[last++].Bytes;
    }
    if (FSpill->write(batch) != batch.size() || !FSpill->flush())
        throw platform::EFileError(QStringLiteral("Cannot write the page spill file: ") +
                                   FSpill->errorString());
    for (const auto& [at, length] : places) {
        Slot& s = FSlots[FFirstResident++];
        s.Offset = at, s.Length = length;
        s.Resident.reset();
    }
    FResidentBytes -= freed;
}

int TfrxPreparedPages::Count() const {
    std::lock_guard lock(FLock);
    return int(FSlots.size());
}

std::shared_ptr<const PreparedPage> TfrxPreparedPages::Page(int index) const {
    std::lock_guard lock(FLock);
    if (index < 0 || std::size_t(index) >= FSlots.size())
        return nullptr;
    if (FSlots[std::size_t(index)].Resident)
        return FSlots[std::size_t(index)].Resident;
    return readSpilledLocked(index);
}

std::shared_ptr<const PreparedPage> TfrxPreparedPages::readSpilledLocked(int index) const {
    for (std::size_t i = 0; i < FCache.size(); ++i) {
        if (FCache[i].first == index) {
            std::rotate(FCache.begin(), FCache.begin() + qsizetype(i),
                        FCache.begin() + qsizetype(i) + 1);
            return FCache.front().second;
        }
    }
    const Slot& s = FSlots[std::size_t(index)];
    auto page = std::make_shared<PreparedPage>();
    if (!FSpill->seek(s.Offset))
        throw platform::EFileError(FSpill->errorString());
    const QByteArray bytes = FSpill->read(s.Length);
    if (bytes.size() != s.Length || !DecodePage(bytes, *page))
        throw platform::EFileError(
            QStringLiteral("The page spill file is damaged (page %1)").arg(index + 1));
    FCache.insert(FCache.begin(), {index, page});
    if (FCache.size() > std::size_t(kCacheSize))
        FCache.pop_back();
    return page;
}

void TfrxPreparedPages::Clear() {
    std::lock_guard lock(FLock);
    FSlots.clear();
    FCache.clear();
    FResidentBytes = 0;
    FFirstResident = 0;
    FSpill.reset();
}

int TfrxPreparedPages::ResidentCount() const {
    std::lock_guard lock(FLock);
    return int(FSlots.size() - FFirstResident);
}

int TfrxPreparedPages::SpilledCount() const {
    std::lock_guard lock(FLock);
    return int(FFirstResident);
}

void TfrxPreparedPages::setError(const QString& text) const {
    std::lock_guard lock(FLock);
    FError = text;
}

QString TfrxPreparedPages::ErrorText() const {
    std::lock_guard lock(FLock);
    return FError;
}

bool TfrxPreparedPages::SaveToFile(const QString& fileName) const {
    QString error;
    const bool ok = WriteFp3File(fileName, *this, &error);
    setError(ok ? QString() : error);
    return ok;
}

bool TfrxPreparedPages::LoadFromFile(const QString& fileName) {
    // Pages go into a fresh set (spilling as they come), which replaces this one only on success.
    TfrxPreparedPages loaded(FBudget);
    QString error;
    if (!ReadFp3File(
            fileName, [&](PreparedPage&& page) { loaded.AddPage(std::move(page)); }, &error)) {
        setError(error);
        return false;
    }
    std::scoped_lock lock(FLock, loaded.FLock);
    std::swap(FSlots, loaded.FSlots);
    std::swap(FResidentBytes, loaded.FResidentBytes);
    std::swap(FFirstResident, loaded.FFirstResident);
    std::swap(FSpill, loaded.FSpill);
    FCache.clear();
    FError.clear();
    return true;
}

}  // namespace reportengine

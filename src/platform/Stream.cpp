// Stream basics; see Stream.h.
#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

namespace platform {

int64_t TStream::Size() {
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

QByteArray TStream::ReadAll() {
    const int64_t rest = Size() - Position();
    QByteArray out(qsizetype(std::max<int64_t>(rest, 0)), '\0');
    out.resize(qsizetype(Read(out.data(), out.size())));
    return out;
}

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= FSize)
        return 0;
    const int64_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, static_cast<const char*>(FMemory) + FPosition, size_t(n));
    FPosition += n;
    return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case soBeginning:
            FPosition = offset;
            break;
        case soCurrent:
            FPosition += offset;
            break;
        case soEnd:
            FPosition = FSize + offset;
            break;
    }
    if (FPosition < 0)
        FPosition = 0;
    return FPosition;
}

}  // namespace platform

// Byte streams as the dataset framework hands them out for blob fields: a TStream interface and
// TCustomMemoryStream, a stream over memory its owner sets (pointer and size).
// Thread contract: one thread per stream.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace platform {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }
    int64_t Size();
    // From the current position to the end.
    QByteArray ReadAll();
    void WriteBytes(const QByteArray& bytes) { Write(bytes.constData(), bytes.size()); }
};

class TCustomMemoryStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const void* Memory() const { return FMemory; }

protected:
    void SetPointer(const void* memory, int64_t size) {
        FMemory = memory;
        FSize = size;
    }
    int64_t FPosition = 0;

private:
    const void* FMemory = nullptr;
    int64_t FSize = 0;
};

}  // namespace platform

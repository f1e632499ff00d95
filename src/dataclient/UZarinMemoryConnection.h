// A connection over bytes in memory: reads consume a given input, writes append to an output.
// Lets packet decoding be tested and fuzzed without sockets. A read past the end fails like a
// peer that closed.
// Thread contract: single-threaded; one owner.
#pragma once

#include "dataclient/UZarinAbstracts.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace dataclient {

class TZarinMemoryConnection : public TZarinAbstractConnection {
public:
    explicit TZarinMemoryConnection(QByteArray input = {}) : FInput(std::move(input)) {}

    int32_t Read(void* buffer, int32_t count) override {
        if (FClosed || count < 0 || FInput.size() - FPosition < count) {
            FPosition = FInput.size();
            SetLastError(QStringLiteral("LAN_ERROR 00000000"));
            return 0;
        }
        std::memcpy(buffer, FInput.constData() + FPosition, size_t(count));
        FPosition += count;
        AddRead(uint32_t(count));
        SetLastError(QString());
        return count;
    }
    int32_t Write(const void* buffer, int32_t count) override {
        if (FClosed) {
            SetLastError(QStringLiteral("LAN_ERROR 00000000"));
            return -1;
        }
        FOutput.append(static_cast<const char*>(buffer), count);
        AddWritten(uint32_t(count));
        SetLastError(QString());
        return count;
    }
    void Close() override { FClosed = true; }

    void Feed(const QByteArray& bytes) { FInput.append(bytes); }
    const QByteArray& Output() const { return FOutput; }
    qsizetype Remaining() const { return FInput.size() - FPosition; }

private:
    QByteArray FInput;
    qsizetype FPosition = 0;
    QByteArray FOutput;
    bool FClosed = false;
};

}  // namespace dataclient

// A byte stream to the data server and the factories that make one. The session's link threads
// ask a factory for a fresh connection at every (re)connection and never learn how it is made.
// Failures are reported through LastError and the operation's result, never by exceptions.
//
// Thread contract: a connection is read by one thread; writes are serialised by its owner (the
// link's write lock); Close may come from any thread and wakes a blocked reader. LastError and
// the counters may be read from any thread. Factories are main-thread components; their
// CreateConnection is called by link threads under the session lock, so calls never overlap.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace dataclient {

class TZarinAbstractConnection {
public:
    TZarinAbstractConnection() = default;
    virtual ~TZarinAbstractConnection() = default;
    TZarinAbstractConnection(const TZarinAbstractConnection&) = delete;
    TZarinAbstractConnection& operator=(const TZarinAbstractConnection&) = delete;

    // Count on success; 0 on failure with LastError set.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Count on success; on failure the last send result (0 or -1) with LastError set.
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // Harmless when already closed; afterwards Read and Write fail at once.
    virtual void Close() = 0;

    QString LastError() const;
    uint32_t BytesWritten() const { return FBytesWritten.load(std::memory_order_relaxed); }
    uint32_t BytesRead() const { return FBytesRead.load(std::memory_order_relaxed); }

protected:
    void SetLastError(const QString& text);
    // Unsigned arithmetic: the counters restart at 0 on overflow.
    void AddWritten(uint32_t n) { FBytesWritten.fetch_add(n, std::memory_order_relaxed); }
    void AddRead(uint32_t n) { FBytesRead.fetch_add(n, std::memory_order_relaxed); }
    void SetCounters(uint32_t written, uint32_t read) {
        FBytesWritten = written;
        FBytesRead = read;
    }

private:
    mutable std::mutex FErrorLock;
    QString FLastError;  // guarded by FErrorLock
    std::atomic<uint32_t> FBytesWritten{0};
    std::atomic<uint32_t> FBytesRead{0};
};

class TZarinClientFactoryEnumerator;

class TZarinClientConnectionFactory : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Priority READ Priority WRITE SetPriority)
public:
    explicit TZarinClientConnectionFactory(QObject* owner = nullptr);
    ~TZarinClientConnectionFactory() override;

    // A new connection the caller owns, or none with LastError set.
    virtual std::unique_ptr<TZarinAbstractConnection> CreateConnection() = 0;

    QString LastError() const;
    int Priority() const { return FPriority; }
    void SetPriority(int priority) { FPriority = priority; }
    TZarinClientFactoryEnumerator* Enumerator() const { return FEnumerator; }
    // Unregisters from the old enumerator, registers with the new one, then stores it.
    void SetEnumerator(TZarinClientFactoryEnumerator* enumerator);

protected:
    void SetLastError(const QString& text);

private:
    mutable std::mutex FErrorLock;
    QString FLastError;  // guarded by FErrorLock
    int FPriority = 0;
    TZarinClientFactoryEnumerator* FEnumerator = nullptr;
    QMetaObject::Connection FEnumeratorGone;
};

// Tries its factories in priority order (higher first, equal ones in registration order) and
// returns the first connection obtained.
class TZarinClientFactoryEnumerator : public TZarinClientConnectionFactory {
    Q_OBJECT
public:
    explicit TZarinClientFactoryEnumerator(QObject* owner = nullptr);
    ~TZarinClientFactoryEnumerator() override;

    std::unique_ptr<TZarinAbstractConnection> CreateConnection() override;
    void AddFactory(TZarinClientConnectionFactory* factory);
    void RemoveFactory(TZarinClientConnectionFactory* factory);
    const std::vector<TZarinClientConnectionFactory*>& Factories() const { return FFactories; }

private:
    std::vector<TZarinClientConnectionFactory*> FFactories;
};

}  // namespace dataclient

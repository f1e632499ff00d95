// Connection base class and factory registration.
#include "dataclient/UZarinAbstracts.h"

#include <algorithm>

namespace dataclient {

QString TZarinAbstractConnection::LastError() const {
    std::lock_guard guard(FErrorLock);
    // A copy of its own: a shared one would be released on the reading thread while a writer
    // replaces the text on another, ordered only by Qt's reference count, which the thread
    // checker cannot see (the ktsd links read and write from two threads).
    return QString(FLastError.constData(), FLastError.size());
}

void TZarinAbstractConnection::SetLastError(const QString& text) {
    std::lock_guard guard(FErrorLock);
    FLastError = text;
}

TZarinClientConnectionFactory::TZarinClientConnectionFactory(QObject* owner) : QObject(owner) {}

TZarinClientConnectionFactory::~TZarinClientConnectionFactory() {
    SetEnumerator(nullptr);
}

QString TZarinClientConnectionFactory::LastError() const {
    std::lock_guard guard(FErrorLock);
    return FLastError;
}

void TZarinClientConnectionFactory::SetLastError(const QString& text) {
    std::lock_guard guard(FErrorLock);
    FLastError = text;
}

void TZarinClientConnectionFactory::SetEnumerator(TZarinClientFactoryEnumerator* enumerator) {
    if (FEnumerator) {
        FEnumerator->RemoveFactory(this);
        QObject::disconnect(FEnumeratorGone);
    }
    if (enumerator) {
        enumerator->AddFactory(this);
        // An enumerator that goes away takes itself out of this factory.
        FEnumeratorGone =
            connect(enumerator, &QObject::destroyed, this, [this] { FEnumerator = nullptr; });
    }
    FEnumerator = enumerator;
}

TZarinClientFactoryEnumerator::TZarinClientFactoryEnumerator(QObject* owner)
    : TZarinClientConnectionFactory(owner) {}

TZarinClientFactoryEnumerator::~TZarinClientFactoryEnumerator() {
    while (!FFactories.empty())
        FFactories.front()->SetEnumerator(nullptr);
}

void TZarinClientFactoryEnumerator::AddFactory(TZarinClientConnectionFactory* factory) {
    auto at = std::find_if(FFactories.begin(), FFactories.end(),
                           [&](auto* f) { return f->Priority() < factory->Priority(); });
    FFactories.insert(at, factory);
}

void TZarinClientFactoryEnumerator::RemoveFactory(TZarinClientConnectionFactory* factory) {
    auto at = std::find(FFactories.begin(), FFactories.end(), factory);
    if (at != FFactories.end())
        FFactories.erase(at);
}

std::unique_ptr<TZarinAbstractConnection> TZarinClientFactoryEnumerator::CreateConnection() {
    SetLastError(QStringLiteral("FactoryList is Emty"));
    for (auto* factory : FFactories) {
        auto connection = factory->CreateConnection();
        SetLastError(factory->LastError());
        if (connection)
            return connection;
    }
    return nullptr;
}

}  // namespace dataclient

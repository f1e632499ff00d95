// A zip package written from memory with libzip, for the OpenDocument exports: entries are
// added in order (the first one may be stored uncompressed, as the "mimetype" entry of an
// OpenDocument package must be) and the archive is written out on Close. Entries carry a fixed
// date, so the same content gives the same bytes.
//
// Thread/lifetime contract: one thread at a time; the data of added entries is copied, so the
// caller's buffers may go at once. Destroying an unclosed package discards it (no file written).
#pragma once

#include <QByteArray>
#include <QString>

#include <list>

struct zip;

namespace reportengine {

class ZipPackage {
public:
    ZipPackage() = default;
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Each returns false with *error set on failure.
    bool Open(const QString& path, QString* error);  // creates or truncates
    bool Add(const QString& name, const QByteArray& data, bool compress, QString* error);
    bool Close(QString* error);

private:
    zip* FZip = nullptr;
    std::list<QByteArray> FData;  // kept alive until Close: libzip reads them then
};

}  // namespace reportengine

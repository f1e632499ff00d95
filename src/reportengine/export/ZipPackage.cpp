#include "reportengine/export/ZipPackage.h"

#include <QFile>

#include <zip.h>

namespace reportengine {

namespace {

constexpr time_t kFixedTime = 946684800;  // 2000-01-01 00:00:00 UTC

QString zipError(zip* z) {
    return QString::fromLocal8Bit(zip_error_strerror(zip_get_error(z)));
}

}  // namespace

ZipPackage::~ZipPackage() {
    if (FZip)
        zip_discard(FZip);
}

bool ZipPackage::Open(const QString& path, QString* error) {
    int code = 0;
    FZip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (FZip)
        return true;
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(zip_error_strerror(&e)));
    zip_error_fini(&e);
    return false;
}

bool ZipPackage::Add(const QString& name, const QByteArray& data, bool compress, QString* error) {
    const QByteArray& kept = FData.emplace_back(data);
    zip_source_t* src = zip_source_buffer(FZip, kept.constData(), zip_uint64_t(kept.size()), 0);
    const zip_int64_t index =
        src ? zip_file_add(FZip, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        if (src)
            zip_source_free(src);
        *error = QStringLiteral("%1: %2").arg(name, zipError(FZip));
        return false;
    }
    if (zip_set_file_compression(FZip, zip_uint64_t(index),
                                 compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0 ||
        zip_file_set_mtime(FZip, zip_uint64_t(index), kFixedTime, 0) != 0) {
        *error = QStringLiteral("%1: %2").arg(name, zipError(FZip));
        return false;
    }
    return true;
}

bool ZipPackage::Close(QString* error) {
    zip* z = FZip;
    if (zip_close(z) == 0) {
        FZip = nullptr;
        FData.clear();
        return true;
    }
    *error = zipError(z);
    return false;  // the destructor discards it
}

}  // namespace reportengine

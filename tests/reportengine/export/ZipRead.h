// Reads a zip package back for the export tests: every entry's name, stored/deflated method
// and bytes, in archive order. Empty when the file is not a readable zip.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <zip.h>

#include <vector>

namespace exportsamples {

struct ZipEntry {
    QString Name;
    bool Stored = false;  // no compression
    QByteArray Data;
};

inline std::vector<ZipEntry> readZip(const QString& path) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    std::vector<ZipEntry> out;
    if (!z)
        return out;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0)
            break;
        ZipEntry e;
        e.Name = QString::fromUtf8(st.name);
        e.Stored = st.comp_method == ZIP_CM_STORE;
        e.Data.resize(qsizetype(st.size));
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        if (!f || zip_fread(f, e.Data.data(), st.size) != zip_int64_t(st.size))
            e.Data.clear();
        if (f)
            zip_fclose(f);
        out.push_back(std::move(e));
    }
    zip_close(z);
    return out;
}

inline QByteArray zipEntry(const std::vector<ZipEntry>& entries, const QString& name) {
    for (const ZipEntry& e : entries)
        if (e.Name == name)
            return e.Data;
    return {};
}

}  // namespace exportsamples

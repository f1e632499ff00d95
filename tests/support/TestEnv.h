// Helpers shared by the tests: a scoped environment variable and a fresh temporary folder that a
// test can make the application folder, registry folder or runtime folder.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toStdString() << '"';
}

namespace testenv {

// Text as a Windows "Unicode" file holds it: UTF-16LE behind a byte-order mark.
inline QByteArray utf16le(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name)) {
        qputenv(name, value.toUtf8());
    }
    ~ScopedEnv() {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};

// A temporary folder that is made the registry, runtime and application folder while it lives.
class Sandbox {
public:
    Sandbox()
        : FRegistry("VELLUMAR_REGISTRY_DIR", FDir.path() + "/registry"),
          FRuntime("XDG_RUNTIME_DIR", FDir.path() + "/run"),
          FHome("VELLUMAR_HOME", FDir.path() + "/app") {
        QDir().mkpath(FDir.path() + "/registry");
        QDir().mkpath(FDir.path() + "/run");
        // A runtime folder must be private, or Qt warns in every child process.
        QFile::setPermissions(FDir.path() + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(FDir.path() + "/app");
    }
    QString path() const { return FDir.path(); }
    QString appDir() const { return FDir.path() + "/app/"; }
    QString registryDir() const { return FDir.path() + "/registry"; }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir FDir;
    ScopedEnv FRegistry;
    ScopedEnv FRuntime;
    ScopedEnv FHome;
};

}  // namespace testenv

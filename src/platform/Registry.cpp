// The registry stand-in over hive files. Reads share one parsed tree per hive file across the
// process, checked against the file's identity before each use; writes are read-modify-write
// cycles under an exclusive flock on "<hive>.lock", ending in an atomic file replacement.
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/RegFile.h"

namespace platform {
namespace {

Q_LOGGING_CATEGORY(lcRegistry, "vellumar.registry")

QString rootName(RootKey root) {
    return root == RootKey::HKEY_LOCAL_MACHINE ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                               : QStringLiteral("HKEY_CURRENT_USER");
}

QString registryDir() {
    const QString dir = qEnvironmentVariable("VELLUMAR_REGISTRY_DIR");
    if (!dir.isEmpty())
        return dir;
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!config.isEmpty())
        return config + QStringLiteral("/Vellumar");
    return QDir::homePath() + QStringLiteral("/.config/Vellumar");
}

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// ---- file identity and the per-process cache ------------------------------------------------

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    qint64 mtimeNs = 0;
    bool operator==(const FileId&) const = default;
};

FileId idOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size,
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

qint64 nowNs() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// File systems stamp times coarsely (a few ms, on some a second or two), so a file changed twice
// within one tick keeps its time. An entry is trusted on identity alone only when the file was
// older than this when we read it; otherwise its bytes are compared afresh.
constexpr qint64 kRacyWindowNs = 2'000'000'000;

struct CacheEntry {
    FileId id;
    qint64 loadedNs = 0;
    QByteArray bytes;
    std::shared_ptr<const RegTree> tree;
};

std::mutex& cacheMutex() {
    static std::mutex m;
    return m;
}
std::map<QString, CacheEntry>& cache() {  // guarded by cacheMutex()
    static std::map<QString, CacheEntry> entries;
    return entries;
}

const std::shared_ptr<const RegTree>& emptyTree() {
    static const std::shared_ptr<const RegTree> tree = std::make_shared<RegTree>();
    return tree;
}

// An flock on "<hive>.lock", released by closing.
class HiveLock {
public:
    HiveLock(const QString& hivePath, bool exclusive) {
        const QByteArray name = QFile::encodeName(hivePath + QStringLiteral(".lock"));
        FFd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (FFd < 0 && !exclusive)
            FFd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (FFd < 0) {
            FError = QStringLiteral("cannot open the lock file %1: %2")
                         .arg(QFile::decodeName(name), errnoText());
            return;
        }
        while (::flock(FFd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno != EINTR) {
                FError =
                    QStringLiteral("cannot lock %1: %2").arg(QFile::decodeName(name), errnoText());
                ::close(FFd);
                FFd = -1;
                return;
            }
        }
    }
    ~HiveLock() {
        if (FFd >= 0)
            ::close(FFd);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool held() const { return FFd >= 0; }
    const QString& error() const { return FError; }

private:
    int FFd = -1;
    QString FError;
};

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file and its identity from one descriptor, so the two always belong together.
ReadStatus readHiveFile(const QString& path, QByteArray& bytes, FileId& id, QString& error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadStatus::Missing;
        error = QStringLiteral("cannot open %1: %2").arg(path, errnoText());
        return ReadStatus::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = QStringLiteral("cannot stat %1: %2").arg(path, errnoText());
        ::close(fd);
        return ReadStatus::Failed;
    }
    id = idOf(st);
    bytes.clear();
    bytes.reserve(st.st_size);
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = QStringLiteral("cannot read %1: %2").arg(path, errnoText());
            ::close(fd);
            return ReadStatus::Failed;
        }
        bytes.append(buf, n);
    }
    ::close(fd);
    return ReadStatus::Ok;
}

void remember(const QString& path, const FileId& id, qint64 loadedNs, const QByteArray& bytes,
              std::shared_ptr<const RegTree> tree) {
    std::lock_guard guard(cacheMutex());
    cache()[path] = CacheEntry{id, loadedNs, bytes, std::move(tree)};
}

// The parsed hive for reading. A missing, unreadable or unparsable file reads as an empty hive.
std::shared_ptr<const RegTree> loadHive(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return emptyTree();
    CacheEntry known;
    {
        std::lock_guard guard(cacheMutex());
        auto it = cache().find(path);
        if (it != cache().end()) {
            known = it->second;
            if (known.id == idOf(st) && known.loadedNs - known.id.mtimeNs > kRacyWindowNs)
                return known.tree;
        }
    }

    QByteArray bytes;
    FileId id;
    QString error;
    const qint64 loadedNs = nowNs();
    {
        const HiveLock lock(path, false);  // best effort: a read-only folder still reads
        const ReadStatus status = readHiveFile(path, bytes, id, error);
        if (status == ReadStatus::Missing)
            return emptyTree();
        if (status == ReadStatus::Failed) {
            qCWarning(lcRegistry).noquote() << error;
            return emptyTree();
        }
    }
    if (known.tree && known.bytes == bytes) {
        remember(path, id, loadedNs, bytes, known.tree);
        return known.tree;
    }
    RegParseResult parsed = parseRegFile(bytes);
    std::shared_ptr<const RegTree> tree;
    if (parsed.ok()) {
        tree = std::make_shared<RegTree>(std::move(parsed.tree));
    } else {
        qCWarning(lcRegistry).noquote()
            << QStringLiteral("%1 is not a registry file (%2); it reads as empty")
                   .arg(path, parsed.error);
        tree = emptyTree();
    }
    remember(path, id, loadedNs, bytes, tree);
    return tree;
}

enum class Change { None, Done, Failed };

// One write cycle: lock, re-read, apply change, replace the file. False (with the reason logged)
// when the hive cannot be written; a file that does not parse is never overwritten.
bool modifyHive(const QString& path, const std::function<Change(RegTree&)>& change) {
    QString error;
    const auto failed = [&] {
        qCWarning(lcRegistry).noquote() << error;
        return false;
    };
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        error = QStringLiteral("cannot create the registry folder %1").arg(dir);
        return failed();
    }
    const HiveLock lock(path, true);
    if (!lock.held()) {
        error = lock.error();
        return failed();
    }
    QByteArray bytes;
    FileId id;
    RegTree tree;
    switch (readHiveFile(path, bytes, id, error)) {
        case ReadStatus::Failed:
            return failed();
        case ReadStatus::Missing:
            break;
        case ReadStatus::Ok: {
            RegParseResult parsed = parseRegFile(bytes);
            if (!parsed.ok()) {
                error = QStringLiteral("%1 is not a registry file (%2); it is left as it is")
                            .arg(path, parsed.error);
                return failed();
            }
            tree = std::move(parsed.tree);
            break;
        }
    }
    switch (change(tree)) {
        case Change::None:
            return true;
        case Change::Failed:
            error = QStringLiteral("the key to write to no longer exists in %1").arg(path);
            return failed();
        case Change::Done:
            break;
    }
    const QByteArray out = serializeRegFile(tree);
    const qint64 writtenNs = nowNs();
    try {
        writeFileAtomically(path, out);
    } catch (const EFileError& e) {
        error = e.Message();
        return failed();
    }
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        remember(path, idOf(st), writtenNs, out, std::make_shared<RegTree>(std::move(tree)));
    return true;
}

}  // namespace

// ---- Registry -------------------------------------------------------------------------------

struct Registry::Impl {
    bool open = false;
    QStringList current;  // path of the open key below the hive root

    // The key path named by key: absolute when it starts with '\' (or no key is open), else
    // below the current key. Empty parts (doubled or trailing '\') are skipped; '/' is an
    // ordinary character. False when a name cannot be stored.
    bool resolve(const QString& key, QStringList& path) const {
        path = key.startsWith(u'\\') || !open ? QStringList() : current;
        for (const QString& part : key.split(u'\\', Qt::SkipEmptyParts)) {
            if (!isValidRegKeyName(part))
                return false;
            path.append(part);
        }
        return path.size() < kMaxRegKeyDepth;
    }
};

namespace {

QStringList inHive(RootKey root, const QStringList& path) {
    return QStringList{rootName(root)} + path;
}

const RegKey* findKey(const RegTree& tree, RootKey root, const QStringList& path) {
    return tree.top.find(inHive(root, path));
}

RegKey& createKey(RegTree& tree, RootKey root, const QStringList& path, bool& created) {
    RegKey* key = &tree.top;
    created = false;
    for (const QString& part : inHive(root, path)) {
        if (RegKey* sub = key->findSubkey(part)) {
            key = sub;
        } else {
            key = &key->subkeyOrNew(part);
            created = true;
        }
    }
    return *key;
}

[[noreturn]] void throwSetData(const QString& name) {
    throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name));
}

}  // namespace

Registry::Registry(RootKey root) : FImpl(std::make_unique<Impl>()), FRootKey(root) {}

Registry::~Registry() = default;

void Registry::setRootKey(RootKey root) {
    CloseKey();
    FRootKey = root;
}

QString Registry::hiveFilePath(RootKey root) {
    return registryDir() + u'/' + rootName(root) + QStringLiteral(".reg");
}

bool Registry::OpenKey(const QString& key, bool canCreate) {
    QStringList path;
    if (!FImpl->resolve(key, path))
        return false;
    const QString file = hiveFilePath(FRootKey);
    // Opening an existing key is a read, so it works on a hive that cannot be written.
    if (!findKey(*loadHive(file), FRootKey, path)) {
        if (!canCreate)
            return false;
        const bool ok = modifyHive(file, [&](RegTree& tree) {
            bool created;
            createKey(tree, FRootKey, path, created);
            return created ? Change::Done : Change::None;
        });
        if (!ok)
            return false;
    }
    FImpl->open = true;
    FImpl->current = path;
    return true;
}

bool Registry::OpenKeyReadOnly(const QString& key) {
    return OpenKey(key, false);
}

void Registry::CloseKey() {
    FImpl->open = false;
    FImpl->current.clear();
}

QString Registry::CurrentPath() const {
    return FImpl->current.join(u'\\');
}

bool Registry::KeyExists(const QString& key) const {
    QStringList path;
    return FImpl->resolve(key, path) && findKey(*loadHive(hiveFilePath(FRootKey)), FRootKey, path);
}

bool Registry::CreateKey(const QString& key) {
    QStringList path;
    const bool ok = FImpl->resolve(key, path) && !path.isEmpty() &&
                    modifyHive(hiveFilePath(FRootKey), [&](RegTree& tree) {
                        bool created;
                        createKey(tree, FRootKey, path, created);
                        return created ? Change::Done : Change::None;
                    });
    if (!ok)
        throw ERegistryException(QStringLiteral("Failed to create key %1").arg(key));
    return true;
}

bool Registry::DeleteKey(const QString& key) {
    QStringList path;
    if (!FImpl->resolve(key, path) || path.isEmpty())
        return false;
    const QString file = hiveFilePath(FRootKey);
    if (!findKey(*loadHive(file), FRootKey, path))
        return false;
    bool removed = false;
    const bool ok = modifyHive(file, [&](RegTree& tree) {
        RegKey* parent = tree.top.find(inHive(FRootKey, path.mid(0, path.size() - 1)));
        removed = parent && parent->removeSubkey(path.last());
        return removed ? Change::Done : Change::None;
    });
    return ok && removed;
}

QStringList Registry::GetKeyNames() const {
    QStringList names;
    if (!FImpl->open)
        return names;
    const auto tree = loadHive(hiveFilePath(FRootKey));
    if (const RegKey* key = findKey(*tree, FRootKey, FImpl->current)) {
        for (const RegKey& sub : key->subkeys)
            names.append(sub.name);
    }
    return names;
}

QStringList Registry::GetValueNames() const {
    QStringList names;
    if (!FImpl->open)
        return names;
    const auto tree = loadHive(hiveFilePath(FRootKey));
    if (const RegKey* key = findKey(*tree, FRootKey, FImpl->current)) {
        for (const RegValue& v : key->values)
            names.append(v.name);
    }
    return names;
}

bool Registry::HasSubKeys() const {
    return !GetKeyNames().isEmpty();
}

namespace {

// A copy of the named value of the open key; false when there is none.
bool lookUp(bool open, RootKey root, const QStringList& current, const QString& name,
            RegValue& out) {
    if (!open)
        return false;
    const auto tree = loadHive(Registry::hiveFilePath(root));
    const RegKey* key = findKey(*tree, root, current);
    const RegValue* v = key ? key->findValue(name) : nullptr;
    if (!v)
        return false;
    out = *v;
    return true;
}

[[noreturn]] void throwGetData(const QString& name) {
    throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(name));
}

[[noreturn]] void throwInvalidType(const QString& name) {
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
}

}  // namespace

bool Registry::ValueExists(const QString& name) const {
    RegValue v;
    return lookUp(FImpl->open, FRootKey, FImpl->current, name, v);
}

RegDataType Registry::GetDataType(const QString& name) const {
    RegValue v;
    if (!lookUp(FImpl->open, FRootKey, FImpl->current, name, v))
        return RegDataType::Unknown;
    switch (v.kind) {
        case RegValue::String:
            return RegDataType::String;
        case RegValue::Dword:
            return RegDataType::Integer;
        case RegValue::Binary:
            return RegDataType::Binary;
        case RegValue::Other:
            break;
    }
    return RegDataType::Unknown;
}

bool Registry::DeleteValue(const QString& name) {
    if (!ValueExists(name))
        return false;
    bool removed = false;
    const bool ok = modifyHive(hiveFilePath(FRootKey), [&](RegTree& tree) {
        RegKey* key = tree.top.find(inHive(FRootKey, FImpl->current));
        removed = key && key->removeValue(name);
        return removed ? Change::Done : Change::None;
    });
    return ok && removed;
}

QString Registry::ReadString(const QString& name) const {
    RegValue v;
    if (!lookUp(FImpl->open, FRootKey, FImpl->current, name, v))
        return QString();
    if (v.kind != RegValue::String)
        throwInvalidType(name);
    return v.text;
}

int Registry::ReadInteger(const QString& name) const {
    RegValue v;
    if (!lookUp(FImpl->open, FRootKey, FImpl->current, name, v))
        throwGetData(name);
    if (v.kind != RegValue::Dword)
        throwInvalidType(name);
    return static_cast<int>(v.dword);
}

QByteArray Registry::ReadBinaryData(const QString& name) const {
    RegValue v;
    if (!lookUp(FImpl->open, FRootKey, FImpl->current, name, v))
        throwGetData(name);
    // Values of types we do not model are handed out as their raw bytes.
    if (v.kind != RegValue::Binary && v.kind != RegValue::Other)
        throwInvalidType(name);
    return v.bytes;
}

bool Registry::ReadBool(const QString& name) const {
    return ReadInteger(name) != 0;
}

namespace {

void writeValue(bool open, RootKey root, const QStringList& current, const QString& name,
                const std::function<void(RegValue&)>& assign) {
    if (!open || !isValidRegValueName(name))
        throwSetData(name);
    const bool ok = modifyHive(Registry::hiveFilePath(root), [&](RegTree& tree) {
        RegKey* key = tree.top.find(inHive(root, current));
        if (!key)
            return Change::Failed;
        RegValue& v = key->valueOrNew(name);
        const QString spelling = v.name;
        v = RegValue();
        v.name = spelling;
        assign(v);
        return Change::Done;
    });
    if (!ok)
        throwSetData(name);
}

}  // namespace

void Registry::WriteString(const QString& name, const QString& value) {
    writeValue(FImpl->open, FRootKey, FImpl->current, name, [&](RegValue& v) {
        v.kind = RegValue::String;
        v.text = value;
    });
}

void Registry::WriteInteger(const QString& name, int value) {
    writeValue(FImpl->open, FRootKey, FImpl->current, name, [&](RegValue& v) {
        v.kind = RegValue::Dword;
        v.dword = static_cast<std::uint32_t>(value);
    });
}

void Registry::WriteBinaryData(const QString& name, const QByteArray& value) {
    writeValue(FImpl->open, FRootKey, FImpl->current, name, [&](RegValue& v) {
        v.kind = RegValue::Binary;
        v.bytes = value;
    });
}

void Registry::WriteBool(const QString& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

}  // namespace platform

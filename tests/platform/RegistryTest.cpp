// The registry stand-in against real hive files in a temporary folder: typed values, key paths,
// the registry's own error texts, sharing a hive between writers, and never losing a file that an
// operator wrote or protected.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "TestEnv.h"

using namespace platform;
using testenv::Sandbox;

namespace {

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "(no error)";
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

void setMtime(const QString& path, const timespec& when) {
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

class RegistryTest : public ::testing::Test {
protected:
    QString hive() const { return Registry::hiveFilePath(RootKey::HKEY_LOCAL_MACHINE); }
    QByteArray hiveBytes() const { return Sandbox::readFile(hive()); }

    Sandbox box;
};

// A value name may hold a backslash and quotes; a key name may hold quotes and '/', but a
// backslash separates keys.
const QString kCyrillic = QString::fromUtf8("Отчёт \"№1\" C:\\Путь\\");
const QString kKeyName = QString::fromUtf8("Отчёты \"за\" 2024/25");

}  // namespace

TEST_F(RegistryTest, EveryTypeSurvivesTheFile) {
    EXPECT_EQ(hive(), box.registryDir() + "/HKEY_LOCAL_MACHINE.reg");
    const QByteArray blob = QByteArray::fromHex("00ff10") + QByteArray(200, '\x5A');
    {
        Registry reg(RootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\TAMUR\\" + kKeyName + "\\", true));
        EXPECT_EQ(reg.CurrentPath(), "Software\\TAMUR\\" + kKeyName);
        reg.WriteString(kCyrillic, kCyrillic);
        reg.WriteString("", "default value");
        reg.WriteString("Empty", "");
        reg.WriteString("Lines", "one\r\ntwo");
        reg.WriteInteger("Neg", -2147483647 - 1);
        reg.WriteInteger("Ten", 10);
        reg.WriteBool("Yes", true);
        reg.WriteBinaryData("Blob", blob);
        reg.WriteBinaryData("NoBytes", QByteArray());
    }
    // The file itself, as the Windows editor writes it; '/' is an ordinary character of a name.
    const QByteArray bytes = hiveBytes();
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE")) << bytes.left(4).toHex().toStdString();
    const RegParseResult parsed = parseRegFile(bytes);
    ASSERT_TRUE(parsed.ok()) << parsed.error.toStdString();
    const RegKey* key = parsed.tree.top.find({"HKEY_LOCAL_MACHINE", "Software", "TAMUR", kKeyName});
    ASSERT_TRUE(key);
    EXPECT_EQ(key->values.size(), 9u);

    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\tamur\\" + kKeyName.toUpper()));
    EXPECT_EQ(reg.ReadString(kCyrillic), kCyrillic);
    EXPECT_EQ(reg.ReadString(""), "default value");
    EXPECT_EQ(reg.ReadString("empty"), "");
    EXPECT_EQ(reg.ReadString("Lines"), "one\r\ntwo");
    EXPECT_EQ(reg.ReadInteger("NEG"), -2147483647 - 1);
    EXPECT_EQ(reg.ReadInteger("Ten"), 10);
    EXPECT_TRUE(reg.ReadBool("Yes"));
    EXPECT_EQ(reg.ReadBinaryData("Blob"), blob);
    EXPECT_EQ(reg.ReadBinaryData("NoBytes"), QByteArray());
    EXPECT_EQ(reg.GetDataType("Ten"), RegDataType::Integer);
    EXPECT_EQ(reg.GetDataType("Blob"), RegDataType::Binary);
    EXPECT_EQ(reg.GetDataType("Empty"), RegDataType::String);
    EXPECT_EQ(reg.GetDataType("Missing"), RegDataType::Unknown);
    EXPECT_EQ(reg.GetValueNames(), (QStringList{kCyrillic, "", "Empty", "Lines", "Neg", "Ten",
                                                "Yes", "Blob", "NoBytes"}));
}

TEST_F(RegistryTest, KeyPathsRelativeAbsoluteAndCaseBlind) {
    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.OpenKey("\\Software\\TAMUR", false));
    ASSERT_TRUE(reg.OpenKey("\\Software\\TAMUR\\", true));
    ASSERT_TRUE(reg.OpenKey("ZARIN_PRO\\Vellumar", true));  // relative to the open key
    EXPECT_EQ(reg.CurrentPath(), "Software\\TAMUR\\ZARIN_PRO\\Vellumar");
    reg.WriteString("Value", "1");
    reg.WriteString("VALUE", "2");  // the same value, first spelling kept

    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\tamur", false));  // absolute again
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\tamur");
    EXPECT_TRUE(reg.KeyExists("zarin_pro\\VELLUMAR"));
    EXPECT_TRUE(reg.KeyExists("\\software\\TAMUR\\Zarin_Pro"));
    EXPECT_FALSE(reg.KeyExists("Vellumar"));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{"ZARIN_PRO"});
    EXPECT_TRUE(reg.HasSubKeys());

    ASSERT_TRUE(reg.OpenKey("Zarin_Pro\\Vellumar", false));
    EXPECT_EQ(reg.GetValueNames(), QStringList{"Value"});
    EXPECT_EQ(reg.ReadString("value"), "2");

    // Another root is another file.
    reg.setRootKey(RootKey::HKEY_CURRENT_USER);
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_FALSE(reg.KeyExists("\\Software\\TAMUR"));
}

TEST_F(RegistryTest, EmptyKeysSurviveAndDeleteKeyTakesSubkeys) {
    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(reg.CreateKey("\\Software\\TAMUR\\History"));
    EXPECT_TRUE(reg.CreateKey("\\Software\\TAMUR\\Profiles\\Report\\Monday"));
    ASSERT_TRUE(reg.OpenKey("\\Software\\TAMUR\\Profiles\\Report\\Monday", false));
    reg.WriteInteger("Days", 7);
    EXPECT_TRUE(reg.KeyExists("\\Software\\TAMUR\\History"));  // empty, yet kept in the file

    ASSERT_TRUE(reg.OpenKey("\\Software\\TAMUR", false));
    EXPECT_FALSE(reg.DeleteKey("Nothing"));
    EXPECT_TRUE(reg.DeleteKey("PROFILES"));
    EXPECT_FALSE(reg.KeyExists("Profiles\\Report\\Monday"));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{"History"});

    EXPECT_TRUE(reg.DeleteValue("nothing") == false);
    ASSERT_TRUE(reg.OpenKey("History", false));
    reg.WriteString("H1", "a");
    EXPECT_TRUE(reg.DeleteValue("h1"));
    EXPECT_FALSE(reg.ValueExists("H1"));
}

TEST_F(RegistryTest, ErrorTextsAreTheRegistrys) {
    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    EXPECT_EQ(errorOf([&] { reg.WriteString("H1", "x"); }), "Failed to set data for 'H1'");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Errors", true));
    reg.WriteString("Text", "abc");
    reg.WriteInteger("Number", 5);

    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(errorOf([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(errorOf([&] { reg.ReadBinaryData("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(errorOf([&] { reg.ReadBool("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(errorOf([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(errorOf([&] { reg.ReadBinaryData("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(errorOf([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(errorOf([&] { reg.WriteString("Bad\nName", "x"); }),
              "Failed to set data for 'Bad\nName'");
}

TEST_F(RegistryTest, ReadOnlyHiveRefusesWritesAndStaysAsItWas) {
    {
        Registry reg(RootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\TAMUR\\ZARIN_PRO\\Vellumar\\History\\", true));
        reg.WriteString("H1", "old");
    }
    ::chmod(QFile::encodeName(hive()).constData(), 0444);
    const QByteArray before = hiveBytes();

    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    // Opening an existing key is a read and works; creating one does not.
    ASSERT_TRUE(reg.OpenKey("\\Software\\TAMUR\\ZARIN_PRO\\Vellumar\\History\\", true));
    EXPECT_EQ(errorOf([&] { reg.WriteString("H1", "new"); }), "Failed to set data for 'H1'");
    EXPECT_EQ(errorOf([&] { reg.WriteInteger("N", 1); }), "Failed to set data for 'N'");
    EXPECT_EQ(errorOf([&] { reg.CreateKey("Sub"); }), "Failed to create key Sub");
    EXPECT_FALSE(reg.OpenKey("\\Software\\New", true));
    EXPECT_FALSE(reg.DeleteKey("\\Software\\TAMUR"));
    EXPECT_EQ(reg.ReadString("H1"), "old");
    EXPECT_EQ(hiveBytes(), before);
}

TEST_F(RegistryTest, CorruptHiveReadsEmptyAndIsNeverOverwritten) {
    const QByteArray garbage = "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A\r\n";
    Sandbox::writeFile(hive(), garbage);
    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists("\\A"));
    EXPECT_FALSE(reg.OpenKey("\\A", true));
    EXPECT_EQ(errorOf([&] { reg.CreateKey("\\B"); }), "Failed to create key \\B");
    EXPECT_EQ(hiveBytes(), garbage);
}

// Each write re-reads the file under the lock, so writers (other objects, other programs) do not
// undo each other; reads notice a file changed behind their back.
TEST_F(RegistryTest, WritersShareTheHive) {
    Registry first(RootKey::HKEY_LOCAL_MACHINE);
    Registry second(RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(first.OpenKey("\\Software\\Shared", true));
    ASSERT_TRUE(second.OpenKey("\\Software\\Shared", true));
    first.WriteString("A", "from first");
    second.WriteString("B", "from second");
    EXPECT_EQ(first.ReadString("B"), "from second");

    // Another program replaces the file with one more value...
    RegParseResult other = parseRegFile(hiveBytes());
    ASSERT_TRUE(other.ok());
    other.tree.top.find({"HKEY_LOCAL_MACHINE", "Software", "Shared"})->valueOrNew("C").text =
        "from outside";
    writeFileAtomically(hive(), serializeRegFile(other.tree));
    EXPECT_EQ(first.ReadString("C"), "from outside");
    first.WriteString("D", "after");
    EXPECT_EQ(second.GetValueNames(), (QStringList{"A", "B", "C", "D"}));

    // ...or edits it in place within one tick of the file system's clock: same inode, same
    // size, same time stamp.
    const struct stat before = statOf(hive());
    QByteArray edited = hiveBytes();
    const QByteArray needle = testenv::utf16le("after").mid(2);
    ASSERT_TRUE(edited.contains(needle));
    edited.replace(needle, testenv::utf16le("AFTER").mid(2));
    Sandbox::writeFile(hive(), edited);
    setMtime(hive(), before.st_mtim);
    ASSERT_EQ(statOf(hive()).st_ino, before.st_ino);
    EXPECT_EQ(second.ReadString("D"), "AFTER");
}

// Writers on separate threads go through the same lock as separate programs do.
TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    constexpr int kThreads = 3;
    constexpr int kValues = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            Registry reg(RootKey::HKEY_LOCAL_MACHINE);
            if (!reg.OpenKey("\\Software\\Busy", true))
                return;
            for (int i = 0; i < kValues; ++i)
                reg.WriteInteger(QString("T%1_%2").arg(t).arg(i), i);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Busy", false));
    EXPECT_EQ(reg.GetValueNames().size(), kThreads * kValues);
}

// A hive last changed long ago is read once and then served from memory; replacing the file is
// still seen even when the new file carries the same size and time stamp.
TEST_F(RegistryTest, OldHiveIsCachedUntilTheFileChanges) {
    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Software", true));
    reg.WriteString("V", "one");
    const timespec hourAgo{time(nullptr) - 3600, 0};
    setMtime(hive(), hourAgo);
    EXPECT_EQ(reg.ReadString("V"), "one");

    QByteArray other = hiveBytes();
    other.replace(testenv::utf16le("one").mid(2), testenv::utf16le("two").mid(2));
    writeFileAtomically(hive(), other);
    setMtime(hive(), hourAgo);
    EXPECT_EQ(reg.ReadString("V"), "two");
}

TEST_F(RegistryTest, HandWrittenExportIsReadAndUnknownTypesSurviveRewrite) {
    const QString text = QString::fromUtf8(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TAMUR\\ZARIN_PRO\\Vellumar]\r\n"
        "\"LangActive\"=dword:00000002\r\n"
        "\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        "\"Layout\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
        "  15,16,17\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TAMUR\\ZARIN_PRO\\Vellumar\\History]\r\n"
        "\"H1\"=\"Отчёт по событиям\"\r\n"
        "\r\n");
    Sandbox::writeFile(hive(), testenv::utf16le(text));

    Registry reg(RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\TAMUR\\ZARIN_PRO\\Vellumar", false));
    EXPECT_EQ(reg.ReadInteger("LangActive"), 2);
    QByteArray layout;
    for (int i = 0; i < 24; ++i)
        layout.append(char(i));
    EXPECT_EQ(reg.ReadBinaryData("Layout"), layout);
    EXPECT_EQ(reg.GetDataType("Expand"), RegDataType::Unknown);
    EXPECT_EQ(errorOf([&] { reg.ReadString("Expand"); }), "Invalid data type for 'Expand'");
    ASSERT_TRUE(reg.OpenKey("History", false));
    EXPECT_EQ(reg.ReadString("H1"), QString::fromUtf8("Отчёт по событиям"));

    reg.WriteString("H2", "new");
    const QByteArray after = hiveBytes();
    EXPECT_TRUE(after.contains(
        testenv::utf16le("\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n").mid(2)));
    EXPECT_TRUE(after.contains(testenv::utf16le("\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n").mid(2)));
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\TAMUR\\ZARIN_PRO\\Vellumar", false));
    EXPECT_EQ(reg.ReadBinaryData("Multi"), QByteArray("a\0\0\0b\0\0\0\0\0", 10));
}

TEST_F(RegistryTest, FolderComesFromEnvironmentAndIsCreatedOnFirstWrite) {
    {
        const testenv::ScopedEnv none("VELLUMAR_REGISTRY_DIR", QString());
        const testenv::ScopedEnv config("XDG_CONFIG_HOME", box.path() + "/config");
        EXPECT_EQ(Registry::hiveFilePath(RootKey::HKEY_CURRENT_USER),
                  box.path() + "/config/Vellumar/HKEY_CURRENT_USER.reg");
    }
    const testenv::ScopedEnv deep("VELLUMAR_REGISTRY_DIR", box.path() + "/a/b/c");
    Registry reg;
    EXPECT_EQ(reg.rootKey(), RootKey::HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Tamur\\ZarinPro\\Vellumar\\Fast Reports", true));
    reg.WriteBool("Flag", false);
    EXPECT_TRUE(QFile::exists(box.path() + "/a/b/c/HKEY_CURRENT_USER.reg"));
    EXPECT_FALSE(reg.ReadBool("Flag"));
}

// INI files: lookups without regard to case, and writes that change one line and leave every
// other byte (comments, unknown sections, line ends, encoding) as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "TestEnv.h"

using platform::EFileError;
using platform::IniFile;
using testenv::Sandbox;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString path() const { return box.path() + "/zarin.ini"; }
    QByteArray bytes() const { return Sandbox::readFile(path()); }

    Sandbox box;
};

const QByteArray kWindowsFile =
    "; settings of the workstation\r\n"
    "orphan=outside any section\r\n"
    "[SrvVellumar]\r\n"
    "  SrvAddr =  10.0.0.5  \r\n"
    "# old: SrvAddr=10.0.0.1\r\n"
    "Port=2001\r\n"
    "\r\n"
    "[Unknown Section]\r\n"
    "weird line without equals\r\n"
    "Key=Value ; not a comment\r\n";

}  // namespace

TEST_F(IniFileTest, ReadsWithoutRegardToCase) {
    Sandbox::writeFile(path(), kWindowsFile);
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString("srvvellumar", "SRVADDR", "127.0.0.1"), "10.0.0.5");
    EXPECT_EQ(ini.ReadInteger("SrvVellumar", "port", 0), 2001);
    EXPECT_EQ(ini.ReadString("Unknown Section", "key", ""), "Value ; not a comment");
    EXPECT_EQ(ini.ReadString("SrvVellumar", "orphan", "def"), "def");  // outside any section
    EXPECT_EQ(ini.ReadString("SrvVellumar", "Missing", "def"), "def");
    EXPECT_TRUE(ini.SectionExists("UNKNOWN SECTION"));
    EXPECT_FALSE(ini.SectionExists("Other"));
    EXPECT_TRUE(ini.ValueExists("SrvVellumar", "Port"));
    EXPECT_FALSE(ini.ValueExists("SrvVellumar", "# old: SrvAddr"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"SrvVellumar", "Unknown Section"}));
    EXPECT_EQ(ini.ReadSection("srvVELLUMAR"), (QStringList{"SrvAddr", "Port"}));
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString("SrvVellumar", "SrvAddr", "127.0.0.1"), "127.0.0.1");
    EXPECT_TRUE(ini.ReadBool("S", "B", true));
    ini.DeleteKey("S", "K");  // nothing to delete: no file appears
    EXPECT_FALSE(QFile::exists(path()));
    ini.WriteString("SrvVellumar", "SrvAddr", "server1");
    ini.WriteBool("SrvVellumar", "Flag", true);
    EXPECT_EQ(bytes(), "[SrvVellumar]\nSrvAddr=server1\nFlag=1\n");
}

TEST_F(IniFileTest, WritesChangeOnlyTheirLine) {
    Sandbox::writeFile(path(), kWindowsFile);
    IniFile ini(path());
    ini.WriteString("SRVVELLUMAR", "srvaddr", "192.168.1.1");  // in place, spelling kept
    ini.WriteInteger("SrvVellumar", "Timeout", 30);            // before the blank line
    ini.WriteString("New", "A", "b");                          // a new section at the end
    EXPECT_EQ(bytes(),
              "; settings of the workstation\r\n"
              "orphan=outside any section\r\n"
              "[SrvVellumar]\r\n"
              "  SrvAddr =  192.168.1.1\r\n"
              "# old: SrvAddr=10.0.0.1\r\n"
              "Port=2001\r\n"
              "Timeout=30\r\n"
              "\r\n"
              "[Unknown Section]\r\n"
              "weird line without equals\r\n"
              "Key=Value ; not a comment\r\n"
              "\r\n"
              "[New]\r\n"
              "A=b\r\n");

    ini.DeleteKey("srvvellumar", "TIMEOUT");
    ini.EraseSection("new");
    QByteArray expected = kWindowsFile;
    expected.replace("10.0.0.5  ", "192.168.1.1");
    EXPECT_EQ(bytes(), expected + "\r\n");
}

TEST_F(IniFileTest, LastLineWithoutLineEndGetsOneBeforeAnAppend) {
    Sandbox::writeFile(path(), "[A]\nx=1");
    IniFile(path()).WriteString("A", "y", "2");
    EXPECT_EQ(bytes(), "[A]\nx=1\ny=2\n");
}

TEST_F(IniFileTest, EncodingIsKept) {
    // Windows-1251 ("Сервер" = D1 E5 F0 E2 E5 F0) stays Windows-1251, BOM-marked UTF-8 stays so.
    Sandbox::writeFile(path(),
                       "[\xD1\xE5\xF0\xE2\xE5\xF0]\r\n\xC8\xEC\xFF=\xCE\xF2\xF7\xB8\xF2\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString(QString::fromUtf8("сервер"), QString::fromUtf8("ИМЯ"), ""),
              QString::fromUtf8("Отчёт"));
    ini.WriteString(QString::fromUtf8("Сервер"), QString::fromUtf8("Новый"),
                    QString::fromUtf8("Ёлка 中"));
    EXPECT_EQ(bytes(),
              "[\xD1\xE5\xF0\xE2\xE5\xF0]\r\n\xC8\xEC\xFF=\xCE\xF2\xF7\xB8\xF2\r\n"
              "\xCD\xEE\xE2\xFB\xE9=\xA8\xEB\xEA\xE0 ?\r\n");

    Sandbox::writeFile(path(), "\xEF\xBB\xBF[A]\nk=\xD0\x96\n");
    ini.WriteString("A", "k", QString::fromUtf8("Ё"));
    EXPECT_EQ(bytes(), "\xEF\xBB\xBF[A]\nk=\xD0\x81\n");
}

TEST_F(IniFileTest, IntegersAndBooleans) {
    Sandbox::writeFile(path(),
                       "[N]\na=12\nb=-5\nc=$1F\nd=0x10\ne=abc\nf=\ng=99999999999\nh=$FFFFFFFF\n"
                       "t=true\n");
    IniFile ini(path());
    struct Case {
        const char* key;
        int expected;
    } cases[] = {
        {"a", 12}, {"b", -5}, {"c", 31}, {"d", 16}, {"e", 7},
        {"f", 7},  {"g", 7},  {"h", -1}, {"zz", 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadInteger("N", c.key, 7), c.expected) << c.key;
    // Booleans are integers: "true" is not a number, so the default stands.
    EXPECT_FALSE(ini.ReadBool("N", "t", false));
    EXPECT_TRUE(ini.ReadBool("N", "b", false));
}

TEST_F(IniFileTest, UnstorableNamesAndUnwritableFilesLeaveTheFileAlone) {
    Sandbox::writeFile(path(), kWindowsFile);
    IniFile ini(path());
    EXPECT_THROW(ini.WriteString("S", "a=b", "x"), EFileError);
    EXPECT_THROW(ini.WriteString("S", "", "x"), EFileError);
    EXPECT_THROW(ini.WriteString("S]", "k", "x"), EFileError);
    EXPECT_THROW(ini.WriteString("S", "k", "two\nlines"), EFileError);
    EXPECT_EQ(bytes(), kWindowsFile);

    ::chmod(QFile::encodeName(path()).constData(), 0444);
    EXPECT_THROW(ini.WriteString("SrvVellumar", "SrvAddr", "x"), EFileError);
    EXPECT_EQ(bytes(), kWindowsFile);
}

// The hive text form on byte strings: the exact shape the Windows editor imports, what the reader
// accepts, and the errors it gives.
#include <gtest/gtest.h>

#include "TestEnv.h"
#include "platform/RegFile.h"

using namespace platform;

namespace {

RegValue str(const QString& name, const QString& text) {
    RegValue v;
    v.name = name;
    v.text = text;
    return v;
}

}  // namespace

TEST(RegFile, WritesTheEditorsExportForm) {
    RegTree tree;
    RegKey& tamur =
        tree.top.subkeyOrNew("HKEY_LOCAL_MACHINE").subkeyOrNew("SOFTWARE").subkeyOrNew("TAMUR");
    tamur.values.push_back(str("", "default"));
    tamur.values.push_back(str(QString::fromUtf8("Путь \"C:\\x\""), "a\\b"));
    RegValue dword;
    dword.name = "Count";
    dword.kind = RegValue::Dword;
    dword.dword = 10;
    tamur.values.push_back(dword);
    RegValue bin;
    bin.name = "Layout";
    bin.kind = RegValue::Binary;
    bin.bytes = QByteArray(30, '\xAB');
    tamur.values.push_back(bin);
    RegValue multi = str("Lines", "a\r\nb");  // a line break needs the long form
    tamur.values.push_back(multi);
    tamur.subkeyOrNew("Empty");

    const QString expected = QString::fromUtf8(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TAMUR]\r\n"
        "@=\"default\"\r\n"
        "\"Путь \\\"C:\\\\x\\\"\"=\"a\\\\b\"\r\n"
        "\"Count\"=dword:0000000a\r\n"
        "\"Layout\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
        "  ab,ab,ab,ab,ab,ab,ab,ab,ab\r\n"
        "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TAMUR\\Empty]\r\n"
        "\r\n");
    const QByteArray bytes = serializeRegFile(tree);
    EXPECT_EQ(bytes, testenv::utf16le(expected));

    const RegParseResult back = parseRegFile(bytes);
    ASSERT_TRUE(back.ok()) << back.error.toStdString();
    EXPECT_EQ(back.tree, tree);
}

TEST(RegFile, ReadsHandWrittenFiles) {
    const QString text = QString::fromUtf8(
        "Windows Registry Editor Version 5.00\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Отчёты\\]\r\n"
        "\"Name\" = \"Иван\"\r\n"
        "@=dword:FFFFFFFF\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "    03,\\\r\n"
        "  04\r\n"
        "\"Path\"=hex(2):25,00,00,00\r\n"
        "\"Gone\"=\"x\"\r\n"
        "\"Gone\"=-\r\n"
        "[HKEY_CURRENT_USER\\Software\\Old]\r\n"
        "[-HKEY_CURRENT_USER\\Software\\OLD]\r\n"
        "\"ignored\"=\"inside a deleted key\"\r\n");
    // The same text as UTF-16LE, as UTF-8 with a byte-order mark and as plain UTF-8 with LF.
    const QByteArray forms[] = {testenv::utf16le(text), "\xEF\xBB\xBF" + text.toUtf8(),
                                QString(text).replace("\r\n", "\n").toUtf8()};
    for (const QByteArray& bytes : forms) {
        const RegParseResult r = parseRegFile(bytes);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        const RegKey* sw = r.tree.top.find({"hkey_current_user", "SOFTWARE"});
        ASSERT_TRUE(sw);
        ASSERT_EQ(sw->subkeys.size(), 1u);
        const RegKey& key = sw->subkeys[0];
        EXPECT_EQ(key.name, QString::fromUtf8("Отчёты"));
        ASSERT_EQ(key.values.size(), 4u);
        EXPECT_EQ(key.findValue("NAME")->text, QString::fromUtf8("Иван"));
        EXPECT_EQ(key.findValue("")->dword, 0xFFFFFFFFu);
        EXPECT_EQ(key.findValue("blob")->bytes, QByteArray("\x01\x02\x03\x04"));
        const RegValue* path = key.findValue("Path");
        EXPECT_EQ(path->kind, RegValue::Other);
        EXPECT_EQ(path->type, 2u);
        EXPECT_EQ(path->bytes, QByteArray("%\0\0\0", 4));
    }
}

TEST(RegFile, NamesMergeWithoutRegardToCaseKeepingFirstSpelling) {
    const RegParseResult r = parseRegFile(
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\Soft]\n\"Value\"=\"1\"\n"
        "[hkey_local_machine\\SOFT]\n\"VALUE\"=\"2\"\n");
    ASSERT_TRUE(r.ok());
    const RegKey* soft = r.tree.top.find({"HKEY_LOCAL_MACHINE", "soft"});
    ASSERT_TRUE(soft);
    EXPECT_EQ(soft->name, "Soft");
    ASSERT_EQ(soft->values.size(), 1u);
    EXPECT_EQ(soft->values[0].name, "Value");
    EXPECT_EQ(soft->values[0].text, "2");  // the later line wins, as on import
}

TEST(RegFile, ErrorsNameTheLine) {
    const QByteArray header = "Windows Registry Editor Version 5.00\n";
    struct Case {
        QByteArray bytes;
        const char* error;
    } cases[] = {
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", "line 1: the file must start with"},
        {header + "\"v\"=\"x\"\n", "line 2: a value outside any key"},
        {header + "[HKEY_LOCAL_MACHINE\\A\n", "line 2: a key line must end with ']'"},
        {header + "[HKEY_LOCAL_MACHINE\\\\A]\n", "line 2: empty key name"},
        {header + "[HKEY_LOCAL_MACHINE]\n\"v\"=dword:123456789\n", "line 3: a dword needs"},
        {header + "[HKEY_LOCAL_MACHINE]\n\"v\"=\"open\n", "line 3: unterminated string"},
        {header + "[HKEY_LOCAL_MACHINE]\n\"v\"=hex:1,zz\n", "line 3: bad hex byte list"},
        {header + "[HKEY_LOCAL_MACHINE]\n\"v\"=qword:1\n", "line 3: unknown value format"},
        {header + "[HKEY_LOCAL_MACHINE]\njunk\n", "line 3: unexpected text"},
        {"\xFF\xFE"
         "W\0i",
         "odd number of bytes"},
        {"Windows Registry Editor Version 5.00\n\xCF\xF0\n", "neither UTF-16"},
    };
    for (const Case& c : cases) {
        const RegParseResult r = parseRegFile(c.bytes);
        EXPECT_TRUE(r.error.startsWith(c.error) || r.error.contains(c.error))
            << c.bytes.toStdString() << " -> " << r.error.toStdString();
    }
    EXPECT_TRUE(parseRegFile("").ok());  // an empty file is an empty hive
}

// Tests of the command-line runner: output of ShowMessage, arguments, and the error exit.
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

struct Result {
    int Code;
    QString Out;
    QString Err;
};

Result RunVscript(const QByteArray& program, const QStringList& args = {}) {
    testenv::Sandbox sandbox;
    const QString file = sandbox.path() + "/test.pas";
    testenv::Sandbox::writeFile(file, program);
    QProcess process;
    process.start(QStringLiteral(VELLUMAR_BINARY_DIR "/tools/vscript/vscript"),
                  QStringList{file} + args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(VscriptTest, PrintsMessagesAndTakesArguments) {
    Result r = RunVscript(
        "begin ShowMessage('Привет'); ShowMessage(ParamStr(2) + "
        "IntToStr(ParamCount)) end.",
        {"a", "b"});
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "Привет\nb2\n");
}

TEST(VscriptTest, ErrorsExitNonZeroWithPlace) {
    Result r = RunVscript("begin\n  ShowMessage('before');\n  ShowMessage(1 div 0)\nend.");
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "before\n");
    EXPECT_TRUE(r.Err.contains("Строка 3, позиция 3: Деление на ноль")) << r.Err.toStdString();
    r = RunVscript("begin x := end.");
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.Err.contains("Строка 1, позиция 12")) << r.Err.toStdString();
}

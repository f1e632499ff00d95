// Entry point of the stand-in control shell. Usage:
//   control-shell [--title <text>] [--log <file>] [--silent]
// Prints "listening <socket path>" once it accepts connections, then one line per posted message.
#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "ShellWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("control-shell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in control shell for demos and tests"));
    parser.addHelpOption();
    const QCommandLineOption titleOption(
        QStringLiteral("title"), QStringLiteral("Window title to answer the hello with."),
        QStringLiteral("text"), QStringLiteral("Зарин Про. Управляющая оболочка"));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append each received message to this file."),
                                       QStringLiteral("file"));
    const QCommandLineOption silentOption(QStringLiteral("silent"),
                                          QStringLiteral("Accept connections but never answer."));
    parser.addOptions({titleOption, logOption, silentOption});
    parser.process(app);

    ShellOptions options;
    options.windowClass = QStringLiteral("TfrmZarinShell");
    options.title = parser.value(titleOption);
    options.logPath = parser.value(logOption);
    options.silent = parser.isSet(silentOption);

    ShellWindow window(options);
    const QString error = window.start();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "control-shell: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    window.show();
    std::printf("listening %s\n", window.socketPath().toLocal8Bit().constData());
    std::fflush(stdout);
    return app.exec();
}

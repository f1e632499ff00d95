// vscript FILE.pas [args]: runs a report script with the standard library from the command line.
// ShowMessage prints a line to standard output; the first error goes to standard error with its
// line and column, and the exit code is 1 (2 for a usage or file error). The arguments after the
// file are the script's ParamCount/ParamStr. At a terminal, MessageDlg, InputBox and InputQuery ask
// on standard input; otherwise they answer unattended.
// Thread contract: a single-threaded command-line program.
#include "reportengine/script/Script.h"
#include "reportengine/script/StdLibHooks.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <optional>

#include <unistd.h>

namespace {

// Dialogs at the terminal: the operator types a button name (yes, no, ok...) or a value; an empty
// line takes the default.
script::DialogHooks TerminalDialogs(QTextStream& out, QTextStream& in) {
    static const char* const names[] = {"yes",    "no",  "ok",      "cancel",   "abort", "retry",
                                        "ignore", "all", "notoall", "yestoall", "help"};
    script::DialogHooks hooks;
    hooks.MessageDlg = [&out, &in](const QString& text, int, const QList<int>& buttons) {
        QStringList offered;
        for (int b : buttons)
            if (b >= 0 && b < int(std::size(names)))
                offered << names[b];
        out << text << " [" << offered.join('/') << "] ";
        out.flush();
        const QString answer = in.readLine().trimmed().toLower();
        for (int b : buttons)
            if (b >= 0 && b < int(std::size(names)) && answer == names[b])
                return script::ButtonResult(b);
        return script::DefaultDialogResult(buttons);
    };
    hooks.InputQuery = [&out, &in](const QString& caption, const QString& prompt, QString& value) {
        out << caption << ": " << prompt << " [" << value << "] ";
        out.flush();
        const QString answer = in.readLine();
        if (!answer.isEmpty())
            value = answer;
        return true;
    };
    return hooks;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (argc < 2) {
        err << "usage: vscript FILE.pas [args]\n";
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        err << QStringLiteral("Не удалось открыть файл %1\n").arg(file.fileName());
        return 2;
    }
    const QString source = QString::fromUtf8(file.readAll());
    QStringList params;
    for (int i = 2; i < argc; ++i)
        params << QString::fromLocal8Bit(argv[i]);

    auto library = std::make_shared<script::FunctionLibrary>(*script::FunctionLibrary::Default());
    library->AddFunction(
        "function ParamCount: Integer", "Прочие", "Число аргументов vscript",
        [params](script::Script&, const QString&, std::vector<platform::Variant>&) {
            return platform::Variant(int(params.size()));
        });
    library->AddFunction(
        "function ParamStr(Index: Integer): String", "Прочие", "Аргумент vscript по номеру (с 1)",
        [params](script::Script&, const QString&, std::vector<platform::Variant>& args) {
            int i = args[0].ToInt();
            return platform::Variant(i >= 1 && i <= params.size() ? params[i - 1] : QString());
        });
    script::Script script(library);
    script.ShowMessageHook = [&out](const QString& text) {
        out << text << "\n";
        out.flush();
    };
    QTextStream in(stdin);
    std::optional<script::DialogHookBinding> dialogs;
    if (isatty(STDIN_FILENO))
        dialogs.emplace(script, TerminalDialogs(out, in));
    try {
        script.Compile(source);
        script.Run();
    } catch (const script::EScriptError& error) {
        out.flush();
        // The message already names the line and column.
        err << file.fileName() << ": " << error.Message() << "\n";
        return 1;
    }
    return 0;
}

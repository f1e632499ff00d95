// The stand-in control shell's window: listens on the local socket of its window class, answers
// the locator's hello with its title, acknowledges posted messages and shows, prints and logs
// each one. Lives on the UI thread for the whole run of the program.
#pragma once

#include <QFile>
#include <QMainWindow>
#include <QString>

class QListWidget;
class QLocalServer;
class QLocalSocket;

struct ShellOptions {
    QString windowClass;
    QString title;
    QString logPath;      // empty: no log file
    bool silent = false;  // accept connections, never answer
};

class ShellWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ShellWindow(const ShellOptions& options, QWidget* parent = nullptr);

    // Opens the log and starts listening; a text for stderr on failure, empty on success.
    QString start();
    QString socketPath() const;

private:
    void acceptConnections();
    void serve(QLocalSocket* socket);
    QByteArray answer(const QByteArray& request);
    void record(const QString& line);

    ShellOptions FOptions;
    QListWidget* FMessages;
    QLocalServer* FServer;
    QFile FLog;
};

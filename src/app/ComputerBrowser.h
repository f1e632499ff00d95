// The computer browser behind the "..." button of the server dialog: there is no network
// neighbourhood to browse here, so it lists the host names this machine knows (the hosts file)
// and the servers the program has used, and returns the one the operator picks (or nothing).
// Thread contract: UI thread; created, shown and freed within one operation.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

class QListWidget;

// The host names of a hosts-file text, in order, each once: every field after the first (the
// address) on a line; comments ('#' to the end of the line) and lines without a name skipped.
QStringList HostNamesOfHostsFile(const QByteArray& text);

// The names to offer: servers used before first, then the hosts file's names; each once, with
// letter case preserved (a name is taken as written).
QStringList KnownComputerNames(const QStringList& usedServers, const QString& hostsFile);

class TComputerNameDialog : public QDialog {
    Q_OBJECT
public:
    static const QString kDefaultHostsFile;  // "/etc/hosts"

    TComputerNameDialog(const QStringList& names, const QString& caption, QWidget* owner);

    // The picked name after OK; nullopt when nothing was picked.
    std::optional<QString> ComputerName() const;

    QListWidget* Computers = nullptr;
};

// Runs the browser modally; the picked name, or nullopt when the operator cancelled.
std::optional<QString> BrowseComputerName(QWidget* owner, const QString& caption,
                                          const QStringList& names);

// The data module: the program's one database component (`DefaultDB`) and the operator's sign-in.
// `DataConnect` reads the server address from "zarin.ini" beside the executable, names this
// workstation, (re)connects and asks for the pass code until it matches a valid stored code; the
// owner's status then grants or withdraws template editing through OnSetEditRights. Failures are
// shown in error boxes; a missing settings file, a failed connection or Cancel at the pass-code
// dialog request termination, a failed sign-in query leaves the program running, not signed in.
//
// Thread contract: UI thread only. One instance, created after the main window and reachable
// through `DataDB` until it is destroyed; destroying it disconnects the database. Typed and
// decoded pass codes live only for one comparison and are cleared after it.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "dataclient/UZTable.h"
#include "dataclient/ZarinDatabase.h"
#include "platform/LangDispatcher.h"

class QWidget;

namespace session {

class TPasswordDlg;

// The data module's texts (built-in Russian, translatable).
const platform::StringTable& DataDBTexts();

// The sign-in query, four lines as the server expects them (trailing blanks included).
extern const QStringList kSignInSQL;

// The name a workstation gives the server: "R/" + the computer name, of which at most the first
// 15 characters count (the computer-name buffer holds 16 with its terminator) and only the part
// before the first dot (a computer name carries no domain). nullopt for an empty name.
std::optional<QString> ClientNameFor(const QString& hostName);
// This machine's computer name; nullopt when the system has none.
std::optional<QString> SystemComputerName();

class TDataDB : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kServerPort = 2001;
    static const QString kSection;      // "SrvVellumar"
    static const QString kAddrKey;      // "SrvAddr"
    static const QString kDefaultHost;  // "127.0.0.1"

    explicit TDataDB(QObject* owner = nullptr);
    ~TDataDB() override;  // runs DataModuleDestroy

    void DataConnect();
    // Writes DefaultDB's host to "zarin.ini" and reconnects; does nothing without the file.
    void StoreServerAddress();
    bool ConfirmClose() const { return true; }
    // Disconnects the database if it is connected; a failure to say goodbye is ignored, since the
    // program is ending.
    void DataModuleDestroy();

    // "zarin.ini" beside the executable (matched without regard to letter case).
    static QString SettingsFileName();

    dataclient::TZarinDatabase* const DefaultDB;
    dataclient::TZTable* const ZTable;

    // Grants (true) or withdraws (false) template editing; the main window binds it.
    std::function<void(bool)> OnSetEditRights;
    // Where the computer name comes from (tests replace it).
    std::function<std::optional<QString>()> ComputerName = SystemComputerName;
    // The window that owns the boxes and dialogs shown here (may stay null).
    QWidget* DialogOwner = nullptr;

private:
    bool Connect();
    // One pass of the sign-in query against the typed code: true when a row matched.
    bool TrySignIn(const QString& typed);
};

extern TDataDB* DataDB;

}  // namespace session

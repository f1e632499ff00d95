#include "session/DataModule.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QSysInfo>
#include <memory>

#include "platform/AppPaths.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/Termination.h"
#include "session/PassCode.h"
#include "session/PasswordDlg.h"

namespace session {

TDataDB* DataDB = nullptr;

const QString TDataDB::kSection = QStringLiteral("SrvVellumar");
const QString TDataDB::kAddrKey = QStringLiteral("SrvAddr");
const QString TDataDB::kDefaultHost = QStringLiteral("127.0.0.1");

const QStringList kSignInSQL = {
    "SELECT pMark.CodeP,pMark.Config,pList.Status FROM pMark JOIN pList ON pList.ID=pMark.Owner",
    "WHERE pMark.GType=1 ",
    "AND ((pMark.Config & 1024) <> 0) ",
    "AND GETDATE () BETWEEN Start AND Finish",
};

const platform::StringTable& DataDBTexts() {
    static const platform::StringTable table("TDataDB", {
                                                            {"IDS_0", "Регистрация (KTS:"},
                                                            {"IDS_1", "Файл "},
                                                            {"IDS_2", " не найден !"},
                                                        });
    return table;
}

namespace {

// The computer-name buffer holds 16 characters, the terminator included.
constexpr int kComputerNameLength = 15;

QString messageOf(const std::exception& e) {
    if (const auto* own = dynamic_cast<const platform::Exception*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

}  // namespace

std::optional<QString> ClientNameFor(const QString& hostName) {
    const QString name = hostName.section(u'.', 0, 0).left(kComputerNameLength);
    if (name.isEmpty())
        return std::nullopt;
    return QStringLiteral("R/%1").arg(name);
}

std::optional<QString> SystemComputerName() {
    const QString name = QSysInfo::machineHostName();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

TDataDB::TDataDB(QObject* owner)
    : QObject(owner),
      DefaultDB(new dataclient::TZarinDatabase(this)),
      ZTable(new dataclient::TZTable(this)) {
    setObjectName("DataDB");
    DefaultDB->setObjectName("DefaultDB");
    DefaultDB->SetHost(kDefaultHost);
    DefaultDB->SetPort(kServerPort);
    DefaultDB->SetClientType(dataclient::TClientType::Reports);
    DefaultDB->SetClientName(QStringLiteral("R/Vellumar"));
    ZTable->setObjectName("ZTable");
    ZTable->SetSQL(kSignInSQL);
    DataDB = this;
}

TDataDB::~TDataDB() {
    if (DataDB == this)
        DataDB = nullptr;
    DataModuleDestroy();
}

void TDataDB::DataModuleDestroy() {
    try {
        ZTable->Close();
        if (DefaultDB->Connected())
            DefaultDB->SetConnected(false);
    } catch (const std::exception&) {
        // The session stops with the component in any case.
    }
}

QString TDataDB::SettingsFileName() {
    return platform::resolvePathIgnoringCase(platform::appDir(), QStringLiteral("zarin.ini"));
}

void TDataDB::DataConnect() {
    const QString settings = SettingsFileName();
    if (!QFileInfo(settings).isFile()) {
        const auto& t = DataDBTexts();
        platform::showError(DialogOwner, t("IDS_1") + "\\zarin.ini" + t("IDS_2"));
        platform::requestTermination();
        return;
    }
    DefaultDB->SetHost(platform::IniFile(settings).ReadString(kSection, kAddrKey, kDefaultHost));
    if (const std::optional<QString> name = ComputerName ? ComputerName() : std::nullopt)
        if (const std::optional<QString> client = ClientNameFor(*name))
            DefaultDB->SetClientName(*client);
    DefaultDB->SetClientType(dataclient::TClientType::Reports);
    if (!Connect())
        return;
    ZTable->SetZDBCommand(DefaultDB->DBCommand());

    auto dialog = std::make_unique<TPasswordDlg>(DialogOwner);
    dialog->setWindowTitle(DataDBTexts()("IDS_0") + DefaultDB->Host() + ")");
    bool signedIn = false;
    while (!signedIn) {
        if (platform::runModal(*dialog) != QDialog::Accepted) {
            platform::requestTermination();
            break;
        }
        // The box lets go of its text first, so that the copy here is the only one and is wiped.
        QString typed = dialog->Password->text();
        try {
            signedIn = TrySignIn(typed);
            dialog->ClearPassword();
            SecureClear(typed);
        } catch (const std::exception& e) {
            dialog->ClearPassword();
            SecureClear(typed);
            platform::showError(DialogOwner, messageOf(e));
            return;
        }
    }
}

// Reconnects from scratch; on failure says why and asks the program to end.
bool TDataDB::Connect() {
    try {
        if (DefaultDB->Connected())
            DefaultDB->SetConnected(false);
        DefaultDB->SetConnected(true);
        return true;
    } catch (const std::exception& e) {
        platform::showError(DialogOwner, messageOf(e));
        platform::requestTermination();
        return false;
    }
}

bool TDataDB::TrySignIn(const QString& typed) {
    // The result holds every valid stored code: it is dropped as soon as the scan ends.
    struct CloseAfter {
        dataclient::TZTable* table;
        ~CloseAfter() {
            try {
                table->Close();
            } catch (const std::exception&) {
            }
        }
    } closeAfter{ZTable};

    ZTable->Close();
    ZTable->Open();
    for (ZTable->First(); !ZTable->Eof(); ZTable->Next()) {
        const platform::TField* code = ZTable->FieldByName("CODEP");
        // A mark without a stored code has nothing to match, not even an empty pass code.
        if (code->IsNull())
            continue;
        const int config = ZTable->FieldByName("CONFIG")->AsInteger();
        QString stored = code->AsString().left(MaxPassCodeBytes);
        QString decoded = DecodePassCodeText(stored, config);
        const bool match = decoded == typed;
        SecureClear(stored);
        SecureClear(decoded);
        if (!match)
            continue;
        const platform::TField* status = ZTable->FieldByName("Status");
        // No status counts as lower than any: it grants editing.
        const bool canEdit = status->IsNull() || status->AsInteger() < 3;
        if (OnSetEditRights)
            OnSetEditRights(canEdit);
        return true;
    }
    return false;
}

void TDataDB::StoreServerAddress() {
    const QString settings = SettingsFileName();
    if (!QFileInfo(settings).isFile())
        return;
    platform::IniFile(settings).WriteString(kSection, kAddrKey, DefaultDB->Host());
    DataConnect();
}

}  // namespace session

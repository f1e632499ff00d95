#include "reportengine/export/MailExport.h"

#include "platform/Exception.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/ExportSettings.h"
#include "reportengine/export/SmtpMail.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace reportengine {

namespace {

std::unique_ptr<TfrxCustomExportFilter> createByClassName(const QString& className) {
    for (const ExportFilterSlot& slot : ExportFilterSlots())
        if (className == QLatin1String(slot.ClassName) && slot.Format != ExportFormat::Mail)
            return CreateExportFilter(slot.Format);
    return nullptr;
}

}  // namespace

TfrxMailExport::TfrxMailExport(QObject* parent) : TfrxCustomExportFilter(parent) {
    FFileName = QStringLiteral("Отчет");
}

TfrxMailExport::~TfrxMailExport() = default;

QString TfrxMailExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::Mail);
}

QString TfrxMailExport::DefaultExt() const {
    const auto probe = createByClassName(FExportFilter);
    return probe ? probe->DefaultExt() : QString();
}

QStringList TfrxMailExport::StoredProperties() {
    return {"Address",  "Subject",     "Lines",           "ExportFilter", "FromMail",
            "FromName", "FromCompany", "Signature",       "SmtpHost",     "SmtpPort",
            "Login",    "Timeout",     "ShowExportDialog"};
}

void TfrxMailExport::SetSettingsKey(const QString& key) {
    FSettingsKey = key;
    if (FUseIniFile && !key.isEmpty())
        LoadFilterSettings(*this, key, StoredProperties());
}

void TfrxMailExport::SaveSettings() const {
    SaveFilterSettings(*this, FSettingsKey, StoredProperties());
}

TfrxCustomExportFilter* TfrxMailExport::AttachmentFilter() {
    QString current =
        FAttachment ? QString::fromLatin1(FAttachment->metaObject()->className()) : QString();
    current = current.mid(current.lastIndexOf(u':') + 1);  // without "reportengine::"
    if (!FAttachment || current != FExportFilter)
        FAttachment = createByClassName(FExportFilter);
    return FAttachment.get();
}

bool TfrxMailExport::Start(int) {
    QStringList to;
    QString bad;
    if (!SplitAddresses(FAddress, &to, &bad))
        return SetError(tr("Invalid recipient address: \"%1\"").arg(bad));
    if (to.isEmpty())
        return SetError(tr("No recipient address given"));
    if (!IsPlainAddress(FFromMail.trimmed()))
        return SetError(tr("Invalid sender address: \"%1\"").arg(FFromMail));
    if (!AttachmentFilter())
        return SetError(tr("Unknown attachment format \"%1\"").arg(FExportFilter));
    FPages = std::make_unique<TfrxPreparedPages>();
    return true;
}

bool TfrxMailExport::ExportPage(const PreparedPage& page, int, int) {
    FPages->AddPage(page);
    return true;
}

bool TfrxMailExport::Finish(bool ok) {
    ok = ok && send();
    FPages.reset();
    return ok;
}

bool TfrxMailExport::send() {
    QTemporaryDir folder;
    if (!folder.isValid())
        return SetError(tr("Cannot create a temporary folder: %1").arg(folder.errorString()));
    TfrxCustomExportFilter& attachment = *AttachmentFilter();
    QString base = QFileInfo(FFileName).fileName();
    if (base.isEmpty())
        base = QStringLiteral("Отчет");
    attachment.SetFileName(folder.filePath(base + attachment.DefaultExt()));
    attachment.setProperty("DefaultPath", QString());
    attachment.setProperty("PageNumbers", QString());
    if (!attachment.Export(*FPages))
        return SetError(attachment.ErrorText());

    MailMessage message;
    message.FromAddress = FFromMail.trimmed();
    message.FromName = FFromName;
    message.FromCompany = FFromCompany;
    QString bad;
    SplitAddresses(FAddress, &message.To, &bad);
    message.Subject = FSubject;
    message.Text = FLines.join(u'\n');
    if (!FSignature.isEmpty())
        message.Text += QStringLiteral("\n\n") + FSignature.join(u'\n');
    // A picture format writes one file per page: send them all, in page order.
    const QFileInfoList files =
        QDir(folder.path()).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& file : files) {
        QFile f(file.filePath());
        if (!f.open(QIODevice::ReadOnly))
            return SetError(QStringLiteral("%1: %2").arg(file.fileName(), f.errorString()));
        message.Attachments.push_back({file.fileName(), f.readAll()});
    }
    if (message.Attachments.empty())
        return SetError(tr("The attachment was not written"));

    SmtpServer server;
    server.Host = FSmtpHost;
    server.Port = FSmtpPort;
    server.Login = FLogin;
    server.Password = FPassword;
    server.TimeoutSeconds = std::max(FTimeout, 1);
    QString error;
    if (!SendMail(server, message, &error))
        return SetError(error);
    if (FUseIniFile && !FSettingsKey.isEmpty()) {
        try {
            SaveSettings();
        } catch (const platform::Exception&) {
            // The mail is gone; settings that could not be kept are no reason to report failure.
        }
    }
    return true;
}

}  // namespace reportengine

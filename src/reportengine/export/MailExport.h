// TfrxMailExport ("Отправить по E-mail"): exports the chosen pages through another filter (the
// attachment's format, by class name in ExportFilter; PDF unless chosen otherwise) into a
// temporary folder and sends the file(s) as attachments of one e-mail over SMTP (port 25 by
// default). FileName is the attachment's name without extension ("Отчет" unless the host names
// the report); the attachment filter adds its own extension. Picture formats that write one file
// per page send every file.
//
// Settings: with UseIniFile, setting SettingsKey (the engine's settings key) loads the stored
// mail settings, and each successful send stores them again, in the subkey "TfrxMailExport" of
// that key. The password is never stored: it is asked for each time it is needed.
// ShowExportDialog tells the host to show the attachment format's options dialog before
// sending.
//
// Nothing is sent when the export is cancelled or the attachment cannot be written; a failed
// delivery makes Export return false with the server's reason in ErrorText.
//
// Thread contract: as TfrxCustomExportFilter; sending blocks the exporting thread for at most
// Timeout seconds.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QStringList>

#include <memory>

namespace reportengine {

class TfrxMailExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(QString Address MEMBER FAddress)
    Q_PROPERTY(QString Subject MEMBER FSubject)
    Q_PROPERTY(QStringList Lines MEMBER FLines)
    Q_PROPERTY(QString ExportFilter MEMBER FExportFilter)
    Q_PROPERTY(QString FromMail MEMBER FFromMail)
    Q_PROPERTY(QString FromName MEMBER FFromName)
    Q_PROPERTY(QString FromCompany MEMBER FFromCompany)
    Q_PROPERTY(QStringList Signature MEMBER FSignature)
    Q_PROPERTY(QString SmtpHost MEMBER FSmtpHost)
    Q_PROPERTY(int SmtpPort MEMBER FSmtpPort)
    Q_PROPERTY(QString Login MEMBER FLogin)
    Q_PROPERTY(QString Password MEMBER FPassword STORED false)
    Q_PROPERTY(int Timeout MEMBER FTimeout)
    Q_PROPERTY(bool UseIniFile MEMBER FUseIniFile)
    Q_PROPERTY(bool ShowExportDialog MEMBER FShowExportDialog)
    Q_PROPERTY(QString SettingsKey READ SettingsKey WRITE SetSettingsKey)

public:
    explicit TfrxMailExport(QObject* parent = nullptr);
    ~TfrxMailExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override;  // the attachment format's

    QString SettingsKey() const { return FSettingsKey; }
    void SetSettingsKey(const QString& key);  // loads the stored settings (see above)
    void SaveSettings() const;                // throws the registry's exception on failure
    static QStringList StoredProperties();

    // The attachment filter, created from ExportFilter on first use and kept, so the host can
    // show its options dialog; null for a class that is not a built export format. The mail
    // filter owns it.
    TfrxCustomExportFilter* AttachmentFilter();

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    bool send();

    QString FAddress, FSubject;
    QStringList FLines;
    QString FExportFilter = QStringLiteral("TfrxPDFExport");
    QString FFromMail, FFromName, FFromCompany;
    QStringList FSignature;
    QString FSmtpHost = QStringLiteral("localhost");
    int FSmtpPort = 25;
    QString FLogin, FPassword;
    int FTimeout = 60;
    bool FUseIniFile = true;
    bool FShowExportDialog = true;
    QString FSettingsKey;

    std::unique_ptr<TfrxCustomExportFilter> FAttachment;
    std::unique_ptr<TfrxPreparedPages> FPages;  // the chosen pages, for the attachment filter
};

}  // namespace reportengine

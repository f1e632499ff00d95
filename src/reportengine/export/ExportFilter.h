// TfrxCustomExportFilter: the base of every export filter. A filter is configured through its
// properties (Q_PROPERTYs, so scripts and the settings store reach them by name), then
// Export(pages) writes the chosen page range to FileName and returns success; on failure
// ErrorText() says why (unwritable path, encoder failure). Progress: progressStart(1, count),
// progress(1, page number) per page, progressStop(1), type 1 meaning "exporting"; a handler may
// call Terminate() to stop after the current page (Export then returns false, "cancelled").
//
// Output files are never written under their chosen names directly: a filter writes each one to
// StagingPath(name), a temporary name beside it, and Export renames them all into place only
// after Finish succeeded; after a failure or a cancel it removes them. So a cancelled or failed
// export leaves no half file behind and an existing file of that name untouched; an existing
// file without any write permission bit is refused, as by platform::writeFileAtomically.
//
// ShowDialog and OverwritePrompt are kept for the host's export menu: the filter itself never
// shows a window, and it overwrites an existing file. UseFileCache is kept too; pages always come
// from TfrxPreparedPages, which already spills to disk.
//
// Thread contract: a filter object belongs to the thread that runs Export (normally the UI
// thread); its signals are emitted on that thread. The pages may still be growing on another
// thread only if the caller fixed the range first.
#pragma once

#include "reportengine/pages/PreparedPages.h"

#include <QObject>
#include <QString>

#include <vector>

namespace reportengine {

constexpr int kProgressExporting = 1;

class TfrxCustomExportFilter : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FileName MEMBER FFileName)
    Q_PROPERTY(QString DefaultPath MEMBER FDefaultPath)
    Q_PROPERTY(bool UseFileCache MEMBER FUseFileCache)
    Q_PROPERTY(bool ShowProgress MEMBER FShowProgress)
    Q_PROPERTY(bool OverwritePrompt MEMBER FOverwritePrompt)
    Q_PROPERTY(bool ShowDialog MEMBER FShowDialog)
    Q_PROPERTY(QString PageNumbers MEMBER FPageNumbers)  // "1,3-5"; empty: all pages

public:
    explicit TfrxCustomExportFilter(QObject* parent = nullptr);

    virtual QString GetDescription() const = 0;
    virtual QString DefaultExt() const = 0;  // with the dot: ".pdf"
    // "Файл PDF (*.pdf)": for a save dialog.
    QString FilterText() const;

    bool Export(const TfrxPreparedPages& pages);
    QString ErrorText() const { return FError; }
    void Terminate() { FTerminated = true; }

    // Page indexes (0-based) the PageNumbers text selects out of count pages; invalid parts are
    // ignored, an empty or fully invalid text selects every page.
    static std::vector<int> ParsePageNumbers(const QString& text, int count);

    QString FileName() const { return FFileName; }
    void SetFileName(const QString& name) { FFileName = name; }
    QString TargetPath() const;  // FileName, relative to DefaultPath when not absolute

signals:
    void progressStart(int progressType, int count);
    void progress(int progressType, int page);
    void progressStop(int progressType);

protected:
    // The format's work: Start once, ExportPage for each chosen page in order, Finish once (also
    // after a failure or cancel, with ok false). Each returns false after calling SetError.
    virtual bool Start(int pageCount) = 0;
    virtual bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) = 0;
    virtual bool Finish(bool ok) = 0;
    bool SetError(const QString& text);
    // The temporary name the output file finalPath is written to during Export (see above).
    QString StagingPath(const QString& finalPath);
    QString StagingPath() { return StagingPath(TargetPath()); }
    // Writes data as the whole output file finalPath, through its staging path; false after
    // SetError.
    bool WriteOutputFile(const QString& finalPath, const QByteArray& data);

    QString FFileName;
    QString FDefaultPath;
    bool FUseFileCache = true;
    bool FShowProgress = true;
    bool FOverwritePrompt = false;
    bool FShowDialog = true;
    QString FPageNumbers;

private:
    bool run(const TfrxPreparedPages& pages, const std::vector<int>& chosen);
    bool commitStaged();
    void discardStaged();

    QString FError;
    bool FTerminated = false;
    struct Staged {
        QString Temp, Final;
    };
    std::vector<Staged> FStaged;
};

}  // namespace reportengine

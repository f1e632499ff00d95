// TfrxReport: the root of a template. It owns the pages (a data page, report pages and dialog
// pages in run order), lists the datasets the report uses (<Datasets>), holds the report
// variables (<Variables>; values are expression texts), the script, the engine, preview and print
// options, and the run-time flags the engine and scripts share (Terminated, FileName).
// LoadFromFile and SaveToFile are implemented by the template-file library (reportio).
//
// Progress: the engine calls DoProgressStart/DoProgress/DoProgressStop with the kind (ptRunning,
// ptExporting, ptPrinting) and the page number; they reach the std::function callbacks and the Qt
// signals of the same meaning.
// Thread contract: one thread at a time (the UI thread, or the thread preparing the report);
// signals are emitted on that thread.
#pragma once

#include "platform/Exception.h"
#include "platform/Variant.h"
#include "reportengine/model/Component.h"
#include "reportengine/model/DataSets.h"

#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

namespace script {
class Script;
}

namespace reportengine {

class TfrxDialogRunner;
class TfrxPreparedPages;
class TfrxReportPage;

class TfrxEngineOptions : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(bool ConvertNulls MEMBER ConvertNulls)
    Q_PROPERTY(bool DoublePass MEMBER DoublePass)
    Q_PROPERTY(int MaxMemSize MEMBER MaxMemSize)
    Q_PROPERTY(bool PrintIfEmpty MEMBER PrintIfEmpty)
    Q_PROPERTY(bool SilentMode MEMBER SilentMode)
    Q_PROPERTY(bool UseFileCache MEMBER UseFileCache)
public:
    bool ConvertNulls = true;
    bool DoublePass = false;
    int MaxMemSize = 10;  // MB of prepared pages kept in memory before spilling to disk
    bool PrintIfEmpty = true;
    bool SilentMode = false;
    bool UseFileCache = false;
};

class TfrxPreviewOptions : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(bool AllowEdit MEMBER AllowEdit)
    Q_PROPERTY(int Buttons MEMBER Buttons)
    Q_PROPERTY(bool Maximized MEMBER Maximized)
    Q_PROPERTY(bool Modal MEMBER Modal)
    Q_PROPERTY(bool OutlineVisible MEMBER OutlineVisible)
    Q_PROPERTY(double Zoom MEMBER Zoom)
    Q_PROPERTY(reportengine::TfrxZoomMode ZoomMode MEMBER ZoomMode)
public:
    bool AllowEdit = true;
    int Buttons = pbDefault;  // TfrxPreviewButton bits
    bool Maximized = true;
    bool Modal = true;
    bool OutlineVisible = false;
    double Zoom = 1;
    TfrxZoomMode ZoomMode = zmDefault;
    bool HasButton(TfrxPreviewButton b) const { return (Buttons & b) != 0; }
};

class TfrxPrintOptions : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(bool Collate MEMBER Collate)
    Q_PROPERTY(int Copies MEMBER Copies)
    Q_PROPERTY(QString PageNumbers MEMBER PageNumbers)
    Q_PROPERTY(QString Printer MEMBER Printer)
    Q_PROPERTY(bool Reverse MEMBER Reverse)
    Q_PROPERTY(bool ShowDialog MEMBER ShowDialog)
public:
    bool Collate = true;
    int Copies = 1;
    QString PageNumbers;  // "1,3-5"; empty prints all
    QString Printer = QStringLiteral("Default");
    bool Reverse = false;
    bool ShowDialog = true;
};

class TfrxReportOptions : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Author MEMBER Author)
    Q_PROPERTY(QString Description MEMBER Description)
    Q_PROPERTY(QString Name MEMBER Name)
public:
    QString Author, Description, Name;
};

// A report variable, or a category heading (IsCategory) that groups the variables after it.
struct TfrxVariable {
    QString Name;
    platform::Variant Value;  // an expression text when it comes from a template
    bool IsCategory = false;
};

class TfrxVariables {
public:
    const std::vector<TfrxVariable>& Items() const { return FItems; }
    int Count() const { return int(FItems.size()); }
    void AddCategory(const QString& name);
    // Adds or replaces a variable.
    void Set(const QString& name, const platform::Variant& value);
    // -1 when there is no variable of that name (letter case ignored; categories never match).
    int IndexOf(const QString& name) const;
    platform::Variant Get(const QString& name) const;  // unassigned when absent
    void Clear() { FItems.clear(); }

private:
    std::vector<TfrxVariable> FItems;
};

// One entry of the report's dataset list; Name is kept for a dataset that is not found.
struct TfrxDataSetItem {
    QPointer<TfrxDataSet> DataSet;
    QString Name;      // component name in the template
    QString UserName;  // the name used in expressions
};

class TfrxReport : public TfrxComponent {
    Q_OBJECT
    Q_PROPERTY(bool DotMatrixReport MEMBER DotMatrixReport)
    Q_PROPERTY(reportengine::TfrxEngineOptions* EngineOptions READ GetEngineOptions)
    Q_PROPERTY(QString IniFile MEMBER IniFile)
    Q_PROPERTY(reportengine::TfrxPreviewOptions* PreviewOptions READ GetPreviewOptions)
    Q_PROPERTY(reportengine::TfrxPrintOptions* PrintOptions READ GetPrintOptions)
    Q_PROPERTY(reportengine::TfrxReportOptions* ReportOptions READ GetReportOptions)
    Q_PROPERTY(QString ScriptLanguage MEMBER ScriptLanguage)
    Q_PROPERTY(QStringList ScriptText MEMBER ScriptText)
    Q_PROPERTY(QString OnRunDialogs MEMBER OnRunDialogs)
    Q_PROPERTY(QString OnStartReport MEMBER OnStartReport)
    Q_PROPERTY(QString OnStopReport MEMBER OnStopReport)
    Q_PROPERTY(QString FileName MEMBER FileName STORED false)
    Q_PROPERTY(bool Terminated MEMBER Terminated STORED false)
public:
    explicit TfrxReport(QObject* owner = nullptr);
    ~TfrxReport() override;

    bool DotMatrixReport = false;
    TfrxEngineOptions EngineOptions;
    QString IniFile;  // the settings key of the preview, designer and exports
    TfrxPreviewOptions PreviewOptions;
    TfrxPrintOptions PrintOptions;
    TfrxReportOptions ReportOptions;
    QString ScriptLanguage = QStringLiteral("PascalScript");
    QStringList ScriptText;
    QString OnRunDialogs, OnStartReport, OnStopReport;  // script procedure names
    QString FileName;         // set by LoadFromFile; never written into the template
    bool Terminated = false;  // set to stop preparing, exporting or printing

    TfrxVariables Variables;
    std::vector<TfrxDataSetItem> DataSets;

    std::vector<TfrxPage*> Pages() const;
    std::vector<TfrxReportPage*> ReportPages() const;
    int PagesCount() const { return int(Pages().size()); }
    // The dataset of that user name: the report's list first, then any dataset component of the
    // report; null when none.
    Q_INVOKABLE reportengine::TfrxDataSet* GetDataset(const QString& userName) const;
    // Adds a dataset to the report's list (once).
    void AddDataSet(TfrxDataSet* dataSet);

    // Back to an empty report: objects, lists, script and every property to its default.
    void Clear();
    // Reads a template. A missing file returns false and changes nothing; a damaged one throws
    // EReportFileError (file, line, reason). Elements of unknown classes are skipped and listed in
    // LoadWarnings. Sets FileName.
    bool LoadFromFile(const QString& path);
    // Writes the template canonically (UTF-8); throws platform::EFileError on failure.
    void SaveToFile(const QString& path) const;
    QStringList LoadWarnings;
    // True while a template is being read: components must not open data meanwhile.
    bool IsLoading() const { return FLoading; }
    void SetLoading(bool value) { FLoading = value; }
    // True while the designer edits the report.
    bool IsDesigning = false;

    // How the engine evaluates an expression for components (parameter expressions); returns
    // unassigned while no engine is attached.
    std::function<platform::Variant(const QString& expression)> ExpressionEvaluator;
    platform::Variant Calc(const QString& expression) const;

    // Progress callbacks; kind is a TfrxProgressType.
    std::function<void(int kind, int page)> OnProgressStart, OnProgress, OnProgressStop;
    void DoProgressStart(int kind, int page);
    void DoProgress(int kind, int page);
    void DoProgressStop(int kind, int page);

    // --- Running: PrepareReport is implemented by the preparation engine (library reportengine).
    // Compiles and runs the script, runs the dialogs, then the report pages into PreparedPages().
    // Returns false when a dialog was cancelled, Terminated was set, or an error stopped the run
    // (ErrorText says which; empty for a cancel). Progress: DoProgressStart(0, 0), DoProgress(0,
    // n) after page n is added, DoProgressStop(0, count). Runs on the calling thread; the pages
    // may be read from any thread while they grow.
    bool PrepareReport(bool ClearLastReport = true);
    TfrxPreparedPages& PreparedPages() const { return *FPreparedPages; }
    std::shared_ptr<TfrxPreparedPages> SharedPreparedPages() const { return FPreparedPages; }
    QString ErrorText;
    // Runs the dialog pages; null: every dialog page is confirmed as the template holds it.
    TfrxDialogRunner* DialogRunner = nullptr;
    // The script of the last PrepareReport, kept until the next one so that event handlers of
    // dialogs and the preview can still run; null before the first run.
    script::Script* ScriptEngine() const { return FScript.get(); }
    void SetScriptEngine(std::unique_ptr<script::Script> script);
    // Calls the script procedure named by an event property (OnClick="Button1Click") with Sender
    // first and then args; nothing when handler is empty or no script is compiled. Script errors
    // throw script::EScriptError.
    platform::Variant DoEvent(const QString& handler, QObject* sender,
                              std::vector<platform::Variant> args = {});

    TfrxEngineOptions* GetEngineOptions() { return &EngineOptions; }
    TfrxPreviewOptions* GetPreviewOptions() { return &PreviewOptions; }
    TfrxPrintOptions* GetPrintOptions() { return &PrintOptions; }
    TfrxReportOptions* GetReportOptions() { return &ReportOptions; }
    bool IsStoredProperty(const char* name) const override;

signals:
    void progressStarted(int kind, int page);
    void progressed(int kind, int page);
    void progressStopped(int kind, int page);

private:
    bool FLoading = false;
    std::shared_ptr<TfrxPreparedPages> FPreparedPages;
    std::unique_ptr<script::Script> FScript;
};

// A template that cannot be read: Line is 0 when the place is unknown.
class EReportFileError : public platform::Exception {
public:
    EReportFileError(const QString& message, int line) : platform::Exception(message), Line(line) {}
    int Line;
};

}  // namespace reportengine

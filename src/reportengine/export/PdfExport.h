// TfrxPDFExport: the pages as a PDF through QPdfWriter (PDF 1.4, vector text with the mapped
// fonts embedded as subsets, so text stays selectable, Cyrillic included).
//
// Deterministic output: unless Deterministic is cleared, the same pages give a byte-identical
// file. QPdfWriter puts the current time into the info dictionary (and, in some versions and
// modes, a random document id into the trailer); these are replaced afterwards, in place and at
// the same length (so the cross-reference offsets stay valid), by the fixed date
// 2000-01-01 00:00:00 and an id derived from the file's own content. No XMP packet is written.
// While a deterministic document is written, Qt's global hash seed is fixed (the writer orders
// embedded fonts by a hash); it is made random again when the document is finished.
//
// Viewer options (HideToolbar, HideMenubar, HideWindowUI, FitWindow, CenterWindow, PrintScaling)
// go into /ViewerPreferences through an incremental update appended to the writer's output (a
// new catalog object, cross-reference section and trailer). PrintScaling false asks viewers not
// to scale when printing (/PrintScaling /None); true leaves it to the viewer.
//
// Limitations of QPdfWriter, documented rather than faked: it cannot encrypt, so
// ProtectionFlags (print, modify, copy, annotate) are stored for the settings but the file
// carries no permissions; it writes no outline, so Outline is stored only. Pictures are always
// embedded at their own full resolution, so PrintOptimized is stored only too. The page is written
// in the prepared pages' own 96-dpi units: any other resolution makes the writer put a scaling
// text matrix before every text object, which doubled the file and its writing time. Background
// draws page colours;
// HTMLTags is kept for text objects whose tags the engine has already resolved.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <memory>

class QBuffer;
class QPdfWriter;
class QPainter;

namespace reportengine {

enum PdfProtection { ePrint = 1, eModify = 2, eCopy = 4, eAnnot = 8 };

class TfrxPDFExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(bool PrintOptimized MEMBER FPrintOptimized)
    Q_PROPERTY(bool Outline MEMBER FOutline)
    Q_PROPERTY(bool Background MEMBER FBackground)
    Q_PROPERTY(bool HTMLTags MEMBER FHTMLTags)
    Q_PROPERTY(int ProtectionFlags MEMBER FProtectionFlags)
    Q_PROPERTY(bool HideToolbar MEMBER FHideToolbar)
    Q_PROPERTY(bool HideMenubar MEMBER FHideMenubar)
    Q_PROPERTY(bool HideWindowUI MEMBER FHideWindowUI)
    Q_PROPERTY(bool FitWindow MEMBER FFitWindow)
    Q_PROPERTY(bool CenterWindow MEMBER FCenterWindow)
    Q_PROPERTY(bool PrintScaling MEMBER FPrintScaling)
    Q_PROPERTY(bool Deterministic MEMBER FDeterministic)
    Q_PROPERTY(QString Title MEMBER FTitle)
    Q_PROPERTY(QString Author MEMBER FAuthor)
    Q_PROPERTY(QString Creator MEMBER FCreator)

public:
    explicit TfrxPDFExport(QObject* parent = nullptr);
    ~TfrxPDFExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".pdf"); }

    // Applies the post-processing described above to QPdfWriter output (exposed for tests).
    static QByteArray FixVolatileFields(QByteArray pdf);
    QByteArray ViewerPreferences() const;  // the dictionary text, empty when none is needed
    static bool AppendCatalogEntries(QByteArray& pdf, const QByteArray& entries);

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    bool FPrintOptimized = false;
    bool FOutline = false;
    bool FBackground = false;
    bool FHTMLTags = true;
    int FProtectionFlags = ePrint | eModify | eCopy | eAnnot;
    bool FHideToolbar = false;
    bool FHideMenubar = false;
    bool FHideWindowUI = false;
    bool FFitWindow = false;
    bool FCenterWindow = false;
    bool FPrintScaling = false;
    bool FDeterministic = true;
    QString FTitle, FAuthor, FCreator = QStringLiteral("Vellumar");

    QByteArray FBuffer;
    std::unique_ptr<QBuffer> FDevice;
    std::unique_ptr<QPdfWriter> FWriter;
    std::unique_ptr<QPainter> FPainter;
};

}  // namespace reportengine

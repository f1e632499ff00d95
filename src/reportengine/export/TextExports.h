// The text-shaped exports, both drawn through CharGrid:
//
// TfrxSimpleTextExport ("Простой текст (TXT)"): each page as lines of text on a character grid
// whose cell follows the report's own text (so columns line up as in the preview). Options:
// Frames (object frames as box-drawing characters), EmptyLines (keep blank rows; off drops
// them), OEMCodepage (CP866 instead of UTF-8), PageBreaks (a form feed between pages). Lines end
// in CR LF, which every editor reads and which DOS-era consumers of CP866 files need.
//
// TfrxDotMatrixExport ("Матричный принтер"): the stream a dot-matrix printer prints as is: the
// printer's fixed grid (10 characters per inch, 6 lines per inch), every row kept so that text
// stays where the page has it, bold, italic and underline switched by the escape sequences of
// the chosen escape model, a form feed after each page. EscModel 0 is the ESC/P command set
// (ESC @ reset, ESC 2 six lines per inch, ESC C n page length in lines from the first page's
// paper, ESC E/F bold, ESC 4/5 italic, ESC - 1/0 underline).
// GraphicFrames prints frames with the printer's box-drawing characters; off, frames are left
// out (a row of frame characters would take a printer line of its own). OEMCodepage (on: the
// printer's CP866 character set; off: Windows-1251). With UseIniSettings, setting SettingsKey
// (the engine's settings key) loads these options as stored there (ExportSettings.h); the
// dialog's choices are stored by the host. SaveToFile is kept for the host: the filter always
// writes the stream to FileName, from where the host spools it.
//
// Both stream each page to the base's staging file, which Export renames into place only when
// the whole report is written.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/CharGrid.h"
#include "reportengine/export/ExportFilter.h"

#include <QByteArray>
#include <QStringList>

#include <memory>
#include <optional>

class QFile;

namespace reportengine {

class TfrxSimpleTextExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(bool Frames MEMBER FFrames)
    Q_PROPERTY(bool EmptyLines MEMBER FEmptyLines)
    Q_PROPERTY(bool OEMCodepage MEMBER FOEMCodepage)
    Q_PROPERTY(bool PageBreaks MEMBER FPageBreaks)

public:
    explicit TfrxSimpleTextExport(QObject* parent = nullptr);
    ~TfrxSimpleTextExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".txt"); }

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    bool FFrames = false;
    bool FEmptyLines = false;
    bool FOEMCodepage = false;
    bool FPageBreaks = true;

    std::unique_ptr<QFile> FOut;
    std::optional<CharCellSize> FCell;  // from the first page, so every page has the same columns
};

// A printer escape model: the byte sequences it uses.
struct PrinterEscapeModel {
    const char* Name;
    QByteArray Init;        // at the start of the job
    QByteArray PageLength;  // followed by one byte: the page length in lines
    QByteArray BoldOn, BoldOff, ItalicOn, ItalicOff, UnderlineOn, UnderlineOff;
    QByteArray FormFeed;
};
// Null for a model number that does not exist.
const PrinterEscapeModel* EscapeModel(int model);

class TfrxDotMatrixExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(int EscModel MEMBER FEscModel)
    Q_PROPERTY(bool GraphicFrames MEMBER FGraphicFrames)
    Q_PROPERTY(bool OEMCodepage MEMBER FOEMCodepage)
    Q_PROPERTY(bool PageBreaks MEMBER FPageBreaks)
    Q_PROPERTY(bool SaveToFile MEMBER FSaveToFile)
    Q_PROPERTY(bool UseIniSettings MEMBER FUseIniSettings)
    Q_PROPERTY(QString SettingsKey READ SettingsKey WRITE SetSettingsKey)

public:
    explicit TfrxDotMatrixExport(QObject* parent = nullptr);
    ~TfrxDotMatrixExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".prn"); }

    static constexpr CharCellSize kPrinterCell{9.6, 16};  // 10 cpi, 6 lpi at 96 px per inch

    QString SettingsKey() const { return FSettingsKey; }
    void SetSettingsKey(const QString& key);
    static QStringList StoredProperties();

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;

private:
    QByteArray encode(const QString& text) const;
    QByteArray styleChange(std::uint8_t from, std::uint8_t to) const;

    int FEscModel = 0;
    bool FGraphicFrames = false;
    bool FOEMCodepage = true;
    bool FPageBreaks = true;
    bool FSaveToFile = false;
    bool FUseIniSettings = true;
    QString FSettingsKey;

    const PrinterEscapeModel* FModel = nullptr;
    std::unique_ptr<QFile> FOut;
};

}  // namespace reportengine

#include "reportengine/export/TextExports.h"

#include "platform/Cp1251.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/ExportSettings.h"
#include "reportengine/export/OemCodepage.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace reportengine {

namespace {

const QByteArray kLineEnd = "\r\n";
constexpr char kFormFeed = '\f';

// --- output file: streamed to the base's staging path ----------------------------------

bool openTextOutput(std::unique_ptr<QFile>& file, const QString& stagingPath, QString* error) {
    file = std::make_unique<QFile>(stagingPath);
    if (file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    *error = QStringLiteral("%1: %2").arg(stagingPath, file->errorString());
    file.reset();
    return false;
}

bool writeTextOutput(QFile* file, const QByteArray& bytes, QString* error) {
    if (file && file->write(bytes) == bytes.size())
        return true;
    *error = file ? QStringLiteral("%1: %2").arg(file->fileName(), file->errorString())
                  : QStringLiteral("The output file is not open");
    return false;
}

// Closes the output; the base renames or removes the staged file afterwards.
bool closeTextOutput(std::unique_ptr<QFile>& file, bool ok, QString* error) {
    if (file && ok && !file->flush()) {
        *error = QStringLiteral("%1: %2").arg(file->fileName(), file->errorString());
        ok = false;
    }
    file.reset();
    return ok;
}

}  // namespace

// --- simple text -------------------------------------------------------------------------

TfrxSimpleTextExport::TfrxSimpleTextExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxSimpleTextExport::~TfrxSimpleTextExport() = default;

QString TfrxSimpleTextExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::SimpleText);
}

bool TfrxSimpleTextExport::Start(int) {
    FCell.reset();
    QString error;
    return openTextOutput(FOut, StagingPath(), &error) || SetError(error);
}

bool TfrxSimpleTextExport::ExportPage(const PreparedPage& page, int, int ordinal) {
    if (!FCell)
        FCell = CellSizeFromText(page);
    const CharGrid grid(page, *FCell, FFrames ? FrameGlyphs::Box : FrameGlyphs::None);
    // Blank rows after the last text are the page's bottom margin, not content.
    int last = grid.RowCount() - 1;
    while (last >= 0 && !grid.RowHasContent(last))
        --last;
    QString text;
    if (ordinal > 0 && FPageBreaks)
        text += QChar(kFormFeed);
    for (int r = 0; r <= last; ++r)
        if (FEmptyLines || grid.RowHasContent(r))
            text += grid.RowText(r) + QString::fromLatin1(kLineEnd);
    const QByteArray bytes = FOEMCodepage ? toCp866(text) : text.toUtf8();
    QString error;
    return writeTextOutput(FOut.get(), bytes, &error) || SetError(error);
}

bool TfrxSimpleTextExport::Finish(bool ok) {
    QString error;
    return closeTextOutput(FOut, ok, &error) || (ok && SetError(error));
}

// --- dot-matrix printer ------------------------------------------------------------------

const PrinterEscapeModel* EscapeModel(int model) {
    // ESC is 0x1B; the letters and digits after it name the command.
    const QByteArray esc(1, '\x1b');
    static const PrinterEscapeModel models[] = {
        {"ESC/P", esc + "@" + esc + "2", esc + "C", esc + "E", esc + "F", esc + "4", esc + "5",
         esc + "-" + '\x01', esc + "-" + '\x00', QByteArray(1, kFormFeed)},
    };
    return model >= 0 && model < int(std::size(models)) ? &models[model] : nullptr;
}

TfrxDotMatrixExport::TfrxDotMatrixExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxDotMatrixExport::~TfrxDotMatrixExport() = default;

QString TfrxDotMatrixExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::DotMatrix);
}

QStringList TfrxDotMatrixExport::StoredProperties() {
    return {"EscModel", "GraphicFrames", "OEMCodepage", "PageBreaks"};
}

void TfrxDotMatrixExport::SetSettingsKey(const QString& key) {
    FSettingsKey = key;
    if (FUseIniSettings && !key.isEmpty())
        LoadFilterSettings(*this, key, StoredProperties());
}

QByteArray TfrxDotMatrixExport::encode(const QString& text) const {
    return FOEMCodepage ? toCp866(text) : platform::toCp1251(text);
}

QByteArray TfrxDotMatrixExport::styleChange(std::uint8_t from, std::uint8_t to) const {
    QByteArray out;
    auto toggle = [&](std::uint8_t bit, const QByteArray& on, const QByteArray& off) {
        if ((from & bit) != (to & bit))
            out += (to & bit) ? on : off;
    };
    toggle(fsBold, FModel->BoldOn, FModel->BoldOff);
    toggle(fsItalic, FModel->ItalicOn, FModel->ItalicOff);
    toggle(fsUnderline, FModel->UnderlineOn, FModel->UnderlineOff);
    return out;
}

bool TfrxDotMatrixExport::Start(int) {
    FModel = EscapeModel(FEscModel);
    if (!FModel)
        return SetError(tr("Unknown printer escape model %1").arg(FEscModel));
    QString error;
    if (!openTextOutput(FOut, StagingPath(), &error))
        return SetError(error);
    return writeTextOutput(FOut.get(), FModel->Init, &error) || SetError(error);
}

bool TfrxDotMatrixExport::ExportPage(const PreparedPage& page, int, int ordinal) {
    const CharGrid grid(page, kPrinterCell, FGraphicFrames ? FrameGlyphs::Box : FrameGlyphs::None);
    int last = grid.RowCount() - 1;
    while (last >= 0 && !grid.RowHasContent(last))
        --last;
    QByteArray out;
    if (ordinal == 0 && !FModel->PageLength.isEmpty()) {
        const double lines = std::round(PageHeightPx(page) / kPrinterCell.Height);
        out += FModel->PageLength + char(std::clamp(int(lines), 1, 127));
    }
    for (int r = 0; r <= last; ++r) {
        std::uint8_t style = 0;
        for (const CharGridCell& cell : grid.Row(r)) {
            out += styleChange(style, cell.Style);
            style = cell.Style;
            out += encode(cell.Char);
        }
        out += styleChange(style, 0) + kLineEnd;
    }
    if (FPageBreaks)
        out += FModel->FormFeed;
    QString error;
    return writeTextOutput(FOut.get(), out, &error) || SetError(error);
}

bool TfrxDotMatrixExport::Finish(bool ok) {
    QString error;
    return closeTextOutput(FOut, ok, &error) || (ok && SetError(error));
}

}  // namespace reportengine

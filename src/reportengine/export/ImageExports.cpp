#include "reportengine/export/ImageExports.h"

#include "reportengine/export/ExportRegistry.h"
#include "reportengine/render/PageRenderer.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSet>

#include <gif_lib.h>
#include <tiffio.h>

#include <cmath>

namespace reportengine {

// --- common ------------------------------------------------------------------------------

QString TfrxCustomImageExport::PageFileName(const QString& fileName, int pageIndex, int count) {
    if (count <= 1)
        return fileName;
    const QFileInfo info(fileName);
    const QString folder = fileName.left(fileName.lastIndexOf(u'/') + 1);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    return QStringLiteral("%1%2_%3%4")
        .arg(folder, info.completeBaseName())
        .arg(pageIndex + 1)
        .arg(suffix);
}

QImage TfrxCustomImageExport::RenderPageImage(const PreparedPage& page, int dpi, bool monochrome) {
    const double scale = double(std::clamp(dpi, 10, 1200)) / 96.0;
    QImage img(int(std::ceil(PageWidthPx(page) * scale)),
               int(std::ceil(PageHeightPx(page) * scale)), QImage::Format_RGB32);
    const int dpm = int(std::lround(dpi / 0.0254));
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        RenderPage(p, page, scale);
    }
    return monochrome ? img.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither) : img;
}

bool TfrxCustomImageExport::Start(int pageCount) {
    FPageCount = pageCount;
    return true;
}

bool TfrxCustomImageExport::ExportPage(const PreparedPage& page, int pageIndex, int) {
    const QImage img = RenderPageImage(page, FResolution, FMonochrome);
    if (img.isNull())
        return SetError(tr("The page is too large to draw at %1 dpi").arg(FResolution));
    return WriteImage(img, StagingPath(PageFileName(TargetPath(), pageIndex, FPageCount)));
}

bool TfrxCustomImageExport::Finish(bool) {
    return true;
}

namespace {

bool writeWithQt(TfrxCustomExportFilter& filter, const QImage& image, const QString& fileName,
                 const char* format, int quality, QString* error) {
    QImageWriter writer(fileName, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (writer.write(image))
        return true;
    *error = QStringLiteral("%1: %2").arg(fileName, writer.errorString());
    Q_UNUSED(filter);
    return false;
}

}  // namespace

// --- BMP, JPEG ---------------------------------------------------------------------------

QString TfrxBMPExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::BMP);
}

bool TfrxBMPExport::WriteImage(const QImage& image, const QString& fileName) {
    QString error;
    return writeWithQt(*this, image, fileName, "bmp", -1, &error) || SetError(error);
}

QString TfrxJPEGExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::JPEG);
}

bool TfrxJPEGExport::WriteImage(const QImage& image, const QString& fileName) {
    QString error;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    return writeWithQt(*this, rgb, fileName, "jpeg", FJPEGQuality, &error) || SetError(error);
}

// --- GIF ---------------------------------------------------------------------------------

QString TfrxGIFExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::GIF);
}

namespace {

// The page's own colours when it has at most 256 of them; otherwise a 6x6x6 colour cube plus a
// ramp of 40 greys, since report pages are mostly black, white and grey with a little colour.
QList<QRgb> gifPalette(const QImage& image) {
    QList<QRgb> exact;
    QSet<QRgb> seen;
    for (int y = 0; y < image.height() && exact.size() <= 256; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width() && exact.size() <= 256; ++x)
            if (!seen.contains(row[x] | 0xFF000000))
                seen.insert(row[x] | 0xFF000000), exact.push_back(row[x] | 0xFF000000);
    }
    if (exact.size() <= 256)
        return exact;
    QList<QRgb> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back(qRgb(r * 51, g * 51, b * 51));
    for (int i = 0; i < 40; ++i) {
        const int level = (i + 1) * 255 / 41;
        palette.push_back(qRgb(level, level, level));
    }
    return palette;
}

}  // namespace

bool TfrxGIFExport::WriteImage(const QImage& image, const QString& fileName) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8, gifPalette(rgb));
    QList<QRgb> table = indexed.colorTable();
    table.resize(256, qRgb(0, 0, 0));  // giflib wants a power of two
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; ++i)
        map->Colors[i] = GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                                      GifByteType(qBlue(table[i]))};
    int err = 0;
    GifFileType* gif = EGifOpenFileName(QFile::encodeName(fileName).constData(), false, &err);
    bool ok = gif != nullptr;
    if (ok) {
        EGifSetGifVersion(gif, true);
        ok = EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr) ==
                 GIF_OK;
        for (int y = 0; ok && y < indexed.height(); ++y)
            ok = EGifPutLine(gif, const_cast<GifByteType*>(indexed.constScanLine(y)),
                             indexed.width()) == GIF_OK;
        if (!ok)
            err = gif->Error;
        if (EGifCloseFile(gif, &err) != GIF_OK)
            ok = false;
    }
    GifFreeMapObject(map);
    return ok ||
           SetError(QStringLiteral("%1: %2").arg(fileName, QString::fromUtf8(GifErrorString(err))));
}

// --- TIFF --------------------------------------------------------------------------------

TfrxTIFFExport::TfrxTIFFExport(QObject* parent) : TfrxCustomImageExport(parent) {
    FSeparateFiles = false;
}

TfrxTIFFExport::~TfrxTIFFExport() {
    if (FTiff)
        TIFFClose(static_cast<TIFF*>(FTiff));
}

QString TfrxTIFFExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::TIFF);
}

bool TfrxTIFFExport::Start(int pageCount) {
    TfrxCustomImageExport::Start(pageCount);
    if (FSeparateFiles)
        return true;
    TIFFSetErrorHandler(nullptr);  // libtiff would print to stderr; we report through ErrorText
    TIFFSetWarningHandler(nullptr);
    FTiff = TIFFOpen(QFile::encodeName(StagingPath()).constData(), "w");
    return FTiff || SetError(tr("Cannot create %1").arg(TargetPath()));
}

bool TfrxTIFFExport::ExportPage(const PreparedPage& page, int pageIndex, int ordinal) {
    if (FSeparateFiles)
        return TfrxCustomImageExport::ExportPage(page, pageIndex, ordinal);
    const QImage img = RenderPageImage(page, FResolution, FMonochrome);
    return writeDirectory(FTiff, img, ordinal) ||
           SetError(tr("Cannot write page %1 to %2").arg(pageIndex + 1).arg(TargetPath()));
}

bool TfrxTIFFExport::Finish(bool ok) {
    if (FTiff)
        TIFFClose(static_cast<TIFF*>(FTiff));
    FTiff = nullptr;
    return ok;
}

bool TfrxTIFFExport::WriteImage(const QImage& image, const QString& fileName) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFF* tiff = TIFFOpen(QFile::encodeName(fileName).constData(), "w");
    if (!tiff)
        return SetError(tr("Cannot create %1").arg(fileName));
    const bool ok = writeDirectory(tiff, image, 0);
    TIFFClose(tiff);
    return ok || SetError(tr("Cannot write %1").arg(fileName));
}

bool TfrxTIFFExport::writeDirectory(void* handle, const QImage& image, int pageNumber) {
    TIFF* tiff = static_cast<TIFF*>(handle);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const double dpi = image.dotsPerMeterX() * 0.0254;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(dpi));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(dpi));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, uint16_t(pageNumber), uint16_t(FPageCount));
    for (int y = 0; y < rgb.height(); ++y)
        if (TIFFWriteScanline(tiff, const_cast<uchar*>(rgb.constScanLine(y)), uint32_t(y), 0) < 0)
            return false;
    return TIFFWriteDirectory(tiff) != 0;
}

}  // namespace reportengine

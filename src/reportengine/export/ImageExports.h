// Picture exports: every chosen page is drawn by the page renderer onto a white image at
// Resolution dots per inch. BMP, JPEG and GIF write one file per page: with a single page the
// file is FileName itself; with several, page n goes to "<name>_<n>.<ext>" beside it (n the
// 1-based page number of the report, so "report.bmp" gives "report_1.bmp", "report_2.bmp" ...).
// TIFF writes every page into one multi-page file (libtiff, LZW), or one file per page under the
// same naming when SeparateFiles is set. GIF goes through giflib with the picture reduced to at
// most 256 colours (exact when the page has that few, otherwise the nearest of a colour cube
// and a grey ramp).
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QImage>

namespace reportengine {

class TfrxCustomImageExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(int Resolution MEMBER FResolution)
    Q_PROPERTY(bool Monochrome MEMBER FMonochrome)
    Q_PROPERTY(bool SeparateFiles MEMBER FSeparateFiles)

public:
    using TfrxCustomExportFilter::TfrxCustomExportFilter;
    void SetResolution(int dpi) { FResolution = dpi; }

    // The file page pageIndex goes to when `count` pages are exported one file each.
    static QString PageFileName(const QString& fileName, int pageIndex, int count);
    // The page drawn at dpi on white, as the picture exports write it.
    static QImage RenderPageImage(const PreparedPage& page, int dpi, bool monochrome = false);

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;
    // Writes one picture to one file; false after SetError.
    virtual bool WriteImage(const QImage& image, const QString& fileName) = 0;

    int FResolution = 96;
    bool FMonochrome = false;
    bool FSeparateFiles = true;
    int FPageCount = 0;
};

class TfrxBMPExport : public TfrxCustomImageExport {
    Q_OBJECT
public:
    using TfrxCustomImageExport::TfrxCustomImageExport;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".bmp"); }

protected:
    bool WriteImage(const QImage& image, const QString& fileName) override;
};

class TfrxJPEGExport : public TfrxCustomImageExport {
    Q_OBJECT
    Q_PROPERTY(int JPEGQuality MEMBER FJPEGQuality)
public:
    using TfrxCustomImageExport::TfrxCustomImageExport;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".jpg"); }

protected:
    bool WriteImage(const QImage& image, const QString& fileName) override;
    int FJPEGQuality = 90;
};

class TfrxGIFExport : public TfrxCustomImageExport {
    Q_OBJECT
public:
    using TfrxCustomImageExport::TfrxCustomImageExport;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".gif"); }

protected:
    bool WriteImage(const QImage& image, const QString& fileName) override;
};

class TfrxTIFFExport : public TfrxCustomImageExport {
    Q_OBJECT
public:
    explicit TfrxTIFFExport(QObject* parent = nullptr);
    ~TfrxTIFFExport() override;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".tif"); }

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;
    bool WriteImage(const QImage& image, const QString& fileName) override;

private:
    bool writeDirectory(void* tiff, const QImage& image, int pageNumber);
    void* FTiff = nullptr;  // TIFF*, open between Start and Finish for a multi-page file
};

}  // namespace reportengine

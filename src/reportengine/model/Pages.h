// Pages of a report: TfrxReportPage (paper in millimetres, margins, columns; holds bands),
// TfrxDialogPage (a dialog shown before the report pages; holds dialog controls) and TfrxDataPage
// (holds data components such as queries). A report page's pixel Width and Height follow from its
// paper and orientation and are not stored.
// Thread contract: the thread that owns the report.
#pragma once

#include "reportengine/model/Component.h"

#include <vector>

namespace reportengine {

class TfrxBand;

class TfrxPage : public TfrxComponent {
    Q_OBJECT
    Q_PROPERTY(bool Visible MEMBER Visible)
public:
    using TfrxComponent::TfrxComponent;
    bool Visible = true;
};

class TfrxReportPage : public TfrxPage {
    Q_OBJECT
    Q_PROPERTY(double BottomMargin MEMBER BottomMargin)
    Q_PROPERTY(int Columns MEMBER Columns)
    Q_PROPERTY(double ColumnWidth MEMBER ColumnWidth)
    Q_PROPERTY(reportengine::TfrxFont* Font READ GetFont)
    Q_PROPERTY(double LeftMargin MEMBER LeftMargin)
    Q_PROPERTY(bool MirrorMargins MEMBER MirrorMargins)
    Q_PROPERTY(reportengine::TPrinterOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(double PaperHeight READ PaperHeight WRITE SetPaperHeight)
    Q_PROPERTY(int PaperSize MEMBER PaperSize)
    Q_PROPERTY(double PaperWidth READ PaperWidth WRITE SetPaperWidth)
    Q_PROPERTY(bool PrintOnPreviousPage MEMBER PrintOnPreviousPage)
    Q_PROPERTY(bool ResetPageNumbers MEMBER ResetPageNumbers)
    Q_PROPERTY(double RightMargin MEMBER RightMargin)
    Q_PROPERTY(bool TitleBeforeHeader MEMBER TitleBeforeHeader)
    Q_PROPERTY(double TopMargin MEMBER TopMargin)
    Q_PROPERTY(QString OnAfterPrint MEMBER OnAfterPrint)
    Q_PROPERTY(QString OnBeforePrint MEMBER OnBeforePrint)
    Q_PROPERTY(QString OnManualBuild MEMBER OnManualBuild)
public:
    explicit TfrxReportPage(TfrxComponent* parent = nullptr);

    double BottomMargin = 10;
    int Columns = 0;
    double ColumnWidth = 0;
    TfrxFont Font;
    double LeftMargin = 10;
    bool MirrorMargins = false;
    int PaperSize = 9;  // the Windows paper code: 9 A4, 256 custom
    bool PrintOnPreviousPage = false;
    bool ResetPageNumbers = false;
    double RightMargin = 10;
    bool TitleBeforeHeader = true;
    double TopMargin = 10;
    QString OnAfterPrint, OnBeforePrint, OnManualBuild;

    // Paper size in millimetres as it lies (landscape swaps them).
    double PaperWidth() const { return FPaperWidth; }
    double PaperHeight() const { return FPaperHeight; }
    void SetPaperWidth(double mm);
    void SetPaperHeight(double mm);
    TPrinterOrientation Orientation() const { return FOrientation; }
    // Changing the orientation swaps width and height.
    void SetOrientation(TPrinterOrientation value);
    // The printable width in pixels (paper less margins).
    double PrintableWidth() const { return (FPaperWidth - LeftMargin - RightMargin) * fr01cm; }

    TfrxFont* GetFont() { return &Font; }
    const TfrxFont& UsedFont() const override { return Font; }
    bool IsStoredProperty(const char* name) const override;
    // The page's bands ordered by Top (equal Tops keep their list order): the order that binds
    // headers and footers to data bands.
    std::vector<TfrxBand*> Bands() const;

private:
    void UpdateGeometry();
    double FPaperWidth = 210;
    double FPaperHeight = 297;
    TPrinterOrientation FOrientation = poPortrait;
};

class TfrxDialogPage : public TfrxPage {
    Q_OBJECT
    Q_PROPERTY(reportengine::TFormBorderStyle BorderStyle MEMBER BorderStyle)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(reportengine::TfrxFont* Font READ GetFont)
    Q_PROPERTY(reportengine::TPosition Position MEMBER Position)
    Q_PROPERTY(QString OnActivate MEMBER OnActivate)
    Q_PROPERTY(QString OnClose MEMBER OnClose)
    Q_PROPERTY(QString OnDeactivate MEMBER OnDeactivate)
    Q_PROPERTY(QString OnShow MEMBER OnShow)
    Q_PROPERTY(int ModalResult MEMBER ModalResult STORED false)
public:
    explicit TfrxDialogPage(TfrxComponent* parent = nullptr);

    TFormBorderStyle BorderStyle = bsSizeable;
    QString Caption;
    int Color = clBtnFace;
    TfrxFont Font;
    TPosition Position = poScreenCenter;
    QString OnActivate, OnClose, OnDeactivate, OnShow;
    int ModalResult = mrNone;  // set while the dialog runs

    TfrxFont* GetFont() { return &Font; }
    const TfrxFont& UsedFont() const override { return Font; }
};

class TfrxDataPage : public TfrxPage {
    Q_OBJECT
public:
    explicit TfrxDataPage(TfrxComponent* parent = nullptr);
};

}  // namespace reportengine

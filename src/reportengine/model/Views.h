// Views: the objects placed on bands. TfrxView carries what every view has (fill colour, frame,
// font, the data binding DataSet/DataField); TfrxMemoView holds text with [expressions],
// TfrxSysMemoView system texts and aggregates, and the line, shape, picture, check box, gradient
// and barcode views. Geometry is relative to the owning band.
// Thread contract: the thread that owns the report.
#pragma once

#include "reportengine/model/Component.h"
#include "reportengine/model/DataSets.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>

namespace reportengine {

class TfrxView : public TfrxReportComponent {
    Q_OBJECT
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(reportengine::TfrxDataSet* DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(QString DataField MEMBER DataField)
    Q_PROPERTY(reportengine::TfrxFont* Font READ GetFont)
    Q_PROPERTY(reportengine::TfrxFrame* Frame READ GetFrame)
    Q_PROPERTY(bool ParentFont MEMBER ParentFont)
    Q_PROPERTY(bool Printable MEMBER Printable)
    Q_PROPERTY(QString TagStr MEMBER TagStr)
public:
    using TfrxReportComponent::TfrxReportComponent;

    int Color = clNone;  // fill
    QString DataField;
    TfrxFont Font;
    TfrxFrame Frame;
    bool ParentFont = true;
    bool Printable = true;
    QString TagStr;

    TfrxDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TfrxDataSet* dataSet);
    // The dataset's user name; kept as text when the dataset is not (yet) known.
    QString DataSetName() const;
    void SetDataSetName(const QString& name) { FDataSetName = name; }
    bool IsDataBound() const { return !DataField.isEmpty() && !DataSetName().isEmpty(); }

    TfrxFont* GetFont() { return &Font; }
    TfrxFrame* GetFrame() { return &Frame; }
    const TfrxFont& UsedFont() const override;
    bool IsStoredProperty(const char* name) const override;

private:
    QPointer<TfrxDataSet> FDataSet;
    QString FDataSetName;
};

class TfrxStretcheable : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxStretchMode StretchMode MEMBER StretchMode)
public:
    using TfrxView::TfrxView;
    TfrxStretchMode StretchMode = smDontStretch;
};

class TfrxCustomMemoView : public TfrxStretcheable {
    Q_OBJECT
    Q_PROPERTY(bool AllowExpressions MEMBER AllowExpressions)
    Q_PROPERTY(bool AutoWidth MEMBER AutoWidth)
    Q_PROPERTY(double CharSpacing MEMBER CharSpacing)
    Q_PROPERTY(reportengine::TfrxDisplayFormat* DisplayFormat READ GetDisplayFormat)
    Q_PROPERTY(QString ExpressionDelimiters MEMBER ExpressionDelimiters)
    Q_PROPERTY(double GapX MEMBER GapX)
    Q_PROPERTY(double GapY MEMBER GapY)
    Q_PROPERTY(reportengine::TfrxHAlign HAlign MEMBER HAlign)
    Q_PROPERTY(bool HideZeros MEMBER HideZeros)
    Q_PROPERTY(reportengine::TfrxHighlight* Highlight READ GetHighlight)
    Q_PROPERTY(double LineSpacing MEMBER LineSpacing)
    Q_PROPERTY(int Rotation MEMBER Rotation)
    Q_PROPERTY(bool SuppressRepeated MEMBER SuppressRepeated)
    Q_PROPERTY(bool Underlines MEMBER Underlines)
    Q_PROPERTY(reportengine::TfrxVAlign VAlign MEMBER VAlign)
    Q_PROPERTY(bool WordWrap MEMBER WordWrap)
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(QStringList Memo READ Memo WRITE SetMemo STORED false)
public:
    using TfrxStretcheable::TfrxStretcheable;

    bool AllowExpressions = true;
    bool AutoWidth = false;
    double CharSpacing = 0;
    TfrxDisplayFormat DisplayFormat;
    QString ExpressionDelimiters = QStringLiteral("[,]");
    double GapX = 2;
    double GapY = 1;
    TfrxHAlign HAlign = haLeft;
    bool HideZeros = false;
    TfrxHighlight Highlight;
    double LineSpacing = 2;
    int Rotation = 0;  // degrees: 0, 90, 180, 270
    bool SuppressRepeated = false;
    bool Underlines = false;
    TfrxVAlign VAlign = vaTop;
    bool WordWrap = true;
    QString Text;  // lines joined by CR LF

    QStringList Memo() const;
    void SetMemo(const QStringList& lines);
    TfrxDisplayFormat* GetDisplayFormat() { return &DisplayFormat; }
    TfrxHighlight* GetHighlight() { return &Highlight; }
};

class TfrxMemoView : public TfrxCustomMemoView {
    Q_OBJECT
public:
    using TfrxCustomMemoView::TfrxCustomMemoView;
};

// System texts ([Page#], [Date] ...) and aggregates in footers and summaries.
class TfrxSysMemoView : public TfrxCustomMemoView {
    Q_OBJECT
public:
    using TfrxCustomMemoView::TfrxCustomMemoView;
};

class TfrxLineView : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(bool ArrowEnd MEMBER ArrowEnd)
    Q_PROPERTY(bool ArrowStart MEMBER ArrowStart)
    Q_PROPERTY(bool Diagonal MEMBER Diagonal)
public:
    using TfrxView::TfrxView;
    bool ArrowEnd = false;
    bool ArrowStart = false;
    bool Diagonal = false;
};

class TfrxShapeView : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(int Curve MEMBER Curve)
    Q_PROPERTY(reportengine::TfrxShapeKind Shape MEMBER Shape)
public:
    using TfrxView::TfrxView;
    int Curve = 0;
    TfrxShapeKind Shape = skRectangle;
};

// Picture: the encoded image file (PNG, JPEG, BMP ...), written as hex in templates.
class TfrxPictureView : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(bool Center MEMBER Center)
    Q_PROPERTY(bool KeepAspectRatio MEMBER KeepAspectRatio)
    Q_PROPERTY(QByteArray Picture MEMBER Picture)
    Q_PROPERTY(bool Stretched MEMBER Stretched)
    Q_PROPERTY(bool Transparent MEMBER Transparent)
public:
    using TfrxView::TfrxView;
    bool Center = false;
    bool KeepAspectRatio = true;
    QByteArray Picture;
    bool Stretched = true;
    bool Transparent = false;
};

class TfrxCheckBoxView : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(bool Checked MEMBER Checked)
    Q_PROPERTY(int CheckColor MEMBER CheckColor)
    Q_PROPERTY(reportengine::TfrxCheckStyle CheckStyle MEMBER CheckStyle)
    Q_PROPERTY(QString Expression MEMBER Expression)
public:
    using TfrxView::TfrxView;
    bool Checked = true;
    int CheckColor = clBlack;
    TfrxCheckStyle CheckStyle = csCross;
    QString Expression;
};

class TfrxGradientView : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(int BeginColor MEMBER BeginColor)
    Q_PROPERTY(int EndColor MEMBER EndColor)
    Q_PROPERTY(reportengine::TfrxGradientStyle Style MEMBER Style)
public:
    using TfrxView::TfrxView;
    int BeginColor = clWhite;
    int EndColor = 0x808080;
    TfrxGradientStyle Style = gsHorizontal;
};

// Text is the value to encode (or an [expression] of it when Expression is empty).
class TfrxBarCodeView : public TfrxView {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxBarcodeType BarType MEMBER BarType)
    Q_PROPERTY(bool CalcCheckSum MEMBER CalcCheckSum)
    Q_PROPERTY(QString Expression MEMBER Expression)
    Q_PROPERTY(int Rotation MEMBER Rotation)
    Q_PROPERTY(bool ShowText MEMBER ShowText)
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(double Zoom MEMBER Zoom)
public:
    using TfrxView::TfrxView;
    TfrxBarcodeType BarType = bcCode39;
    bool CalcCheckSum = false;
    QString Expression;
    int Rotation = 0;
    bool ShowText = true;
    QString Text = QStringLiteral("12345678");
    double Zoom = 1;
};

}  // namespace reportengine

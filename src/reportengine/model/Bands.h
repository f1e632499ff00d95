// Bands: horizontal strips of a report page that the engine prints in turn. Top only orders bands
// on the page; Left is 0 and Width the printable width. Headers and footers bind to the data band
// next to them by position; a band's Child prints right after it.
// Thread contract: the thread that owns the report.
#pragma once

#include "reportengine/model/Component.h"
#include "reportengine/model/DataSets.h"

#include <QPointer>

namespace reportengine {

class TfrxBand : public TfrxReportComponent {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit MEMBER AllowSplit)
    Q_PROPERTY(reportengine::TfrxBand* Child READ Child WRITE SetChild)
    Q_PROPERTY(reportengine::TfrxFont* Font READ GetFont)
    Q_PROPERTY(bool KeepChild MEMBER KeepChild)
    Q_PROPERTY(QString OnAfterCalcHeight MEMBER OnAfterCalcHeight)
    Q_PROPERTY(bool PrintChildIfInvisible MEMBER PrintChildIfInvisible)
    Q_PROPERTY(bool StartNewPage MEMBER StartNewPage)
    Q_PROPERTY(bool Stretched MEMBER Stretched)
public:
    using TfrxReportComponent::TfrxReportComponent;

    bool AllowSplit = false;
    TfrxFont Font;
    bool KeepChild = false;
    QString OnAfterCalcHeight;
    bool PrintChildIfInvisible = false;
    bool StartNewPage = false;
    bool Stretched = false;

    // The band printed after this one; only a TfrxChild is accepted.
    TfrxBand* Child() const { return FChild; }
    void SetChild(TfrxBand* child);
    TfrxFont* GetFont() { return &Font; }
    const TfrxFont& UsedFont() const override { return Font; }
    // True for bands whose rows come from a dataset or RowCount.
    virtual bool IsDataBand() const { return false; }

private:
    QPointer<TfrxBand> FChild;
};

class TfrxDataBand : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(int ColumnGap MEMBER ColumnGap)
    Q_PROPERTY(int Columns MEMBER Columns)
    Q_PROPERTY(double ColumnWidth MEMBER ColumnWidth)
    Q_PROPERTY(reportengine::TfrxDataSet* DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(QString Filter MEMBER Filter)
    Q_PROPERTY(bool FooterAfterEach MEMBER FooterAfterEach)
    Q_PROPERTY(bool KeepFooter MEMBER KeepFooter)
    Q_PROPERTY(bool KeepHeader MEMBER KeepHeader)
    Q_PROPERTY(bool KeepTogether MEMBER KeepTogether)
    Q_PROPERTY(bool PrintIfDetailEmpty MEMBER PrintIfDetailEmpty)
    Q_PROPERTY(int RowCount MEMBER RowCount)
public:
    using TfrxBand::TfrxBand;

    int ColumnGap = 0;
    int Columns = 0;
    double ColumnWidth = 0;
    QString Filter;
    bool FooterAfterEach = false;
    bool KeepFooter = false;
    bool KeepHeader = false;
    bool KeepTogether = false;
    bool PrintIfDetailEmpty = false;
    int RowCount = 0;  // rows printed when there is no dataset

    TfrxDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TfrxDataSet* dataSet);
    QString DataSetName() const { return FDataSet ? FDataSet->UserName() : FDataSetName; }
    void SetDataSetName(const QString& name) { FDataSetName = name; }
    bool IsDataBand() const override { return true; }

private:
    QPointer<TfrxDataSet> FDataSet;
    QString FDataSetName;
};

class TfrxMasterData : public TfrxDataBand {
    Q_OBJECT
public:
    using TfrxDataBand::TfrxDataBand;
};
class TfrxDetailData : public TfrxDataBand {
    Q_OBJECT
public:
    using TfrxDataBand::TfrxDataBand;
};
class TfrxSubdetailData : public TfrxDataBand {
    Q_OBJECT
public:
    using TfrxDataBand::TfrxDataBand;
};

class TfrxReportTitle : public TfrxBand {
    Q_OBJECT
public:
    using TfrxBand::TfrxBand;
};
class TfrxReportSummary : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(bool PrintAtBottom MEMBER PrintAtBottom)
public:
    using TfrxBand::TfrxBand;
    bool PrintAtBottom = false;
};

class TfrxPageHeader : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(bool PrintOnFirstPage MEMBER PrintOnFirstPage)
public:
    using TfrxBand::TfrxBand;
    bool PrintOnFirstPage = true;
};
class TfrxPageFooter : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(bool PrintOnFirstPage MEMBER PrintOnFirstPage)
    Q_PROPERTY(bool PrintOnLastPage MEMBER PrintOnLastPage)
public:
    using TfrxBand::TfrxBand;
    bool PrintOnFirstPage = true;
    bool PrintOnLastPage = true;
};

class TfrxColumnHeader : public TfrxBand {
    Q_OBJECT
public:
    using TfrxBand::TfrxBand;
};
class TfrxColumnFooter : public TfrxBand {
    Q_OBJECT
public:
    using TfrxBand::TfrxBand;
};

class TfrxHeader : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(bool ReprintOnNewPage MEMBER ReprintOnNewPage)
public:
    using TfrxBand::TfrxBand;
    bool ReprintOnNewPage = false;
};
class TfrxFooter : public TfrxBand {
    Q_OBJECT
public:
    using TfrxBand::TfrxBand;
};

class TfrxGroupHeader : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(QString Condition MEMBER Condition)
    Q_PROPERTY(bool KeepTogether MEMBER KeepTogether)
    Q_PROPERTY(bool ReprintOnNewPage MEMBER ReprintOnNewPage)
    Q_PROPERTY(bool ResetPageNumbers MEMBER ResetPageNumbers)
public:
    using TfrxBand::TfrxBand;
    QString Condition;  // an expression; a new group starts when its value changes
    bool KeepTogether = false;
    bool ReprintOnNewPage = false;
    bool ResetPageNumbers = false;
};
class TfrxGroupFooter : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(bool HideIfSingleDataRecord MEMBER HideIfSingleDataRecord)
public:
    using TfrxBand::TfrxBand;
    bool HideIfSingleDataRecord = false;
};

class TfrxChild : public TfrxBand {
    Q_OBJECT
public:
    using TfrxBand::TfrxBand;
};
class TfrxOverlay : public TfrxBand {
    Q_OBJECT
    Q_PROPERTY(bool PrintOnTop MEMBER PrintOnTop)
public:
    using TfrxBand::TfrxBand;
    bool PrintOnTop = false;
};

}  // namespace reportengine

// Datasets as the report engine reads them: TfrxDataSet (abstract navigation over rows with a
// user name, a range and value look-up by field name), TfrxDBDataset (any platform TDataSet),
// TfrxUserDataSet (rows supplied by callbacks), TfrxCustomQuery (the base of query components:
// SQL, parameters, master link and the hooks a query component implements) and TfrxDBComponents
// (the palette base of a database component).
//
// The engine's protocol with a query, in order: BeforeStartReport() once before a report is
// prepared; then, whenever the engine needs the rows: SetMaster(...) for a detail query,
// UpdateParams(), Prepare() (opens; may be called again before each navigation step); then
// First/Next/Eof/Value.
// Lifetime: a dataset does not own a wrapped TDataSet unless a descendant says so.
// Thread contract: the thread that owns the report.
#pragma once

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/Variant.h"
#include "reportengine/model/Component.h"

#include <QPointer>
#include <QStringList>
#include <functional>

namespace platform {
class TDataSource;
}

namespace reportengine {

class TfrxDataSet : public TfrxComponent {
    Q_OBJECT
    Q_PROPERTY(bool Enabled MEMBER Enabled)
    Q_PROPERTY(reportengine::TfrxRangeBegin RangeBegin MEMBER RangeBegin)
    Q_PROPERTY(reportengine::TfrxRangeEnd RangeEnd MEMBER RangeEnd)
    Q_PROPERTY(int RangeEndCount MEMBER RangeEndCount)
    Q_PROPERTY(QString UserName READ UserName WRITE SetUserName)
public:
    using TfrxComponent::TfrxComponent;

    bool Enabled = true;
    TfrxRangeBegin RangeBegin = rbFirst;
    TfrxRangeEnd RangeEnd = reLast;
    int RangeEndCount = 0;

    // The name expressions use (<UserName."Field">); the component name when empty.
    QString UserName() const { return FUserName.isEmpty() ? objectName() : FUserName; }
    void SetUserName(const QString& name) { FUserName = name; }
    bool IsStoredProperty(const char* name) const override;

    virtual void Open() {}
    virtual void Close() {}
    // Navigation honours the range: rbCurrent starts at the current row, reCurrent stops after
    // one row, reCount after RangeEndCount rows.
    void First();
    void Next();
    bool Eof();
    int RecNo() const { return FRecNo; }
    virtual int RecordCount() { return -1; }  // -1 when unknown
    // A field's value; throws platform::Exception for an unknown field.
    // A place in the dataset to come back to: the engine prints a group's footer on the group's
    // last row although it has already read the next one. Valid is false for datasets that cannot
    // go back (a user dataset); GotoRow then does nothing.
    struct RowMark {
        QByteArray Bookmark;
        int RecNo = 0;
        bool Valid = false;
    };
    virtual RowMark MarkRow() { return {}; }
    virtual void GotoRow(const RowMark& mark) {}
    virtual platform::Variant Value(const QString& field) = 0;
    virtual bool HasField(const QString& field) = 0;
    virtual QStringList FieldNames() = 0;

protected:
    virtual void InternalFirst() = 0;
    virtual void InternalNext() = 0;
    virtual bool InternalEof() = 0;
    void SetRecNo(int recNo) { FRecNo = recNo; }

private:
    QString FUserName;
    int FRecNo = 0;
};

// Reads any TDataSet through the dataset framework; fields by name without letter case, through
// FieldAliases ("Alias=FieldName" lines) when given.
class TfrxDBDataset : public TfrxDataSet {
    Q_OBJECT
    Q_PROPERTY(bool CloseDataSource MEMBER CloseDataSource)
    Q_PROPERTY(QStringList FieldAliases MEMBER FieldAliases)
public:
    using TfrxDataSet::TfrxDataSet;

    bool CloseDataSource = false;  // close the wrapped dataset when the report ends
    QStringList FieldAliases;

    platform::TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(platform::TDataSet* dataSet) { FDataSet = dataSet; }

    void Open() override;
    void Close() override;
    int RecordCount() override;
    platform::Variant Value(const QString& field) override;
    bool HasField(const QString& field) override;
    QStringList FieldNames() override;
    // The dataset field an alias or field name stands for; null when none.
    platform::TField* FindField(const QString& name);
    RowMark MarkRow() override;
    void GotoRow(const RowMark& mark) override;

protected:
    void InternalFirst() override;
    void InternalNext() override;
    bool InternalEof() override;

private:
    platform::TDataSet* FDataSet = nullptr;
};

// Rows supplied by the host: Fields lists the field names; the callbacks move and answer values.
class TfrxUserDataSet : public TfrxDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList Fields MEMBER Fields)
public:
    using TfrxDataSet::TfrxDataSet;
    QStringList Fields;
    std::function<void()> OnFirst, OnNext;
    std::function<bool()> OnCheckEOF;
    std::function<platform::Variant(const QString& field)> OnGetValue;
    std::function<int()> OnGetRecordCount;

    int RecordCount() override { return OnGetRecordCount ? OnGetRecordCount() : -1; }
    platform::Variant Value(const QString& field) override;
    bool HasField(const QString& field) override;
    QStringList FieldNames() override { return Fields; }

protected:
    void InternalFirst() override;
    void InternalNext() override;
    bool InternalEof() override;
};

// One query parameter of a template: Expression is evaluated by the engine into Value.
struct TfrxParamItem {
    QString Name;
    platform::TFieldType DataType = platform::ftUnknown;
    QString Expression;
    platform::Variant Value;
};

class TfrxParams {
public:
    int Count() const { return int(FItems.size()); }
    TfrxParamItem& operator[](int i) { return FItems[size_t(i)]; }
    const TfrxParamItem& operator[](int i) const { return FItems[size_t(i)]; }
    TfrxParamItem& Add(const QString& name);
    // The first item of that name, ignoring case; null when none.
    TfrxParamItem* Find(const QString& name);
    void Clear() { FItems.clear(); }

private:
    std::vector<TfrxParamItem> FItems;
};

using platform::FieldTypeFromName;
using platform::FieldTypeName;

class TfrxCustomQuery : public TfrxDBDataset {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxDBDataset* Master READ Master WRITE SetMaster)
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)
public:
    using TfrxDBDataset::TfrxDBDataset;

    TfrxParams Params;  // written as <Parameters> in templates

    QStringList SQL() const { return GetQueryText(); }
    void SetSQL(const QStringList& lines) { SetQueryText(lines); }
    TfrxDBDataset* Master() const { return FMaster; }
    void SetMaster(TfrxDBDataset* master) { FMaster = master; }

    // Opening: parameters transferred, then the dataset prepared. Closing always closes the
    // query (scripts close queries to run them again with other parameters).
    void Open() override;
    void Close() override;

    // Hooks a query component implements.
    virtual void BeforeStartReport() {}
    // Opens the query; a query component may make this re-run on every call.
    virtual void Prepare();
    virtual QStringList GetQueryText() const { return FSQL; }
    virtual void SetQueryText(const QStringList& lines) { FSQL = lines; }
    // The master dataset's data source of a master-detail report (null detaches).
    virtual void SetMasterSource(platform::TDataSource* source) {}
    virtual void UpdateParams() {}
    // The visual query builder's engine; null when the component offers none.
    virtual QObject* QBEngine() { return nullptr; }
    bool DatabaseConnected() const { return FDatabaseConnected; }

protected:
    void SetDatabaseConnected(bool value) { FDatabaseConnected = value; }

private:
    QStringList FSQL;
    QPointer<TfrxDBDataset> FMaster;
    bool FDatabaseConnected = false;
};

// The palette component naming the database of a family of queries.
class TfrxDBComponents : public TfrxComponent {
    Q_OBJECT
public:
    using TfrxComponent::TfrxComponent;
    virtual QString GetDescription() const { return QString(); }
};

}  // namespace reportengine

// TDataSource connects a dataset to data links (controls, report bands, detail tables); a
// TDataLink hears the dataset's events through it. TDetailDataLink is the link a detail dataset
// uses to follow its master.
// Lifetime: a source is a QObject; a link is owned by whoever made it. Destroying either side
// detaches it from the other. Thread contract: the dataset's thread.
#pragma once

#include "platform/DataSet.h"

#include <QObject>
#include <vector>

namespace platform {

class TDataLink;

class TDataSource : public QObject {
public:
    explicit TDataSource(QObject* owner = nullptr) : QObject(owner) {}
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* dataSet);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TDataSetState State() const { return FDataSet ? FDataSet->State() : dsInactive; }

private:
    friend class TDataSet;
    friend class TDataLink;
    void dataEvent(TDataEvent event, TField* field);
    void detachDataSet();

    TDataSet* FDataSet = nullptr;
    bool FEnabled = true;
    std::vector<TDataLink*> FLinks;
};

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }
    // The dataset is open and the source enabled.
    bool Active() const { return FActive; }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int distance) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void LayoutChanged() { DataSetChanged(); }
    // field is nullptr when the whole record changed.
    virtual void RecordChanged(TField* field) {}
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    void dataEvent(TDataEvent event, TField* field);
    void updateActive();

    TDataSource* FDataSource = nullptr;
    bool FActive = false;
    bool FEditing = false;
};

class TDetailDataLink : public TDataLink {
public:
    virtual TDataSet* DetailDataSet() const { return nullptr; }
};

}  // namespace platform

// Data sources and links; see DataSource.h.
#include "platform/DataSource.h"

#include <algorithm>

namespace platform {

TDataSource::~TDataSource() {
    for (TDataLink* link : std::vector<TDataLink*>(FLinks))
        link->SetDataSource(nullptr);
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet)
        return;
    if (FDataSet) {
        auto& list = FDataSet->FDataSources;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FDataSet = dataSet;
    if (FDataSet)
        FDataSet->FDataSources.push_back(this);
    for (TDataLink* link : std::vector<TDataLink*>(FLinks))
        link->updateActive();
}

void TDataSource::detachDataSet() {
    FDataSet = nullptr;
    for (TDataLink* link : std::vector<TDataLink*>(FLinks))
        link->updateActive();
}

void TDataSource::SetEnabled(bool value) {
    FEnabled = value;
    for (TDataLink* link : std::vector<TDataLink*>(FLinks))
        link->updateActive();
}

void TDataSource::dataEvent(TDataEvent event, TField* field) {
    if (!FEnabled)
        return;
    for (TDataLink* link : std::vector<TDataLink*>(FLinks))
        link->dataEvent(event, field);
}

TDataLink::~TDataLink() {
    if (FDataSource) {
        auto& list = FDataSource->FLinks;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == FDataSource)
        return;
    if (FDataSource) {
        auto& list = FDataSource->FLinks;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FDataSource = source;
    if (FDataSource)
        FDataSource->FLinks.push_back(this);
    updateActive();
}

void TDataLink::updateActive() {
    const bool active = FDataSource && FDataSource->Enabled() && FDataSource->DataSet() &&
                        FDataSource->DataSet()->Active();
    if (active != FActive) {
        FActive = active;
        ActiveChanged();
    }
    const bool editing =
        active && (FDataSource->State() == dsEdit || FDataSource->State() == dsInsert);
    if (editing != FEditing) {
        FEditing = editing;
        EditingChanged();
    }
}

void TDataLink::dataEvent(TDataEvent event, TField* field) {
    switch (event) {
        case deFieldChange:
        case deRecordChange:
            if (FActive)
                RecordChanged(event == deFieldChange ? field : nullptr);
            break;
        case deDataSetChange:
            if (FActive)
                DataSetChanged();
            break;
        case deDataSetScroll:
            if (FActive)
                DataSetScrolled(0);
            break;
        case deLayoutChange:
            if (FActive)
                LayoutChanged();
            break;
        case deUpdateRecord:
            if (FActive)
                UpdateData();
            break;
        case deUpdateState:
            updateActive();
            break;
        case deCheckBrowseMode:
            if (FActive)
                CheckBrowseMode();
            break;
    }
}

}  // namespace platform

#include "reportengine/model/DataSets.h"

#include "platform/Exception.h"

namespace reportengine {

using platform::Variant;

bool TfrxDataSet::IsStoredProperty(const char* name) const {
    // The user name is written only when it differs from the component name.
    return qstrcmp(name, "UserName") != 0 || (!FUserName.isEmpty() && FUserName != objectName());
}

void TfrxDataSet::First() {
    if (RangeBegin == rbFirst)
        InternalFirst();
    FRecNo = 0;
}

void TfrxDataSet::Next() {
    InternalNext();
    ++FRecNo;
}

bool TfrxDataSet::Eof() {
    if (RangeEnd == reCurrent && FRecNo >= 1)
        return true;
    if (RangeEnd == reCount && FRecNo >= RangeEndCount)
        return true;
    return InternalEof();
}

// --- TfrxDBDataset

void TfrxDBDataset::Open() {
    if (FDataSet && !FDataSet->Active())
        FDataSet->Open();
}

void TfrxDBDataset::Close() {
    if (FDataSet && CloseDataSource)
        FDataSet->Close();
}

int TfrxDBDataset::RecordCount() {
    return FDataSet && FDataSet->Active() ? FDataSet->RecordCount() : 0;
}

platform::TField* TfrxDBDataset::FindField(const QString& name) {
    if (!FDataSet)
        return nullptr;
    for (const QString& line : FieldAliases) {
        int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return FDataSet->FindField(line.mid(eq + 1).trimmed());
    }
    return FDataSet->FindField(name);
}

Variant TfrxDBDataset::Value(const QString& field) {
    platform::TField* f = FindField(field);
    if (!f)
        throw platform::Exception(
            QStringLiteral("Field '%1' not found in '%2'").arg(field, UserName()));
    return f->AsVariant();
}

bool TfrxDBDataset::HasField(const QString& field) {
    return FindField(field) != nullptr;
}

QStringList TfrxDBDataset::FieldNames() {
    QStringList names;
    if (!FieldAliases.isEmpty()) {
        for (const QString& line : FieldAliases)
            names << line.section(QLatin1Char('='), 0, 0).trimmed();
        return names;
    }
    if (FDataSet)
        for (platform::TField* f : FDataSet->Fields())
            names << f->FieldName;
    return names;
}

TfrxDataSet::RowMark TfrxDBDataset::MarkRow() {
    if (!FDataSet || !FDataSet->Active() || FDataSet->Eof())
        return {};
    RowMark mark{FDataSet->Bookmark(), RecNo(), false};
    mark.Valid = !mark.Bookmark.isEmpty();
    return mark;
}

void TfrxDBDataset::GotoRow(const RowMark& mark) {
    if (!mark.Valid || !FDataSet || !FDataSet->Active())
        return;
    FDataSet->SetBookmark(mark.Bookmark);
    SetRecNo(mark.RecNo);
}

void TfrxDBDataset::InternalFirst() {
    Open();
    if (FDataSet && FDataSet->Active())
        FDataSet->First();
}

void TfrxDBDataset::InternalNext() {
    if (FDataSet && FDataSet->Active())
        FDataSet->Next();
}

bool TfrxDBDataset::InternalEof() {
    return !FDataSet || !FDataSet->Active() || FDataSet->Eof();
}

// --- TfrxUserDataSet

Variant TfrxUserDataSet::Value(const QString& field) {
    if (!HasField(field))
        throw platform::Exception(
            QStringLiteral("Field '%1' not found in '%2'").arg(field, UserName()));
    return OnGetValue ? OnGetValue(field) : Variant::Null();
}

bool TfrxUserDataSet::HasField(const QString& field) {
    return Fields.contains(field, Qt::CaseInsensitive);
}

void TfrxUserDataSet::InternalFirst() {
    if (OnFirst)
        OnFirst();
}

void TfrxUserDataSet::InternalNext() {
    if (OnNext)
        OnNext();
}

bool TfrxUserDataSet::InternalEof() {
    return OnCheckEOF ? OnCheckEOF() : true;
}

// --- parameters and queries

TfrxParamItem& TfrxParams::Add(const QString& name) {
    TfrxParamItem item;
    item.Name = name;
    FItems.push_back(item);
    return FItems.back();
}

TfrxParamItem* TfrxParams::Find(const QString& name) {
    for (TfrxParamItem& item : FItems)
        if (item.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &item;
    return nullptr;
}

void TfrxCustomQuery::Open() {
    UpdateParams();
    Prepare();
}

void TfrxCustomQuery::Close() {
    if (DataSet() && DataSet()->Active())
        DataSet()->Close();
}

void TfrxCustomQuery::Prepare() {
    TfrxDBDataset::Open();
}

}  // namespace reportengine

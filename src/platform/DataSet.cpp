// The dataset framework's cursor, editing and notification logic; see DataSet.h.
#include "platform/DataSet.h"

#include "platform/DataSource.h"
#include "platform/MessageBox.h"

#include <algorithm>

namespace platform {

void DatabaseError(const QString& message, const QObject* component) {
    if (component && !component->objectName().isEmpty())
        throw EDatabaseError(component->objectName() + ": " + message);
    throw EDatabaseError(message);
}

TDataSet::TDataSet(QObject* owner) : QObject(owner) {}

TDataSet::~TDataSet() {
    // Descendants close in their own destructors; here only the links to others are cut.
    for (TDataSource* source : std::vector<TDataSource*>(FDataSources))
        source->detachDataSet();
    for (TField* field : FFields)
        field->FDataSet = nullptr;
    FFields.clear();
}

void TDataSet::HandleApplicationException(const Exception& e) {
    if (dynamic_cast<const EAbort*>(&e))
        return;
    showError(nullptr, e.Message());
}

void TDataSet::InternalHandleException() {
    try {
        throw;
    } catch (const Exception& e) {
        HandleApplicationException(e);
    } catch (const std::exception& e) {
        HandleApplicationException(Exception(QString::fromUtf8(e.what())));
    }
}

// --- fields

void TDataSet::addField(TField* field) {
    field->FDataSet = this;
    FFields.push_back(field);
    updateCalcFlag();
    FieldsChanged();
}

void TDataSet::removeField(TField* field) {
    FFields.erase(std::remove(FFields.begin(), FFields.end(), field), FFields.end());
    field->FDataSet = nullptr;
    updateCalcFlag();
    FieldsChanged();
}

TField* TDataSet::FindField(const QString& name) const {
    for (TField* f : FFields)
        if (f->FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f)
        DatabaseError("Field '" + name + "' not found", this);
    return f;
}

void TDataSet::CreateFields() {
    for (int i = 0; i < FFieldDefs.Count(); ++i) {
        const TFieldDef& def = FFieldDefs[i];
        TField* f = CreateFieldOfType(def.DataType, this, def.Size);
        if (!f)
            continue;  // a type without a field class; the dataset's layout step reports it
        f->FieldName = def.Name;
        f->Required = def.Required;
        f->SetDataSet(this);
    }
}

void TDataSet::DestroyFields() {
    const std::vector<TField*> fields(FFields);
    for (TField* f : fields)
        delete f;
}

void TDataSet::BindFields(bool binding) {
    for (TField* f : FFields) {
        if (!binding) {
            f->SetFieldNo(0);
            continue;
        }
        if (f->FieldKind != fkData) {
            f->SetFieldNo(-1);
            continue;
        }
        const int i = FFieldDefs.IndexOf(f->FieldName);
        if (i < 0)
            DatabaseError("Field '" + f->FieldName + "' not found", this);
        f->SetFieldNo(FFieldDefs[i].FieldNo);
    }
    FieldsChanged();
}

void TDataSet::updateCalcFlag() {
    FHasCalcFields = std::any_of(FFields.begin(), FFields.end(),
                                 [](const TField* f) { return f->FieldKind == fkCalculated; });
}

// --- state and buffers

void TDataSet::CheckActive() const {
    if (!FActive)
        DatabaseError("Cannot perform this operation on a closed dataset", this);
}

char* TDataSet::ActiveBuffer() const {
    if (FState == dsBrowse && !FHasRecord)
        return nullptr;
    return FActiveBuffer;
}

std::vector<char*> TDataSet::Buffers() const {
    std::vector<char*> out;
    if (FActiveBuffer)
        out.push_back(FActiveBuffer);
    if (FTempBuffer)
        out.push_back(FTempBuffer);
    return out;
}

void TDataSet::ClearBuffers() {
    FHasRecord = false;
    FBof = FEof = true;
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    const TDataSetState old = FState;
    FState = state;
    return old;
}

void TDataSet::setState(TDataSetState state) {
    if (FState == state)
        return;
    FState = state;
    FModified = false;
    DataEvent(deUpdateState);
}

void TDataSet::GetCalcFields(char* buffer) {
    if (!HasCalcFields())
        return;
    const TDataSetState old = SetTempState(dsCalcFields);
    char* const oldCalc = FCalcBuffer;
    FCalcBuffer = buffer;
    try {
        fire(OnCalcFields);
    } catch (...) {
        FCalcBuffer = oldCalc;
        RestoreState(old);
        throw;
    }
    FCalcBuffer = oldCalc;
    RestoreState(old);
}

// --- opening and closing

void TDataSet::SetActive(bool value) {
    if (value == FActive)
        return;
    if (value) {
        fire(BeforeOpen);
        openCursor();
        readFirst();
        DataEvent(deUpdateState);
        fire(AfterOpen);
    } else {
        fire(BeforeClose);
        setState(dsInactive);
        closeCursor();
        DataEvent(deUpdateState);
        fire(AfterClose);
    }
}

void TDataSet::openCursor() {
    FDefaultFields = FFields.empty();
    FState = dsOpening;
    try {
        InternalOpen();
        updateCalcFlag();
        FActiveBuffer = AllocRecordBuffer();
        FTempBuffer = AllocRecordBuffer();
    } catch (...) {
        FState = dsInactive;
        closeCursor();
        throw;
    }
    FActive = true;
    FState = dsBrowse;
}

void TDataSet::closeCursor() {
    if (FActiveBuffer)
        FreeRecordBuffer(FActiveBuffer);
    if (FTempBuffer)
        FreeRecordBuffer(FTempBuffer);
    FActiveBuffer = FTempBuffer = nullptr;
    FHasRecord = false;
    FBof = FEof = true;
    FActive = false;
    FState = dsInactive;
    if (IsCursorOpen())
        InternalClose();
}

void TDataSet::readFirst() {
    ClearBuffers();
    InternalFirst();
    FHasRecord = GetRecord(FActiveBuffer, gmNext, true) == grOK;
    FBof = true;
    FEof = !FHasRecord;
    FCursorPosChanged = !FHasRecord;
}

// --- navigation

void TDataSet::DoBeforeScroll() {
    fire(BeforeScroll);
}

void TDataSet::DoAfterScroll() {
    fire(AfterScroll);
}

void TDataSet::UpdateCursorPos() {
    if (FCursorPosChanged && FHasRecord)
        InternalSetToRecord(FActiveBuffer);
    FCursorPosChanged = false;
}

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    readFirst();
    DataEvent(deDataSetChange);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    InternalLast();
    FHasRecord = GetRecord(FActiveBuffer, gmPrior, true) == grOK;
    FEof = true;
    FBof = !FHasRecord;
    FCursorPosChanged = !FHasRecord;
    DataEvent(deDataSetChange);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    if (!FHasRecord || distance == 0 || (distance > 0 && FEof) || (distance < 0 && FBof))
        return 0;
    DoBeforeScroll();
    UpdateCursorPos();
    FBof = FEof = false;
    while (distance > 0) {
        if (GetRecord(FActiveBuffer, gmNext, true) != grOK) {
            FEof = true;
            CursorPosChanged();
            break;
        }
        --distance;
        ++moved;
    }
    while (distance < 0) {
        if (GetRecord(FActiveBuffer, gmPrior, true) != grOK) {
            FBof = true;
            CursorPosChanged();
            break;
        }
        ++distance;
        --moved;
    }
    if (moved != 0) {
        DataEvent(deDataSetScroll);
        DoAfterScroll();
    }
    return moved;
}

void TDataSet::Resync() {
    FCursorPosChanged = false;
    if (GetRecord(FActiveBuffer, gmCurrent, false) == grOK ||
        GetRecord(FActiveBuffer, gmNext, false) == grOK ||
        GetRecord(FActiveBuffer, gmPrior, false) == grOK) {
        FHasRecord = true;
        FBof = FEof = false;
    } else {
        ClearBuffers();
        CursorPosChanged();
    }
    DataEvent(deDataSetChange);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    UpdateCursorPos();
    Resync();
}

TBookmark TDataSet::Bookmark() {
    if (!FActive || !FHasRecord || FState == dsInsert || BookmarkSize <= 0 ||
        GetBookmarkFlag(FActiveBuffer) != bfCurrent)
        return {};
    TBookmark bookmark(BookmarkSize, '\0');
    GetBookmarkData(FActiveBuffer, bookmark.data());
    return bookmark;
}

void TDataSet::SetBookmark(const TBookmark& bookmark) {
    CheckBrowseMode();
    if (bookmark.isEmpty())
        return;
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.constData());
    Resync();
    DoAfterScroll();
}

bool TDataSet::Locate(const QString&, const Variant&, TLocateOptions) {
    return false;
}

// --- editing

void TDataSet::checkOperation(const std::function<void()>& op, const TDataSetErrorEvent& onError) {
    for (;;) {
        try {
            op();
            return;
        } catch (const Exception& e) {
            TDataAction action = daFail;
            if (onError)
                onError(this, e, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort();
        }
    }
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode);
    switch (FState) {
        case dsEdit:
        case dsInsert:
            DataEvent(deUpdateRecord);
            if (FModified)
                Post();
            else
                Cancel();
            break;
        case dsSetKey:
            Post();
            break;
        default:
            break;
    }
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert)
        return;
    if (!FHasRecord) {
        Insert();
        return;
    }
    CheckBrowseMode();
    fire(BeforeEdit);
    UpdateCursorPos();
    checkOperation([this] { InternalEdit(); }, OnEditError);
    GetCalcFields(FActiveBuffer);
    setState(dsEdit);
    DataEvent(deRecordChange);
    fire(AfterEdit);
}

void TDataSet::DoOnNewRecord() {
    fire(OnNewRecord);
}

void TDataSet::Insert() {
    CheckBrowseMode();
    fire(BeforeInsert);
    DoBeforeScroll();
    UpdateCursorPos();
    // The new record takes the active buffer; the cursor stays on the record it goes before.
    InternalInitRecord(FActiveBuffer);
    SetBookmarkFlag(FActiveBuffer, bfInserted);
    InternalInsert();
    FState = dsInsert;
    FModified = false;
    DataEvent(deUpdateState);
    DoOnNewRecord();
    GetCalcFields(FActiveBuffer);
    DataEvent(deDataSetChange);
    fire(AfterInsert);
    DoAfterScroll();
}

void TDataSet::Append() {
    CheckBrowseMode();
    fire(BeforeInsert);
    DoBeforeScroll();
    ClearBuffers();
    InternalLast();
    FCursorPosChanged = false;
    InternalInitRecord(FActiveBuffer);
    SetBookmarkFlag(FActiveBuffer, bfEOF);
    InternalInsert();
    FState = dsInsert;
    FModified = false;
    FEof = true;
    DataEvent(deUpdateState);
    DoOnNewRecord();
    GetCalcFields(FActiveBuffer);
    DataEvent(deDataSetChange);
    fire(AfterInsert);
    DoAfterScroll();
}

void TDataSet::Post() {
    if (FState != dsEdit && FState != dsInsert && FState != dsSetKey)
        DatabaseError("Dataset not in edit or insert mode", this);
    DataEvent(deUpdateRecord);
    if (FState == dsSetKey) {
        setState(dsBrowse);
        return;
    }
    fire(BeforePost);
    checkOperation([this] { InternalPost(); }, OnPostError);
    setState(dsBrowse);
    Resync();
    fire(AfterPost);
}

void TDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert && FState != dsSetKey)
        return;
    fire(BeforeCancel);
    InternalCancel();
    setState(dsBrowse);
    Resync();
    fire(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (!FHasRecord)
        DatabaseError("Cannot perform this operation on an empty dataset", this);
    DataEvent(deCheckBrowseMode);
    fire(BeforeDelete);
    DoBeforeScroll();
    UpdateCursorPos();
    checkOperation([this] { InternalDelete(); }, OnDeleteError);
    setState(dsBrowse);
    Resync();
    fire(AfterDelete);
    DoAfterScroll();
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) {
    return nullptr;
}

// --- notification

void TDataSet::DataEvent(TDataEvent event, TField* field) {
    if (event == deFieldChange) {
        if (FState == dsEdit || FState == dsInsert) {
            FModified = true;
            if (AutoCalcFields && field && field->FieldKind == fkData)
                GetCalcFields(FActiveBuffer);
        }
        if (FState == dsCalcFields || FState == dsFilter)
            return;
    }
    if (FDisableCount > 0) {
        if (event != deFieldChange && event != deCheckBrowseMode && event != deUpdateRecord)
            FPendingChange = true;
        return;
    }
    notifySources(event, field);
}

void TDataSet::notifySources(TDataEvent event, TField* field) {
    for (TDataSource* source : std::vector<TDataSource*>(FDataSources))
        source->dataEvent(event, field);
}

void TDataSet::DisableControls() {
    ++FDisableCount;
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0)
        return;
    if (--FDisableCount == 0 && FPendingChange) {
        FPendingChange = false;
        notifySources(deUpdateState, nullptr);
        notifySources(deDataSetChange, nullptr);
    }
}

bool TDataSet::IsLinkedTo(TDataSource* source) const {
    // Walk the master chain; a bounded walk guards against a chain that is already circular.
    for (int guard = 0; source && guard < 1000; ++guard) {
        TDataSet* ds = source->DataSet();
        if (!ds)
            return false;
        if (ds == this)
            return true;
        source = ds->GetDataSource();
    }
    return false;
}

}  // namespace platform

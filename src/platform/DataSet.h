// TDataSet, the abstract dataset of the framework: states, a record buffer window, navigation,
// editing, bookmarks, calculated fields, filtering flags, events and notification of data sources.
// Descendants keep the records and implement the record-buffer hooks (the protected virtuals);
// the framework calls them, nothing else should.
// Buffer model: one active buffer (the current record or the record being edited or inserted)
// and one temporary buffer for filter tests. A navigation step that finds nothing leaves the
// active buffer as it was and marks the cursor stale; the next operation first puts the cursor
// back on the active record (InternalSetToRecord).
// Lifetime: a QObject owned by its owner; a descendant closes itself in its own destructor.
// Thread contract: one thread, the one that opens the dataset.
#pragma once

#include "platform/Exception.h"
#include "platform/Fields.h"
#include "platform/Stream.h"

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class TDataSource;

// Errors of the framework, e.g. "Cannot perform this operation on a closed dataset", prefixed by
// "<component name>: " when the component has a name.
class EDatabaseError : public Exception {
    using Exception::Exception;
};
// A silent cancellation: the caller stops, nothing is shown.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

[[noreturn]] void DatabaseError(const QString& message, const QObject* component = nullptr);

enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsOpening
};
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode
};
enum TDataAction { daFail, daAbort, daRetry };
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;
using TBookmark = QByteArray;

class TDataSet : public QObject {
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
    using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;
    using TDataSetErrorEvent = std::function<void(TDataSet*, const Exception&, TDataAction&)>;

    explicit TDataSet(QObject* owner = nullptr);
    ~TDataSet() override;

    // --- opening and state
    bool Active() const { return FActive; }
    // Virtual so that a descendant reached through TDataSet& (the report engine holds its
    // datasets that way) still runs its own opening rules.
    virtual void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return FState; }
    bool Modified() const { return FModified; }

    // --- fields
    TFieldDefs& FieldDefs() { return FFieldDefs; }
    // Describes a closed dataset's fields afresh (an open one keeps those it opened with), so
    // that a dataset that follows it binds what it would open with now.
    void UpdateFieldDefs() {
        if (!FActive)
            InternalInitFieldDefs();
    }
    const std::vector<TField*>& Fields() const { return FFields; }
    int FieldCount() const { return int(FFields.size()); }
    // Ignoring case; nullptr / "Field 'X' not found".
    TField* FindField(const QString& name) const;
    TField* FieldByName(const QString& name) const;
    // True while the fields were made by the dataset from FieldDefs (no persistent fields).
    bool DefaultFields() const { return FDefaultFields; }
    // Bumped whenever the field list or the field binding changes; lets evaluators cache lookups.
    unsigned FieldsGeneration() const { return FFieldsGeneration; }

    // --- navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const { return !FHasRecord && FState == dsBrowse; }
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int value) { SetRecNoHook(value); }
    int RecordCount() { return GetRecordCount(); }
    TBookmark Bookmark();
    void SetBookmark(const TBookmark& bookmark);
    virtual int CompareBookmarks(const void* a, const void* b) { return 0; }
    // The stored cursor back on the active record and the buffer read again.
    void Refresh();
    void Resync();
    virtual bool Locate(const QString& keyFields, const Variant& keyValues, TLocateOptions options);

    // --- editing
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();
    void CheckActive() const;
    virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);

    // --- filtering
    const QString& Filter() const { return FFilterText; }
    void SetFilter(const QString& text) { SetFilterText(text); }
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool value) { SetFilteredHook(value); }
    bool AutoCalcFields = true;

    // --- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }
    // The master source of a detail dataset; nullptr for others.
    virtual TDataSource* GetDataSource() const { return nullptr; }
    // True when source's dataset is this one or a master of it through data sources.
    bool IsLinkedTo(TDataSource* source) const;

    // --- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
        BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete,
        AfterDelete, BeforeScroll, AfterScroll, OnCalcFields, OnNewRecord;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
    TFilterRecordEvent OnFilterRecord;

    // The framework side of field access; fields call these.
    virtual bool GetFieldData(TField* field, void* buffer) = 0;
    virtual void SetFieldData(TField* field, const void* buffer) = 0;
    // A field changed (deFieldChange) or other data event; notifies data sources.
    void DataEvent(TDataEvent event, TField* field = nullptr);

    // Shows an exception through the application's handler (an error box).
    static void HandleApplicationException(const Exception& e);

protected:
    // --- hooks for descendants
    virtual char* AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(char*& buffer) = 0;
    virtual int GetRecordSize() = 0;
    virtual void InternalInitFieldDefs() {}
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() const = 0;
    virtual void InternalInitRecord(char* buffer) = 0;
    virtual void ClearBuffers();
    virtual TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void GetBookmarkData(char* buffer, void* data) = 0;
    virtual void SetBookmarkData(char* buffer, const void* data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(char* buffer) = 0;
    virtual void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) = 0;
    virtual void InternalGotoBookmark(const void* bookmark) = 0;
    virtual void InternalSetToRecord(char* buffer) = 0;
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual void SetRecNoHook(int value) {}
    virtual void InternalPost() = 0;
    virtual void InternalAddRecord(char* buffer, bool append) = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalHandleException();
    virtual void SetFilterText(const QString& text) { FFilterText = text; }
    virtual void SetFilteredHook(bool value) { FFiltered = value; }
    virtual void DoOnNewRecord();

    // --- services for descendants
    char* ActiveBuffer() const;
    char* TempBuffer() const { return FTempBuffer; }
    char* CalcBuffer() const { return FCalcBuffer; }
    // Every record buffer the framework holds (active and temporary).
    std::vector<char*> Buffers() const;
    int BookmarkSize = 0;
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state) { FState = state; }
    // Computes the calculated fields into buffer (state dsCalcFields meanwhile).
    void GetCalcFields(char* buffer);
    void CreateFields();
    void DestroyFields();
    // Numbers data fields after their field definitions; "Field 'X' not found" for a data field
    // without one.
    void BindFields(bool binding);
    void FieldsChanged() { ++FFieldsGeneration; }
    void CursorPosChanged() { FCursorPosChanged = true; }
    void UpdateCursorPos();
    // Taken when the field list changes and at open (a field's kind is fixed while open).
    bool HasCalcFields() const { return FHasCalcFields; }
    void DoBeforeScroll();
    void DoAfterScroll();

private:
    friend class TField;
    friend class TDataSource;
    void addField(TField* field);
    void removeField(TField* field);
    void openCursor();
    void closeCursor();
    void setState(TDataSetState state);
    void checkOperation(const std::function<void()>& op, const TDataSetErrorEvent& onError);
    void fire(const TDataSetNotifyEvent& event) {
        if (event)
            event(this);
    }
    void readFirst();
    void notifySources(TDataEvent event, TField* field);

    bool FActive = false;
    TDataSetState FState = dsInactive;
    bool FModified = false;
    bool FDefaultFields = false;
    bool FBof = true;
    bool FEof = true;
    bool FHasRecord = false;
    bool FCursorPosChanged = false;
    bool FFiltered = false;
    QString FFilterText;
    int FDisableCount = 0;
    bool FPendingChange = false;
    unsigned FFieldsGeneration = 0;
    bool FHasCalcFields = false;
    void updateCalcFlag();
    char* FActiveBuffer = nullptr;
    char* FTempBuffer = nullptr;
    char* FCalcBuffer = nullptr;
    TFieldDefs FFieldDefs;
    std::vector<TField*> FFields;
    std::vector<TDataSource*> FDataSources;
};

}  // namespace platform

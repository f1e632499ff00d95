// TZTable, the result table: an in-memory table that holds an SQL text with `:name` parameters,
// sends it through a TZDBCommand as one query request and decodes the streamed answer (header,
// then row packets in Sequence order) straight into its own record store. A table is either
// closed or open with a complete result: opening returns with the result complete, with the
// table closed (no result set, no session, connection lost), or by an exception.
//
// Thread contract: created, configured, opened and destroyed on the main thread. Replies reach
// TableReplyArrived on a link thread under the session lock; the only state it touches is
// FReplies, FEnded and the command's FWaiting/FEvent, all under FTableLock (lock order: session
// lock, then FTableLock; the main thread never holds FTableLock while it waits).
#pragma once

#include "dataclient/UZCommands.h"
#include "dataclient/UZMemTable.h"
#include "dataclient/UZRowDecoder.h"
#include "platform/DataSource.h"
#include "platform/Params.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <mutex>
#include <vector>

namespace dataclient {

class TZTable;

// The link through which a detail table follows its master data set.
class TZTableDataLink : public platform::TDetailDataLink {
public:
    explicit TZTableDataLink(TZTable& table) : FTable(table) {}
    platform::TDataSet* DetailDataSet() const override;

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void DataSetChanged() override { RecordChanged(nullptr); }
    void RecordChanged(platform::TField* field) override;

private:
    TZTable& FTable;
};

class TZTable : public TZMemTable, public TZReplySink {
public:
    explicit TZTable(QObject* owner = nullptr);
    ~TZTable() override;

    TZDBCommand* ZDBCommand() const { return FZDBCommand; }
    void SetZDBCommand(TZDBCommand* command) { FZDBCommand = command; }

    const QStringList& SQL() const { return FSQL; }
    // Closes an active table; a changed text replaces the lines and rebuilds Params.
    void SetSQL(const QStringList& lines);
    platform::TParams& Params() { return FParams; }
    void SetParams(const platform::TParams& params) { FParams.Assign(params); }
    platform::TParam& ParamByName(const QString& name) { return FParams.ParamByName(name); }

    // The master data set's source; refuses a source whose data set already follows this table,
    // with "Circular datalinks are not allowed".
    platform::TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(platform::TDataSource* source);
    platform::TDataSource* GetDataSource() const override { return DataSource(); }
    // Closes and reopens the table on the master's current record.
    void RefreshDetail();

    bool RepairFSL = true;   // copy the declared size of string columns to persistent fields
    bool RepairSQL = false;  // request kinds 29 and 30 instead of 5
    std::function<void(TZTable*)> OnBeforeExecSQL;

    // A query that opened no result set leaves the table closed again.
    void SetActive(bool value) override;
    // Raises OnBeforeExecSQL; if the table is not active runs the statement (kind 30 with
    // RepairSQL, otherwise by opening the table).
    virtual void ExecSQL();

    void TableReplyArrived(PacketPtr packet) override;

    // Checks the persistent fields against the columns; closes the table and raises on the
    // first mismatch.
    void CheckValidFields();

protected:
    void InternalOpen() override;
    // Runs one query of the given kind; true when a result set was opened.
    bool InnerSQLProcess(int32_t kind);

private:
    // Parameters not bound explicitly take value and type from the master's field of the same
    // name, and stay unbound so that the next record's value is taken next time.
    void BindMasterParams();
    // Waits for, picks and handles replies until the result is complete (true), there is no
    // result set or the session gave up (false), or an exception.
    bool readResult(TZDBCommand& command);
    // Leaves the table closed and empty after an abandoned or failed query.
    void discardResult();

    QPointer<TZDBCommand> FZDBCommand;
    QStringList FSQL;
    platform::TParams FParams;
    TZRowDecoder FDecoder{*this, FDataSize};
    TZTableDataLink FDataLink{*this};

    std::mutex FTableLock;
    std::vector<PacketPtr> FReplies;  // guarded by FTableLock; arrival order
    bool FEnded = false;              // guarded by FTableLock
    TZDBCommand* FRunning = nullptr;  // guarded by FTableLock; the command of the running query
};

}  // namespace dataclient

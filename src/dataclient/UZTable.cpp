// TZTable: parameters, the query loop with its reply picking, result finishing, field checks.
#include "dataclient/UZTable.h"

#include "dataclient/UZClientSession.h"
#include "dataclient/UZRequest.h"
#include "platform/DataSet.h"

namespace dataclient {

using namespace platform;

TDataSet* TZTableDataLink::DetailDataSet() const {
    return &FTable;
}

void TZTableDataLink::ActiveChanged() {
    if (FTable.Active())
        FTable.RefreshDetail();
}

void TZTableDataLink::CheckBrowseMode() {
    if (FTable.Active())
        FTable.CheckBrowseMode();
}

void TZTableDataLink::RecordChanged(TField* field) {
    if (!field && FTable.Active())
        FTable.RefreshDetail();
}

TZTable::TZTable(QObject* owner) : TZMemTable(owner) {}

TZTable::~TZTable() {
    FDataLink.SetDataSource(nullptr);
    FDecoder.Abandon();
}

void TZTable::SetDataSource(TDataSource* source) {
    if (source && IsLinkedTo(source))
        DatabaseError(QStringLiteral("Circular datalinks are not allowed"), this);
    FDataLink.SetDataSource(source);
}

void TZTable::RefreshDetail() {
    DisableControls();
    try {
        TDataSet* master = FDataLink.DataSet();
        if (master && master->Active() && master->State() != dsSetKey) {
            Close();
            Open();
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TZTable::BindMasterParams() {
    TDataSet* master = FDataLink.DataSet();
    if (!master)
        return;
    master->UpdateFieldDefs();
    for (int i = 0; i < FParams.Count(); ++i) {
        TParam& p = FParams[i];
        if (p.Bound)
            continue;
        TField* f = master->FieldByName(p.Name);
        p.DataType = f->DataType();
        p.SetValue(f->Value());
        p.Bound = false;
    }
}

void TZTable::SetSQL(const QStringList& lines) {
    if (Active())
        SetActive(false);
    if (lines == FSQL)
        return;
    FSQL = lines;
    ParseSQLParams(FSQL.join(QStringLiteral("\r\n")), FParams);
}

void TZTable::SetActive(bool value) {
    TDataSet::SetActive(value);
    // The query answered without a result set (or was not sent): nothing to show.
    if (value && Active() && !IsCursorOpen())
        TDataSet::SetActive(false);
}

void TZTable::ExecSQL() {
    if (OnBeforeExecSQL)
        OnBeforeExecSQL(this);
    if (Active())
        return;
    if (!RepairSQL) {
        Open();
        return;
    }
    // A statement's result set, if any, is not wanted: the table stays closed.
    if (InnerSQLProcess(wire::kExecRepair))
        TZMemTable::InternalClose();
}

void TZTable::InternalOpen() {
    InnerSQLProcess(RepairSQL ? wire::kQueryRepair : wire::kQuery);
}

void TZTable::TableReplyArrived(PacketPtr packet) {
    std::lock_guard guard(FTableLock);
    if (packet)
        FReplies.push_back(std::move(packet));
    else
        FEnded = true;
    TZDBCommand* command = FRunning;
    if (command && command->FWaiting) {
        command->FWaiting = false;
        command->FEvent.Set();
    }
}

bool TZTable::InnerSQLProcess(int32_t kind) {
    TZDBCommand* command = FZDBCommand;
    if (!command || !command->ZClient() || !command->ZClient()->Active())
        return false;
    if (DataSource())
        BindMasterParams();
    const QByteArray request = BuildQueryRequest(FSQL, FParams);
    std::lock_guard commandGuard(command->FCommandLock);
    {
        std::lock_guard guard(FTableLock);
        FEnded = false;
        FRunning = command;
        // Whatever is left belongs to an earlier query (one given up in the middle): picked up
        // now, its header or rows would pass for this query's answer.
        FReplies.clear();
    }
    command->SetTable(this);
    try {
        if (!command->PostRequest(kind, request)) {
            command->SetTable(nullptr);
            return false;
        }
        const bool opened = readResult(*command);
        command->SetTable(nullptr);
        if (!opened)
            discardResult();
        return opened;
    } catch (...) {
        command->SetTable(nullptr);
        discardResult();
        throw;
    }
}

bool TZTable::readResult(TZDBCommand& command) {
    int headerSeen = 0;
    for (;;) {
        PacketPtr packet;
        {
            std::lock_guard guard(FTableLock);
            packet = PickReply(FReplies, headerSeen);
            if (!packet && FEnded)
                return false;  // the session lost its connection or gave up
            if (packet)
                command.FWaiting = false;
            else
                command.FWaiting = true;
        }
        if (!packet) {
            command.FEvent.Wait();
            continue;
        }
        const auto* payload = packet->Payload();
        const size_t size = size_t(packet->PayloadSize());
        switch (packet->Kind()) {
            case wire::kResultHeader:
                FDecoder.DecodeHeader(payload, size, RepairFSL);
                break;
            case wire::kResultRows:
                if (!FDecoder.DecodeRows(payload, size))
                    throw EDatabaseError(MalformedResultText());
                if (packet->Final() == wire::kFinalMark) {
                    FDecoder.Finish();
                    packet.reset();
                    TZMemTable::InternalOpen();
                    CheckValidFields();
                    return true;
                }
                break;
            case wire::kNoResultSet:
                return false;
            case -3:
                throw EDatabaseError(
                    QStringLiteral("Ошибка при получении соединения с базой данных"));
            case -1: {
                QString text;
                decodeErrorRecord(packet->PayloadBytes(), &text);
                throw EDatabaseError(text);
            }
            default:
                // A server that refuses the request with any other error code would otherwise
                // leave the table waiting for a header that never comes.
                if (packet->Kind() < 0)
                    throw EDatabaseError(ServerErrorText(std::move(packet)));
                break;  // not part of a query's answer
        }
    }
}

void TZTable::discardResult() {
    FDecoder.Abandon();
    FreeAllRecords();
    FMemFieldDefs.clear();
    if (FCursorOpen)
        TZMemTable::InternalClose();
}

void TZTable::CheckValidFields() {
    for (TField* f : Fields()) {
        const TMemFieldDef* entry = nullptr;
        for (const TMemFieldDef& def : FMemFieldDefs)
            if (def.Name.compare(f->FieldName, Qt::CaseInsensitive) == 0) {
                entry = &def;
                break;
            }
        QString reason;
        if (!entry)
            reason = QStringLiteral("Задано лишнее поле: ") + f->objectName();
        else if (!TypesCompatible(f->DataType(), entry->DataType))
            reason =
                QStringLiteral("Несовпадение типа у заданного и табличного полей ") + entry->Name;
        else if (f->Size() != 0 && f->Size() != entry->Size)
            reason = QStringLiteral("Несовпадение размера у заданного и табличного полей ") +
                     entry->Name;
        else if (f->Required != entry->Required)
            reason = QStringLiteral(
                         "Несовпадение признака обязательности у заданного и табличного полей ") +
                     entry->Name;
        if (reason.isEmpty())
            continue;
        Close();
        throw EDatabaseError(QStringLiteral("TZTable.CheckValidFields (") + objectName() +
                             QStringLiteral("): ") + reason);
    }
}

}  // namespace dataclient

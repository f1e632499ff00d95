#include "reportengine/model/Report.h"

#include "reportengine/model/Pages.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/script/Script.h"

namespace reportengine {

using platform::Variant;

void TfrxVariables::AddCategory(const QString& name) {
    FItems.push_back(TfrxVariable{name, Variant(), true});
}

void TfrxVariables::Set(const QString& name, const Variant& value) {
    int i = IndexOf(name);
    if (i >= 0)
        FItems[size_t(i)].Value = value;
    else
        FItems.push_back(TfrxVariable{name, value, false});
}

int TfrxVariables::IndexOf(const QString& name) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (!FItems[i].IsCategory && FItems[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

Variant TfrxVariables::Get(const QString& name) const {
    int i = IndexOf(name);
    return i < 0 ? Variant() : FItems[size_t(i)].Value;
}

TfrxReport::TfrxReport(QObject* owner) : FPreparedPages(std::make_shared<TfrxPreparedPages>()) {
    if (owner)
        setParent(owner);
}

TfrxReport::~TfrxReport() = default;

std::vector<TfrxPage*> TfrxReport::Pages() const {
    std::vector<TfrxPage*> pages;
    for (TfrxComponent* c : Objects())
        if (auto* p = qobject_cast<TfrxPage*>(c))
            pages.push_back(p);
    return pages;
}

std::vector<TfrxReportPage*> TfrxReport::ReportPages() const {
    std::vector<TfrxReportPage*> pages;
    for (TfrxComponent* c : Objects())
        if (auto* p = qobject_cast<TfrxReportPage*>(c))
            pages.push_back(p);
    return pages;
}

TfrxDataSet* TfrxReport::GetDataset(const QString& userName) const {
    for (const TfrxDataSetItem& item : DataSets)
        if (item.DataSet && item.DataSet->UserName().compare(userName, Qt::CaseInsensitive) == 0)
            return item.DataSet;
    for (TfrxComponent* c : AllObjects())
        if (auto* d = qobject_cast<TfrxDataSet*>(c))
            if (d->UserName().compare(userName, Qt::CaseInsensitive) == 0)
                return d;
    return nullptr;
}

void TfrxReport::AddDataSet(TfrxDataSet* dataSet) {
    for (const TfrxDataSetItem& item : DataSets)
        if (item.DataSet == dataSet)
            return;
    DataSets.push_back(TfrxDataSetItem{dataSet, dataSet->objectName(), dataSet->UserName()});
}

void TfrxReport::Clear() {
    ClearObjects();
    TfrxReport blank;
    AssignProperties(blank);
    setObjectName(QString());
    Variables.Clear();
    DataSets.clear();
    LoadWarnings.clear();
    FileName.clear();
    Terminated = false;
}

void TfrxReport::SetScriptEngine(std::unique_ptr<script::Script> script) {
    FScript = std::move(script);
}

Variant TfrxReport::DoEvent(const QString& handler, QObject* sender, std::vector<Variant> args) {
    if (handler.isEmpty() || !FScript)
        return Variant();
    args.insert(args.begin(), Variant::FromObject(sender));
    return FScript->CallProcedure(handler, std::move(args));
}

Variant TfrxReport::Calc(const QString& expression) const {
    return ExpressionEvaluator ? ExpressionEvaluator(expression) : Variant();
}

void TfrxReport::DoProgressStart(int kind, int page) {
    if (OnProgressStart)
        OnProgressStart(kind, page);
    emit progressStarted(kind, page);
}

void TfrxReport::DoProgress(int kind, int page) {
    if (OnProgress)
        OnProgress(kind, page);
    emit progressed(kind, page);
}

void TfrxReport::DoProgressStop(int kind, int page) {
    if (OnProgressStop)
        OnProgressStop(kind, page);
    emit progressStopped(kind, page);
}

bool TfrxReport::IsStoredProperty(const char* name) const {
    for (const char* derived : {"Left", "Top", "Width", "Height"})
        if (qstrcmp(name, derived) == 0)
            return false;
    return true;
}

}  // namespace reportengine

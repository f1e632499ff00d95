#include "reportengine/model/ScriptBinding.h"

#include "reportengine/model/DataSets.h"
#include "reportengine/model/Report.h"
#include "reportengine/script/Library.h"

#include <QMetaEnum>

namespace reportengine {

using platform::Variant;
using script::HostCall;

namespace {

TfrxDataSet* DataSetOf(HostCall& call) {
    return qobject_cast<TfrxDataSet*>(call.Object);
}

// One dispatcher for every dataset member: the member name picks the operation.
Variant ServeDataSet(HostCall& call) {
    TfrxDataSet* ds = DataSetOf(call);
    if (!ds)
        return Variant();
    const QString m = call.Member.toUpper();
    if (m == QLatin1String("OPEN"))
        ds->Open();
    else if (m == QLatin1String("CLOSE"))
        ds->Close();
    else if (m == QLatin1String("FIRST"))
        ds->First();
    else if (m == QLatin1String("NEXT"))
        ds->Next();
    else if (m == QLatin1String("EOF"))
        return ds->Eof();
    else if (m == QLatin1String("RECORDCOUNT"))
        return ds->RecordCount();
    else if (m == QLatin1String("RECNO"))
        return ds->RecNo();
    else if (m == QLatin1String("VALUE") || m == QLatin1String("FIELDBYNAME"))
        return ds->Value(call.Args.at(0).ToString());
    else if (m == QLatin1String("USERNAME"))
        return ds->UserName();
    return Variant();
}

Variant ServeReport(HostCall& call) {
    auto* report = qobject_cast<TfrxReport*>(call.Object);
    if (!report)
        return Variant();
    const QString m = call.Member.toUpper();
    if (m == QLatin1String("VARIABLES")) {
        const QString name = call.Args.at(0).ToString();
        if (call.IsWrite) {
            report->Variables.Set(name, call.Value);
            return Variant();
        }
        return report->Variables.Get(name);
    }
    if (m == QLatin1String("GETDATASET"))
        return Variant::FromObject(report->GetDataset(call.Args.at(0).ToString()));
    return Variant();
}

// Enumeration names of the model (haCenter, smActualHeight, poLandscape ...) as constants, so that
// scripts assign them as templates store them. Names the library already has keep their value.
void AddModelConstants(script::FunctionLibrary& lib) {
    const QMetaObject& meta = reportengine::staticMetaObject;
    for (int e = 0; e < meta.enumeratorCount(); ++e) {
        QMetaEnum en = meta.enumerator(e);
        for (int k = 0; k < en.keyCount(); ++k) {
            const QString name = QString::fromLatin1(en.key(k));
            if (!lib.FindConstant(name))
                lib.AddConstant(name, en.value(k));
        }
    }
    static const std::pair<const char*, int> sets[] = {{"clNone", clNone},
                                                       {"pbPrint", pbPrint},
                                                       {"pbLoad", pbLoad},
                                                       {"pbSave", pbSave},
                                                       {"pbExport", pbExport},
                                                       {"pbZoom", pbZoom},
                                                       {"pbFind", pbFind},
                                                       {"pbOutline", pbOutline},
                                                       {"pbPageSetup", pbPageSetup},
                                                       {"pbTools", pbTools},
                                                       {"pbEdit", pbEdit},
                                                       {"pbNavigator", pbNavigator},
                                                       {"pbExportQuick", pbExportQuick},
                                                       {"pbNoClose", pbNoClose},
                                                       {"pbNoFullScreen", pbNoFullScreen},
                                                       {"pbNoEmail", pbNoEmail}};
    for (const auto& [name, value] : sets)
        if (!lib.FindConstant(QLatin1String(name)))
            lib.AddConstant(QLatin1String(name), value);
}

void AddModelClasses(script::FunctionLibrary& lib) {
    AddModelConstants(lib);
    lib.AddClass(QStringLiteral("TfrxComponent"), QStringLiteral("TComponent"));
    lib.AddClass(QStringLiteral("TfrxDataSet"), QStringLiteral("TfrxComponent"))
        .AddMethod(QStringLiteral("procedure Open"), ServeDataSet)
        .AddMethod(QStringLiteral("procedure Close"), ServeDataSet)
        .AddMethod(QStringLiteral("procedure First"), ServeDataSet)
        .AddMethod(QStringLiteral("procedure Next"), ServeDataSet)
        .AddMethod(QStringLiteral("function Eof: Boolean"), ServeDataSet)
        .AddMethod(QStringLiteral("function RecordCount: Integer"), ServeDataSet)
        .AddMethod(QStringLiteral("function RecNo: Integer"), ServeDataSet)
        .AddMethod(QStringLiteral("function FieldByName(Name: String): Variant"), ServeDataSet)
        .AddProperty(QStringLiteral("property Value[Field: String]: Variant"), true, ServeDataSet);
    lib.AddClass(QStringLiteral("TfrxDBDataset"), QStringLiteral("TfrxDataSet"));
    lib.AddClass(QStringLiteral("TfrxUserDataSet"), QStringLiteral("TfrxDataSet"));
    lib.AddClass(QStringLiteral("TfrxCustomQuery"), QStringLiteral("TfrxDBDataset"));
    lib.AddClass(QStringLiteral("TfrxReport"), QStringLiteral("TfrxComponent"))
        .AddProperty(QStringLiteral("property Variables[Name: String]: Variant"), false,
                     ServeReport)
        .AddMethod(QStringLiteral("function GetDataset(Name: String): TfrxDataSet"), ServeReport);
}

}  // namespace

void RegisterModelScriptBinding() {
    static const bool registered = [] {
        script::FunctionLibrary::RegisterModule(AddModelClasses);
        return true;
    }();
    (void)registered;
}

}  // namespace reportengine

// Shared by the dialog tests: a report with one dialog page built from a few lines, its script
// compiled and run the way the engine does (report objects by name, "Report"), and the script's
// global Log that handlers append event names to.
#pragma once

#include "TestEnv.h"
#include "reportengine/io/TemplateFile.h"
#include "reportengine/model/DialogControls.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/script/Script.h"

#include <memory>

namespace dialogtest {

using namespace reportengine;

// A report read from the body of a template (pages and controls as XML elements).
inline std::unique_ptr<TfrxReport> ReportFrom(const QByteArray& body, const QString& script) {
    auto report = std::make_unique<TfrxReport>();
    ReadTemplate(*report,
                 "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\n<TfrxReport>\n" +
                     body + "</TfrxReport>\n",
                 QStringLiteral("test.fr3"));
    report->ScriptText = script.split(QLatin1Char('\n'));
    return report;
}

// Compiles and runs the report's script and hands it to the report, as preparation does.
inline script::Script& StartScript(TfrxReport& report) {
    auto s = std::make_unique<script::Script>();
    s->AddObject(QStringLiteral("Report"), &report);
    s->SetRootObject(&report);
    s->Compile(report.ScriptText.join(QLatin1Char('\n')));
    s->Run();
    script::Script& result = *s;
    report.SetScriptEngine(std::move(s));
    return result;
}

inline QString Log(TfrxReport& report) {
    return report.ScriptEngine()->Global(QStringLiteral("Log")).ToString();
}

template <class T>
T& Find(TfrxReport& report, const char* name) {
    auto* object = qobject_cast<T*>(report.FindObject(QString::fromLatin1(name)));
    if (!object)
        throw std::runtime_error(std::string("no object ") + name);
    return *object;
}

}  // namespace dialogtest

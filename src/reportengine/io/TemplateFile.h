// Template files (.fr3): reading into a TfrxReport and canonical writing. Reading is generic
// (class registry + Q_PROPERTY reflection) and tolerant: a declaration without standalone,
// Windows-1251 attribute text, a bare '&', the older hexadecimal PropData lists; unknown
// attributes are kept on the object and written back, elements of unknown classes are skipped
// and listed in the report's LoadWarnings with their line. Writing is canonical: properties in
// declaration order, defaults left out, UTF-8 with standalone="no", so saving twice gives the same
// bytes. TfrxReport::LoadFromFile / SaveToFile are built on these.
// Thread contract: the thread that owns the report; the functions keep no state.
#pragma once

#include "reportengine/model/Report.h"

#include <QByteArray>

namespace reportengine {

// Replaces the report's content with the template in bytes. Throws EReportFileError (with url
// and line) when the bytes are not a readable template; the report is unchanged then.
void ReadTemplate(TfrxReport& report, const QByteArray& bytes, const QString& url);
QByteArray WriteTemplate(const TfrxReport& report);

// The bytes made well-formed UTF-8 XML for the parser: a windows-1251 document decoded, runs of
// bytes that are not UTF-8 read as Windows-1251, a bare '&' escaped. Lines stay where they were.
QByteArray NormalizeTemplateBytes(const QByteArray& bytes);

}  // namespace reportengine

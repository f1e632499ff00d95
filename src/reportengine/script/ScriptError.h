// Errors of report scripts: where (line, column, the token near it) and why, in the words the
// designer shows to template authors. The designer jumps to Line/Column.
// Thread contract: a plain exception type; see platform/Exception.h.
#pragma once

#include "platform/Exception.h"

#include <QString>

namespace script {

class EScriptError : public platform::Exception {
public:
    EScriptError(const QString& reason, int line, int column, const QString& near)
        : platform::Exception(Compose(reason, line, column, near)),
          FReason(reason),
          FLine(line),
          FColumn(column),
          FNear(near) {}

    const QString& Reason() const { return FReason; }
    int Line() const { return FLine; }
    int Column() const { return FColumn; }
    const QString& Near() const { return FNear; }

    static QString Compose(const QString& reason, int line, int column, const QString& near) {
        return QStringLiteral("Строка %1, позиция %2: %3 около \"%4\"")
            .arg(line)
            .arg(column)
            .arg(reason, near);
    }

private:
    QString FReason;
    int FLine;
    int FColumn;
    QString FNear;
};

}  // namespace script

// CP866, the OEM (DOS) Cyrillic code page that text-mode programs and dot-matrix printers expect.
// The text exports write it when their OEM code page option is on. Table-driven, like the
// Windows-1251 codec of the platform library.
// Thread contract: pure functions over constant tables; safe anywhere.
#pragma once

#include <QByteArray>
#include <QString>

namespace reportengine {

// Characters without a CP866 byte become '?' (one per character, also for a surrogate pair).
QByteArray toCp866(const QString& text);
QString fromCp866(const QByteArray& bytes);

}  // namespace reportengine

// Crash-safe replacement of a whole file: the bytes go to a temporary file in the same folder,
// are flushed to disk, and the temporary file is renamed over the target. A failure at any point
// leaves the old file whole and raises EFileError with the system's reason.
// Thread contract: callable from any thread; concurrent writers of one path must lock themselves.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Writes data to path atomically. Throws EFileError("<reason>") on failure; the target is
// untouched then. A target without any write permission bit counts as read-only and is refused,
// also for root, so that read-only files behave the same for every user.
void writeFileAtomically(const QString& path, const QByteArray& data);

}  // namespace platform

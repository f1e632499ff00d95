// Where the program finds its files. "Beside the executable" means the application folder: the
// executable's folder, unless VELLUMAR_HOME names another one (packaging, demo, tests).
// Thread contract: pure functions; safe anywhere.
#pragma once

#include <QString>

namespace platform {

// The application folder with a trailing '/'.
QString appDir();

// Folder for per-session runtime files (instance lock, control-shell socket): $XDG_RUNTIME_DIR
// when set, else the system temporary folder. No trailing '/'.
QString runtimeDir();

// Resolves relativePath ('/'-separated) below folder, matching every component without regard to
// letter case when the exact spelling does not exist (files written on Windows keep their own
// case). Returns the existing path, or folder + relativePath unchanged when nothing matches.
QString resolvePathIgnoringCase(const QString& folder, const QString& relativePath);

}  // namespace platform

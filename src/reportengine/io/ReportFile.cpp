// TfrxReport's file operations, implemented here so that the object model does not depend on the
// template format.
#include "platform/AtomicFile.h"
#include "reportengine/io/TemplateFile.h"

#include <QFile>
#include <QFileInfo>

namespace reportengine {

bool TfrxReport::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    ReadTemplate(*this, file.readAll(), path);
    FileName = path;
    return true;
}

void TfrxReport::SaveToFile(const QString& path) const {
    platform::writeFileAtomically(path, WriteTemplate(*this));
}

}  // namespace reportengine

#include "app/FormStorage.h"

#include <QMainWindow>
#include <QWidget>

#include "platform/Exception.h"
#include "platform/Registry.h"

using platform::Registry;
using platform::RootKey;

namespace {

const QString kPlacement = QStringLiteral("Placement");
constexpr int kLayoutVersion = 1;  // bump when docks or toolbars are renamed

}  // namespace

void FormStorage::RestoreFormPlacement() {
    try {
        Registry registry(RootKey::HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(FSection))
            return;
        if (registry.GetDataType(kPlacement) == platform::RegDataType::Binary)
            FForm->restoreGeometry(registry.ReadBinaryData(kPlacement));
        for (const StoredProperty& p : FProperties) {
            if (registry.ValueExists(p.name))
                p.write(registry.ReadString(p.name));
        }
    } catch (const platform::Exception&) {
        // A value of an unexpected type is as good as missing: the design values stay.
    }
}

void FormStorage::SaveFormPlacement() {
    Registry registry(RootKey::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(FSection, true))
        throw platform::ERegistryException(QStringLiteral("Failed to create key %1").arg(FSection));
    registry.WriteBinaryData(kPlacement, FForm->saveGeometry());
    for (const StoredProperty& p : FProperties)
        registry.WriteString(p.name, p.read());
}

void FormStorage::LoadToolbarPositions(const QString& key,
                                       const QList<QPair<QString, QMainWindow*>>& windows) {
    try {
        Registry registry(RootKey::HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(key))
            return;
        for (const auto& [name, window] : windows) {
            if (registry.GetDataType(name) == platform::RegDataType::Binary)
                window->restoreState(registry.ReadBinaryData(name), kLayoutVersion);
        }
    } catch (const platform::Exception&) {
    }
}

void FormStorage::SaveToolbarPositions(const QString& key,
                                       const QList<QPair<QString, QMainWindow*>>& windows) {
    Registry registry(RootKey::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(key, true))
        throw platform::ERegistryException(QStringLiteral("Failed to create key %1").arg(key));
    for (const auto& [name, window] : windows)
        registry.WriteBinaryData(name, window->saveState(kLayoutVersion));
}

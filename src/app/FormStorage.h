// Registry-backed placement of a window: its geometry and state, a few named properties
// ("SelectedTreeNode.Caption", "CheckShowTree.Checked", ...) and the dock and toolbar layout.
// Inactive by itself: it reads and writes only when its owner says so.
// Values live under HKEY_LOCAL_MACHINE: the placement and properties in the form section, the
// toolbar and dock layout (QMainWindow::saveState of each main window given) in the toolbar
// section. Thread contract: UI thread.
#pragma once

#include <QList>
#include <QString>
#include <functional>

class QMainWindow;
class QWidget;

class FormStorage {
public:
    struct StoredProperty {
        QString name;
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };

    explicit FormStorage(QWidget* form) : FForm(form) {}

    void setSection(const QString& section) { FSection = section; }
    const QString& section() const { return FSection; }
    void addStoredProperty(StoredProperty property) { FProperties.append(std::move(property)); }

    // Missing keys and values leave the window as designed. Restoring never raises.
    void RestoreFormPlacement();
    // Raises the registry's error when the values cannot be written.
    void SaveFormPlacement();

    // Dock and toolbar layout of each window (names must be unique), e.g. "MainForm" and
    // "PreviewPanel".
    static void LoadToolbarPositions(const QString& key,
                                     const QList<QPair<QString, QMainWindow*>>& windows);
    static void SaveToolbarPositions(const QString& key,
                                     const QList<QPair<QString, QMainWindow*>>& windows);

private:
    QWidget* FForm;
    QString FSection;
    QList<StoredProperty> FProperties;
};

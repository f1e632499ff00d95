// The class registry: every class a template may name, with its factory, category, palette image
// (a resource name) and designer description. Template reading creates objects only through it,
// so a host adds its own classes (a query component, dialog controls) by registering them; a
// name the registry does not know is reported by the reader, never a crash.
// Thread contract: register at start-up on the UI thread; afterwards look-ups are read-only and
// safe from any thread.
#pragma once

#include "reportengine/model/Component.h"

#include <QStringList>
#include <functional>

namespace reportengine {

enum class TfrxClassCategory { Page, Band, View, DialogControl, Data, Other };

struct TfrxClassInfo {
    QString ClassName;
    TfrxClassCategory Category = TfrxClassCategory::Other;
    QString ImageResource;  // palette image, e.g. ":/icons/ZARINQUERY"
    QString Description;    // shown by the designer ("Zarin Query")
    const QMetaObject* Meta = nullptr;
    std::function<TfrxComponent*(TfrxComponent* parent)> Create;
};

class TfrxClassRegistry {
public:
    // The process-wide registry, with the engine's own classes registered.
    static TfrxClassRegistry& Instance();

    // Registers (or replaces) a class. T needs a constructor taking the parent component.
    template <class T>
    void Register(TfrxClassCategory category, const QString& description = QString(),
                  const QString& image = QString()) {
        TfrxClassInfo info;
        info.Meta = &T::staticMetaObject;
        info.ClassName = PlainName(info.Meta);
        info.Category = category;
        info.Description = description;
        info.ImageResource = image;
        info.Create = [](TfrxComponent* parent) -> TfrxComponent* { return new T(parent); };
        Add(std::move(info));
    }
    void Add(TfrxClassInfo info);
    void Unregister(const QString& className);

    // Letter case ignored; null when unknown.
    const TfrxClassInfo* Find(const QString& className) const;
    // A new object of the class owned by parent; null for an unknown class.
    TfrxComponent* Create(const QString& className, TfrxComponent* parent) const;
    // A default-constructed object of the class, kept for comparing property values with their
    // defaults; null for an unknown class. Valid until the class is registered again.
    const TfrxComponent* Prototype(const QString& className) const;
    QStringList ClassNames() const;

    static QString PlainName(const QMetaObject* meta);

private:
    TfrxClassRegistry();
    struct Entry;
    std::vector<std::unique_ptr<Entry>> FEntries;
    int IndexOf(const QString& className) const;
};

}  // namespace reportengine

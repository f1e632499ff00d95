#include "reportengine/model/Component.h"

#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"

#include <QMetaProperty>
#include <algorithm>

namespace reportengine {

namespace {

const QMetaObject* PropertyClass(const QMetaProperty& property) {
    QMetaType type = property.metaType();
    return (type.flags() & QMetaType::PointerToQObject) ? type.metaObject() : nullptr;
}

TfrxComponent* FindIn(const TfrxComponent* root, const QString& name) {
    for (TfrxComponent* c : root->Objects()) {
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return c;
        if (TfrxComponent* found = FindIn(c, name))
            return found;
    }
    return nullptr;
}

}  // namespace

bool IsPersistentType(const QMetaProperty& property) {
    const QMetaObject* meta = PropertyClass(property);
    return meta && meta->inherits(&TfrxPersistent::staticMetaObject);
}

bool IsReferenceType(const QMetaProperty& property) {
    const QMetaObject* meta = PropertyClass(property);
    return meta && property.isWritable() && meta->inherits(&TfrxComponent::staticMetaObject);
}

void CopyStoredProperties(const QObject& source, QObject& target) {
    const QMetaObject* meta = target.metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        QMetaProperty p = meta->property(i);
        if (!p.isStored())
            continue;
        if (IsPersistentType(p)) {
            auto* from = qvariant_cast<QObject*>(p.read(&source));
            auto* to = qvariant_cast<QObject*>(p.read(&target));
            if (from && to)
                CopyStoredProperties(*from, *to);
        } else if (p.isWritable()) {
            p.write(&target, p.read(&source));
        }
    }
}

void TfrxPersistent::Assign(const TfrxPersistent& source) {
    CopyStoredProperties(source, *this);
}

void TfrxFont::SetSize(double points) {
    Height = -int(points * 96.0 / 72.0 + 0.5);
}

bool TfrxFont::operator==(const TfrxFont& o) const {
    return Charset == o.Charset && Color == o.Color && Height == o.Height && Name == o.Name &&
           Style == o.Style;
}

TfrxComponent::TfrxComponent(TfrxComponent* parent) {
    if (parent)
        SetParent(parent);
}

TfrxComponent::~TfrxComponent() {
    ClearObjects();
    SetParent(nullptr);
}

void TfrxComponent::ClearObjects() {
    while (!FObjects.empty())
        delete FObjects.back();
}

void TfrxComponent::SetParent(TfrxComponent* parent, int index) {
    if (FParent) {
        auto& list = FParent->FObjects;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FParent = parent;
    setParent(parent);
    if (!parent)
        return;
    auto& list = parent->FObjects;
    if (index < 0 || size_t(index) > list.size())
        list.push_back(this);
    else
        list.insert(list.begin() + index, this);
}

std::vector<TfrxComponent*> TfrxComponent::AllObjects() const {
    std::vector<TfrxComponent*> result;
    for (TfrxComponent* c : FObjects) {
        result.push_back(c);
        std::vector<TfrxComponent*> below = c->AllObjects();
        result.insert(result.end(), below.begin(), below.end());
    }
    return result;
}

TfrxReport* TfrxComponent::Report() const {
    for (const TfrxComponent* c = this; c; c = c->FParent)
        if (auto* r = qobject_cast<TfrxReport*>(const_cast<TfrxComponent*>(c)))
            return r;
    return nullptr;
}

TfrxPage* TfrxComponent::Page() const {
    for (const TfrxComponent* c = this; c; c = c->FParent)
        if (auto* p = qobject_cast<TfrxPage*>(const_cast<TfrxComponent*>(c)))
            return p;
    return nullptr;
}

QObject* TfrxComponent::ReportObject() const {
    return Report();
}
QObject* TfrxComponent::PageObject() const {
    return Page();
}

TfrxComponent* TfrxComponent::FindObject(const QString& name) const {
    const TfrxComponent* root = this;
    while (root->FParent)
        root = root->FParent;
    if (root->objectName().compare(name, Qt::CaseInsensitive) == 0 && !name.isEmpty())
        return const_cast<TfrxComponent*>(root);
    return name.isEmpty() ? nullptr : FindIn(root, name);
}

QString TfrxComponent::ClassName() const {
    QString name = QString::fromLatin1(metaObject()->className());
    int colon = name.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.mid(colon + 1);
}

const TfrxFont& TfrxComponent::UsedFont() const {
    static const TfrxFont defaultFont;
    return FParent ? FParent->UsedFont() : defaultFont;
}

void TfrxComponent::AssignProperties(const TfrxComponent& source) {
    CopyStoredProperties(source, *this);
    ExtraAttributes = source.ExtraAttributes;
}

}  // namespace reportengine

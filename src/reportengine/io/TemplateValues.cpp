#include "reportengine/io/TemplateValues.h"

#include "reportengine/model/Component.h"

#include <QStringList>
#include <cmath>

namespace reportengine {

namespace {

void Walk(QObject& object, const QString& prefix, TfrxComponent* component, std::vector<int>& chain,
          const std::function<void(const PropertySlot&)>& visit) {
    const QMetaObject* meta = object.metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        QMetaProperty p = meta->property(i);
        if (!p.isStored() || (component && !component->IsStoredProperty(p.name())))
            continue;
        const QString name = prefix + QString::fromLatin1(p.name());
        chain.push_back(i);
        if (IsPersistentType(p)) {
            if (auto* sub = qvariant_cast<QObject*>(p.read(&object)))
                Walk(*sub, name + QLatin1Char('.'), nullptr, chain, visit);
        } else if (p.isWritable()) {
            const bool list = p.metaType() == QMetaType::fromType<QStringList>();
            visit(PropertySlot{list ? name + QStringLiteral(".Text") : name, &object, p, chain});
        }
        chain.pop_back();
    }
}

}  // namespace

void ForEachStoredProperty(TfrxComponent& component, bool forWriting,
                           const std::function<void(const PropertySlot&)>& visit) {
    std::vector<int> chain;
    Walk(component, QString(), forWriting ? &component : nullptr, chain, visit);
}

QVariant ReadChain(const QObject& root, const std::vector<int>& chain) {
    const QObject* object = &root;
    for (size_t i = 0; i < chain.size(); ++i) {
        QMetaProperty p = object->metaObject()->property(chain[i]);
        QVariant v = p.read(object);
        if (i + 1 == chain.size())
            return v;
        object = qvariant_cast<QObject*>(v);
        if (!object)
            return QVariant();
    }
    return QVariant();
}

QString FormatFloat(double value) {
    if (value == 0)
        return QStringLiteral("0");
    return QString::number(value, 'g', 15);
}

QString FormatValue(const QMetaProperty& p, const QVariant& value) {
    if (p.isEnumType()) {
        const char* key = p.enumerator().valueToKey(value.toInt());
        return key ? QString::fromLatin1(key) : QString::number(value.toInt());
    }
    switch (p.metaType().id()) {
        case QMetaType::Bool:
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Double:
            return FormatFloat(value.toDouble());
        case QMetaType::QStringList:
            return value.toStringList().join(QStringLiteral("\r\n"));
        case QMetaType::QByteArray:
            return QString::fromLatin1(value.toByteArray().toHex().toUpper());
        default:
            return value.toString();
    }
}

bool ParseValue(const QMetaProperty& p, const QString& text, QVariant& value) {
    const QString t = text.trimmed();
    bool ok = false;
    if (p.isEnumType()) {
        int v = p.enumerator().keyToValue(t.toLatin1().constData(), &ok);
        if (!ok)
            v = t.toInt(&ok);
        value = QVariant(p.metaType(), &v);
        return ok;
    }
    switch (p.metaType().id()) {
        case QMetaType::Bool:
            if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
                t == QLatin1String("1"))
                value = true;
            else if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 ||
                     t == QLatin1String("0"))
                value = false;
            else
                return false;
            return true;
        case QMetaType::Int: {
            int v = t.toInt(&ok);
            if (!ok) {  // a float where an integer belongs: round it, as the old writers did
                double d = QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
                ok = ok && std::abs(d) < 2147483647.0;
                v = ok ? int(std::lround(d)) : 0;
            }
            value = v;
            return ok;
        }
        case QMetaType::Double: {
            double v = QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
            ok = ok && std::isfinite(v);
            value = v;
            return ok;
        }
        case QMetaType::QStringList: {
            QString s = text;
            s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            QStringList lines = s.isEmpty() ? QStringList() : s.split(QLatin1Char('\n'));
            value = lines;
            return true;
        }
        case QMetaType::QByteArray: {
            QByteArray hex = t.toLatin1();
            for (char c : hex)
                if (!std::isxdigit(static_cast<unsigned char>(c)))
                    return false;
            if (hex.size() % 2)
                return false;
            value = QByteArray::fromHex(hex);
            return true;
        }
        case QMetaType::QString:
            value = text;
            return true;
        default:
            return false;
    }
}

}  // namespace reportengine

// Qt reflection for scripts; see HostValues.h.
#include "reportengine/script/HostValues.h"

#include "platform/DateTime.h"
#include "reportengine/script/VarOps.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QMetaMethod>
#include <QStringList>

namespace script {

using platform::Variant;

namespace {

// The engine keeps colours as 0x00BBGGRR integers; this one means "no colour".
constexpr int ColorNone = 0x1FFFFFFF;

int ColorToInt(const QColor& c) {
    if (!c.isValid() || c.alpha() == 0)
        return ColorNone;
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

QColor IntToColor(int64_t v) {
    if (v == ColorNone)
        return QColor(Qt::transparent);
    if (v < 0)
        return QColor();  // a system colour: the widget's own
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

[[noreturn]] void Fail(const QString& text) {
    throw EScriptRuntime(text);
}

// A value for a parameter of type QVariant: the nearest plain Qt type.
QVariant FromVariantNatural(const Variant& value) {
    switch (value.Type()) {
        case platform::VarType::Bool:
            return QVariant(value.ToBool());
        case platform::VarType::Word:
        case platform::VarType::Integer:
            return QVariant(value.ToInt());
        case platform::VarType::Int64:
            return QVariant(qlonglong(value.ToInt64()));
        case platform::VarType::Double:
        case platform::VarType::Currency:
            return QVariant(value.ToDouble());
        case platform::VarType::Date:
            return QVariant(platform::DateTimeToQDateTime(value.ToDateTime()));
        case platform::VarType::Array: {
            QVariantList list;
            for (const Variant& v : value.Items())
                list << (v.IsObject() ? QVariant::fromValue(v.ToObject()) : FromVariantNatural(v));
            return list;
        }
        case platform::VarType::Object:
            return QVariant::fromValue(value.ToObject());
        case platform::VarType::Empty:
        case platform::VarType::Null:
            return QVariant();
        default:
            return QVariant(value.ToString());
    }
}

}  // namespace

MetaNames MetaNames::Build(const QMetaObject* meta) {
    MetaNames names;
    for (int i = 0; i < meta->propertyCount(); ++i)
        names.Properties.insert(QString::fromLatin1(meta->property(i).name()).toLower(), i);
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod m = meta->method(i);
        if (m.access() != QMetaMethod::Public || m.methodType() == QMetaMethod::Signal ||
            m.methodType() == QMetaMethod::Constructor)
            continue;
        names.Methods[QString::fromLatin1(m.name()).toLower()].push_back(i);
    }
    return names;
}

QString PlainClassName(const QMetaObject* meta) {
    const QString name = QString::fromLatin1(meta->className());
    const qsizetype colon = name.lastIndexOf(u':');
    return colon < 0 ? name : name.mid(colon + 1);
}

QString JoinLines(const QList<Variant>& items) {
    QStringList lines;
    for (const Variant& v : items)
        lines << v.ToString();
    return lines.join(QStringLiteral("\r\n"));
}

QList<Variant> SplitLines(const QString& text) {
    QList<Variant> items;
    if (text.isEmpty())
        return items;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    // A final line break does not start another line, as in a memo.
    if (t.endsWith(u'\n'))
        t.chop(1);
    for (const QString& line : t.split(u'\n'))
        items.append(Variant(line));
    return items;
}

Variant FromQVariant(const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        if (value.metaType().flags() & QMetaType::PointerToQObject)
            return Variant::Null();
        if (!value.isValid())
            return Variant();
    }
    const QMetaType type = value.metaType();
    if (type.flags() & QMetaType::PointerToQObject) {
        QObject* object = value.value<QObject*>();
        return object ? Variant::FromObject(object) : Variant::Null();
    }
    if (type.flags() & QMetaType::IsEnumeration)
        return Variant(value.toInt());
    switch (type.id()) {
        case QMetaType::Bool:
            return Variant(value.toBool());
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return Variant(value.toInt());
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return Variant(int64_t(value.toLongLong()));
        case QMetaType::Double:
        case QMetaType::Float:
            return Variant(value.toDouble());
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::QChar:
            return Variant(value.toString());
        case QMetaType::QDateTime:
            return Variant::FromDateTime(platform::QDateTimeToDateTime(value.toDateTime()));
        case QMetaType::QDate:
            return Variant::FromDateTime(
                platform::QDateTimeToDateTime(QDateTime(value.toDate(), QTime(0, 0))));
        case QMetaType::QColor:
            return Variant(ColorToInt(value.value<QColor>()));
        case QMetaType::QStringList: {
            QList<Variant> items;
            for (const QString& s : value.toStringList())
                items.append(Variant(s));
            return Variant(items);
        }
        case QMetaType::QVariantList: {
            QList<Variant> items;
            for (const QVariant& v : value.toList())
                items.append(FromQVariant(v));
            return Variant(items);
        }
        default:
            if (value.canConvert<QString>())
                return Variant(value.toString());
            Fail(QStringLiteral("тип \"%1\" недоступен сценарию").arg(type.name()));
    }
}

QVariant ToQVariant(const Variant& value, QMetaType type, const QMetaEnum* enumeration) {
    if (enumeration && enumeration->isValid()) {
        int number = 0;
        if (value.Type() == platform::VarType::String) {
            bool ok = false;
            const QByteArray key = value.ToString().toLatin1();
            number = enumeration->isFlag() ? enumeration->keysToValue(key, &ok)
                                           : enumeration->keyToValue(key, &ok);
            if (!ok)
                Fail(QStringLiteral("нет значения \"%1\" в %2")
                         .arg(value.ToString(), QString::fromLatin1(enumeration->name())));
        } else {
            number = value.ToInt();
        }
        QVariant v(number);
        if (type.isValid() && type.id() != QMetaType::Int)
            v.convert(type);
        return v;
    }
    if (type.flags() & QMetaType::PointerToQObject) {
        QObject* object = value.IsObject() ? value.ToObject() : nullptr;
        if (value.IsObject() && !object)
            Fail(QStringLiteral("объект уже уничтожен"));
        if (!value.IsObject() && !value.IsNullOrEmpty())
            Fail(QStringLiteral("ожидается объект"));
        const QMetaObject* wanted = type.metaObject();
        if (object && wanted && !object->metaObject()->inherits(wanted))
            Fail(QStringLiteral("ожидается объект класса %1").arg(PlainClassName(wanted)));
        // The pointer is stored as the property's own pointer type.
        return QVariant(type, &object);
    }
    switch (type.id()) {
        case QMetaType::QVariant:
            if (value.IsObject())
                return QVariant::fromValue(value.ToObject());
            if (value.IsNullOrEmpty())
                return QVariant();
            return FromVariantNatural(value);
        case QMetaType::Bool:
            return QVariant(value.ToBool());
        case QMetaType::Int:
            return QVariant(value.ToInt());
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            QVariant v(qlonglong(value.ToInt64()));
            v.convert(type);
            return v;
        }
        case QMetaType::Double:
            return QVariant(value.ToDouble());
        case QMetaType::Float:
            return QVariant(float(value.ToDouble()));
        case QMetaType::QString:
            return QVariant(value.ToString());
        case QMetaType::QDateTime:
            return QVariant(platform::DateTimeToQDateTime(value.ToDateTime()));
        case QMetaType::QDate:
            return QVariant(platform::DateTimeToQDateTime(value.ToDateTime()).date());
        case QMetaType::QColor:
            return QVariant(IntToColor(value.ToInt64()));
        case QMetaType::QStringList: {
            const QList<Variant> items =
                value.IsArray() ? value.Items() : SplitLines(value.ToString());
            QStringList list;
            for (const Variant& v : items)
                list << v.ToString();
            return QVariant(list);
        }
        default: {
            QVariant v(value.ToString());
            if (!v.convert(type))
                Fail(QStringLiteral("тип \"%1\" недоступен сценарию").arg(type.name()));
            return v;
        }
    }
}

Variant ReadProperty(QObject* object, const QMetaProperty& property) {
    return FromQVariant(property.read(object));
}

void WriteProperty(QObject* object, const QMetaProperty& property, const Variant& value) {
    if (!property.isWritable())
        Fail(QStringLiteral("свойство \"%1\" только для чтения").arg(property.name()));
    const QMetaEnum enumeration = property.enumerator();
    QVariant v =
        ToQVariant(value, property.metaType(), property.isEnumType() ? &enumeration : nullptr);
    if (!property.write(object, v))
        Fail(QStringLiteral("не удалось записать свойство \"%1\"").arg(property.name()));
}

Variant InvokeMethod(QObject* object, const std::vector<int>& overloads,
                     const std::vector<Variant>& args) {
    const QMetaObject* meta = object->metaObject();
    for (int index : overloads) {
        const QMetaMethod method = meta->method(index);
        if (method.parameterCount() != int(args.size()))
            continue;
        // Arguments in their exact types; a QVariant parameter takes the QVariant itself.
        std::vector<QVariant> storage(args.size());
        std::vector<void*> argv(args.size() + 1);
        for (size_t i = 0; i < args.size(); ++i) {
            storage[i] = ToQVariant(args[i], method.parameterMetaType(int(i)));
            argv[i + 1] = method.parameterMetaType(int(i)).id() == QMetaType::QVariant
                              ? static_cast<void*>(&storage[i])
                              : storage[i].data();
        }
        const QMetaType returnType = method.returnMetaType();
        const bool hasResult = returnType.isValid() && returnType.id() != QMetaType::Void;
        QVariant result = hasResult && returnType.id() != QMetaType::QVariant
                              ? QVariant(returnType, nullptr)
                              : QVariant();
        argv[0] = !hasResult                               ? nullptr
                  : returnType.id() == QMetaType::QVariant ? static_cast<void*>(&result)
                                                           : result.data();
        QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, index, argv.data());
        return hasResult ? FromQVariant(result) : Variant();
    }
    Fail(QStringLiteral("неверное число параметров метода \"%1\"")
             .arg(QString::fromLatin1(meta->method(overloads.front()).name())));
}

}  // namespace script

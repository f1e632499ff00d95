// Canonical template writing: one element per object, two-space indentation, LF line ends,
// attributes in property declaration order followed by the attributes kept from reading.
#include "reportengine/io/TemplateFile.h"
#include "reportengine/io/TemplateValues.h"
#include "reportengine/model/ClassRegistry.h"

namespace reportengine {

namespace {

QString Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
            case '&':
                out += QLatin1String("&amp;");
                break;
            case '<':
                out += QLatin1String("&lt;");
                break;
            case '>':
                out += QLatin1String("&gt;");
                break;
            case '"':
                out += QLatin1String("&quot;");
                break;
            case '\r':
                out += QLatin1String("&#13;");
                break;
            case '\n':
                out += QLatin1String("&#10;");
                break;
            case '\t':
                out += QLatin1String("&#9;");
                break;
            default:
                // Other control characters cannot appear in XML 1.0 at all.
                if (c.unicode() >= 0x20 && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF)
                    out += c;
        }
    }
    return out;
}

class Writer {
public:
    QString Out;

    void Element(const TfrxComponent& c, int depth) {
        Open(c.ClassName(), Attributes(c), depth);
        bool any = false;
        auto begin = [&] {
            if (!any)
                Out += QLatin1String(">\n");
            any = true;
        };
        if (auto* report = qobject_cast<const TfrxReport*>(&c)) {
            if (!report->DataSets.empty()) {
                begin();
                DataSets(*report, depth + 1);
            }
            if (report->Variables.Count() > 0) {
                begin();
                Variables(*report, depth + 1);
            }
        }
        if (auto* query = qobject_cast<const TfrxCustomQuery*>(&c);
            query && query->Params.Count()) {
            begin();
            Parameters(*query, depth + 1);
        }
        for (const TfrxComponent* child : c.Objects()) {
            begin();
            Element(*child, depth + 1);
        }
        Close(c.ClassName(), any, depth);
    }

private:
    using Attrs = QList<QPair<QString, QString>>;

    static Attrs Attributes(const TfrxComponent& c) {
        Attrs attrs;
        const TfrxComponent* proto = TfrxClassRegistry::Instance().Prototype(c.ClassName());
        ForEachStoredProperty(const_cast<TfrxComponent&>(c), true, [&](const PropertySlot& slot) {
            QVariant value = slot.Property.read(slot.Target);
            if (IsReferenceType(slot.Property)) {
                auto* target = qvariant_cast<QObject*>(value);
                if (target && !target->objectName().isEmpty())
                    attrs.append({slot.Path, target->objectName()});
                return;
            }
            if (slot.Path == QLatin1String("Name")) {
                if (!c.objectName().isEmpty())
                    attrs.append({slot.Path, c.objectName()});
                return;
            }
            if (proto && ReadChain(*proto, slot.Chain) == value)
                return;
            attrs.append({slot.Path, FormatValue(slot.Property, value)});
        });
        for (const auto& extra : c.ExtraAttributes) {
            bool known = false;
            for (const auto& a : attrs)
                known = known || a.first == extra.first;
            if (!known)
                attrs.append(extra);
        }
        return attrs;
    }

    void Indent(int depth) { Out += QString(depth * 2, QLatin1Char(' ')); }

    void Open(const QString& tag, const Attrs& attrs, int depth) {
        Indent(depth);
        Out += QLatin1Char('<') + tag;
        for (const auto& a : attrs)
            Out += QLatin1Char(' ') + a.first + QLatin1String("=\"") + Escape(a.second) +
                   QLatin1Char('"');
    }

    void Close(const QString& tag, bool hadChildren, int depth) {
        if (!hadChildren) {
            Out += QLatin1String("/>\n");
            return;
        }
        Indent(depth);
        Out += QLatin1String("</") + tag + QLatin1String(">\n");
    }

    void List(const QString& tag, const QList<Attrs>& items, int depth) {
        Indent(depth);
        Out += QLatin1Char('<') + tag + QLatin1String(">\n");
        for (const Attrs& item : items) {
            Open(QStringLiteral("item"), item, depth + 1);
            Out += QLatin1String("/>\n");
        }
        Indent(depth);
        Out += QLatin1String("</") + tag + QLatin1String(">\n");
    }

    void DataSets(const TfrxReport& r, int depth) {
        QList<Attrs> items;
        for (const TfrxDataSetItem& d : r.DataSets) {
            QString name = d.DataSet ? d.DataSet->objectName() : d.Name;
            QString user = d.DataSet ? d.DataSet->UserName() : d.UserName;
            items.append(
                {{QStringLiteral("DataSet"), name}, {QStringLiteral("DataSetName"), user}});
        }
        List(QStringLiteral("Datasets"), items, depth);
    }

    void Variables(const TfrxReport& r, int depth) {
        QList<Attrs> items;
        for (const TfrxVariable& v : r.Variables.Items()) {
            if (v.IsCategory)
                items.append({{QStringLiteral("Name"), QLatin1Char(' ') + v.Name}});
            else
                items.append({{QStringLiteral("Name"), v.Name},
                              {QStringLiteral("Value"), v.Value.ToString()}});
        }
        List(QStringLiteral("Variables"), items, depth);
    }

    void Parameters(const TfrxCustomQuery& q, int depth) {
        QList<Attrs> items;
        for (int i = 0; i < q.Params.Count(); ++i) {
            const TfrxParamItem& p = q.Params[i];
            Attrs a{{QStringLiteral("Name"), p.Name},
                    {QStringLiteral("DataType"), FieldTypeName(p.DataType)}};
            if (!p.Expression.isEmpty())
                a.append({QStringLiteral("Expression"), p.Expression});
            items.append(a);
        }
        List(QStringLiteral("Parameters"), items, depth);
    }
};

}  // namespace

QByteArray WriteTemplate(const TfrxReport& report) {
    Writer w;
    w.Out = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\n");
    w.Element(report, 0);
    return w.Out.toUtf8();
}

}  // namespace reportengine

// Generic template reading: elements become objects through the class registry, attributes become
// properties through reflection (applied in declaration order, so Orientation is set before the
// paper size), references are resolved once every object exists.
#include "reportengine/io/PropData.h"
#include "reportengine/io/TemplateFile.h"
#include "reportengine/io/TemplateValues.h"
#include "reportengine/model/ClassRegistry.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <QHash>
#include <QPointer>
#include <climits>
#include <memory>

namespace reportengine {

namespace {

constexpr int MaxNesting = 64;

QString Str(const xmlChar* s) {
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

struct PendingRef {
    QPointer<TfrxComponent> Owner;
    QPointer<QObject> Target;
    QMetaProperty Property;
    QString Path;
    QString Name;
};

class Reader {
public:
    Reader(TfrxReport& report, QString url) : FReport(report), FUrl(std::move(url)) {}

    void Root(xmlNode* node) {
        Attributes(node, FReport);
        Children(node, FReport, 0);
        ResolveReferences();
    }

private:
    void Warn(xmlNode* node, const QString& text) {
        FReport.LoadWarnings
            << QStringLiteral("%1:%2: %3").arg(FUrl).arg(xmlGetLineNo(node)).arg(text);
    }

    void Attributes(xmlNode* node, TfrxComponent& c) {
        QList<QPair<QString, QString>> attrs;
        QHash<QString, int> index;  // lower-case name -> position
        for (xmlAttr* a = node->properties; a; a = a->next) {
            xmlChar* v = xmlNodeListGetString(node->doc, a->children, 1);
            index.insert(Str(a->name).toLower(), int(attrs.size()));
            attrs.append({Str(a->name), Str(v)});
            xmlFree(v);
        }
        std::vector<bool> used(size_t(attrs.size()), false);
        c.ExtraAttributes.clear();
        ForEachStoredProperty(c, false, [&](const PropertySlot& slot) {
            auto it = index.find(slot.Path.toLower());
            if (it == index.end() && slot.Path.endsWith(QLatin1String(".Text")))
                it = index.find(slot.Path.chopped(5).toLower());
            if (it == index.end())
                return;
            used[size_t(*it)] = true;
            Apply(node, c, slot, attrs[*it].second);
        });
        for (int i = 0; i < attrs.size(); ++i) {
            if (used[size_t(i)])
                continue;
            if (attrs[i].first == QLatin1String("PropData"))
                PropDataLists(node, c, attrs[i].second);
            else
                c.ExtraAttributes.append(attrs[i]);
        }
    }

    void Apply(xmlNode* node, TfrxComponent& c, const PropertySlot& slot, const QString& text) {
        if (IsReferenceType(slot.Property)) {
            if (!text.isEmpty())
                FRefs.push_back(PendingRef{&c, slot.Target, slot.Property, slot.Path, text});
            return;
        }
        QVariant value;
        if (!ParseValue(slot.Property, text, value) || !slot.Property.write(slot.Target, value)) {
            Warn(node,
                 QStringLiteral("bad value \"%1\" of %2.%3").arg(text, c.objectName(), slot.Path));
            c.ExtraAttributes.append({slot.Path, text});
        }
    }

    void Children(xmlNode* node, TfrxComponent& parent, int depth) {
        for (xmlNode* child = node->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const QString tag = Str(child->name);
            if (tag == QLatin1String("Datasets") && &parent == &FReport)
                DataSetItems(child);
            else if (tag == QLatin1String("Variables") && &parent == &FReport)
                VariableItems(child);
            else if (tag == QLatin1String("Parameters") && qobject_cast<TfrxCustomQuery*>(&parent))
                ParameterItems(child, static_cast<TfrxCustomQuery&>(parent));
            else
                Object(child, tag, parent, depth);
        }
    }

    void Object(xmlNode* node, const QString& tag, TfrxComponent& parent, int depth) {
        const TfrxClassInfo* info = TfrxClassRegistry::Instance().Find(tag);
        if (!info || info->Meta->inherits(&TfrxReport::staticMetaObject)) {
            Warn(node, QStringLiteral("unknown element <%1> skipped").arg(tag));
            return;
        }
        if (depth >= MaxNesting) {
            Warn(node, QStringLiteral("<%1> nested too deeply, skipped").arg(tag));
            return;
        }
        TfrxComponent* c = info->Create(&parent);
        if (c->Parent() != &parent)
            c->SetParent(&parent);
        Attributes(node, *c);
        Children(node, *c, depth + 1);
    }

    static QHash<QString, QString> ItemAttributes(xmlNode* item) {
        QHash<QString, QString> values;
        for (xmlAttr* a = item->properties; a; a = a->next) {
            xmlChar* v = xmlNodeListGetString(item->doc, a->children, 1);
            values.insert(Str(a->name), Str(v));
            xmlFree(v);
        }
        return values;
    }

    template <class F>
    void Items(xmlNode* list, F each) {
        for (xmlNode* item = list->children; item; item = item->next)
            if (item->type == XML_ELEMENT_NODE)
                each(ItemAttributes(item));
    }

    void DataSetItems(xmlNode* list) {
        Items(list, [&](const QHash<QString, QString>& a) {
            AddDataSet(a.value(QStringLiteral("DataSet")), a.value(QStringLiteral("DataSetName")));
        });
    }
    void AddDataSet(const QString& name, const QString& user) {
        FReport.DataSets.push_back(TfrxDataSetItem{nullptr, name, user.isEmpty() ? name : user});
    }

    void VariableItems(xmlNode* list) {
        Items(list, [&](const QHash<QString, QString>& a) {
            AddVariable(a.value(QStringLiteral("Name")), a.value(QStringLiteral("Value")));
        });
    }
    void AddVariable(const QString& name, const QString& value) {
        if (name.startsWith(QLatin1Char(' ')))
            FReport.Variables.AddCategory(name.mid(1));
        else
            FReport.Variables.Set(name, value);
    }

    void ParameterItems(xmlNode* list, TfrxCustomQuery& query) {
        Items(list, [&](const QHash<QString, QString>& a) {
            AddParameter(query, a.value(QStringLiteral("Name")),
                         a.value(QStringLiteral("DataType")),
                         a.value(QStringLiteral("Expression")));
        });
    }
    static void AddParameter(TfrxCustomQuery& query, const QString& name, const QString& type,
                             const QString& expression) {
        TfrxParamItem& item = query.Params.Add(name);
        int code = FieldTypeFromName(type);
        item.DataType = code < 0 ? platform::ftUnknown : platform::TFieldType(code);
        item.Expression = expression;
    }

    void PropDataLists(xmlNode* node, TfrxComponent& c, const QString& hex) {
        std::vector<PropEntry> entries;
        if (!DecodePropData(hex, entries))
            Warn(node, QStringLiteral("damaged PropData of %1").arg(c.objectName()));
        for (const PropEntry& e : entries) {
            if (e.Name == QLatin1String("Datasets") && &c == &FReport) {
                for (const auto& g : e.Value.Groups(2))
                    AddDataSet(g.at(0), g.size() > 1 ? g[1] : QString());
            } else if (e.Name == QLatin1String("Variables") && &c == &FReport) {
                for (const auto& g : e.Value.Groups(2))
                    AddVariable(g.at(0), g.size() > 1 ? g[1] : QString());
            } else if ((e.Name == QLatin1String("Parameters") ||
                        e.Name == QLatin1String("Params")) &&
                       qobject_cast<TfrxCustomQuery*>(&c)) {
                for (const auto& g : e.Value.Groups(3))
                    AddParameter(static_cast<TfrxCustomQuery&>(c), g.at(0),
                                 g.size() > 1 ? g[1] : QString(), g.size() > 2 ? g[2] : QString());
            } else if (!e.Value.IsList) {
                ScalarFromPropData(node, c, e);
            }
        }
    }
    // Position of a non-visual component and similar plain values.
    void ScalarFromPropData(xmlNode* node, TfrxComponent& c, const PropEntry& e) {
        int i = c.metaObject()->indexOfProperty(e.Name.toLatin1().constData());
        if (i < 0)
            return;
        QMetaProperty p = c.metaObject()->property(i);
        QVariant value;
        if (p.isWritable() && !IsReferenceType(p) && ParseValue(p, e.Value.Text, value))
            p.write(&c, value);
    }

    void ResolveReferences() {
        QHash<QString, TfrxComponent*> names;
        const std::vector<TfrxComponent*> all = FReport.AllObjects();
        for (auto it = all.rbegin(); it != all.rend(); ++it)  // backwards: the first one wins
            if (!(*it)->objectName().isEmpty())
                names.insert((*it)->objectName().toLower(), *it);
        auto find = [&](const QString& name) { return names.value(name.toLower()); };
        for (TfrxDataSetItem& item : FReport.DataSets)
            item.DataSet = qobject_cast<TfrxDataSet*>(find(item.Name));
        for (const PendingRef& ref : FRefs) {
            if (!ref.Owner || !ref.Target)
                continue;
            TfrxComponent* target = find(ref.Name);
            QVariant v = QVariant::fromValue<QObject*>(target);
            const QMetaObject* wanted = ref.Property.metaType().metaObject();
            if (target && wanted && target->metaObject()->inherits(wanted) &&
                ref.Property.write(ref.Target, v))
                continue;
            // Kept as text so that saving the template loses nothing.
            ref.Owner->ExtraAttributes.append({ref.Path, ref.Name});
        }
    }

    TfrxReport& FReport;
    QString FUrl;
    std::vector<PendingRef> FRefs;
};

}  // namespace

void ReadTemplate(TfrxReport& report, const QByteArray& bytes, const QString& url) {
    const QByteArray text = NormalizeTemplateBytes(bytes);
    if (text.size() > INT_MAX)
        throw EReportFileError(QStringLiteral("%1: the file is too large").arg(url), 0);
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(text.constData(), int(text.size()),
                                                       url.toUtf8().constData(), "UTF-8", options));
    if (!doc) {
        const xmlError* e = xmlGetLastError();
        int line = e ? e->line : 0;
        QString reason = e && e->message
                             ? Str(reinterpret_cast<const xmlChar*>(e->message)).trimmed()
                             : QStringLiteral("not an XML document");
        throw EReportFileError(QStringLiteral("%1:%2: %3").arg(url).arg(line).arg(reason), line);
    }
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || Str(root->name) != QLatin1String("TfrxReport"))
        throw EReportFileError(QStringLiteral("%1: not a report template (the root element is not "
                                              "TfrxReport)")
                                   .arg(url),
                               root ? int(xmlGetLineNo(root)) : 0);
    report.Clear();
    report.SetLoading(true);
    try {
        Reader(report, url).Root(root);
    } catch (...) {
        report.SetLoading(false);
        throw;
    }
    report.SetLoading(false);
}

}  // namespace reportengine

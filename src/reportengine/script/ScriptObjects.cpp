// Host objects in the interpreter: named objects, late names, data references, member access on
// objects (registered members, then Q_PROPERTY / Q_INVOKABLE, then children by name), string
// lists, "is", "with" names, and the expression entry point; see Script.h.
#include "reportengine/script/HostSite.h"
#include "reportengine/script/Parser.h"
#include "reportengine/script/Resolver.h"
#include "reportengine/script/Script.h"

#include <QMetaProperty>

namespace script {

using platform::Variant;

struct Script::CachedExpr {
    QString Text;  // as parsed: without the enclosing brackets
    ExprPtr Root;
};

namespace {

QObject* FindNamed(QObject* root, const QString& name) {
    if (root->objectName().compare(name, Qt::CaseInsensitive) == 0)
        return root;
    const QList<QObject*> all = root->findChildren<QObject*>();
    for (QObject* o : all)
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return o;
    return nullptr;
}

QObject* FindChildNamed(QObject* parent, const QString& name) {
    for (QObject* o : parent->children())
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return o;
    return nullptr;
}

}  // namespace

void Script::AddObject(const QString& name, QObject* object) {
    const QString key = name.toLower();
    auto it = FHostIndex.find(key);
    if (it != FHostIndex.end()) {
        FHostSlots[size_t(*it)].Object = object;
        FHostSlots[size_t(*it)].FromRoot = false;
        return;
    }
    FHostIndex.insert(key, int(FHostSlots.size()));
    FHostSlots.push_back(HostSlot{name, object, false});
}

void Script::SetRootObject(QObject* root) {
    FRoot = root;
}

int Script::FindHostName(const QString& name) {
    const QString key = name.toLower();
    auto it = FHostIndex.find(key);
    if (it != FHostIndex.end())
        return *it;
    if (!FRoot)
        return -1;
    QObject* found = FindNamed(FRoot, name);
    if (!found)
        return -1;
    FHostIndex.insert(key, int(FHostSlots.size()));
    FHostSlots.push_back(HostSlot{found->objectName(), found, true});
    return int(FHostSlots.size()) - 1;
}

Variant Script::HostValue(int index, const Pos& at) {
    HostSlot& slot = FHostSlots[size_t(index)];
    if (!slot.Object && slot.FromRoot && FRoot) {
        // A report object recreated under the same name (template reloaded) is found again.
        slot.Object = FindNamed(FRoot, slot.Name);
    }
    if (!slot.Object && FNameResolver) {
        Variant value;
        if (FNameResolver(slot.Name, value))
            return value;
    }
    return Variant::FromObject(slot.Object);
}

Variant Script::LateValue(Expr& e) {
    Variant value;
    if (!FNameResolver || !FNameResolver(e.Name, value))
        Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Name));
    return value;
}

Variant Script::DataValue(Expr& e) {
    Variant value;
    const QString field = e.Value.IsEmpty() ? QString() : e.Value.ToString();
    if (!FDataResolver || !FDataResolver(e.Name, field, value))
        Fail(e.At, field.isNull()
                       ? QStringLiteral("неизвестная переменная \"%1\"").arg(e.Name)
                       : QStringLiteral("неизвестное поле \"%1\".\"%2\"").arg(e.Name, field));
    return value;
}

const MetaInfo& Script::InfoOf(const QMetaObject* meta) {
    auto it = FMetaInfo.find(meta);
    if (it != FMetaInfo.end())
        return **it;
    auto info = std::make_shared<MetaInfo>();
    info->Names = MetaNames::Build(meta);
    const HostClass* exact = FLibrary->ClassOfMeta(meta);
    info->ExactName = exact ? exact->Name() : PlainClassName(meta);
    for (const QMetaObject* m = meta; m && !info->Class; m = m->superClass())
        info->Class = FLibrary->ClassOfMeta(m);
    FMetaInfo.insert(meta, info);
    return *info;
}

QObject* Script::LiveObject(const Variant& value, const Pos& at) const {
    if (value.IsObject()) {
        if (QObject* object = value.ToObject())
            return object;
        Fail(at, QStringLiteral("объект уже уничтожен"));
    }
    if (value.IsNullOrEmpty())
        Fail(at, QStringLiteral("обращение к несуществующему объекту (nil)"));
    Fail(at, QStringLiteral("ожидается объект"));
}

HostSite& Script::SiteOf(Expr& e) {
    if (!e.Site)
        e.Site = std::make_shared<HostSite>();
    return *e.Site;
}

bool Script::FindMember(QObject* object, const QString& name, HostSite& site) {
    const QMetaObject* meta = object->metaObject();
    if (site.Meta != meta) {
        const MetaInfo& info = InfoOf(meta);
        site.Meta = meta;
        site.Info = &info;
        site.Owner = nullptr;
        site.Member = info.Class ? FLibrary->FindMember(info.Class, name, &site.Owner) : nullptr;
        site.Property = -1;
        site.Methods = nullptr;
        if (!site.Member) {
            const QString key = name.toLower();
            site.Property = info.Names.Properties.value(key, -1);
            auto m = info.Names.Methods.find(key);
            if (site.Property < 0 && m != info.Names.Methods.end())
                site.Methods = &*m;
        }
    }
    return site.Member || site.Property >= 0 || site.Methods;
}

std::vector<Variant> Script::EvalArgs(std::vector<ExprPtr>& args, Frame& f) {
    std::vector<Variant> values;
    values.reserve(args.size());
    for (auto& arg : args)
        values.push_back(Eval(*arg, f));
    return values;
}

Variant Script::ServeHost(QObject* object, HostSite& site, std::vector<Variant>& args, bool isWrite,
                          const Variant& value, Expr* call, Frame& f, const Pos& at) {
    const HostMember& m = *site.Member;
    const auto& params = m.Heading->Params;
    if (int(args.size()) < m.RequiredArgs)
        Fail(at, QStringLiteral("недостаточно параметров для \"%1\"").arg(m.Name));
    if (args.size() > params.size())
        Fail(at, QStringLiteral("слишком много параметров для \"%1\"").arg(m.Name));
    const size_t given = args.size();
    for (size_t i = 0; i < params.size(); ++i) {
        if (i < given)
            args[i] = Coerce(args[i], m.ParamTypes[i]);
        else
            args.push_back(Coerce(Eval(*params[i].Default, *FGlobals), m.ParamTypes[i]));
    }
    HostCall hc{*this,
                object,
                site.Info->ExactName,
                site.Owner,
                m.Name,
                args,
                isWrite,
                isWrite ? Coerce(value, m.ResultType) : Variant()};
    Variant result = m.Serve(hc);
    if (call && !m.IsProperty)
        for (size_t i = 0; i < given; ++i)
            if (params[i].Mode == ParamMode::Var)
                Assign(*call->Args[i], args[i], f);
    if (isWrite || !m.Heading->IsFunction)
        return Variant();
    return Coerce(result, m.ResultType);
}

Variant Script::ReadMember(QObject* object, const QString& name, HostSite& site,
                           std::vector<Variant>* args, Expr* call, Frame& f, const Pos& at) {
    std::vector<Variant> none;
    std::vector<Variant>& given = args ? *args : none;
    if (FindMember(object, name, site)) {
        if (site.Member) {
            if (site.Member->IsProperty && args)
                Fail(at, QStringLiteral("\"%1\" — свойство, а не метод").arg(site.Member->Name));
            return ServeHost(object, site, given, false, Variant(), call, f, at);
        }
        if (site.Property >= 0) {
            if (args)
                Fail(at, QStringLiteral("\"%1\" — свойство, а не метод").arg(name));
            return ReadProperty(object, object->metaObject()->property(site.Property));
        }
        return InvokeMethod(object, *site.Methods, given);
    }
    if (!args)
        if (QObject* child = FindChildNamed(object, name))
            return Variant::FromObject(child);
    Fail(at, QStringLiteral("у объекта класса %1 нет члена \"%2\"")
                 .arg(InfoOf(object->metaObject()).ExactName, name));
}

void Script::WriteMember(QObject* object, const QString& name, HostSite& site, const Variant& value,
                         std::vector<Variant>* indexes, const Pos& at) {
    if (FindMember(object, name, site)) {
        if (site.Member) {
            if (!site.Member->IsProperty)
                Fail(at, QStringLiteral("методу \"%1\" нельзя присвоить значение").arg(name));
            if (site.Member->ReadOnly)
                Fail(at,
                     QStringLiteral("свойство \"%1\" только для чтения").arg(site.Member->Name));
            std::vector<Variant> none;
            ServeHost(object, site, indexes ? *indexes : none, true, value, nullptr, *FGlobals, at);
            return;
        }
        if (site.Property >= 0) {
            WriteProperty(object, object->metaObject()->property(site.Property), value);
            return;
        }
    }
    Fail(at, QStringLiteral("у объекта класса %1 нет свойства \"%2\"")
                 .arg(InfoOf(object->metaObject()).ExactName, name));
}

Variant Script::MemberValue(const Variant& base, Expr& member, Frame& f) {
    if (base.IsArray()) {
        Variant list = base;
        std::vector<Variant> none;
        bool changed = false;
        Variant result = ListMember(list, member.Name, none, changed, member.At);
        if (changed)  // "Lines.Clear" written without parentheses
            Assign(*member.Left, list, f);
        return result;
    }
    return ReadMember(LiveObject(base, member.At), member.Name, SiteOf(member), nullptr, nullptr, f,
                      member.At);
}

Variant Script::EvalMember(Expr& e, Frame& f) {
    return MemberValue(Eval(*e.Left, f), e, f);
}

Variant Script::EvalMemberCall(Expr& call, Frame& f) {
    Expr& m = *call.Left;
    Variant base = Eval(*m.Left, f);
    std::vector<Variant> args = EvalArgs(call.Args, f);
    if (base.IsArray()) {
        // A list method changes the list, which goes back where it came from.
        bool changed = false;
        Variant result = ListMember(base, m.Name, args, changed, m.At);
        if (changed)
            Assign(*m.Left, base, f);
        return result;
    }
    return ReadMember(LiveObject(base, m.At), m.Name, SiteOf(m), &args, &call, f, m.At);
}

void Script::AssignMember(Expr& target, const Variant& value, Frame& f) {
    Variant base = Eval(*target.Left, f);
    if (base.IsArray()) {
        if (target.Name.compare(QLatin1String("Text"), Qt::CaseInsensitive) != 0)
            Fail(target.At, QStringLiteral("у списка нет свойства \"%1\"").arg(target.Name));
        Assign(*target.Left, Variant(SplitLines(value.ToString())), f);
        return;
    }
    WriteMember(LiveObject(base, target.At), target.Name, SiteOf(target), value, nullptr,
                target.At);
}

Variant Script::ListMember(Variant& list, const QString& name, std::vector<Variant>& args,
                           bool& changed, const Pos& at) {
    const QString key = name.toLower();
    const qsizetype count = list.Items().size();
    auto index = [&](const Variant& v, qsizetype limit) {
        const int64_t i = v.ToInt64();
        if (i < 0 || i >= limit)
            Fail(at, QStringLiteral("индекс %1 вне границ списка").arg(i));
        return qsizetype(i);
    };
    auto want = [&](size_t n) {
        if (args.size() != n)
            Fail(at, QStringLiteral("неверное число параметров для \"%1\"").arg(name));
    };
    if (key == QLatin1String("count")) {
        want(0);
        return Variant(int(count));
    }
    if (key == QLatin1String("text")) {
        want(0);
        return Variant(JoinLines(list.Items()));
    }
    if (key == QLatin1String("strings")) {
        want(0);
        return list;
    }
    if (key == QLatin1String("indexof")) {
        want(1);
        const QString s = args[0].ToString();
        for (qsizetype i = 0; i < count; ++i)
            if (list.Items()[i].ToString().compare(s, Qt::CaseInsensitive) == 0)
                return Variant(int(i));
        return Variant(-1);
    }
    if (key == QLatin1String("add")) {
        want(1);
        list.MutableItems().append(Variant(args[0].ToString()));
        changed = true;
        return Variant(int(count));
    }
    if (key == QLatin1String("clear")) {
        want(0);
        list.MutableItems().clear();
        changed = true;
        return Variant();
    }
    if (key == QLatin1String("delete")) {
        want(1);
        list.MutableItems().removeAt(index(args[0], count));
        changed = true;
        return Variant();
    }
    if (key == QLatin1String("insert")) {
        want(2);
        list.MutableItems().insert(index(args[0], count + 1), Variant(args[1].ToString()));
        changed = true;
        return Variant();
    }
    Fail(at, QStringLiteral("у списка нет члена \"%1\"").arg(name));
}

bool Script::WithObject(Expr& e, Frame& f, QObject*& object) {
    HostSite& site = *e.Site;
    const QString& name = e.Kind == ExprKind::Call ? e.Left->Name : e.Name;
    for (const Binding& b : site.WithSlots) {
        const Variant& v = *Slot(b, f);
        QObject* candidate = v.IsObject() ? v.ToObject() : nullptr;
        if (!candidate)
            continue;
        if (FindMember(candidate, name, site)) {
            object = candidate;
            return true;
        }
    }
    return false;
}

Variant Script::EvalWithName(Expr& e, Frame& f, bool isCall) {
    QObject* object = nullptr;
    const QString& name = isCall ? e.Left->Name : e.Name;
    if (WithObject(e, f, object)) {
        if (!isCall)
            return ReadMember(object, name, *e.Site, nullptr, nullptr, f, e.At);
        std::vector<Variant> args = EvalArgs(e.Args, f);
        return ReadMember(object, name, *e.Site, &args, &e, f, e.At);
    }
    const Binding& outer = e.Site->Outer;
    switch (outer.Kind) {
        case BindKind::Local:
        case BindKind::Global:
            return *Slot(outer, f);
        case BindKind::Routine:
            return CallRoutine(*FRoutines[size_t(outer.Index)], &e, f, nullptr);
        case BindKind::Library:
            if (isCall && e.Op == Tok::KwIf)
                return Eval(*e.Args[VarTruth(Eval(*e.Args[0], f)) ? 1 : 2], f);
            return CallLibrary(outer.Index, e, f);
        case BindKind::Host:
            return HostValue(outer.Index, e.At);
        case BindKind::Late:
            return LateValue(e);
        case BindKind::Constant:
            return e.Value;
        default:
            Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(name));
    }
}

bool Script::IsClass(const Variant& value, const QString& className) {
    if (!value.IsObject() || !value.ToObject())
        return false;
    const QMetaObject* meta = value.ToObject()->metaObject();
    const MetaInfo& info = InfoOf(meta);
    if (info.ExactName.compare(className, Qt::CaseInsensitive) == 0)
        return true;
    if (info.Class && FLibrary->ClassInherits(info.Class, className))
        return true;
    for (const QMetaObject* m = meta; m; m = m->superClass())
        if (PlainClassName(m).compare(className, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

namespace {

// "[expr]" as written in a text object is the expression expr; a text that merely starts and ends
// with brackets ("[a] + [b]") is left whole.
QString WithoutBrackets(const QString& text) {
    const QString t = text.trimmed();
    if (!t.startsWith(u'[') || !t.endsWith(u']'))
        return text;
    int depth = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == u'[')
            ++depth;
        else if (!quoted && c == u']' && --depth == 0 && i + 1 < t.size())
            return text;
    }
    return t.mid(1, t.size() - 2);
}

}  // namespace

Variant Script::Evaluate(const QString& expression) {
    if (!FProgram)
        Compile(QString());
    std::shared_ptr<CachedExpr> cached = FExpressions.value(expression);
    auto withText = [&expression](const EScriptError& e) {
        return EScriptError(QStringLiteral("выражение \"%1\": %2").arg(expression, e.Reason()),
                            e.Line(), e.Column(), e.Near());
    };
    if (!cached) {
        auto fresh = std::make_shared<CachedExpr>();
        fresh->Text = WithoutBrackets(expression);
        try {
            fresh->Root = Parser(fresh->Text).ParseExpression();
            FResolver->ResolveStandalone(*fresh->Root, fresh->Text);
        } catch (const EScriptError& e) {
            throw withText(e);
        }
        cached = fresh;
        FExpressions.insert(expression, cached);
    }
    const QString* outer = FExpressionText;
    FExpressionText = &cached->Text;
    struct Restore {
        const QString*& Text;
        const QString* Saved;
        ~Restore() { Text = Saved; }
    } restore{FExpressionText, outer};
    try {
        Entry entry(*this, cached->Root->At);
        // Counted as a call, so that a report variable defined by itself ends in an error.
        EnterCall(cached->Root->At);
        struct Leave {
            int& Depth;
            ~Leave() {
                if (Depth > 0)
                    --Depth;
            }
        } leave{FDepth};
        try {
            return Eval(*cached->Root, *FGlobals);
        } catch (const EScriptError&) {
            throw;
        } catch (const platform::Exception& e) {
            Fail(cached->Root->At, e.Message());
        }
    } catch (const EScriptError& e) {
        // An error of a nested expression already names the expression it happened in.
        if (e.Reason().startsWith(QStringLiteral("выражение \"")))
            throw;
        throw withText(e);
    }
}

}  // namespace script

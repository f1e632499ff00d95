// Host class members; see HostClass.h.
#include "reportengine/script/HostClass.h"

#include "reportengine/script/Parser.h"

namespace script {

namespace {

// Parameter kinds, result kind and required count of a parsed heading, as library functions have.
void Describe(HostMember& m) {
    for (const Param& p : m.Heading->Params) {
        TypeKind kind = TypeKind::Variant;
        TypeKindByName(p.Type.Name, kind);  // host type names (TQuery...) stay variants
        m.ParamTypes.push_back(p.Type.IsArray ? TypeKind::Variant : kind);
        if (!p.Default)
            m.RequiredArgs = int(m.ParamTypes.size());
    }
    if (m.Heading->IsFunction && !m.Heading->Result.IsArray) {
        m.TypeName = m.Heading->Result.Name;
        TypeKindByName(m.TypeName, m.ResultType);
    }
}

}  // namespace

HostClass& HostClass::AddMethod(const QString& declaration, MemberDispatcher dispatcher) {
    HostMember m;
    m.Heading = std::shared_ptr<Routine>(Parser(declaration).ParseHeading());
    m.Name = m.Heading->Name;
    m.Declaration = declaration;
    m.Serve = std::move(dispatcher);
    Describe(m);
    return Add(std::move(m));
}

HostClass& HostClass::AddProperty(const QString& declaration, bool readOnly,
                                  MemberDispatcher dispatcher) {
    // A property reads as a function heading with its indexes as parameters.
    QString text = declaration.trimmed();
    if (text.startsWith(QLatin1String("property "), Qt::CaseInsensitive))
        text = text.mid(9).trimmed();
    text.replace(u'[', u'(').replace(u']', u')');
    HostMember m;
    m.Heading = std::shared_ptr<Routine>(Parser("function " + text).ParseHeading());
    m.Name = m.Heading->Name;
    m.Declaration = declaration;
    m.IsProperty = true;
    m.ReadOnly = readOnly;
    m.Serve = std::move(dispatcher);
    Describe(m);
    return Add(std::move(m));
}

HostClass& HostClass::Add(HostMember member) {
    const QString key = member.Name.toLower();
    auto it = FIndex.find(key);
    if (it != FIndex.end()) {
        FMembers[size_t(*it)] = std::move(member);
        return *this;
    }
    FIndex.insert(key, int(FMembers.size()));
    FMembers.push_back(std::move(member));
    return *this;
}

const HostMember* HostClass::FindOwnMember(const QString& name) const {
    auto it = FIndex.find(name.toLower());
    return it == FIndex.end() ? nullptr : &FMembers[size_t(*it)];
}

}  // namespace script

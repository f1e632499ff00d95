// Registration of library functions; see Library.h.
#include "reportengine/script/Library.h"

#include "reportengine/script/Parser.h"

#include <mutex>

namespace script {

void FunctionLibrary::AddFunction(const QString& declaration, const QString& category,
                                  const QString& description, Dispatcher dispatcher) {
    LibraryFunction f;
    f.Heading = std::shared_ptr<Routine>(Parser(declaration).ParseHeading());
    f.Name = f.Heading->Name;
    f.Declaration = declaration;
    f.Category = category;
    f.Description = description;
    f.Serve = std::move(dispatcher);
    f.RequiredArgs = 0;
    for (const Param& p : f.Heading->Params) {
        TypeKind kind = TypeKind::Variant;
        // Host type names (TQuery, TObject...) pass through as variants.
        TypeKindByName(p.Type.Name, kind);
        f.ParamTypes.push_back(p.Type.IsArray ? TypeKind::Variant : kind);
        if (!p.Default)
            f.RequiredArgs = int(f.ParamTypes.size());
    }
    if (f.Heading->IsFunction && !f.Heading->Result.IsArray)
        TypeKindByName(f.Heading->Result.Name, f.ResultType);
    const QString key = f.Name.toLower();
    auto it = FFunctionIndex.find(key);
    if (it != FFunctionIndex.end()) {
        FFunctions[size_t(*it)] = std::move(f);
        return;
    }
    FFunctionIndex.insert(key, int(FFunctions.size()));
    FFunctions.push_back(std::move(f));
}

void FunctionLibrary::AddConstant(const QString& name, const platform::Variant& value) {
    FConstants.insert(name.toLower(), value);
}

int FunctionLibrary::FindFunction(const QString& name) const {
    return FFunctionIndex.value(name.toLower(), -1);
}

const platform::Variant* FunctionLibrary::FindConstant(const QString& name) const {
    auto it = FConstants.find(name.toLower());
    return it == FConstants.end() ? nullptr : &*it;
}

HostClass& FunctionLibrary::AddClass(const QString& name, const QString& ancestor,
                                     const QMetaObject* meta) {
    const QString key = name.toLower();
    int index = FClassIndex.value(key, -1);
    if (index < 0) {
        index = int(FClasses.size());
        FClasses.push_back(std::make_shared<HostClass>(name, ancestor));
        FClassIndex.insert(key, index);
    } else {
        auto& cls = FClasses[size_t(index)];
        if (cls.use_count() > 1)
            cls = std::make_shared<HostClass>(*cls);
        if (!ancestor.isEmpty())
            cls->FAncestor = ancestor;
    }
    if (meta)
        FClassMetas.insert(meta, index);
    return *FClasses[size_t(index)];
}

const HostClass* FunctionLibrary::FindClass(const QString& name) const {
    int index = FClassIndex.value(name.toLower(), -1);
    return index < 0 ? nullptr : FClasses[size_t(index)].get();
}

const HostClass* FunctionLibrary::ClassOfMeta(const QMetaObject* meta) const {
    auto it = FClassMetas.find(meta);
    if (it != FClassMetas.end())
        return FClasses[size_t(*it)].get();
    QLatin1String name(meta->className());
    const qsizetype colon = QStringView(QString(name)).lastIndexOf(u':');
    return FindClass(colon < 0 ? QString(name) : QString(name).mid(colon + 1));
}

const HostMember* FunctionLibrary::FindMember(const HostClass* cls, const QString& name,
                                              const HostClass** owner) const {
    // The depth bound stops a cycle of ancestor names.
    for (int depth = 0; cls && depth < 64; ++depth) {
        if (const HostMember* m = cls->FindOwnMember(name)) {
            if (owner)
                *owner = cls;
            return m;
        }
        cls = FindClass(cls->Ancestor());
    }
    return nullptr;
}

bool FunctionLibrary::ClassInherits(const HostClass* cls, const QString& name) const {
    for (int depth = 0; cls && depth < 64; ++depth) {
        if (cls->Name().compare(name, Qt::CaseInsensitive) == 0 ||
            cls->Ancestor().compare(name, Qt::CaseInsensitive) == 0)
            return true;
        cls = FindClass(cls->Ancestor());
    }
    return false;
}

namespace {

std::mutex& ModuleLock() {
    static std::mutex lock;
    return lock;
}

std::vector<std::function<void(FunctionLibrary&)>>& Modules() {
    static std::vector<std::function<void(FunctionLibrary&)>> modules;
    return modules;
}

}  // namespace

void FunctionLibrary::RegisterModule(std::function<void(FunctionLibrary&)> module) {
    std::lock_guard<std::mutex> guard(ModuleLock());
    Modules().push_back(std::move(module));
}

std::shared_ptr<const FunctionLibrary> FunctionLibrary::Default() {
    static std::shared_ptr<const FunctionLibrary> library = [] {
        auto lib = std::make_shared<FunctionLibrary>();
        AddStandardLibrary(*lib);
        std::lock_guard<std::mutex> guard(ModuleLock());
        for (const auto& module : Modules())
            module(*lib);
        return lib;
    }();
    return library;
}

}  // namespace script

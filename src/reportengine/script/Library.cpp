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

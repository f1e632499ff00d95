// Query parameters; see Params.h.
#include "platform/Params.h"

#include "platform/DataSet.h"

namespace platform {

void TParam::SetValue(const Variant& value) {
    FValue = value;
    Bound = !value.IsEmpty();
}

TParam& TParams::CreateParam(TFieldType type, const QString& name) {
    FItems.push_back(std::make_unique<TParam>(name, type));
    return *FItems.back();
}

TParam* TParams::FindParam(const QString& name) const {
    for (const auto& p : FItems)
        if (p->Name.compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

TParam& TParams::ParamByName(const QString& name) const {
    TParam* p = FindParam(name);
    if (!p)
        DatabaseError("Parameter '" + name + "' not found");
    return *p;
}

void TParams::Assign(const TParams& other) {
    if (&other == this)
        return;
    FItems.clear();
    for (const auto& p : other.FItems)
        FItems.push_back(std::make_unique<TParam>(*p));
}

}  // namespace platform

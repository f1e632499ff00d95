// Arrays, the array intrinsics and "with" of the interpreter; see Script.h. Arrays are values
// (copy on assignment, shared storage until one copy changes); an item is changed in place through
// the address of the variable that holds it, so filling an array in a loop stays linear.
#include "reportengine/script/HostSite.h"
#include "reportengine/script/Script.h"

#include <algorithm>

namespace script {

using platform::Variant;
using platform::VarType;

Variant Script::NewArray(const ArrayType& shape) {
    QList<Variant> items;
    if (!shape.Dynamic) {
        items.reserve(qsizetype(shape.High - shape.Low + 1));
        for (int64_t i = shape.Low; i <= shape.High; ++i)
            items.append(shape.Inner ? NewArray(*shape.Inner) : DefaultValue(shape.Element));
    }
    return Variant(items);
}

// The position of index in the array's items: static arrays count from their low bound, others
// from 0. Out of range fails with the index as written.
int64_t Script::ArrayOffset(const Variant& array, const ArrayType* shape, int64_t index,
                            const Pos& at) const {
    const int64_t low = shape && !shape->Dynamic ? shape->Low : 0;
    const int64_t offset = index - low;
    if (offset < 0 || offset >= array.Items().size())
        Fail(at, QStringLiteral("индекс %1 вне границ массива").arg(index));
    return offset;
}

Variant* Script::Address(Expr& e, Frame& f) {
    if (e.Kind == ExprKind::Name) {
        const Binding* b = &e.Bound;
        if (b->Kind == BindKind::With) {
            QObject* object = nullptr;
            if (WithObject(e, f, object))
                return nullptr;  // a property, not a variable
            b = &e.Site->Outer;
        }
        return b->Kind == BindKind::Local || b->Kind == BindKind::Global ? Slot(*b, f) : nullptr;
    }
    if (e.Kind != ExprKind::Index)
        return nullptr;
    const std::vector<int64_t> indexes = EvalIndexes(e, f);
    Variant* cell = Address(*e.Left, f);
    const ArrayType* shape = e.Array.get();
    for (int64_t index : indexes) {
        if (!cell || !cell->IsArray())
            return nullptr;
        cell = &cell->MutableItems()[qsizetype(ArrayOffset(*cell, shape, index, e.At))];
        shape = shape ? shape->Inner.get() : nullptr;
    }
    return cell;
}

namespace {

Variant IndexString(const Variant& text, int64_t i, const Pos& at,
                    const std::function<void(const Pos&, const QString&)>& fail) {
    const QString s = text.ToString();
    if (i < 1 || i > s.size())
        fail(at, QStringLiteral("индекс %1 вне границ строки").arg(i));
    return Variant(QString(s[qsizetype(i - 1)]));
}

}  // namespace

Variant Script::IndexValue(Variant container, Expr& e, Frame& f) {
    const ArrayType* shape = e.Array.get();
    for (auto& arg : e.Args) {
        const int64_t i = Eval(*arg, f).ToInt64();
        if (container.Type() == VarType::String) {
            container = IndexString(container, i, e.At,
                                    [this](const Pos& at, const QString& m) { Fail(at, m); });
        } else if (container.IsArray()) {
            Variant item = container.Items()[qsizetype(ArrayOffset(container, shape, i, e.At))];
            container = std::move(item);
            shape = shape ? shape->Inner.get() : nullptr;
        } else {
            Fail(e.At, QStringLiteral("индексировать можно только строку или массив"));
        }
    }
    return container;
}

std::vector<int64_t> Script::EvalIndexes(Expr& e, Frame& f) {
    std::vector<int64_t> indexes;
    indexes.reserve(e.Args.size());
    for (auto& arg : e.Args)
        indexes.push_back(Eval(*arg, f).ToInt64());
    return indexes;
}

// The indexes are evaluated before: nothing may run between taking an item's address and storing
// into it, or a function called by an index could free the item.
void Script::SetIndexed(Variant& container, Expr& target, const std::vector<int64_t>& indexes,
                        const Variant& value) {
    const ArrayType* shape = target.Array.get();
    Variant* cell = &container;
    for (size_t k = 0; k < indexes.size(); ++k) {
        const int64_t i = indexes[k];
        if (cell->Type() == VarType::String && k + 1 == indexes.size()) {
            QString text = cell->ToString();
            if (i < 1 || i > text.size())
                Fail(target.At, QStringLiteral("индекс %1 вне границ строки").arg(i));
            const QString c = value.ToString();
            if (c.size() != 1)
                Fail(target.At, QStringLiteral("ожидается один символ"));
            text[qsizetype(i - 1)] = c[0];
            *cell = Variant(text);
            return;
        }
        if (!cell->IsArray())
            Fail(target.At, QStringLiteral("индексировать можно только строку или массив"));
        const int64_t offset = ArrayOffset(*cell, shape, i, target.At);
        cell = &cell->MutableItems()[qsizetype(offset)];
        if (k + 1 == indexes.size()) {
            *cell = shape ? (shape->Inner ? Coerce(value, TypeKind::Array)
                                          : Coerce(value, shape->Element))
                          : value;
            return;
        }
        shape = shape ? shape->Inner.get() : nullptr;
    }
}

// A registered property with indexes (Items[i] served by a dispatcher), as opposed to a list
// property whose value is indexed after it is read.
bool Script::FindIndexedProperty(QObject* object, const QString& name, HostSite& site) {
    return FindMember(object, name, site) && site.Member && site.Member->IsProperty &&
           !site.Member->Heading->Params.empty();
}

Variant Script::EvalIndex(Expr& e, Frame& f) {
    if (e.Left->Kind == ExprKind::Member) {
        Expr& m = *e.Left;
        Variant base = Eval(*m.Left, f);
        if (!base.IsArray()) {
            QObject* object = LiveObject(base, m.At);
            HostSite& site = SiteOf(m);
            if (FindIndexedProperty(object, m.Name, site)) {
                std::vector<Variant> indexes = EvalArgs(e.Args, f);
                return ServeHost(object, site, indexes, false, Variant(), nullptr, f, m.At);
            }
            return IndexValue(ReadMember(object, m.Name, site, nullptr, nullptr, f, m.At), e, f);
        }
        if (m.Name.compare(QLatin1String("Strings"), Qt::CaseInsensitive) == 0)
            return IndexValue(base, e, f);
        return IndexValue(MemberValue(base, m, f), e, f);
    }
    return IndexValue(Eval(*e.Left, f), e, f);
}

void Script::AssignIndex(Expr& target, const Variant& value, Frame& f) {
    if (target.Left->Kind == ExprKind::Member) {
        Expr& m = *target.Left;
        Variant base = Eval(*m.Left, f);
        if (!base.IsArray()) {
            QObject* object = LiveObject(base, m.At);
            HostSite& site = SiteOf(m);
            if (FindIndexedProperty(object, m.Name, site)) {
                std::vector<Variant> indexes = EvalArgs(target.Args, f);
                WriteMember(object, m.Name, site, value, &indexes, m.At);
                return;
            }
            // A list property: change the list, then store it back (Memo1.Lines[0] := 'x').
            Variant list = ReadMember(object, m.Name, site, nullptr, nullptr, f, m.At);
            SetIndexed(list, target, EvalIndexes(target, f), value);
            WriteMember(object, m.Name, site, list, nullptr, m.At);
            return;
        }
        if (m.Name.compare(QLatin1String("Strings"), Qt::CaseInsensitive) == 0) {
            SetIndexed(base, target, EvalIndexes(target, f), value);
            Assign(*m.Left, base, f);
            return;
        }
    }
    const std::vector<int64_t> indexes = EvalIndexes(target, f);
    if (Variant* cell = Address(*target.Left, f)) {
        SetIndexed(*cell, target, indexes, value);
        return;
    }
    Variant container = Eval(*target.Left, f);
    SetIndexed(container, target, indexes, value);
    Assign(*target.Left, container, f);
}

namespace {

using ArrayMaker = Variant (*)(const ArrayType&);

void Resize(Variant& cell, const ArrayType& shape, const std::vector<int64_t>& lengths, size_t k,
            ArrayMaker make) {
    if (!cell.IsArray())
        cell = Variant(QList<Variant>());
    QList<Variant>& items = cell.MutableItems();
    const qsizetype n = qsizetype(lengths[k]);
    if (items.size() > n)
        items.resize(n);
    while (items.size() < n)
        items.append(shape.Inner ? make(*shape.Inner) : DefaultValue(shape.Element));
    if (k + 1 < lengths.size() && shape.Inner && shape.Inner->Dynamic)
        for (Variant& item : items)
            Resize(item, *shape.Inner, lengths, k + 1, make);
}

}  // namespace

Variant Script::EvalIntrinsic(Expr& e, Frame& f) {
    switch (Intrinsic(e.Bound.Index)) {
        case Intrinsic::Assigned: {
            const Variant v = Eval(*e.Args[0], f);
            if (v.IsObject())
                return Variant(v.ToObject() != nullptr);
            return Variant(!v.IsNullOrEmpty());
        }
        case Intrinsic::Low:
        case Intrinsic::High: {
            const Variant v = Eval(*e.Args[0], f);
            const bool low = Intrinsic(e.Bound.Index) == Intrinsic::Low;
            if (v.IsArray())
                return Variant(int(low ? 0 : v.Items().size() - 1));
            if (v.Type() == VarType::String)
                return Variant(int(low ? 1 : v.ToString().size()));
            Fail(e.At, QStringLiteral("ожидается массив или строка"));
        }
        case Intrinsic::Cast:
            return Coerce(Eval(*e.Args[0], f), e.Bound.Type);
        case Intrinsic::SetLength: {
            std::vector<int64_t> lengths;
            int64_t total = 1;
            for (size_t i = 1; i < e.Args.size(); ++i) {
                lengths.push_back(std::max<int64_t>(Eval(*e.Args[i], f).ToInt64(), 0));
                if (lengths.back() > MaxArrayItems ||
                    (total *= std::max<int64_t>(lengths.back(), 1)) > MaxArrayItems)
                    Fail(e.Args[i]->At, QStringLiteral("слишком большой массив"));
            }
            Variant* cell = Address(*e.Args[0], f);
            if (!cell)
                Fail(e.Args[0]->At, QStringLiteral("ожидается переменная"));
            Resize(*cell, *e.Array, lengths, 0, &Script::NewArray);
            return Variant();
        }
    }
    return Variant();
}

Script::Flow Script::ExecWith(Stmt& s, Frame& f) {
    for (size_t i = 0; i < s.Args.size(); ++i) {
        Variant v = Eval(*s.Args[i], f);
        LiveObject(v, s.Args[i]->At);
        *Slot(s.WithSlots[i], f) = v;
    }
    return Exec(*s.Then, f);
}

}  // namespace script

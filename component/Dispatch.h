#pragma once

#include "AutomationError.h"
#include "Unknown.h"
#include "Variant.h"

#include <QString>

#include <functional>
#include <span>
#include <vector>

namespace component {

using DispId = std::int32_t;

inline constexpr DispId DispIdUnknown = -1;
inline constexpr DispId DispIdFont = -512;
inline constexpr DispId DispIdAmbientFont = -703;

inline const Guid IID_IDispatch = Guid::fromString("{00020400-0000-0000-C000-000000000046}");

enum class InvokeKind : std::uint16_t {
    Method = 1,
    PropertyGet = 2,
    PropertyPut = 4,
    PropertyPutRef = 8,
};

// A type as a member description names it: a variant type code, and for
// user-defined and object types the name of the type (OLE_COLOR, Font,
// Picture, an enum of the library).
struct TypeRef {
    VarType vt = VarType::Void;
    QString userType;
    bool operator==(const TypeRef&) const = default;
};

struct ParamInfo {
    QString name;
    TypeRef type;
    bool byRef = false;
    bool optional = false;
    bool operator==(const ParamInfo&) const = default;
};

// One entry of a dispatch table: a method, or one accessor of a property.
struct MemberInfo {
    QString name;
    DispId id = 0;
    InvokeKind kind = InvokeKind::Method;
    std::vector<ParamInfo> params;
    TypeRef result;
    QString help;
};

struct ExcepInfo {
    HResult code = 0;
    QString source;
    QString description;
};

// Late-bound calls: names to dispatch ids, and calls by id. Arguments are in
// their natural order; arguments passed by reference are changed in place.
class IDispatch : public IUnknown {
public:
    virtual HResult GetIDsOfNames(const QString& name, DispId& id) = 0;
    virtual HResult Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                           ExcepInfo* excep) = 0;
};

// Calls into an object late-bound; failures throw AutomationError.
Variant invokeByName(IDispatch* d, const QString& name, InvokeKind kind,
                     std::vector<Variant> args = {});
Variant invokeById(IDispatch* d, DispId id, InvokeKind kind, std::span<Variant> args);

// A table of members with their implementations, for classes that answer
// IDispatch from a fixed description. Lookups by name ignore case.
template <class Object> class DispatchTable {
public:
    using Handler = std::function<Variant(Object&, std::span<Variant>)>;

    void add(MemberInfo info, Handler h) { m_entries.push_back({std::move(info), std::move(h)}); }
    const std::vector<MemberInfo> members() const {
        std::vector<MemberInfo> r;
        for (const auto& e : m_entries)
            r.push_back(e.info);
        return r;
    }

    HResult idOf(const QString& name, DispId& id) const {
        for (const auto& e : m_entries)
            if (e.info.name.compare(name, Qt::CaseInsensitive) == 0) {
                id = e.info.id;
                return S_Ok;
            }
        id = DispIdUnknown;
        return Disp_E_UnknownName;
    }

    HResult invoke(Object& obj, DispId id, InvokeKind kind, std::span<Variant> args,
                   Variant* result, ExcepInfo* excep) const {
        const Entry* entry = nullptr;
        bool idFound = false;
        for (const auto& e : m_entries) {
            if (e.info.id != id) continue;
            idFound = true;
            // A property set by reference falls back to a plain put, and back.
            if (e.info.kind == kind) {
                entry = &e;
                break;
            }
        }
        if (!entry && idFound &&
            (kind == InvokeKind::PropertyPut || kind == InvokeKind::PropertyPutRef)) {
            const InvokeKind other = kind == InvokeKind::PropertyPut ? InvokeKind::PropertyPutRef
                                                                     : InvokeKind::PropertyPut;
            for (const auto& e : m_entries)
                if (e.info.id == id && e.info.kind == other) entry = &e;
        }
        if (!entry && idFound && kind == InvokeKind::Method) {
            // Calling a property getter as a method is accepted, as late binding does.
            for (const auto& e : m_entries)
                if (e.info.id == id && e.info.kind == InvokeKind::PropertyGet) entry = &e;
        }
        if (!entry) return Disp_E_MemberNotFound;
        const auto& params = entry->info.params;
        if (args.size() > params.size()) return Disp_E_BadParamCount;
        std::vector<Variant> converted(params.size(), Variant::missing());
        try {
            for (size_t i = 0; i < params.size(); ++i) {
                if (i >= args.size() || args[i].isMissing()) {
                    if (!params[i].optional) return Disp_E_ParamNotOptional;
                    continue;
                }
                converted[i] = coerce(args[i], params[i].type);
            }
            Variant r = entry->handler(obj, converted);
            // Hand changed by-reference arguments back in the caller's slots.
            for (size_t i = 0; i < args.size(); ++i)
                if (params[i].byRef && !args[i].isMissing()) args[i] = converted[i];
            if (result) *result = std::move(r);
            return S_Ok;
        } catch (const AutomationError& e) {
            if (excep) *excep = ExcepInfo{e.code(), e.source(), e.description()};
            return e.code() ? e.code() : Disp_E_Exception;
        }
    }

    static Variant coerce(const Variant& v, const TypeRef& t) {
        switch (t.vt) {
        case VarType::Variant:
            return v;
        case VarType::UserDefined:
            // Enums and OLE_COLOR travel as their integer form.
            if (t.userType == QLatin1String("OLE_COLOR")) return Variant::longValue(v.toLong());
            return Variant::longValue(v.toLong());
        case VarType::Dispatch:
        case VarType::Unknown:
            return Variant::object(v.toObject());
        default:
            return v.convertedTo(t.vt);
        }
    }

private:
    struct Entry {
        MemberInfo info;
        Handler handler;
    };
    std::vector<Entry> m_entries;
};

} // namespace component

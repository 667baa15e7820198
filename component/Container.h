#pragma once

#include "Dispatch.h"
#include "Font.h"

#include <map>

namespace component {

inline const Guid IID_IClientSite = Guid::fromString("{00000118-0000-0000-C000-000000000046}");
inline const Guid IID_IPropertyBag = Guid::fromString("{55272A00-42CB-11CE-8135-00AA004BB851}");
inline const Guid IID_IPersistPropertyBag =
    Guid::fromString("{37D84F60-42CB-11CE-8135-00AA004BB851}");
inline const Guid IID_IConnectionPoint = Guid::fromString("{B196B286-BAB4-101A-B69C-00AA00341D07}");
inline const Guid IID_IConnectionPointContainer =
    Guid::fromString("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline const Guid IID_IClassFactory = Guid::fromString("{00000001-0000-0000-C000-000000000046}");

// What a control asks of the container that placed it: the property-changed
// notification and the container's ambient properties (its font above all).
class IClientSite : public IUnknown {
public:
    // The property of the given dispatch id and name changed.
    virtual void OnChanged(DispId id, const QString& name) = 0;
    // An ambient property by dispatch id; fails when the container has none.
    virtual HResult GetAmbient(DispId id, Variant& value) = 0;
    // A failure inside one of the control's own event handlers, which has no
    // caller to return it to.
    virtual void OnError(HResult code, const QString& description) = 0;
};

// The container's store of a placed control's properties (name → value).
// Read answers S_Ok with the value, E_InvalidArg when the name is not there;
// any other failure means the bag refuses the key.
class IPropertyBag : public IUnknown {
public:
    virtual HResult Read(const QString& name, Variant& value) = 0;
    virtual HResult Write(const QString& name, const Variant& value) = 0;
};

class IPersistPropertyBag : public IUnknown {
public:
    virtual HResult InitNew() = 0;
    virtual HResult Load(IPropertyBag* bag) = 0;
    virtual HResult Save(IPropertyBag* bag, bool clearDirty, bool saveAll) = 0;
};

class IConnectionPoint : public IUnknown {
public:
    virtual HResult GetConnectionInterface(Guid& iid) = 0;
    virtual HResult Advise(IDispatch* sink, std::uint32_t& cookie) = 0;
    virtual HResult Unadvise(std::uint32_t cookie) = 0;
};

class IConnectionPointContainer : public IUnknown {
public:
    virtual HResult FindConnectionPoint(const Guid& iid, IConnectionPoint** out) = 0;
};

class IClassFactory : public IUnknown {
public:
    virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
    virtual HResult LockServer(bool lock) = 0;
};

// The event source of one control: sinks that receive each event by dispatch
// id, with the arguments by reference.
class ConnectionPoint : public RefCounted<IConnectionPoint> {
public:
    explicit ConnectionPoint(Guid eventInterface) : m_iid(eventInterface) {}

    HResult QueryInterface(const Guid& iid, void** out) override;
    HResult GetConnectionInterface(Guid& iid) override {
        iid = m_iid;
        return S_Ok;
    }
    HResult Advise(IDispatch* sink, std::uint32_t& cookie) override;
    HResult Unadvise(std::uint32_t cookie) override;

    // Delivers an event to every sink; a sink may change the arguments, and
    // later sinks see the change. A sink's failure does not stop delivery.
    void fire(DispId id, std::span<Variant> args);
    size_t sinkCount() const { return m_sinks.size(); }

private:
    Guid m_iid;
    std::map<std::uint32_t, Ref<IDispatch>> m_sinks;
    std::uint32_t m_nextCookie = 1;
};

} // namespace component

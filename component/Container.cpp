#include "Container.h"

namespace component {

HResult ConnectionPoint::QueryInterface(const Guid& iid, void** out) {
    if (!out) return E_Pointer;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_Ok;
    }
    *out = nullptr;
    return E_NoInterface;
}

HResult ConnectionPoint::Advise(IDispatch* sink, std::uint32_t& cookie) {
    if (!sink) return E_Pointer;
    cookie = m_nextCookie++;
    m_sinks.emplace(cookie, Ref<IDispatch>(sink));
    return S_Ok;
}

HResult ConnectionPoint::Unadvise(std::uint32_t cookie) {
    return m_sinks.erase(cookie) ? S_Ok : static_cast<HResult>(0x80040200);
}

void ConnectionPoint::fire(DispId id, std::span<Variant> args) {
    // A sink may unadvise while handling; keep the list steady meanwhile.
    const auto sinks = m_sinks;
    for (const auto& [cookie, sink] : sinks) {
        Variant ignored;
        sink->Invoke(id, InvokeKind::Method, args, &ignored, nullptr);
    }
}

} // namespace component

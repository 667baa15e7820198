#pragma once

#include "Guid.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace component {

using HResult = std::int32_t;

inline constexpr HResult S_Ok = 0;
inline constexpr HResult S_False = 1;
inline constexpr HResult E_NotImpl = static_cast<HResult>(0x80004001);
inline constexpr HResult E_NoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult E_Pointer = static_cast<HResult>(0x80004003);
inline constexpr HResult E_Fail = static_cast<HResult>(0x80004005);
inline constexpr HResult E_Unexpected = static_cast<HResult>(0x8000FFFF);
inline constexpr HResult E_InvalidArg = static_cast<HResult>(0x80070057);
inline constexpr HResult E_OutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult Class_E_ClassNotAvailable = static_cast<HResult>(0x80040111);
inline constexpr HResult Class_E_NoAggregation = static_cast<HResult>(0x80040110);
inline constexpr HResult RegDb_E_ClassNotReg = static_cast<HResult>(0x80040154);
inline constexpr HResult Co_E_ClassString = static_cast<HResult>(0x800401F3);
inline constexpr HResult Co_E_DllNotFound = static_cast<HResult>(0x800401F8);
inline constexpr HResult Co_E_ErrorInDll = static_cast<HResult>(0x800401F9);
inline constexpr HResult Disp_E_UnknownInterface = static_cast<HResult>(0x80020001);
inline constexpr HResult Disp_E_MemberNotFound = static_cast<HResult>(0x80020003);
inline constexpr HResult Disp_E_ParamNotFound = static_cast<HResult>(0x80020004);
inline constexpr HResult Disp_E_TypeMismatch = static_cast<HResult>(0x80020005);
inline constexpr HResult Disp_E_UnknownName = static_cast<HResult>(0x80020006);
inline constexpr HResult Disp_E_Exception = static_cast<HResult>(0x80020009);
inline constexpr HResult Disp_E_BadParamCount = static_cast<HResult>(0x8002000E);
inline constexpr HResult Disp_E_ParamNotOptional = static_cast<HResult>(0x8002000F);
inline constexpr HResult Ctl_E_InvalidPropertyValue = static_cast<HResult>(0x800A017C);
inline constexpr HResult Ctl_E_SetNotSupported = static_cast<HResult>(0x800A017E);

inline bool succeeded(HResult hr) {
    return hr >= 0;
}
inline bool failed(HResult hr) {
    return hr < 0;
}

// Identifier of the root interface.
inline const Guid IID_IUnknown = Guid::fromString("{00000000-0000-0000-C000-000000000046}");

// The root of every object: reference counting and interface query.
class IUnknown {
public:
    virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Owning smart pointer over an interface pointer: AddRef on copy, Release on drop.
template <class T> class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T* p, bool addRef = true) : m_p(p) {
        if (m_p && addRef) m_p->AddRef();
    }
    Ref(const Ref& o) : m_p(o.m_p) {
        if (m_p) m_p->AddRef();
    }
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U> Ref(const Ref<U>& o) : m_p(o.get()) {
        if (m_p) m_p->AddRef();
    }
    ~Ref() { reset(); }
    Ref& operator=(Ref o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }

    void reset() {
        if (auto* p = std::exchange(m_p, nullptr)) p->Release();
    }
    // Adopts a pointer whose reference the caller already owns.
    static Ref adopt(T* p) { return Ref(p, false); }
    T* detach() { return std::exchange(m_p, nullptr); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const Ref& o) const { return m_p == o.m_p; }

private:
    T* m_p = nullptr;
};

// Asks any interface for another one; returns an empty Ref when it is not there.
template <class T, class U> Ref<T> queryInterface(U* from, const Guid& iid) {
    if (!from) return {};
    void* out = nullptr;
    if (failed(from->QueryInterface(iid, &out)) || !out) return {};
    return Ref<T>::adopt(static_cast<T*>(out));
}

// Counts live objects of the library, for the unload check.
class ObjectCounter {
public:
    static void increment();
    static void decrement();
    static long count();
    static void lock(bool locked);
    static long locks();
};

// Reference-count implementation for a class that implements one or more
// interfaces; the class answers queryInterfaceImpl() for its own identifiers.
template <class Base> class RefCounted : public Base {
public:
    template <class... A> explicit RefCounted(A&&... a) : Base(std::forward<A>(a)...) {
        ObjectCounter::increment();
    }
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    std::uint32_t AddRef() override { return ++m_refs; }
    std::uint32_t Release() override {
        const auto n = --m_refs;
        if (n == 0) delete this;
        return n;
    }

protected:
    virtual ~RefCounted() { ObjectCounter::decrement(); }

private:
    std::atomic<std::uint32_t> m_refs{0};
};

} // namespace component

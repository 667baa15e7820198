// The four entry points of libknoplux.so and the class factory of CButton.

#include "CButton.h"
#include "Registration.h"

#include "component/Registry.h"

#include <dlfcn.h>

using namespace component;

namespace knoplux {

namespace {

class CButtonFactory : public RefCounted<IClassFactory> {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (!out) return E_Pointer;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_Ok;
        }
        *out = nullptr;
        return E_NoInterface;
    }
    HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
        if (!out) return E_Pointer;
        *out = nullptr;
        if (outer) return Class_E_NoAggregation;
        try {
            Ref<CButton> button = CButton::create();
            return button->QueryInterface(iid, out);
        } catch (const std::bad_alloc&) {
            return E_OutOfMemory;
        }
    }
    HResult LockServer(bool lock) override {
        ObjectCounter::lock(lock);
        return S_Ok;
    }
};

} // namespace

QString libraryPath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&libraryPath), &info) || !info.dli_fname) return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

} // namespace knoplux

#define KNOPLUX_EXPORT extern "C" __attribute__((visibility("default")))

// S_Ok when no object of the library lives and no factory is locked.
KNOPLUX_EXPORT HResult DllCanUnloadNow() {
    return ObjectCounter::count() == 0 && ObjectCounter::locks() == 0 ? S_Ok : S_False;
}

KNOPLUX_EXPORT HResult DllGetClassObject(const Guid* clsid, const Guid* iid, void** out) {
    if (!clsid || !iid || !out) return E_Pointer;
    *out = nullptr;
    if (*clsid != knoplux::CLSID_CButton) return Class_E_ClassNotAvailable;
    Ref<knoplux::CButtonFactory> factory(new knoplux::CButtonFactory);
    return factory->QueryInterface(*iid, out);
}

KNOPLUX_EXPORT HResult DllRegisterServer() {
    return knoplux::registerServer(knoplux::libraryPath());
}

KNOPLUX_EXPORT HResult DllUnregisterServer() {
    return knoplux::unregisterServer();
}

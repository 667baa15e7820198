#include "Registration.h"

#include "ICButton.h"

#include "component/Registry.h"

namespace knoplux {

using namespace component;

namespace {

const QString Dispatch_ProxyStub = QStringLiteral("{00020424-0000-0000-C000-000000000046}");

QString clsidKey() {
    return QLatin1String("CLSID\\") + CLSID_CButton.toString();
}
QString typeLibKey() {
    return QLatin1String("TypeLib\\") + LIBID_Knoplux.toString();
}
QString interfaceKey(const Guid& g) {
    return QLatin1String("Interface\\") + g.toString();
}

} // namespace

HResult registerServer(const QString& path) {
    if (path.isEmpty()) return E_Unexpected;
    RegistrationStore store;
    const QString progId = QString::fromLatin1(ProgId_CButton);
    const QString clsid = CLSID_CButton.toString();
    const QString libid = LIBID_Knoplux.toString();

    store.setValue(progId, {}, progId);
    store.setValue(progId + QLatin1String("\\CLSID"), {}, clsid);

    const QString c = clsidKey();
    store.setValue(c, {}, progId);
    store.setValue(c + QLatin1String("\\InprocServer32"), {}, path);
    store.setValue(c + QLatin1String("\\InprocServer32"), QStringLiteral("ThreadingModel"),
                   QStringLiteral("Apartment"));
    store.setValue(c + QLatin1String("\\ProgID"), {}, progId);
    store.setValue(c + QLatin1String("\\VERSION"), {}, QStringLiteral("8.0"));
    store.setValue(c + QLatin1String("\\TypeLib"), {}, libid);
    store.createKey(c + QLatin1String("\\Control"));
    store.setValue(c + QLatin1String("\\MiscStatus"), {}, QStringLiteral("0"));
    store.setValue(c + QLatin1String("\\MiscStatus\\1"), {}, QString::number(MiscStatusCButton));
    store.setValue(c + QLatin1String("\\ToolboxBitmap32"), {},
                   path + QLatin1String(", ") + QString::number(ToolboxBitmapId));
    store.setValue(
        c + QLatin1String("\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"), {},
        {});

    const QString t = typeLibKey() + QLatin1String("\\8.0");
    store.setValue(t, {}, QStringLiteral("Knoplux"));
    store.setValue(t + QLatin1String("\\0\\win32"), {}, path);
    store.setValue(t + QLatin1String("\\FLAGS"), {}, QStringLiteral("0"));

    const std::pair<Guid, const char*> interfaces[] = {{IID__CButton, "_CButton"},
                                                       {DIID___CButton, "__CButton"}};
    for (const auto& [iid, name] : interfaces) {
        const QString k = interfaceKey(iid);
        store.setValue(k, {}, QString::fromLatin1(name));
        store.setValue(k + QLatin1String("\\ProxyStubClsid32"), {}, Dispatch_ProxyStub);
        store.setValue(k + QLatin1String("\\TypeLib"), {}, libid);
        store.setValue(k + QLatin1String("\\TypeLib"), QStringLiteral("Version"),
                       QStringLiteral("8.0"));
    }
    return store.save() ? S_Ok : static_cast<HResult>(0x80040201); // SELFREG_E_CLASS
}

HResult unregisterServer() {
    RegistrationStore store;
    store.removeTree(QString::fromLatin1(ProgId_CButton));
    store.removeTree(clsidKey());
    store.removeTree(typeLibKey() + QLatin1String("\\8.0"));
    // The library's key goes too once no other version is left in it.
    if (store.subKeys(typeLibKey()).isEmpty()) store.removeTree(typeLibKey());
    store.removeTree(interfaceKey(IID__CButton));
    store.removeTree(interfaceKey(DIID___CButton));
    return store.save() ? S_Ok : static_cast<HResult>(0x80040201);
}

} // namespace knoplux

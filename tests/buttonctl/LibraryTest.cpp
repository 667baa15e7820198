// libknoplux.so as a container meets it: registered into a store of its own,
// created by programmatic id and class id through the store, and read from
// its file for the type library, the resources and the version block.

#include "TestSupport.h"

#include "buttonctl/CButton.h"
#include "buttonctl/ICButton.h"

#include "component/Registry.h"
#include "component/Resources.h"
#include "component/TypeLib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>

#include <dlfcn.h>

#include <gtest/gtest.h>

using namespace component;
using namespace testsupport;

namespace {

const QString LibraryFile = QStringLiteral(KNOPLUX_LIBRARY_FILE);

// What a registration tool does: load the library by its path and call one
// of its self-registration entry points.
HResult runSelfRegistration(const char* entry) {
    void* h = dlopen(KNOPLUX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    if (!h) return Co_E_DllNotFound;
    auto fn = reinterpret_cast<HResult (*)()>(dlsym(h, entry));
    const HResult hr = fn ? fn() : Co_E_ErrorInDll;
    dlclose(h);
    return hr;
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KNOPLUX_REGISTRY",
                QFile::encodeName(dir.filePath(QStringLiteral("registry.txt"))));
    }
    void TearDown() override { qunsetenv("KNOPLUX_REGISTRY"); }
    QTemporaryDir dir;
};

TEST_F(LibraryTest, RegisterCreateAndUnregister) {
    Guid clsid;
    EXPECT_EQ(CLSIDFromProgID(QStringLiteral("Knoplux.CButton"), clsid), Co_E_ClassString);
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(knoplux::CLSID_CButton, knoplux::IID__CButton, &out),
              RegDb_E_ClassNotReg);

    ASSERT_EQ(runSelfRegistration("DllRegisterServer"), S_Ok);
    {
        const RegistrationStore store;
        const QString c = QStringLiteral("CLSID\\") + knoplux::CLSID_CButton.toString();
        EXPECT_EQ(store.value(c + QStringLiteral("\\InprocServer32")),
                  QFileInfo(LibraryFile).absoluteFilePath());
        EXPECT_EQ(
            store.value(c + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel")),
            QStringLiteral("Apartment"));
        EXPECT_EQ(store.value(c + QStringLiteral("\\ProgID")), QStringLiteral("Knoplux.CButton"));
        EXPECT_EQ(store.value(c + QStringLiteral("\\TypeLib")), knoplux::LIBID_Knoplux.toString());
        EXPECT_EQ(store.value(c + QStringLiteral("\\MiscStatus\\1")), QString::number(0x20191));
        EXPECT_TRUE(store.value(c + QStringLiteral("\\ToolboxBitmap32"))
                        ->endsWith(QStringLiteral(", 30000")));
        EXPECT_TRUE(store.hasKey(c + QStringLiteral("\\Control")));
        EXPECT_EQ(store.value(QStringLiteral("Interface\\") + knoplux::IID__CButton.toString()),
                  QStringLiteral("_CButton"));
        EXPECT_EQ(store.value(QStringLiteral("Interface\\") + knoplux::DIID___CButton.toString()),
                  QStringLiteral("__CButton"));
        EXPECT_EQ(store.value(QStringLiteral("TypeLib\\") + knoplux::LIBID_Knoplux.toString() +
                              QStringLiteral("\\8.0\\0\\win32")),
                  QFileInfo(LibraryFile).absoluteFilePath());
    }

    ASSERT_EQ(CLSIDFromProgID(QStringLiteral("Knoplux.CButton"), clsid), S_Ok);
    EXPECT_EQ(clsid, knoplux::CLSID_CButton);

    {
        void* p = nullptr;
        ASSERT_EQ(CoCreateInstance(clsid, knoplux::IID__CButton, &p), S_Ok);
        auto byProgId = Ref<knoplux::_CButton>::adopt(static_cast<knoplux::_CButton*>(p));
        p = nullptr;
        ASSERT_EQ(CoCreateInstance(knoplux::CLSID_CButton, IID_IDispatch, &p), S_Ok);
        auto byClsid = Ref<IDispatch>::adopt(static_cast<IDispatch*>(p));
        EXPECT_NE(static_cast<void*>(byProgId.get()), static_cast<void*>(byClsid.get()));

        // Early-bound through the interface, and late-bound by name.
        Ref<TestSite> site(new TestSite);
        byProgId->SetClientSite(site.get());
        byProgId->setDrawWidth(2);
        EXPECT_EQ(byProgId->DrawWidth(), 2);
        EXPECT_EQ(site->changed, QStringList{QStringLiteral("DrawWidth")});
        EXPECT_EQ(invokeByName(byProgId.get(), QStringLiteral("drawwidth"), InvokeKind::PropertyGet)
                      .toInteger(),
                  2);
        EXPECT_EQ(invokeByName(byClsid.get(), QStringLiteral("Caption"), InvokeKind::PropertyGet)
                      .toString(),
                  QStringLiteral("Knoplux"));

        // Events arrive through the connection point.
        void* cpc = nullptr;
        ASSERT_EQ(byProgId->QueryInterface(IID_IConnectionPointContainer, &cpc), S_Ok);
        auto container =
            Ref<IConnectionPointContainer>::adopt(static_cast<IConnectionPointContainer*>(cpc));
        IConnectionPoint* cp = nullptr;
        ASSERT_EQ(container->FindConnectionPoint(knoplux::DIID___CButton, &cp), S_Ok);
        auto point = Ref<IConnectionPoint>::adopt(cp);
        Ref<TestSink> sink(new TestSink);
        std::uint32_t cookie = 0;
        ASSERT_EQ(point->Advise(sink.get(), cookie), S_Ok);
        byProgId->setCaption(QStringLiteral("新"));
        EXPECT_EQ(sink->count(knoplux::EventChange), 2);
        point->Unadvise(cookie);

        EXPECT_EQ(CoCanUnloadServer(knoplux::CLSID_CButton), S_False);
        byProgId->SetClientSite(nullptr);
    }
    EXPECT_EQ(CoCanUnloadServer(knoplux::CLSID_CButton), S_Ok);

    // A locked factory keeps the library in use, even without objects.
    {
        void* f = nullptr;
        ASSERT_EQ(CoGetClassObject(knoplux::CLSID_CButton, IID_IClassFactory, &f), S_Ok);
        auto factory = Ref<IClassFactory>::adopt(static_cast<IClassFactory*>(f));
        factory->LockServer(true);
        factory.reset();
        EXPECT_EQ(CoCanUnloadServer(knoplux::CLSID_CButton), S_False);
        ASSERT_EQ(CoGetClassObject(knoplux::CLSID_CButton, IID_IClassFactory, &f), S_Ok);
        factory = Ref<IClassFactory>::adopt(static_cast<IClassFactory*>(f));
        factory->LockServer(false);
        void* unused = nullptr;
        EXPECT_EQ(factory->CreateInstance(factory.get(), knoplux::IID__CButton, &unused),
                  Class_E_NoAggregation);
    }
    EXPECT_EQ(CoCanUnloadServer(knoplux::CLSID_CButton), S_Ok);

    ASSERT_EQ(runSelfRegistration("DllUnregisterServer"), S_Ok);
    const RegistrationStore after;
    EXPECT_FALSE(after.hasKey(QStringLiteral("Knoplux.CButton")));
    EXPECT_FALSE(after.hasKey(QStringLiteral("CLSID\\") + knoplux::CLSID_CButton.toString()));
    EXPECT_FALSE(after.hasKey(QStringLiteral("TypeLib\\") + knoplux::LIBID_Knoplux.toString()));
    EXPECT_FALSE(after.hasKey(QStringLiteral("Interface\\") + knoplux::IID__CButton.toString()));
    EXPECT_EQ(CLSIDFromProgID(QStringLiteral("Knoplux.CButton"), clsid), Co_E_ClassString);
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(knoplux::CLSID_CButton, knoplux::IID__CButton, &p),
              RegDb_E_ClassNotReg);
}

TEST_F(LibraryTest, UnregisterLeavesOtherRecordsAlone) {
    {
        RegistrationStore store;
        store.setValue(QStringLiteral("CLSID\\{00000000-1111-2222-3333-444444444444}"), {},
                       QStringLiteral("其他"));
        store.setValue(QStringLiteral("TypeLib\\") + knoplux::LIBID_Knoplux.toString() +
                           QStringLiteral("\\7.0"),
                       {}, QStringLiteral("old"));
        ASSERT_TRUE(store.save());
    }
    ASSERT_EQ(runSelfRegistration("DllRegisterServer"), S_Ok);
    ASSERT_EQ(runSelfRegistration("DllUnregisterServer"), S_Ok);
    const RegistrationStore store;
    EXPECT_EQ(store.value(QStringLiteral("CLSID\\{00000000-1111-2222-3333-444444444444}")),
              QStringLiteral("其他"));
    EXPECT_TRUE(store.hasKey(QStringLiteral("TypeLib\\") + knoplux::LIBID_Knoplux.toString() +
                             QStringLiteral("\\7.0")));
    EXPECT_FALSE(store.hasKey(QStringLiteral("TypeLib\\") + knoplux::LIBID_Knoplux.toString() +
                              QStringLiteral("\\8.0")));
}

TEST(LibraryFile, ExportsExactlyTheFourEntryPoints) {
    void* h = dlopen(KNOPLUX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    for (const char* name :
         {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(dlsym(h, name), nullptr) << name;
    // The runtime inside stays private.
    EXPECT_EQ(dlsym(h, "_ZN9component7Variant6stringE7QString"), nullptr);
    auto getClass = reinterpret_cast<HResult (*)(const Guid*, const Guid*, void**)>(
        dlsym(h, "DllGetClassObject"));
    void* f = nullptr;
    const Guid other = Guid::fromString("{00000000-1111-2222-3333-444444444444}");
    EXPECT_EQ(getClass(&other, &IID_IClassFactory, &f), Class_E_ClassNotAvailable);
    dlclose(h);
}

void expectSameMembers(const std::vector<MemberInfo>& read, const std::vector<MemberInfo>& own) {
    ASSERT_EQ(read.size(), own.size());
    for (size_t i = 0; i < own.size(); ++i) {
        const std::string what = own[i].name.toStdString();
        EXPECT_EQ(read[i].name, own[i].name) << what;
        EXPECT_EQ(read[i].id, own[i].id) << what;
        EXPECT_EQ(read[i].kind, own[i].kind) << what;
        EXPECT_EQ(read[i].result, own[i].result) << what;
        EXPECT_EQ(read[i].params, own[i].params) << what;
        EXPECT_EQ(read[i].help, own[i].help) << what;
    }
}

TEST(LibraryFile, EmbeddedTypeLibraryMatchesTheDispatchTables) {
    const auto resources = ModuleResources::load(LibraryFile);
    ASSERT_TRUE(resources);
    const Resource* tlb = resources->find(QStringLiteral("TYPELIB"), QStringLiteral("#1"));
    ASSERT_NE(tlb, nullptr);
    EXPECT_EQ(qFromLittleEndian<std::uint32_t>(tlb->data.constData()), 0x5446534Du); // "MSFT"
    const auto lib = readTypeLib(tlb->data);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->name, QStringLiteral("Knoplux"));
    EXPECT_EQ(lib->help, QStringLiteral("Knoplux"));
    EXPECT_EQ(lib->guid, knoplux::LIBID_Knoplux);
    EXPECT_EQ(lib->major, 8);
    EXPECT_EQ(lib->minor, 0);
    EXPECT_EQ(lib->lcid, 0x0409u);
    ASSERT_EQ(lib->imports.size(), 1u);
    EXPECT_EQ(lib->imports[0].guid, Guid::fromString("{00020430-0000-0000-C000-000000000046}"));
    EXPECT_EQ(lib->imports[0].major, 2);
    EXPECT_EQ(lib->imports[0].file, QStringLiteral("stdole2.tlb"));

    const TypeInfoDesc* coclass = lib->find(QStringLiteral("CButton"));
    ASSERT_NE(coclass, nullptr);
    EXPECT_EQ(coclass->kind, TypeKind::CoClass);
    EXPECT_EQ(coclass->guid, knoplux::CLSID_CButton);
    EXPECT_EQ(coclass->flags, 0x20u);
    ASSERT_EQ(coclass->implTypes.size(), 2u);
    EXPECT_EQ(coclass->implTypes[0], (ImplTypeDesc{QStringLiteral("_CButton"), 1}));
    EXPECT_EQ(coclass->implTypes[1], (ImplTypeDesc{QStringLiteral("__CButton"), 3}));

    const TypeInfoDesc* iface = lib->find(QStringLiteral("_CButton"));
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->guid, knoplux::IID__CButton);
    EXPECT_EQ(iface->flags, 0x11D0u);
    EXPECT_EQ(iface->base, QStringLiteral("IDispatch"));
    expectSameMembers(iface->functions, knoplux::CButton::members());

    const TypeInfoDesc* events = lib->find(QStringLiteral("__CButton"));
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->guid, knoplux::DIID___CButton);
    EXPECT_EQ(events->flags, 0x1090u);
    expectSameMembers(events->functions, knoplux::CButton::events());
    ASSERT_EQ(events->functions.size(), 13u);
    EXPECT_TRUE(events->functions[8].params[3].byRef);

    const TypeInfoDesc* border = lib->find(QStringLiteral("BorderConstants"));
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->guid, knoplux::GUID_BorderConstants);
    EXPECT_EQ(border->constants,
              (std::vector<ConstantDesc>{{QStringLiteral("BorderLineCanHide"), 0},
                                         {QStringLiteral("BorderLineCantHide"), 1}}));
    const TypeInfoDesc* back = lib->find(QStringLiteral("BackConstants"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->constants, (std::vector<ConstantDesc>{{QStringLiteral("BackTransparent"), 0},
                                                          {QStringLiteral("BackOpaque"), 1}}));

    // Damaged bytes are refused, not misread.
    QByteArray broken = tlb->data;
    broken.truncate(broken.size() / 3);
    EXPECT_FALSE(readTypeLib(broken));
    EXPECT_FALSE(readTypeLib(QByteArray("MSFT")));
}

TEST(LibraryFile, ResourcesAndVersionBlock) {
    const auto resources = ModuleResources::load(LibraryFile);
    ASSERT_TRUE(resources);
    const std::pair<const char*, Guid> ids[] = {{"_IID_CBUTTON", knoplux::IID__CButton},
                                                {"_SRCIID_CBUTTON", knoplux::DIID___CButton}};
    for (const auto& [name, guid] : ids) {
        const Resource* r = resources->find(ResourceTypeData, QString::fromLatin1(name));
        ASSERT_NE(r, nullptr) << name;
        ASSERT_EQ(r->data.size(), 20);
        EXPECT_EQ(qFromLittleEndian<std::uint32_t>(r->data.constData()), 16u);
        EXPECT_EQ(Guid::fromBytes(reinterpret_cast<const std::uint8_t*>(r->data.constData() + 4)),
                  guid);
    }

    const Resource* bmp = resources->find(ResourceTypeBitmap, QStringLiteral("#30000"));
    ASSERT_NE(bmp, nullptr);
    const auto header = parseBitmapHeader(bmp->data);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->width, 16);
    EXPECT_EQ(header->height, 15);
    EXPECT_EQ(header->bitCount, 4);
    const QImage picture = decodeBitmap4(bmp->data);
    ASSERT_EQ(picture.size(), QSize(16, 15));
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(15, 14), qRgb(0, 0, 0));

    const Resource* ver = resources->find(ResourceTypeVersion, QStringLiteral("#1"));
    ASSERT_NE(ver, nullptr);
    EXPECT_EQ(ver->language, 0x0804);
    const auto info = parseVersionInfo(ver->data);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->fileVersion, (std::array<std::uint16_t, 4>{1, 0, 0, 2}));
    EXPECT_EQ(info->productVersion, (std::array<std::uint16_t, 4>{1, 0, 0, 2}));
    EXPECT_EQ(info->language, 0x0804);
    EXPECT_EQ(info->codePage, 1200);
    EXPECT_EQ(info->string(QStringLiteral("FileVersion")), QStringLiteral("1.00.0002"));
    EXPECT_EQ(info->string(QStringLiteral("ProductVersion")), QStringLiteral("1.00.0002"));
    EXPECT_EQ(info->string(QStringLiteral("ProductName")), QStringLiteral("Knoplux"));
    EXPECT_EQ(info->string(QStringLiteral("InternalName")), QStringLiteral("Knoplux"));
    EXPECT_EQ(info->string(QStringLiteral("OriginalFilename")), QStringLiteral("Knoplux.ocx"));
    EXPECT_TRUE(info->hasString(QStringLiteral("OLESelfRegister")));

    EXPECT_FALSE(unpackResources(QByteArray("KRSC\xff\xff\xff\x0f", 8)));
    EXPECT_FALSE(ModuleResources::load(QStringLiteral("/nonexistent/libknoplux.so")));
}

} // namespace

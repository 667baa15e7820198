// Registration store, resource packing, type library round trips and the
// dispatch table's argument handling.

#include "component/Dispatch.h"
#include "component/Registry.h"
#include "component/Resources.h"
#include "component/TypeLib.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace component;

TEST(RegistrationStore, KeysIgnoreCaseSurviveReloadAndRemoveOnlyTheirTree) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/registry.txt"));
    {
        RegistrationStore s(path);
        s.setValue(QStringLiteral("CLSID\\{AB}\\InprocServer32"), {},
                   QStringLiteral("/a=b/c]d\\e"));
        s.setValue(QStringLiteral("CLSID\\{AB}\\InprocServer32"), QStringLiteral("ThreadingModel"),
                   QStringLiteral("Apartment"));
        s.setValue(QStringLiteral("CLSID\\{AB}x"), {}, QStringLiteral("neighbour"));
        s.setValue(QStringLiteral("中文\\键"), QStringLiteral("名=称"),
                   QStringLiteral("第一行\n第二行"));
        ASSERT_TRUE(s.save());
    }
    RegistrationStore s(path);
    EXPECT_EQ(s.value(QStringLiteral("clsid\\{ab}\\inprocserver32")),
              QStringLiteral("/a=b/c]d\\e"));
    EXPECT_EQ(
        s.value(QStringLiteral("CLSID/{AB}/InprocServer32"), QStringLiteral("ThreadingModel")),
        QStringLiteral("Apartment"));
    EXPECT_EQ(s.value(QStringLiteral("中文\\键"), QStringLiteral("名=称")),
              QStringLiteral("第一行\n第二行"));
    EXPECT_FALSE(s.value(QStringLiteral("CLSID\\{AB}\\InprocServer32"), QStringLiteral("Missing")));
    EXPECT_EQ(s.subKeys(QStringLiteral("CLSID")),
              (QStringList{QStringLiteral("{ab}"), QStringLiteral("{ab}x")}));
    EXPECT_TRUE(s.hasKey(QStringLiteral("CLSID\\{AB}")));

    s.removeTree(QStringLiteral("CLSID\\{AB}"));
    EXPECT_FALSE(s.hasKey(QStringLiteral("CLSID\\{AB}\\InprocServer32")));
    EXPECT_TRUE(s.hasKey(QStringLiteral("CLSID\\{AB}x")));

    RegistrationStore missing(dir.filePath(QStringLiteral("none.txt")));
    EXPECT_FALSE(missing.hasKey(QStringLiteral("CLSID")));
}

TEST(Resources, PackUnpackAndRejectDamage) {
    const std::vector<Resource> in = {
        {QStringLiteral("TYPELIB"), QStringLiteral("#1"), 0, QByteArray("abc")},
        {QStringLiteral("#10"), QStringLiteral("名字"), 0x0804, QByteArray(7, 'x')},
        {QStringLiteral("#2"), QStringLiteral("#30000"), 0, QByteArray()},
    };
    const QByteArray packed = packResources(in);
    const auto out = unpackResources(packed);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), 3u);
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ((*out)[i].type, in[i].type);
        EXPECT_EQ((*out)[i].name, in[i].name);
        EXPECT_EQ((*out)[i].language, in[i].language);
        EXPECT_EQ((*out)[i].data, in[i].data);
    }
    for (qsizetype cut : {qsizetype(3), qsizetype(9), packed.size() - 3})
        EXPECT_FALSE(unpackResources(packed.left(cut))) << cut;
    QByteArray wrong = packed;
    wrong[0] = 'X';
    EXPECT_FALSE(unpackResources(wrong));

    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("not-elf")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(200, '\x7f'));
    f.close();
    EXPECT_FALSE(readElfSection(f.fileName(), ResourceSectionName));
}

TEST(Resources, VersionBlockRoundTrip) {
    VersionInfo v;
    v.fileVersion = {1, 2, 3, 4};
    v.productVersion = {5, 6, 7, 8};
    v.language = 0x0804;
    v.codePage = 1200;
    v.strings = {{QStringLiteral("ProductName"), QStringLiteral("按钮")},
                 {QStringLiteral("Empty"), QString()},
                 {QStringLiteral("Odd"), QStringLiteral("abc")}};
    const QByteArray block = buildVersionInfo(v);
    EXPECT_EQ(block.size() % 4, 0);
    const auto back = parseVersionInfo(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fileVersion, v.fileVersion);
    EXPECT_EQ(back->productVersion, v.productVersion);
    EXPECT_EQ(back->language, 0x0804);
    EXPECT_EQ(back->codePage, 1200);
    EXPECT_EQ(back->strings, v.strings);
    EXPECT_FALSE(parseVersionInfo(block.left(40)));
}

TEST(TypeLib, RoundTripKeepsTypesFlagsAndParameters) {
    TypeLibDesc lib;
    lib.name = QStringLiteral("Probe");
    lib.help = QStringLiteral("探针库");
    lib.guid = Guid::fromString("{11111111-2222-3333-4444-555555555555}");
    lib.major = 3;
    lib.minor = 7;
    lib.lcid = 0x0804;
    lib.imports.push_back(standardOleImport());

    TypeInfoDesc e;
    e.kind = TypeKind::Enum;
    e.name = QStringLiteral("Modes");
    e.guid = Guid::fromString("{11111111-2222-3333-4444-555555555556}");
    e.constants = {{QStringLiteral("Low"), -5}, {QStringLiteral("High"), 0x7FFFFFFF}};

    TypeInfoDesc d;
    d.kind = TypeKind::Dispatch;
    d.name = QStringLiteral("_Probe");
    d.guid = Guid::fromString("{11111111-2222-3333-4444-555555555557}");
    d.flags = 0x11D0;
    d.base = QStringLiteral("IDispatch");
    d.help = QStringLiteral("接口");
    MemberInfo m;
    m.name = QStringLiteral("Mix");
    m.id = 0x60030000;
    m.kind = InvokeKind::Method;
    m.result = TypeRef{VarType::Dispatch, QStringLiteral("Picture")};
    m.help = QStringLiteral("混合参数");
    m.params = {
        {QStringLiteral("a"), TypeRef{VarType::Single, {}}, true, false},
        {QStringLiteral("b"), TypeRef{VarType::Dispatch, QStringLiteral("Font")}, true, false},
        {QStringLiteral("c"), TypeRef{VarType::UserDefined, QStringLiteral("Modes")}, false, false},
        {QStringLiteral("d"), TypeRef{VarType::UserDefined, QStringLiteral("OLE_COLOR")}, false,
         false},
        {QStringLiteral("e"), TypeRef{VarType::Variant, {}}, false, true}};
    d.functions = {m};

    TypeInfoDesc c;
    c.kind = TypeKind::CoClass;
    c.name = QStringLiteral("Probe");
    c.guid = Guid::fromString("{11111111-2222-3333-4444-555555555558}");
    c.flags = TypeFlagControl;
    c.implTypes = {{QStringLiteral("_Probe"), ImplTypeFlagDefault}};
    lib.types = {e, d, c};

    const auto back = readTypeLib(writeTypeLib(lib));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, lib.name);
    EXPECT_EQ(back->help, lib.help);
    EXPECT_EQ(back->major, 3);
    EXPECT_EQ(back->minor, 7);
    EXPECT_EQ(back->lcid, 0x0804u);
    ASSERT_EQ(back->types.size(), 3u);
    EXPECT_EQ(back->types[0].constants, e.constants);
    const TypeInfoDesc& rd = back->types[1];
    EXPECT_EQ(rd.help, d.help);
    EXPECT_EQ(rd.base, QStringLiteral("IDispatch"));
    ASSERT_EQ(rd.functions.size(), 1u);
    EXPECT_EQ(rd.functions[0].result, m.result);
    EXPECT_EQ(rd.functions[0].params, m.params);
    EXPECT_EQ(rd.functions[0].help, m.help);
    EXPECT_EQ(back->types[2].implTypes, c.implTypes);
    EXPECT_EQ(back->types[2].flags, TypeFlagControl);
}

namespace {
struct Target {
    int calls = 0;
    double last = 0;
};
} // namespace

TEST(DispatchTable, CoercesArgumentsAndChecksTheirCount) {
    DispatchTable<Target> t;
    t.add({QStringLiteral("Width"),
           5,
           InvokeKind::PropertyPut,
           {{QStringLiteral("v"), TypeRef{VarType::Integer, {}}, false, false}},
           {},
           {}},
          [](Target& o, std::span<Variant> a) {
              ++o.calls;
              o.last = a[0].toDouble();
              EXPECT_EQ(a[0].type(), VarType::Integer);
              return Variant();
          });
    t.add({QStringLiteral("Twice"),
           6,
           InvokeKind::Method,
           {{QStringLiteral("x"), TypeRef{VarType::Long, {}}, true, false},
            {QStringLiteral("y"), TypeRef{VarType::Variant, {}}, false, true}},
           {},
           {}},
          [](Target&, std::span<Variant> a) {
              a[0] = Variant::longValue(a[0].toLong() * 2);
              return Variant::boolean(a[1].isMissing());
          });
    Target o;
    Variant s[] = {Variant::string(QStringLiteral("12.5"))};
    EXPECT_EQ(t.invoke(o, 5, InvokeKind::PropertyPut, s, nullptr, nullptr), S_Ok);
    EXPECT_EQ(o.last, 12); // rounded to even on the way in
    Variant big[] = {Variant::longValue(70000)};
    ExcepInfo info;
    EXPECT_EQ(t.invoke(o, 5, InvokeKind::PropertyPut, big, nullptr, &info),
              static_cast<HResult>(0x800A0006));
    EXPECT_EQ(info.description, QStringLiteral("溢出"));
    // A put by reference falls back to the plain put.
    EXPECT_EQ(t.invoke(o, 5, InvokeKind::PropertyPutRef, s, nullptr, nullptr), S_Ok);
    EXPECT_EQ(o.calls, 2);
    EXPECT_EQ(t.invoke(o, 5, InvokeKind::PropertyGet, {}, nullptr, nullptr), Disp_E_MemberNotFound);

    Variant args[] = {Variant::integer(21)};
    Variant r;
    EXPECT_EQ(t.invoke(o, 6, InvokeKind::Method, args, &r, nullptr), S_Ok);
    EXPECT_EQ(args[0].toLong(), 42);
    EXPECT_TRUE(r.toBool());
    Variant three[] = {Variant::integer(1), Variant::integer(2), Variant::integer(3)};
    EXPECT_EQ(t.invoke(o, 6, InvokeKind::Method, three, nullptr, nullptr), Disp_E_BadParamCount);
    EXPECT_EQ(t.invoke(o, 6, InvokeKind::Method, {}, nullptr, nullptr), Disp_E_ParamNotOptional);
}

// A library that the widl compiler (mingw-w64-tools) writes for an
// equivalent description must read back the same, and share our layout of
// header and segment directory. The set-up script installs widl; without it
// the check is skipped on a developer's machine and fails under CI.
TEST(TypeLib, ReadsWhatWidlWritesForAnEquivalentLibrary) {
    const QString widl = QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-widl"));
    if (widl.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI")) FAIL() << "widl not installed (mingw-w64-tools)";
        GTEST_SKIP() << "widl not installed (mingw-w64-tools)";
    }
    QTemporaryDir dir;
    QFile idl(dir.filePath(QStringLiteral("probe.idl")));
    ASSERT_TRUE(idl.open(QIODevice::WriteOnly));
    idl.write(R"(typedef long HRESULT;
[object, uuid(00000000-0000-0000-C000-000000000046)] interface IUnknown { HRESULT Dummy0(); };
[object, uuid(00020400-0000-0000-C000-000000000046)] interface IDispatch : IUnknown { HRESULT Dummy1(); };
[uuid(94811AED-7AD8-11D4-9484-F4D213BEC921), version(8.0), helpstring("Knoplux")]
library Knoplux {
    typedef [uuid(B77681E1-7F8D-11D4-9484-86C8B3646220)] enum BorderConstants
        { BorderLineCanHide = 0, BorderLineCantHide = 1 } BorderConstants;
    [uuid(B77681E3-7F8D-11D4-9484-86C8B3646220), hidden]
    dispinterface __CButton { properties: methods:
        [id(1)] void Change();
        [id(9)] void MouseDown([in,out] short* Button, [in,out] short* Shift, [in,out] float* X, [in,out] float* Y);
    };
    [uuid(94811AEF-7AD8-11D4-9484-F4D213BEC921), control]
    coclass CButton { [default, source] dispinterface __CButton; };
};
)");
    idl.close();
    const QString out = dir.filePath(QStringLiteral("probe.tlb"));
    QProcess p;
    p.start(widl, {QStringLiteral("--win32"), QStringLiteral("-t"), QStringLiteral("-o"), out,
                   idl.fileName()});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile tlb(out);
    ASSERT_TRUE(tlb.open(QIODevice::ReadOnly));
    const QByteArray theirs = tlb.readAll();
    const auto lib = readTypeLib(theirs);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->name, QStringLiteral("Knoplux"));
    EXPECT_EQ(lib->help, QStringLiteral("Knoplux"));
    EXPECT_EQ(lib->major, 8);
    const TypeInfoDesc* border = lib->find(QStringLiteral("BorderConstants"));
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->constants.size(), 2u);
    EXPECT_EQ(border->constants[1].value, 1);
    const TypeInfoDesc* events = lib->find(QStringLiteral("__CButton"));
    ASSERT_NE(events, nullptr);
    ASSERT_EQ(events->functions.size(), 2u);
    EXPECT_EQ(events->functions[1].id, 9);
    EXPECT_EQ(events->functions[1].params[3],
              (ParamInfo{QStringLiteral("Y"), TypeRef{VarType::Single, {}}, true, false}));
    const TypeInfoDesc* coclass = lib->find(QStringLiteral("CButton"));
    ASSERT_NE(coclass, nullptr);
    EXPECT_EQ(coclass->implTypes, (std::vector<ImplTypeDesc>{{QStringLiteral("__CButton"), 3}}));

    // The same shape of header and segment directory in ours.
    TypeLibDesc mine;
    mine.name = QStringLiteral("Knoplux");
    mine.guid = lib->guid;
    mine.major = 8;
    mine.lcid = lib->lcid;
    mine.types = lib->types;
    const QByteArray ours = writeTypeLib(mine);
    auto at = [](const QByteArray& b, int off) {
        return qFromLittleEndian<std::int32_t>(b.constData() + off);
    };
    EXPECT_EQ(at(ours, 0), at(theirs, 0));   // magic
    EXPECT_EQ(at(ours, 4), at(theirs, 4));   // format version
    EXPECT_EQ(at(ours, 20), at(theirs, 20)); // system kind and flags
    EXPECT_EQ(at(ours, 24), at(theirs, 24)); // library version
    EXPECT_EQ(at(ours, 32), at(theirs, 32)); // number of types
    const int dirOurs = 0x54 + 4 * at(ours, 32), dirTheirs = 0x54 + 4 * at(theirs, 32);
    for (int s = 0; s < 15; ++s) {
        EXPECT_EQ(at(ours, dirOurs + 16 * s + 8), at(theirs, dirTheirs + 16 * s + 8)) << s;
        EXPECT_EQ(at(ours, dirOurs + 16 * s + 12), at(theirs, dirTheirs + 16 * s + 12)) << s;
    }
    EXPECT_EQ(at(ours, dirOurs + 4), at(theirs, dirTheirs + 4)); // type info records, 0x64 each
}

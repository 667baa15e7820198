#include "TypeLibrary.h"

#include "CButton.h"
#include "Registration.h"

#include <QtEndian>

namespace knoplux {

using namespace component;

TypeLibDesc typeLibDescription() {
    TypeLibDesc lib;
    lib.name = QStringLiteral("Knoplux");
    lib.help = QStringLiteral("Knoplux");
    lib.guid = LIBID_Knoplux;
    lib.major = 8;
    lib.minor = 0;
    lib.lcid = 0x0409;
    lib.imports.push_back(standardOleImport());

    TypeInfoDesc coclass;
    coclass.kind = TypeKind::CoClass;
    coclass.name = QStringLiteral("CButton");
    coclass.guid = CLSID_CButton;
    coclass.flags = TypeFlagControl;
    coclass.implTypes = {{QStringLiteral("_CButton"), ImplTypeFlagDefault},
                         {QStringLiteral("__CButton"), ImplTypeFlagDefault | ImplTypeFlagSource}};

    TypeInfoDesc iface;
    iface.kind = TypeKind::Dispatch;
    iface.name = QStringLiteral("_CButton");
    iface.guid = IID__CButton;
    iface.flags = 0x11D0;
    iface.base = QStringLiteral("IDispatch");
    iface.functions = CButton::members();

    TypeInfoDesc events;
    events.kind = TypeKind::Dispatch;
    events.name = QStringLiteral("__CButton");
    events.guid = DIID___CButton;
    events.flags = 0x1090;
    events.base = QStringLiteral("IDispatch");
    events.functions = CButton::events();

    TypeInfoDesc border;
    border.kind = TypeKind::Enum;
    border.name = QStringLiteral("BorderConstants");
    border.guid = GUID_BorderConstants;
    border.constants = {{QStringLiteral("BorderLineCanHide"), 0},
                        {QStringLiteral("BorderLineCantHide"), 1}};

    TypeInfoDesc back;
    back.kind = TypeKind::Enum;
    back.name = QStringLiteral("BackConstants");
    back.guid = GUID_BackConstants;
    back.constants = {{QStringLiteral("BackTransparent"), 0}, {QStringLiteral("BackOpaque"), 1}};

    lib.types = {coclass, iface, events, border, back};
    return lib;
}

QImage toolboxPicture() {
    // A raised grey button face with a small dark "K" on it.
    QImage img(16, 15, QImage::Format_RGB32);
    img.fill(qRgb(192, 192, 192));
    for (int x = 0; x < 16; ++x) {
        img.setPixel(x, 0, qRgb(255, 255, 255));
        img.setPixel(x, 14, qRgb(0, 0, 0));
        img.setPixel(x, 13, qRgb(128, 128, 128));
    }
    for (int y = 0; y < 15; ++y) {
        img.setPixel(0, y, qRgb(255, 255, 255));
        img.setPixel(15, y, qRgb(0, 0, 0));
        if (y > 0 && y < 14) img.setPixel(14, y, qRgb(128, 128, 128));
    }
    for (int y = 3; y <= 11; ++y)
        img.setPixel(5, y, qRgb(0, 0, 128));
    for (int i = 0; i <= 4; ++i) {
        img.setPixel(6 + i, 7 - i, qRgb(0, 0, 128));
        img.setPixel(6 + i, 7 + i, qRgb(0, 0, 128));
    }
    return img;
}

namespace {
QByteArray identifierBlock(const Guid& g) {
    QByteArray b(4, '\0');
    qToLittleEndian<std::uint32_t>(16, b.data());
    const auto bytes = g.toBytes();
    b.append(reinterpret_cast<const char*>(bytes.data()), 16);
    return b;
}
} // namespace

std::vector<Resource> libraryResources() {
    VersionInfo v;
    v.fileVersion = {1, 0, 0, 2};
    v.productVersion = {1, 0, 0, 2};
    v.language = LanguageChinese;
    v.codePage = CodePageUnicode;
    v.strings = {
        {QStringLiteral("CompanyName"), QStringLiteral("Knoplux")},
        {QStringLiteral("FileDescription"), QStringLiteral("Knoplux 平面按钮控件")},
        {QStringLiteral("FileVersion"), QStringLiteral("1.00.0002")},
        {QStringLiteral("InternalName"), QStringLiteral("Knoplux")},
        {QStringLiteral("OriginalFilename"), QStringLiteral("Knoplux.ocx")},
        {QStringLiteral("ProductName"), QStringLiteral("Knoplux")},
        {QStringLiteral("ProductVersion"), QStringLiteral("1.00.0002")},
        {QStringLiteral("OLESelfRegister"), QString()},
    };
    return {
        {QStringLiteral("TYPELIB"), QStringLiteral("#1"), 0, writeTypeLib(typeLibDescription())},
        {ResourceTypeData, QStringLiteral("_IID_CBUTTON"), 0, identifierBlock(IID__CButton)},
        {ResourceTypeData, QStringLiteral("_SRCIID_CBUTTON"), 0, identifierBlock(DIID___CButton)},
        {ResourceTypeBitmap, QStringLiteral("#%1").arg(ToolboxBitmapId), 0,
         buildBitmap4(toolboxPicture())},
        {ResourceTypeVersion, QStringLiteral("#1"), LanguageChinese, buildVersionInfo(v)},
    };
}

} // namespace knoplux

// The dispatch side of CButton: the member table of _CButton (order, kinds,
// argument types, dispatch ids and help strings), the events of __CButton,
// late-bound calls, interface query and the About box.

#include "AboutBox.h"
#include "CButton.h"

namespace knoplux {

using namespace component;

namespace {

TypeRef t(VarType vt, const char* user = nullptr) {
    return TypeRef{vt, user ? QString::fromLatin1(user) : QString()};
}
const TypeRef tVoid = t(VarType::Void);
const TypeRef tInteger = t(VarType::Integer);
const TypeRef tLong = t(VarType::Long);
const TypeRef tSingle = t(VarType::Single);
const TypeRef tString = t(VarType::String);
const TypeRef tBool = t(VarType::Boolean);
const TypeRef tVariant = t(VarType::Variant);
const TypeRef tColor = t(VarType::UserDefined, "OLE_COLOR");
const TypeRef tBack = t(VarType::UserDefined, "BackConstants");
const TypeRef tBorder = t(VarType::UserDefined, "BorderConstants");
const TypeRef tFont = t(VarType::Dispatch, "Font");
const TypeRef tPicture = t(VarType::Dispatch, "Picture");
const TypeRef tObject = t(VarType::Dispatch);

ParamInfo byVal(const char* name, TypeRef type) {
    return {QString::fromLatin1(name), type, false, false};
}
ParamInfo byRef(const char* name, TypeRef type) {
    return {QString::fromLatin1(name), type, true, false};
}
ParamInfo opt(const char* name) {
    return {QString::fromLatin1(name), tVariant, false, true};
}

using Table = DispatchTable<CButton>;
using H = Table::Handler;

Variant vBool(bool b) {
    return Variant::boolean(b);
}
Variant vObj(Ref<IUnknown> o) {
    return Variant::object(std::move(o));
}
Ref<component::Picture> argPicture(const Variant& v) {
    if (v.isEmpty()) return {};
    Ref<IUnknown> o = v.toObject();
    if (!o) return {};
    component::Picture* p = component::Picture::from(o.get());
    if (!p) throwTypeMismatch();
    return Ref<component::Picture>(p);
}
Ref<component::Font> argFont(const Variant& v) {
    Ref<IUnknown> o = v.toObject();
    component::Font* f = o ? component::Font::from(o.get()) : nullptr;
    if (!f) throwInvalidPropertyValue();
    return Ref<component::Font>(f);
}

struct Builder {
    Table table;

    void method(const char* name, DispId id, std::vector<ParamInfo> params, TypeRef result,
                const char* help, H h) {
        table.add({QString::fromLatin1(name), id, InvokeKind::Method, std::move(params), result,
                   QString::fromUtf8(help)},
                  std::move(h));
    }
    // A read-write property: the get, then the let (or set by reference for objects).
    void property(const char* name, DispId id, TypeRef type, const char* help, H get, H put,
                  bool byReference = false) {
        table.add({QString::fromLatin1(name),
                   id,
                   InvokeKind::PropertyGet,
                   {},
                   type,
                   QString::fromUtf8(help)},
                  std::move(get));
        if (put)
            table.add({QString::fromLatin1(name),
                       id,
                       byReference ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut,
                       {ParamInfo{QStringLiteral("New_") + QString::fromLatin1(name), type, false,
                                  false}},
                       tVoid,
                       QString::fromUtf8(help)},
                      std::move(put));
    }
};

const Table& table() {
    static const Table tbl = [] {
        Builder b;
        b.method("About", 0x60030029, {}, tVoid, "显示关于对话框。", [](CButton& c, auto) {
            c.About();
            return Variant();
        });
        b.property(
            "BackColor", 0x68030028, tColor, "返回/设置对象中文本和图形的背景色。",
            [](CButton& c, auto) {
                return Variant::longValue(static_cast<std::int32_t>(c.BackColor()));
            },
            [](CButton& c, auto a) {
                c.setBackColor(static_cast<OleColor>(a[0].toLong()));
                return Variant();
            });
        b.property(
            "BackStyle", 0x68030027, tBack, "指出 Label 或 Shape 的背景样式是透明的还是不透明的。",
            [](CButton& c, auto) { return Variant::longValue(c.BackStyle()); },
            [](CButton& c, auto a) {
                c.setBackStyle(static_cast<BackConstants>(a[0].toInteger()));
                return Variant();
            });
        b.property(
            "BorderStyle", 0x68030026, tBorder, "返回/设置对象的边框样式。",
            [](CButton& c, auto) { return Variant::longValue(c.BorderStyle()); },
            [](CButton& c, auto a) {
                c.setBorderStyle(static_cast<BorderConstants>(a[0].toInteger()));
                return Variant();
            });
        b.property(
            "Caption", 0x68030025, tString, "返回/设置对象的标题栏中或图标下面的文本。",
            [](CButton& c, auto) { return Variant::string(c.Caption()); },
            [](CButton& c, auto a) {
                c.setCaption(a[0].toString());
                return Variant();
            });
        b.method("Circle_", 0x60030032,
                 {byRef("X", tSingle), byRef("Y", tSingle), byRef("Radius", tSingle),
                  byRef("Color", tLong), byRef("StartPos", tSingle), byRef("EndPos", tSingle),
                  byRef("Aspect", tSingle)},
                 tVoid, "在对象上画圆形、椭圆形或弧。", [](CButton& c, std::span<Variant> a) {
                     float x = a[0].toSingle(), y = a[1].toSingle(), r = a[2].toSingle();
                     std::int32_t col = a[3].toLong();
                     float s = a[4].toSingle(), e = a[5].toSingle(), asp = a[6].toSingle();
                     c.Circle_(x, y, r, col, s, e, asp);
                     a[0] = Variant::single(x);
                     a[1] = Variant::single(y);
                     a[2] = Variant::single(r);
                     a[3] = Variant::longValue(col);
                     a[4] = Variant::single(s);
                     a[5] = Variant::single(e);
                     a[6] = Variant::single(asp);
                     return Variant();
                 });
        b.method("Cls", 0x6003003E, {}, tVoid, "清除运行时所生成的图形和文本。",
                 [](CButton& c, auto) {
                     c.Cls();
                     return Variant();
                 });
        b.property(
            "DrawMode", 0x68030024, tInteger, "设置图形方法的输出外观。",
            [](CButton& c, auto) { return Variant::integer(c.DrawMode()); },
            [](CButton& c, auto a) {
                c.setDrawMode(a[0].toInteger());
                return Variant();
            });
        b.property(
            "DrawStyle", 0x68030023, tInteger, "决定图形方法所画线的线型。",
            [](CButton& c, auto) { return Variant::integer(c.DrawStyle()); },
            [](CButton& c, auto a) {
                c.setDrawStyle(a[0].toInteger());
                return Variant();
            });
        b.property(
            "DrawWidth", 0x68030022, tInteger, "返回/设置图形方法所输出的线宽。",
            [](CButton& c, auto) { return Variant::integer(c.DrawWidth()); },
            [](CButton& c, auto a) {
                c.setDrawWidth(a[0].toInteger());
                return Variant();
            });
        b.property(
            "Enabled", 0x68030021, tBool, "返回/设置一个值，决定一个对象是否响应用户生成事件。",
            [](CButton& c, auto) { return vBool(c.Enabled()); },
            [](CButton& c, auto a) {
                c.setEnabled(a[0].toBool());
                return Variant();
            });
        b.property(
            "FillColor", 0x68030020, tColor, "返回/设置用于填充形状、圆和方框的颜色。",
            [](CButton& c, auto) {
                return Variant::longValue(static_cast<std::int32_t>(c.FillColor()));
            },
            [](CButton& c, auto a) {
                c.setFillColor(static_cast<OleColor>(a[0].toLong()));
                return Variant();
            });
        b.property(
            "FillStyle", 0x6803001F, tInteger, "返回/设置形状、圆和方框的填充样式。",
            [](CButton& c, auto) { return Variant::integer(c.FillStyle()); },
            [](CButton& c, auto a) {
                c.setFillStyle(a[0].toInteger());
                return Variant();
            });
        b.property(
            "Font", DispIdFont, tFont, "返回一个 Font 对象。",
            [](CButton& c, auto) { return vObj(c.Font()); },
            [](CButton& c, auto a) {
                c.setFont(argFont(a[0]));
                return Variant();
            },
            true);
        b.property(
            "FontBold", 0x6803001E, tBool, "返回/设置粗体字样式。",
            [](CButton& c, auto) { return vBool(c.FontBold()); },
            [](CButton& c, auto a) {
                c.setFontBold(a[0].toBool());
                return Variant();
            });
        b.property(
            "FontItalic", 0x6803001D, tBool, "返回/设置斜体字样式。",
            [](CButton& c, auto) { return vBool(c.FontItalic()); },
            [](CButton& c, auto a) {
                c.setFontItalic(a[0].toBool());
                return Variant();
            });
        b.property(
            "FontName", 0x6803001C, tString, "指定给定层的每一行出现的字体名。",
            [](CButton& c, auto) { return Variant::string(c.FontName()); },
            [](CButton& c, auto a) {
                c.setFontName(a[0].toString());
                return Variant();
            });
        b.property(
            "FontSize", 0x6803001B, tSingle, "指定给定层的每一行出现的字体大小(以磅为单位)。",
            [](CButton& c, auto) { return Variant::single(c.FontSize()); },
            [](CButton& c, auto a) {
                c.setFontSize(a[0].toSingle());
                return Variant();
            });
        b.property(
            "FontStrikethru", 0x6803001A, tBool, "返回/设置删除线字体样式。",
            [](CButton& c, auto) { return vBool(c.FontStrikethru()); },
            [](CButton& c, auto a) {
                c.setFontStrikethru(a[0].toBool());
                return Variant();
            });
        b.property(
            "FontUnderline", 0x68030019, tBool, "返回/设置下划线字体样式。",
            [](CButton& c, auto) { return vBool(c.FontUnderline()); },
            [](CButton& c, auto a) {
                c.setFontUnderline(a[0].toBool());
                return Variant();
            });
        b.property(
            "ForeColor", 0x68030018, tColor, "返回/设置对象中文本和图形的前景色。",
            [](CButton& c, auto) {
                return Variant::longValue(static_cast<std::int32_t>(c.ForeColor()));
            },
            [](CButton& c, auto a) {
                c.setForeColor(static_cast<OleColor>(a[0].toLong()));
                return Variant();
            });
        b.property(
            "HasDC", 0x68030017, tBool, "决定是否为该控件分配了一个唯一的显示环境。",
            [](CButton& c, auto) { return vBool(c.HasDC()); }, nullptr);
        b.property(
            "hDC", 0x68030016, tLong, "返回一个句柄(来自 Microsoft Windows)到对象的设备环境。",
            [](CButton& c, auto) { return Variant::longValue(c.hDC()); }, nullptr);
        b.property(
            "HitBehavior", 0x68030015, tInteger, "指出无窗口控件如何进行点击测试。",
            [](CButton& c, auto) { return Variant::integer(c.HitBehavior()); },
            [](CButton& c, auto a) {
                c.setHitBehavior(a[0].toInteger());
                return Variant();
            });
        b.property(
            "hWnd", 0x68030014, tLong, "返回一个句柄(来自 Microsoft Windows)到对象的窗口。",
            [](CButton& c, auto) { return Variant::longValue(c.hWnd()); }, nullptr);
        b.property(
            "Image", 0x68030013, tPicture, "返回一个 Microsoft Windows 提供的持久位图的句柄。",
            [](CButton& c, auto) { return vObj(c.Image()); }, nullptr);
        b.method("LinkExecute", 0x60030046, {byVal("Command", tString)}, tVoid,
                 "在 DDE 会话中将命令字符串发送给源应用程序。", [](CButton& c, auto a) {
                     c.LinkExecute(a[0].toString());
                     return Variant();
                 });
        b.property(
            "LinkItem", 0x68030012, tString, "返回/设置 DDE 会话中传给目标控件的数据。",
            [](CButton& c, auto) { return Variant::string(c.LinkItem()); },
            [](CButton& c, auto a) {
                c.setLinkItem(a[0].toString());
                return Variant();
            });
        b.property(
            "LinkMode", 0x68030011, tInteger, "返回/设置 DDE 连接的类型并激活连接。",
            [](CButton& c, auto) { return Variant::integer(c.LinkMode()); },
            [](CButton& c, auto a) {
                c.setLinkMode(a[0].toInteger());
                return Variant();
            });
        b.method("LinkPoke", 0x60030047, {}, tVoid, "将控件的内容传送到 DDE 会话中的源应用程序。",
                 [](CButton& c, auto) {
                     c.LinkPoke();
                     return Variant();
                 });
        b.method("LinkRequest", 0x60030048, {}, tVoid,
                 "要求 DDE 会话中的源应用程序更新控件的内容。", [](CButton& c, auto) {
                     c.LinkRequest();
                     return Variant();
                 });
        b.method("LinkSend", 0x60030049, {}, tVoid,
                 "将图片框的内容传送到 DDE 会话中的目标应用程序。", [](CButton& c, auto) {
                     c.LinkSend();
                     return Variant();
                 });
        b.property(
            "LinkTimeout", 0x68030010, tInteger, "返回/设置对象等待 DDE 消息响应的时间。",
            [](CButton& c, auto) { return Variant::integer(c.LinkTimeout()); },
            [](CButton& c, auto a) {
                c.setLinkTimeout(a[0].toInteger());
                return Variant();
            });
        b.property(
            "LinkTopic", 0x6803000F, tString, "返回/设置源应用程序和 DDE 会话的主题。",
            [](CButton& c, auto) { return Variant::string(c.LinkTopic()); },
            [](CButton& c, auto a) {
                c.setLinkTopic(a[0].toString());
                return Variant();
            });
        b.property(
            "MaskColor", 0x6803000E, tLong, "返回/设置决定控件透明区域的颜色。",
            [](CButton& c, auto) { return Variant::longValue(c.MaskColor()); },
            [](CButton& c, auto a) {
                c.setMaskColor(a[0].toLong());
                return Variant();
            });
        b.property(
            "MaskPicture", 0x6803000D, tPicture, "返回/设置决定控件透明区域的图片。",
            [](CButton& c, auto) { return vObj(c.MaskPicture()); },
            [](CButton& c, auto a) {
                c.setMaskPicture(argPicture(a[0]));
                return Variant();
            },
            true);
        b.property(
            "MouseIcon", 0x6803000C, tPicture, "设置自定义的鼠标图标。",
            [](CButton& c, auto) { return vObj(c.MouseIcon()); },
            [](CButton& c, auto a) {
                c.setMouseIcon(argPicture(a[0]));
                return Variant();
            },
            true);
        b.property(
            "MousePointer", 0x6803000B, tInteger,
            "返回/设置当鼠标位于对象的特定部分时显示的鼠标指针类型。",
            [](CButton& c, auto) { return Variant::integer(c.MousePointer()); },
            [](CButton& c, auto a) {
                c.setMousePointer(a[0].toInteger());
                return Variant();
            });
        b.method("PaintPicture", 0x6003004E,
                 {byVal("Picture", tPicture), byVal("X1", tSingle), byVal("Y1", tSingle),
                  opt("Width1"), opt("Height1"), opt("X2"), opt("Y2"), opt("Width2"),
                  opt("Height2"), opt("Opcode")},
                 tVoid, "在窗体、图片框或打印机上绘制图形文件的内容。",
                 [](CButton& c, std::span<Variant> a) {
                     c.PaintPicture(argPicture(a[0]), a[1].toSingle(), a[2].toSingle(), a[3], a[4],
                                    a[5], a[6], a[7], a[8], a[9]);
                     return Variant();
                 });
        b.property(
            "Palette", 0x6803000A, tPicture, "返回/设置包含调色板的图像，用于控件的调色板。",
            [](CButton& c, auto) { return vObj(c.Palette()); },
            [](CButton& c, auto a) {
                c.setPalette(argPicture(a[0]));
                return Variant();
            },
            true);
        b.property(
            "PaletteMode", 0x68030009, tInteger, "返回/设置一个值，决定使用哪个调色板。",
            [](CButton& c, auto) { return Variant::integer(c.PaletteMode()); },
            [](CButton& c, auto a) {
                c.setPaletteMode(a[0].toInteger());
                return Variant();
            });
        b.property(
            "Picture", 0x68030008, tPicture, "返回/设置控件中显示的图形。",
            [](CButton& c, auto) { return vObj(c.Picture()); },
            [](CButton& c, auto a) {
                c.setPicture(argPicture(a[0]));
                return Variant();
            },
            true);
        b.method("Point", 0x6003004F, {byRef("X", tSingle), byRef("Y", tSingle)}, tLong,
                 "按照长整数，返回在窗体或图片框上所指定磅的红-绿-蓝(RGB)颜色。",
                 [](CButton& c, std::span<Variant> a) {
                     float x = a[0].toSingle(), y = a[1].toSingle();
                     const std::int32_t r = c.Point(x, y);
                     a[0] = Variant::single(x);
                     a[1] = Variant::single(y);
                     return Variant::longValue(r);
                 });
        b.method("PopupMenu", 0x60030050,
                 {byVal("Menu", tObject), opt("Flags"), opt("X"), opt("Y"), opt("DefaultMenu")},
                 tVoid, "在窗体的当前鼠标位置或指定的坐标位置显示弹出式菜单。",
                 [](CButton& c, std::span<Variant> a) {
                     c.PopupMenu(a[0].toObject(), a[1], a[2], a[3], a[4]);
                     return Variant();
                 });
        b.method("PSet_", 0x60030051,
                 {byRef("X", tSingle), byRef("Y", tSingle), byRef("Color", tLong)}, tVoid,
                 "将对象上的点设置为指定颜色。", [](CButton& c, std::span<Variant> a) {
                     float x = a[0].toSingle(), y = a[1].toSingle();
                     std::int32_t col = a[2].toLong();
                     c.PSet_(x, y, col);
                     a[0] = Variant::single(x);
                     a[1] = Variant::single(y);
                     a[2] = Variant::longValue(col);
                     return Variant();
                 });
        b.method("Refresh", 0x60030052, {}, tVoid, "强制完全重绘一个对象。", [](CButton& c, auto) {
            c.Refresh();
            return Variant();
        });
        b.method("Scale_", 0x60030054,
                 {byRef("X1", tVariant), byRef("Y1", tVariant), byRef("X2", tVariant),
                  byRef("Y2", tVariant)},
                 tVoid, "定义坐标系统。", [](CButton& c, std::span<Variant> a) {
                     c.Scale_(a[0], a[1], a[2], a[3]);
                     return Variant();
                 });
        b.property(
            "ScaleHeight", 0x68030007, tSingle, "返回/设置对象内部的垂直度量单位数。",
            [](CButton& c, auto) { return Variant::single(c.ScaleHeight()); },
            [](CButton& c, auto a) {
                c.setScaleHeight(a[0].toSingle());
                return Variant();
            });
        b.property(
            "ScaleLeft", 0x68030006, tSingle, "返回/设置对象左边缘的水平坐标。",
            [](CButton& c, auto) { return Variant::single(c.ScaleLeft()); },
            [](CButton& c, auto a) {
                c.setScaleLeft(a[0].toSingle());
                return Variant();
            });
        b.property(
            "ScaleMode", 0x68030005, tInteger,
            "返回/设置一个值，指示在使用图形方法或调整控件位置时对象坐标的度量单位。",
            [](CButton& c, auto) { return Variant::integer(c.ScaleMode()); },
            [](CButton& c, auto a) {
                c.setScaleMode(a[0].toInteger());
                return Variant();
            });
        b.property(
            "ScaleTop", 0x68030004, tSingle, "返回/设置对象上边缘的垂直坐标。",
            [](CButton& c, auto) { return Variant::single(c.ScaleTop()); },
            [](CButton& c, auto a) {
                c.setScaleTop(a[0].toSingle());
                return Variant();
            });
        b.property(
            "ScaleWidth", 0x68030003, tSingle, "返回/设置对象内部的水平度量单位数。",
            [](CButton& c, auto) { return Variant::single(c.ScaleWidth()); },
            [](CButton& c, auto a) {
                c.setScaleWidth(a[0].toSingle());
                return Variant();
            });
        b.method("ScaleX", 0x60030055, {byVal("Width", tSingle), opt("FromScale"), opt("ToScale")},
                 tSingle, "将窗体、图片框或打印机的宽度值从一种度量单位转换到另一种。",
                 [](CButton& c, std::span<Variant> a) {
                     return Variant::single(c.ScaleX(a[0].toSingle(), a[1], a[2]));
                 });
        b.method("ScaleY", 0x60030056, {byVal("Height", tSingle), opt("FromScale"), opt("ToScale")},
                 tSingle, "将窗体、图片框或打印机的高度值从一种度量单位转换到另一种。",
                 [](CButton& c, std::span<Variant> a) {
                     return Variant::single(c.ScaleY(a[0].toSingle(), a[1], a[2]));
                 });
        b.property(
            "AutoSize", 0x68030002, tBool, "决定控件是否能自动调整大小以显示所有的内容。",
            [](CButton& c, auto) { return vBool(c.AutoSize()); },
            [](CButton& c, auto a) {
                c.setAutoSize(a[0].toBool());
                return Variant();
            });
        b.property(
            "AutoTop", 0x68030001, tBool,
            "文字是否居中上位置，否则居中。(注意：当属性 UseFont 为 False 时该属性无效!)",
            [](CButton& c, auto) { return vBool(c.AutoTop()); },
            [](CButton& c, auto a) {
                c.setAutoTop(a[0].toBool());
                return Variant();
            });
        b.property(
            "UseFont", 0x68030000, tBool, "是否用文字作表示!",
            [](CButton& c, auto) { return vBool(c.UseFont()); },
            [](CButton& c, auto a) {
                c.setUseFont(a[0].toBool());
                return Variant();
            });
        return b.table;
    }();
    return tbl;
}

} // namespace

std::vector<MemberInfo> CButton::members() {
    return table().members();
}

std::vector<MemberInfo> CButton::events() {
    const auto ev = [](const char* name, DispId id, std::vector<ParamInfo> params) {
        return MemberInfo{QString::fromLatin1(name), id,    InvokeKind::Method,
                          std::move(params),         tVoid, {}};
    };
    const std::vector<ParamInfo> mouse{byRef("Button", tInteger), byRef("Shift", tInteger),
                                       byRef("X", tSingle), byRef("Y", tSingle)};
    return {
        ev("Change", EventChange, {}),
        ev("Click", EventClick, {}),
        ev("DblClick", EventDblClick, {}),
        ev("Hide", EventHide, {}),
        ev("HitTest", EventHitTest,
           {byRef("X", tSingle), byRef("Y", tSingle), byRef("HitResult", tInteger)}),
        ev("KeyDown", EventKeyDown, {byRef("KeyCode", tInteger), byRef("Shift", tInteger)}),
        ev("KeyPress", EventKeyPress, {byRef("KeyAscii", tInteger)}),
        ev("KeyUp", EventKeyUp, {byRef("KeyCode", tInteger), byRef("Shift", tInteger)}),
        ev("MouseDown", EventMouseDown, mouse),
        ev("MouseMove", EventMouseMove, mouse),
        ev("MouseUp", EventMouseUp, mouse),
        ev("Paint", EventPaint, {}),
        ev("Resize", EventResize, {}),
    };
}

HResult CButton::GetIDsOfNames(const QString& name, DispId& id) {
    return table().idOf(name, id);
}

HResult CButton::Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                        ExcepInfo* excep) {
    // The container destroyed the window the control sat in: the control
    // has nothing left to act on.
    if (!UserControl) return static_cast<HResult>(0x80010108); // object disconnected
    // Hold a reference: a call may make the container drop its own.
    Ref<CButton> self(this);
    return table().invoke(*this, id, kind, args, result, excep);
}

HResult CButton::QueryInterface(const Guid& iid, void** out) {
    if (!out) return E_Pointer;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__CButton)
        *out = static_cast<_CButton*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *out = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IPersistPropertyBag)
        *out = static_cast<IPersistPropertyBag*>(this);
    else
        return E_NoInterface;
    AddRef();
    return S_Ok;
}

HResult CButton::FindConnectionPoint(const Guid& iid, IConnectionPoint** out) {
    if (!out) return E_Pointer;
    *out = nullptr;
    if (iid != DIID___CButton) return static_cast<HResult>(0x80040200); // no such connection point
    *out = m_events.get();
    m_events->AddRef();
    return S_Ok;
}

void CButton::About() {
    showMessageBox(QStringLiteral("版本号1.0,Knoplux 平面按钮控件。作者：Knoplux 开发组，"
                                  "联系方式：knoplux@example.org"),
                   MessageBoxSystemModal | MessageBoxOkOnly, QStringLiteral("Knoplux"));
}

} // namespace knoplux

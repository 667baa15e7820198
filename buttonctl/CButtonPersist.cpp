// Loading and saving a placed control through its container's property bag.

#include "CButton.h"

#include "component/AutomationError.h"

namespace knoplux {

using namespace component;

namespace {

// Reads one key: its value, or the default when the bag lacks it. A bag that
// refuses the key ends the load there.
Variant readKey(IPropertyBag* bag, const char* key, const Variant& def) {
    Variant v;
    const QString name = QString::fromLatin1(key);
    const HResult hr = bag->Read(name, v);
    if (hr == S_Ok) return v;
    if (hr == E_InvalidArg || hr == S_False) return def;
    throw AutomationError(hr, QStringLiteral("属性包拒绝读取属性“%1”").arg(name));
}

// Writes one key unless its value equals the default, compared as numbers.
void writeKey(IPropertyBag* bag, const char* key, const Variant& value, const Variant& def) {
    if (value.equalsForDefault(def)) return;
    const QString name = QString::fromLatin1(key);
    const HResult hr = bag->Write(name, value);
    if (failed(hr)) throw AutomationError(hr, QStringLiteral("属性包拒绝写入属性“%1”").arg(name));
}

Variant pictureValue(const Ref<component::Picture>& p) {
    // A picture without an image is saved as no picture at all.
    if (!p || !p->handle()) return Variant::object({});
    return Variant::object(p);
}

Ref<component::Picture> pictureArg(const Variant& v) {
    if (!v.isObject()) {
        if (v.isEmpty()) return {};
        throwTypeMismatch();
    }
    Ref<IUnknown> o = v.toObject();
    if (!o) return {};
    component::Picture* p = component::Picture::from(o.get());
    if (!p) throwTypeMismatch();
    return Ref<component::Picture>(p);
}

const Variant Nothing = Variant::object({});

} // namespace

Ref<component::Font> CButton::ambientFont() {
    if (m_site) {
        Variant v;
        if (succeeded(m_site->GetAmbient(DispIdAmbientFont, v)))
            if (component::Font* f = component::Font::from(v)) return Ref<component::Font>(f);
    }
    return component::Font::create();
}

HResult CButton::InitNew() {
    UserControl_InitProperties();
    return S_Ok;
}

HResult CButton::Load(IPropertyBag* bag) {
    if (!bag) return E_Pointer;
    try {
        UserControl_ReadProperties(bag);
        return S_Ok;
    } catch (const AutomationError& e) {
        return e.code() ? e.code() : E_Fail;
    }
}

HResult CButton::Save(IPropertyBag* bag, bool, bool) {
    if (!bag) return E_Pointer;
    try {
        UserControl_WriteProperties(bag);
        return S_Ok;
    } catch (const AutomationError& e) {
        return e.code() ? e.code() : E_Fail;
    }
}

void CButton::UserControl_ReadProperties(IPropertyBag* PropBag) {
    Surface& s = *UserControl;
    const auto I = [](int v) { return Variant::integer(static_cast<std::int16_t>(v)); };
    const auto L = [](std::uint32_t v) { return Variant::longValue(static_cast<std::int32_t>(v)); };
    const auto S = [](const char* v) { return Variant::string(QString::fromUtf8(v)); };

    s.setBackColor(static_cast<OleColor>(readKey(PropBag, "BackColor", L(0x8000000F)).toLong()));
    s.setBackStyle(readKey(PropBag, "BackStyle", I(1)).toInteger());
    s.setBorderStyle(readKey(PropBag, "BorderStyle", I(0)).toInteger());
    Label1->setCaption(readKey(PropBag, "Caption", S("Knoplux")).toString());
    s.setDrawMode(readKey(PropBag, "DrawMode", I(13)).toInteger());
    s.setDrawStyle(readKey(PropBag, "DrawStyle", I(0)).toInteger());
    s.setDrawWidth(readKey(PropBag, "DrawWidth", I(1)).toInteger());
    s.setEnabledState(readKey(PropBag, "Enabled", Variant::boolean(true)).toBool());
    s.setFillColor(static_cast<OleColor>(readKey(PropBag, "FillColor", L(0)).toLong()));
    s.setFillStyle(readKey(PropBag, "FillStyle", I(1)).toInteger());
    {
        // The ambient font belongs to the container's own window: the caption
        // gets its own copy, so changing the caption's font leaves the
        // container's alone. A font from the bag is taken as it is.
        const Ref<component::Font> ambient = ambientFont();
        const Variant v = readKey(PropBag, "Font", Variant::object(ambient));
        component::Font* f = component::Font::from(v);
        if (!f) throwTypeMismatch();
        Label1->setFont(f == ambient.get() ? ambient->clone() : Ref<component::Font>(f));
    }
    component::Font& f = *Label1->Font();
    f.setBold(readKey(PropBag, "FontBold", I(0)).toBool());
    f.setItalic(readKey(PropBag, "FontItalic", I(0)).toBool());
    f.setName(readKey(PropBag, "FontName", S("宋体")).toString());
    f.setSize(readKey(PropBag, "FontSize", I(12)).toSingle());
    f.setStrikethrough(readKey(PropBag, "FontStrikethru", I(0)).toBool());
    f.setUnderline(readKey(PropBag, "FontUnderline", I(0)).toBool());
    Label1->setForeColor(
        static_cast<OleColor>(readKey(PropBag, "ForeColor", L(0x80000008)).toLong()));
    s.setHitBehavior(readKey(PropBag, "HitBehavior", I(1)).toInteger());
    Label1->setLinkItem(readKey(PropBag, "LinkItem", S("")).toString());
    Label1->setLinkMode(readKey(PropBag, "LinkMode", I(0)).toInteger());
    Label1->setLinkTimeout(readKey(PropBag, "LinkTimeout", I(50)).toInteger());
    Label1->setLinkTopic(readKey(PropBag, "LinkTopic", S("")).toString());
    s.setMaskColor(static_cast<OleColor>(readKey(PropBag, "MaskColor", L(0x8000000F)).toLong()));
    setMaskPicture(pictureArg(readKey(PropBag, "MaskPicture", Nothing)));
    setMouseIcon(pictureArg(readKey(PropBag, "MouseIcon", Nothing)));
    s.setMousePointer(readKey(PropBag, "MousePointer", I(0)).toInteger());
    setPalette(pictureArg(readKey(PropBag, "Palette", Nothing)));
    s.setPaletteMode(readKey(PropBag, "PaletteMode", I(3)).toInteger());
    setPicture(pictureArg(readKey(PropBag, "Picture", Nothing)));
    s.setScaleHeight(readKey(PropBag, "ScaleHeight", I(3600)).toSingle());
    s.setScaleLeft(readKey(PropBag, "ScaleLeft", I(0)).toSingle());
    s.setScaleMode(readKey(PropBag, "ScaleMode", I(1)).toInteger());
    s.setScaleTop(readKey(PropBag, "ScaleTop", I(0)).toSingle());
    s.setScaleWidth(readKey(PropBag, "ScaleWidth", I(4800)).toSingle());
    m_AutoSize = readKey(PropBag, "AutoSize", I(1)).toBool();
    m_AutoTop = readKey(PropBag, "AutoTop", I(0)).toBool();
    m_UseFont = readKey(PropBag, "UseFont", I(0)).toBool();
}

void CButton::UserControl_WriteProperties(IPropertyBag* PropBag) {
    Surface& s = *UserControl;
    const auto I = [](int v) { return Variant::integer(static_cast<std::int16_t>(v)); };
    const auto L = [](std::uint32_t v) { return Variant::longValue(static_cast<std::int32_t>(v)); };
    const auto S = [](const char* v) { return Variant::string(QString::fromUtf8(v)); };
    const auto B = [](bool v) { return Variant::boolean(v); };
    const auto F = [](double v) { return Variant::single(static_cast<float>(v)); };
    component::Font& f = *Label1->Font();

    writeKey(PropBag, "BackColor", L(s.BackColor()), L(0x8000000F));
    writeKey(PropBag, "BackStyle", I(s.BackStyle()), I(1));
    writeKey(PropBag, "BorderStyle", I(s.BorderStyle()), I(0));
    writeKey(PropBag, "Caption", Variant::string(Label1->Caption()), S("Knoplux"));
    writeKey(PropBag, "DrawMode", I(s.DrawMode()), I(13));
    writeKey(PropBag, "DrawStyle", I(s.DrawStyle()), I(0));
    writeKey(PropBag, "DrawWidth", I(s.DrawWidth()), I(1));
    writeKey(PropBag, "Enabled", B(s.Enabled()), B(true));
    writeKey(PropBag, "FillColor", L(s.FillColor()), L(0));
    writeKey(PropBag, "FillStyle", I(s.FillStyle()), I(1));
    writeKey(PropBag, "Font", Variant::object(Label1->Font()), Variant::object(ambientFont()));
    writeKey(PropBag, "FontBold", B(f.bold()), I(0));
    writeKey(PropBag, "FontItalic", B(f.italic()), I(0));
    writeKey(PropBag, "FontName", Variant::string(f.name()), S(""));
    writeKey(PropBag, "FontSize", F(f.size()), I(0));
    writeKey(PropBag, "FontStrikethru", B(f.strikethrough()), I(0));
    writeKey(PropBag, "FontUnderline", B(f.underline()), I(0));
    writeKey(PropBag, "ForeColor", L(Label1->ForeColor()), L(0x80000008));
    writeKey(PropBag, "HitBehavior", I(s.HitBehavior()), I(1));
    writeKey(PropBag, "LinkItem", Variant::string(Label1->LinkItem()), S(""));
    writeKey(PropBag, "LinkMode", I(Label1->LinkMode()), I(0));
    writeKey(PropBag, "LinkTimeout", I(Label1->LinkTimeout()), I(50));
    writeKey(PropBag, "LinkTopic", Variant::string(Label1->LinkTopic()), S(""));
    writeKey(PropBag, "MaskColor", L(s.MaskColor()), L(0x8000000F));
    writeKey(PropBag, "MaskPicture", pictureValue(MaskPicture()), Nothing);
    writeKey(PropBag, "MouseIcon", pictureValue(MouseIcon()), Nothing);
    writeKey(PropBag, "MousePointer", I(s.MousePointer()), I(0));
    writeKey(PropBag, "Palette", pictureValue(Palette()), Nothing);
    writeKey(PropBag, "PaletteMode", I(s.PaletteMode()), I(3));
    writeKey(PropBag, "Picture", pictureValue(Picture()), Nothing);
    writeKey(PropBag, "ScaleHeight", F(s.ScaleHeight()), I(3600));
    writeKey(PropBag, "ScaleLeft", F(s.ScaleLeft()), I(0));
    writeKey(PropBag, "ScaleMode", I(s.ScaleMode()), I(1));
    writeKey(PropBag, "ScaleTop", F(s.ScaleTop()), I(0));
    writeKey(PropBag, "ScaleWidth", F(s.ScaleWidth()), I(4800));
    writeKey(PropBag, "AutoSize", B(m_AutoSize), I(1));
    writeKey(PropBag, "AutoTop", B(m_AutoTop), I(0));
    writeKey(PropBag, "UseFont", B(m_UseFont), I(0));
}

} // namespace knoplux

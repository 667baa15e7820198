#include "Font.h"

#include "AutomationError.h"

namespace component {

Ref<Font> Font::create(Description d) {
    return Ref<Font>(new Font(std::move(d)));
}

HResult Font::QueryInterface(const Guid& iid, void** out) {
    if (!out) return E_Pointer;
    if (iid == IID_IUnknown || iid == IID_IFont || iid == IID_IFontDisp) {
        *out = static_cast<IFontBase*>(this);
        AddRef();
        return S_Ok;
    }
    *out = nullptr;
    return E_NoInterface;
}

void Font::setName(const QString& name) {
    if (name.trimmed().isEmpty()) throwInvalidPropertyValue();
    if (name == m_d.name) return;
    m_d.name = name;
    changed();
}

void Font::setSize(float points) {
    if (!(points > 0.0f && points <= 2160.0f)) throwInvalidPropertyValue();
    if (points == m_d.size) return;
    m_d.size = points;
    changed();
}

void Font::setBold(bool on) {
    if (on == m_d.bold) return;
    m_d.bold = on;
    m_d.weight = on ? 700 : 400;
    changed();
}

void Font::setItalic(bool on) {
    if (on == m_d.italic) return;
    m_d.italic = on;
    changed();
}

void Font::setUnderline(bool on) {
    if (on == m_d.underline) return;
    m_d.underline = on;
    changed();
}

void Font::setStrikethrough(bool on) {
    if (on == m_d.strikethrough) return;
    m_d.strikethrough = on;
    changed();
}

void Font::setWeight(short weight) {
    if (weight < 0 || weight > 1000) throwInvalidPropertyValue();
    m_d.weight = weight;
    m_d.bold = weight >= 600;
    changed();
}

void Font::setCharset(short charset) {
    m_d.charset = charset;
    changed();
}

Ref<Font> Font::clone() const {
    return create(m_d);
}

QFont Font::toQFont() const {
    QFont f(m_d.name);
    f.setPointSizeF(m_d.size);
    f.setWeight(m_d.bold ? QFont::Bold : QFont::Normal);
    f.setItalic(m_d.italic);
    f.setUnderline(m_d.underline);
    f.setStrikeOut(m_d.strikethrough);
    return f;
}

int Font::subscribe(Listener l) {
    const int token = m_nextToken++;
    m_listeners.emplace(token, std::move(l));
    return token;
}

void Font::unsubscribe(int token) {
    m_listeners.erase(token);
}

void Font::changed() {
    // A listener may unsubscribe while we notify; work on a copy.
    const auto listeners = m_listeners;
    for (const auto& [token, l] : listeners)
        l();
}

Font* Font::from(IUnknown* unk) {
    if (!unk) return nullptr;
    void* out = nullptr;
    if (failed(unk->QueryInterface(IID_IFont, &out)) || !out) return nullptr;
    auto* f = static_cast<Font*>(static_cast<IFontBase*>(out));
    f->Release();
    return f;
}

Font* Font::from(const Variant& v) {
    if (!v.isObject()) return nullptr;
    return from(v.toObject().get());
}

} // namespace component

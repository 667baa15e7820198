#include "Picture.h"

#include "Units.h"

#include <atomic>

namespace component {

namespace {
std::atomic<std::uint32_t> g_nextHandle{0x2000};
}

Ref<Picture> Picture::fromImage(const QImage& image) {
    Ref<Picture> p(new Picture);
    if (!image.isNull()) {
        p->m_image = image.convertToFormat(QImage::Format_ARGB32);
        p->m_handle = g_nextHandle.fetch_add(4);
    }
    return p;
}

Ref<Picture> Picture::empty() {
    return Ref<Picture>(new Picture);
}

HResult Picture::QueryInterface(const Guid& iid, void** out) {
    if (!out) return E_Pointer;
    if (iid == IID_IUnknown || iid == IID_IPicture || iid == IID_IPictureDisp) {
        *out = static_cast<IPictureBase*>(this);
        AddRef();
        return S_Ok;
    }
    *out = nullptr;
    return E_NoInterface;
}

double Picture::width() const {
    return pixelsToHimetric(m_image.width());
}
double Picture::height() const {
    return pixelsToHimetric(m_image.height());
}

Picture* Picture::from(IUnknown* unk) {
    if (!unk) return nullptr;
    void* out = nullptr;
    if (failed(unk->QueryInterface(IID_IPicture, &out)) || !out) return nullptr;
    auto* p = static_cast<Picture*>(static_cast<IPictureBase*>(out));
    // The caller borrows: the variant or owner keeps the reference.
    p->Release();
    return p;
}

Picture* Picture::from(const Variant& v) {
    if (!v.isObject()) return nullptr;
    return from(v.toObject().get());
}

bool Picture::isSet(const Variant& v) {
    const Picture* p = from(v);
    return p && p->handle() != 0;
}

} // namespace component

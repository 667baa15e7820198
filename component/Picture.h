#pragma once

#include "Unknown.h"
#include "Variant.h"

#include <QImage>

namespace component {

inline const Guid IID_IPicture = Guid::fromString("{7BF80980-BF32-101A-8BBB-00AA00300CAB}");
inline const Guid IID_IPictureDisp = Guid::fromString("{7BF80981-BF32-101A-8BBB-00AA00300CAB}");

class IPictureBase : public IUnknown {};

// A picture object: an image and its extent in HIMETRIC (0.01 mm). A picture
// holding an image has a non-zero handle; an empty picture has handle 0.
class Picture : public RefCounted<IPictureBase> {
public:
    static Ref<Picture> fromImage(const QImage& image);
    static Ref<Picture> empty();

    HResult QueryInterface(const Guid& iid, void** out) override;

    std::uint32_t handle() const { return m_handle; }
    // 1 for a bitmap, 0 for none.
    short type() const { return m_handle ? 1 : 0; }
    // Extent in HIMETRIC (exact, not rounded to whole units).
    double width() const;
    double height() const;
    const QImage& image() const { return m_image; }

    // A picture held by a variant, or null when it holds none.
    static Picture* from(const Variant& v);
    static Picture* from(IUnknown* unk);
    // True when v holds a picture with a non-zero handle.
    static bool isSet(const Variant& v);

private:
    Picture() = default;
    QImage m_image;
    std::uint32_t m_handle = 0;
};

} // namespace component

#pragma once

// The control's interfaces as a container sees them: the dual interface
// _CButton (early-bound through this class, late-bound through IDispatch)
// and the identifiers of the library. A container includes only this header
// and the runtime's headers; it reaches the library through the registration
// store.

#include "component/Container.h"
#include "component/Picture.h"

namespace knoplux {

using component::DispId;
using component::Guid;
using component::Ref;
using component::Variant;
using OleColor = std::uint32_t;

inline const Guid LIBID_Knoplux = Guid::fromString("{94811AED-7AD8-11D4-9484-F4D213BEC921}");
inline const Guid CLSID_CButton = Guid::fromString("{94811AEF-7AD8-11D4-9484-F4D213BEC921}");
inline const Guid IID__CButton = Guid::fromString("{B77681E0-7F8D-11D4-9484-86C8B3646220}");
inline const Guid DIID___CButton = Guid::fromString("{B77681E3-7F8D-11D4-9484-86C8B3646220}");
inline const Guid GUID_BorderConstants = Guid::fromString("{B77681E1-7F8D-11D4-9484-86C8B3646220}");
inline const Guid GUID_BackConstants = Guid::fromString("{B77681E2-7F8D-11D4-9484-86C8B3646220}");
inline constexpr const char* ProgId_CButton = "Knoplux.CButton";

enum BorderConstants : short { BorderLineCanHide = 0, BorderLineCantHide = 1 };
enum BackConstants : short { BackTransparent = 0, BackOpaque = 1 };

// Dispatch ids of the events of __CButton.
enum CButtonEvent : DispId {
    EventChange = 1,
    EventClick = 2,
    EventDblClick = 3,
    EventHide = 4,
    EventHitTest = 5,
    EventKeyDown = 6,
    EventKeyPress = 7,
    EventKeyUp = 8,
    EventMouseDown = 9,
    EventMouseMove = 10,
    EventMouseUp = 11,
    EventPaint = 12,
    EventResize = 13,
};

// The default interface of CButton. Failures throw component::AutomationError.
class _CButton : public component::IDispatch {
public:
    virtual void About() = 0;
    virtual OleColor BackColor() = 0;
    virtual void setBackColor(OleColor v) = 0;
    virtual BackConstants BackStyle() = 0;
    virtual void setBackStyle(BackConstants v) = 0;
    virtual BorderConstants BorderStyle() = 0;
    virtual void setBorderStyle(BorderConstants v) = 0;
    virtual QString Caption() = 0;
    virtual void setCaption(const QString& v) = 0;
    virtual void Circle_(float& X, float& Y, float& Radius, std::int32_t& Color, float& StartPos,
                         float& EndPos, float& Aspect) = 0;
    virtual void Cls() = 0;
    virtual short DrawMode() = 0;
    virtual void setDrawMode(short v) = 0;
    virtual short DrawStyle() = 0;
    virtual void setDrawStyle(short v) = 0;
    virtual short DrawWidth() = 0;
    virtual void setDrawWidth(short v) = 0;
    virtual bool Enabled() = 0;
    virtual void setEnabled(bool v) = 0;
    virtual OleColor FillColor() = 0;
    virtual void setFillColor(OleColor v) = 0;
    virtual short FillStyle() = 0;
    virtual void setFillStyle(short v) = 0;
    virtual Ref<component::Font> Font() = 0;
    virtual void setFont(Ref<component::Font> v) = 0;
    virtual bool FontBold() = 0;
    virtual void setFontBold(bool v) = 0;
    virtual bool FontItalic() = 0;
    virtual void setFontItalic(bool v) = 0;
    virtual QString FontName() = 0;
    virtual void setFontName(const QString& v) = 0;
    virtual float FontSize() = 0;
    virtual void setFontSize(float v) = 0;
    virtual bool FontStrikethru() = 0;
    virtual void setFontStrikethru(bool v) = 0;
    virtual bool FontUnderline() = 0;
    virtual void setFontUnderline(bool v) = 0;
    virtual OleColor ForeColor() = 0;
    virtual void setForeColor(OleColor v) = 0;
    virtual bool HasDC() = 0;
    virtual std::int32_t hDC() = 0;
    virtual short HitBehavior() = 0;
    virtual void setHitBehavior(short v) = 0;
    virtual std::int32_t hWnd() = 0;
    virtual Ref<component::Picture> Image() = 0;
    virtual void LinkExecute(const QString& Command) = 0;
    virtual QString LinkItem() = 0;
    virtual void setLinkItem(const QString& v) = 0;
    virtual short LinkMode() = 0;
    virtual void setLinkMode(short v) = 0;
    virtual void LinkPoke() = 0;
    virtual void LinkRequest() = 0;
    virtual void LinkSend() = 0;
    virtual short LinkTimeout() = 0;
    virtual void setLinkTimeout(short v) = 0;
    virtual QString LinkTopic() = 0;
    virtual void setLinkTopic(const QString& v) = 0;
    virtual std::int32_t MaskColor() = 0;
    virtual void setMaskColor(std::int32_t v) = 0;
    virtual Ref<component::Picture> MaskPicture() = 0;
    virtual void setMaskPicture(Ref<component::Picture> v) = 0;
    virtual Ref<component::Picture> MouseIcon() = 0;
    virtual void setMouseIcon(Ref<component::Picture> v) = 0;
    virtual short MousePointer() = 0;
    virtual void setMousePointer(short v) = 0;
    virtual void PaintPicture(Ref<component::Picture> Picture, float X1, float Y1,
                              const Variant& Width1 = Variant::missing(),
                              const Variant& Height1 = Variant::missing(),
                              const Variant& X2 = Variant::missing(),
                              const Variant& Y2 = Variant::missing(),
                              const Variant& Width2 = Variant::missing(),
                              const Variant& Height2 = Variant::missing(),
                              const Variant& Opcode = Variant::missing()) = 0;
    virtual Ref<component::Picture> Palette() = 0;
    virtual void setPalette(Ref<component::Picture> v) = 0;
    virtual short PaletteMode() = 0;
    virtual void setPaletteMode(short v) = 0;
    virtual Ref<component::Picture> Picture() = 0;
    virtual void setPicture(Ref<component::Picture> v) = 0;
    virtual std::int32_t Point(float& X, float& Y) = 0;
    virtual void PopupMenu(Ref<component::IUnknown> Menu, const Variant& Flags = Variant::missing(),
                           const Variant& X = Variant::missing(),
                           const Variant& Y = Variant::missing(),
                           const Variant& DefaultMenu = Variant::missing()) = 0;
    virtual void PSet_(float& X, float& Y, std::int32_t& Color) = 0;
    virtual void Refresh() = 0;
    virtual void Scale_(Variant& X1, Variant& Y1, Variant& X2, Variant& Y2) = 0;
    virtual float ScaleHeight() = 0;
    virtual void setScaleHeight(float v) = 0;
    virtual float ScaleLeft() = 0;
    virtual void setScaleLeft(float v) = 0;
    virtual short ScaleMode() = 0;
    virtual void setScaleMode(short v) = 0;
    virtual float ScaleTop() = 0;
    virtual void setScaleTop(float v) = 0;
    virtual float ScaleWidth() = 0;
    virtual void setScaleWidth(float v) = 0;
    virtual float ScaleX(float Width, const Variant& FromScale = Variant::missing(),
                         const Variant& ToScale = Variant::missing()) = 0;
    virtual float ScaleY(float Height, const Variant& FromScale = Variant::missing(),
                         const Variant& ToScale = Variant::missing()) = 0;
    virtual bool AutoSize() = 0;
    virtual void setAutoSize(bool v) = 0;
    virtual bool AutoTop() = 0;
    virtual void setAutoTop(bool v) = 0;
    virtual bool UseFont() = 0;
    virtual void setUseFont(bool v) = 0;

    // The control's window, for the container to place among its own.
    virtual QWidget* widget() = 0;
    // The container that placed the control (notifications, ambient font).
    virtual void SetClientSite(component::IClientSite* site) = 0;
};

} // namespace knoplux

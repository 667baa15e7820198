#pragma once

#include "ICButton.h"

#include "component/Label.h"
#include "component/Surface.h"
#include "component/Timer.h"

#include <QPointer>

namespace knoplux {

struct CButtonInterfaces : _CButton,
                           component::IConnectionPointContainer,
                           component::IPersistPropertyBag {};

// The flat push button: a drawing surface with a hidden work picture box, a
// hover timer and two captions (the caption and its shadow for the disabled
// look). Shows a picture, or a caption when UseFont is True; a raised frame
// while the cursor is over it, a sunken one while pressed.
//
// The internal routines, the handlers of the children's events and the member
// state are public under their own names, so a test can drive the control
// the way the platform would.
class CButton : public component::RefCounted<CButtonInterfaces> {
public:
    // A new control with its design-time children and values.
    static Ref<CButton> create();

    // ---- IUnknown ----
    component::HResult QueryInterface(const Guid& iid, void** out) override;

    // ---- IDispatch ----
    component::HResult GetIDsOfNames(const QString& name, DispId& id) override;
    component::HResult Invoke(DispId id, component::InvokeKind kind, std::span<Variant> args,
                              Variant* result, component::ExcepInfo* excep) override;
    // The members of _CButton as the dispatch table and the type library know them.
    static std::vector<component::MemberInfo> members();
    // The events of __CButton.
    static std::vector<component::MemberInfo> events();

    // ---- IConnectionPointContainer ----
    component::HResult FindConnectionPoint(const Guid& iid,
                                           component::IConnectionPoint** out) override;

    // ---- IPersistPropertyBag ----
    component::HResult InitNew() override;
    component::HResult Load(component::IPropertyBag* bag) override;
    component::HResult Save(component::IPropertyBag* bag, bool clearDirty, bool saveAll) override;

    // ---- _CButton ----
    void About() override;
    OleColor BackColor() override;
    void setBackColor(OleColor v) override;
    BackConstants BackStyle() override;
    void setBackStyle(BackConstants v) override;
    BorderConstants BorderStyle() override;
    void setBorderStyle(BorderConstants v) override;
    QString Caption() override;
    void setCaption(const QString& v) override;
    void Circle_(float& X, float& Y, float& Radius, std::int32_t& Color, float& StartPos,
                 float& EndPos, float& Aspect) override;
    void Cls() override;
    short DrawMode() override;
    void setDrawMode(short v) override;
    short DrawStyle() override;
    void setDrawStyle(short v) override;
    short DrawWidth() override;
    void setDrawWidth(short v) override;
    bool Enabled() override;
    void setEnabled(bool v) override;
    OleColor FillColor() override;
    void setFillColor(OleColor v) override;
    short FillStyle() override;
    void setFillStyle(short v) override;
    Ref<component::Font> Font() override;
    void setFont(Ref<component::Font> v) override;
    bool FontBold() override;
    void setFontBold(bool v) override;
    bool FontItalic() override;
    void setFontItalic(bool v) override;
    QString FontName() override;
    void setFontName(const QString& v) override;
    float FontSize() override;
    void setFontSize(float v) override;
    bool FontStrikethru() override;
    void setFontStrikethru(bool v) override;
    bool FontUnderline() override;
    void setFontUnderline(bool v) override;
    OleColor ForeColor() override;
    void setForeColor(OleColor v) override;
    bool HasDC() override;
    std::int32_t hDC() override;
    short HitBehavior() override;
    void setHitBehavior(short v) override;
    std::int32_t hWnd() override;
    Ref<component::Picture> Image() override;
    void LinkExecute(const QString& Command) override;
    QString LinkItem() override;
    void setLinkItem(const QString& v) override;
    short LinkMode() override;
    void setLinkMode(short v) override;
    void LinkPoke() override;
    void LinkRequest() override;
    void LinkSend() override;
    short LinkTimeout() override;
    void setLinkTimeout(short v) override;
    QString LinkTopic() override;
    void setLinkTopic(const QString& v) override;
    std::int32_t MaskColor() override;
    void setMaskColor(std::int32_t v) override;
    Ref<component::Picture> MaskPicture() override;
    void setMaskPicture(Ref<component::Picture> v) override;
    Ref<component::Picture> MouseIcon() override;
    void setMouseIcon(Ref<component::Picture> v) override;
    short MousePointer() override;
    void setMousePointer(short v) override;
    void PaintPicture(Ref<component::Picture> Picture, float X1, float Y1, const Variant& Width1,
                      const Variant& Height1, const Variant& X2, const Variant& Y2,
                      const Variant& Width2, const Variant& Height2,
                      const Variant& Opcode) override;
    using _CButton::PaintPicture;
    Ref<component::Picture> Palette() override;
    void setPalette(Ref<component::Picture> v) override;
    short PaletteMode() override;
    void setPaletteMode(short v) override;
    Ref<component::Picture> Picture() override;
    void setPicture(Ref<component::Picture> v) override;
    std::int32_t Point(float& X, float& Y) override;
    void PopupMenu(Ref<component::IUnknown> Menu, const Variant& Flags, const Variant& X,
                   const Variant& Y, const Variant& DefaultMenu) override;
    void PSet_(float& X, float& Y, std::int32_t& Color) override;
    void Refresh() override;
    void Scale_(Variant& X1, Variant& Y1, Variant& X2, Variant& Y2) override;
    float ScaleHeight() override;
    void setScaleHeight(float v) override;
    float ScaleLeft() override;
    void setScaleLeft(float v) override;
    short ScaleMode() override;
    void setScaleMode(short v) override;
    float ScaleTop() override;
    void setScaleTop(float v) override;
    float ScaleWidth() override;
    void setScaleWidth(float v) override;
    float ScaleX(float Width, const Variant& FromScale, const Variant& ToScale) override;
    float ScaleY(float Height, const Variant& FromScale, const Variant& ToScale) override;
    using _CButton::ScaleX;
    using _CButton::ScaleY;
    bool AutoSize() override;
    void setAutoSize(bool v) override;
    bool AutoTop() override;
    void setAutoTop(bool v) override;
    bool UseFont() override;
    void setUseFont(bool v) override;

    QWidget* widget() override { return UserControl.data(); }
    void SetClientSite(component::IClientSite* site) override;

    // ---- the control's parts ----
    QPointer<component::Surface> UserControl;
    component::Surface* Picture1 = nullptr;
    component::Timer* Timer1 = nullptr;
    component::Label* Label1 = nullptr;
    component::Label* Label2 = nullptr;

    // ---- member state ----
    Variant NormalPicture;
    Variant DisabledPicture;
    OleColor SavedForeColor = 0;
    bool m_UseFont = false;
    bool m_AutoTop = false;
    bool m_AutoSize = false;

    // ---- internal routines ----
    void DrawBorder(bool& pressed, bool& outside);
    void MakeDisabledPicture();
    void ShowPicture(bool autoSize, bool& enabled);
    void FitToPicture(bool& autoSize, bool& enabled);
    void ArrangeCaption(bool& autoTop, bool& autoSize, bool& enabled);
    void CaptionChanged();

    // ---- handlers of the surface's and the children's events ----
    void UserControl_Click();
    void UserControl_DblClick();
    void UserControl_KeyDown(short& KeyCode, short& Shift);
    void UserControl_KeyPress(short& KeyAscii);
    void UserControl_KeyUp(short& KeyCode, short& Shift);
    void UserControl_MouseDown(short& Button, short& Shift, float& X, float& Y);
    void UserControl_MouseMove(short& Button, short& Shift, float& X, float& Y);
    void UserControl_MouseUp(short& Button, short& Shift, float& X, float& Y);
    void UserControl_Paint();
    void UserControl_Hide();
    void UserControl_HitTest(float& X, float& Y, short& HitResult);
    void UserControl_Resize();
    void UserControl_Show();
    void UserControl_InitProperties();
    void UserControl_ReadProperties(component::IPropertyBag* PropBag);
    void UserControl_WriteProperties(component::IPropertyBag* PropBag);
    void Timer1_Timer();

    // The connection point of __CButton.
    component::ConnectionPoint& eventSource() { return *m_events; }

protected:
    CButton();
    ~CButton() override;

private:
    void RaiseEvent(DispId id, std::span<Variant> args = {});
    void PropertyChanged(const QString& name);
    void wireEvents();
    // Runs an event handler; a failure goes to the container as an automation error.
    template <class F> void guarded(F&& f);
    Ref<component::Font> ambientFont();
    Ref<component::Picture> pictureOf(const Variant& v) const;

    Ref<component::IClientSite> m_site;
    Ref<component::ConnectionPoint> m_events;
};

} // namespace knoplux

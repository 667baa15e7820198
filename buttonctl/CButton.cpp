#include "CButton.h"

#include "component/AutomationError.h"

namespace knoplux {

using namespace component;

namespace {

constexpr OleColor White = 0xFFFFFF;
constexpr OleColor DarkEdge = 0x80000003; // inactive title-bar colour
constexpr double FrameInset = 30;         // twips: two pixels

std::optional<double> optionalNumber(const Variant& v) {
    if (v.isMissing() || v.isEmpty()) return std::nullopt;
    return v.toDouble();
}

std::optional<short> optionalScale(const Variant& v) {
    if (v.isMissing() || v.isEmpty()) return std::nullopt;
    return v.toInteger();
}

} // namespace

Ref<CButton> CButton::create() {
    return Ref<CButton>(new CButton);
}

CButton::CButton() : m_events(new ConnectionPoint(DIID___CButton)) {
    // The surface and its children, in the order of their creation at design time.
    UserControl = new Surface;
    UserControl->setBackColor(0x00C0C0C0);
    UserControl->setExtent(4800, 3600);

    Picture1 = new Surface(UserControl);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setSizeToPicture(true);
    Picture1->move(2640 / 15, 600 / 15);
    Picture1->setExtent(1215, 495);
    Picture1->hide();

    Timer1 = new Timer(UserControl);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(250);
    Timer1->setEnabled(true);

    Label1 = new Label(UserControl);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setCaption(QStringLiteral("Knoplux"));
    Label1->setForeColor(0x80000008);
    Label1->setFont(component::Font::create(
        {QStringLiteral("楷体_GB2312"), 15.75f, false, false, false, false, 400, 134}));

    Label2 = new Label(UserControl);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setCaption(QStringLiteral("Knoplux"));
    Label2->setForeColor(0x80000005);
    Label2->setFont(component::Font::create(
        {QStringLiteral("宋体"), 10.5f, false, false, false, false, 400, 134}));
    // The shadow lies beneath the caption.
    Label1->raise();

    wireEvents();
}

CButton::~CButton() {
    // The container normally releases the control before its own window goes.
    if (UserControl) delete UserControl.data();
}

void CButton::wireEvents() {
    Surface* s = UserControl;
    s->onClick = [this] { guarded([&] { UserControl_Click(); }); };
    s->onDblClick = [this] { guarded([&] { UserControl_DblClick(); }); };
    s->onKeyDown = [this](short& k, short& sh) { guarded([&] { UserControl_KeyDown(k, sh); }); };
    s->onKeyPress = [this](short& k) { guarded([&] { UserControl_KeyPress(k); }); };
    s->onKeyUp = [this](short& k, short& sh) { guarded([&] { UserControl_KeyUp(k, sh); }); };
    s->onMouseDown = [this](short& b, short& sh, float& x, float& y) {
        guarded([&] { UserControl_MouseDown(b, sh, x, y); });
    };
    s->onMouseMove = [this](short& b, short& sh, float& x, float& y) {
        guarded([&] { UserControl_MouseMove(b, sh, x, y); });
    };
    s->onMouseUp = [this](short& b, short& sh, float& x, float& y) {
        guarded([&] { UserControl_MouseUp(b, sh, x, y); });
    };
    s->onPaint = [this] { guarded([&] { UserControl_Paint(); }); };
    s->onHide = [this] { guarded([&] { UserControl_Hide(); }); };
    s->onHitTest = [this](float& x, float& y, short& r) {
        guarded([&] { UserControl_HitTest(x, y, r); });
    };
    s->onResize = [this] { guarded([&] { UserControl_Resize(); }); };
    s->onShow = [this] { guarded([&] { UserControl_Show(); }); };

    // The captions forward Click and the three mouse events, with positions
    // relative to the caption in the surface's current scale.
    for (Label* l : {Label1, Label2}) {
        l->onClick = [this] { guarded([&] { UserControl_Click(); }); };
        auto toScale = [this](float& x, float& y) {
            x = static_cast<float>(UserControl->ScaleX(x, ScaleTwips));
            y = static_cast<float>(UserControl->ScaleY(y, ScaleTwips));
        };
        l->onMouseDown = [this, toScale](short& b, short& sh, float& x, float& y) {
            toScale(x, y);
            guarded([&] { UserControl_MouseDown(b, sh, x, y); });
        };
        l->onMouseMove = [this, toScale](short& b, short& sh, float& x, float& y) {
            toScale(x, y);
            guarded([&] { UserControl_MouseMove(b, sh, x, y); });
        };
        l->onMouseUp = [this, toScale](short& b, short& sh, float& x, float& y) {
            toScale(x, y);
            guarded([&] { UserControl_MouseUp(b, sh, x, y); });
        };
        l->onChange = [this] { guarded([&] { CaptionChanged(); }); };
    }
    Timer1->onTimer = [this] { guarded([&] { Timer1_Timer(); }); };
}

template <class F> void CButton::guarded(F&& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        if (m_site) m_site->OnError(e.code(), e.description());
    }
}

void CButton::RaiseEvent(DispId id, std::span<Variant> args) {
    m_events->fire(id, args);
}

void CButton::PropertyChanged(const QString& name) {
    if (!m_site) return;
    DispId id = DispIdUnknown;
    GetIDsOfNames(name, id);
    m_site->OnChanged(id, name);
}

void CButton::SetClientSite(IClientSite* site) {
    m_site = Ref<IClientSite>(site);
}

Ref<component::Picture> CButton::pictureOf(const Variant& v) const {
    return Ref<component::Picture>(component::Picture::from(v));
}

// ---------------------------------------------------------------- routines

void CButton::DrawBorder(bool& pressed, bool& outside) {
    UserControl->setScaleMode(ScaleTwips);
    const double W = UserControl->Width();
    const double H = UserControl->Height();
    OleColor left, bottom, right, top;
    if (outside) {
        left = bottom = right = top = UserControl->BackColor();
    } else if (pressed) {
        left = top = DarkEdge;
        bottom = right = White;
    } else {
        left = top = White;
        bottom = right = DarkEdge;
    }
    UserControl->Line(0, 0, 0, H - FrameInset, left);
    UserControl->LineTo(W - FrameInset, H - FrameInset, bottom);
    UserControl->LineTo(W - FrameInset, 0, right);
    UserControl->LineTo(0, 0, top);
}

void CButton::MakeDisabledPicture() {
    Picture1->setPicture(UserControl->Picture());
    Picture1->setScaleMode(ScalePixels);
    const double xMax = Picture1->ScaleWidth();
    for (double x = 0; x <= xMax; x += 1) {
        for (double y = 0; y <= Picture1->ScaleHeight(); y += 1) {
            const std::int32_t p =
                GetPixel(Picture1->hDC(), static_cast<int>(x), static_cast<int>(y));
            std::int32_t c;
            if (p > 0xFF0000)
                c = 0xFFFFFF;
            else if (p >= 0x666980)
                c = 0xFFFFFF - p;
            else
                c = 0xFFFFFF;
            SetPixel(Picture1->hDC(), static_cast<int>(x), static_cast<int>(y),
                     static_cast<std::uint32_t>(c));
        }
    }
    DisabledPicture = Variant::object(Picture1->Image());
}

void CButton::ShowPicture(bool autoSize, bool& enabled) {
    UserControl->setScaleMode(ScalePixels);
    if (m_UseFont) return;
    if (!enabled && autoSize) {
        Cls();
        setScaleMode(ScaleTwips);
        if (component::Picture::isSet(DisabledPicture)) {
            UserControl->setPicture(pictureOf(DisabledPicture));
            UserControl->setWidth(UserControl->ScaleX(Picture()->width()));
            UserControl->setHeight(UserControl->ScaleY(Picture()->height()));
        }
    } else if (enabled && autoSize) {
        Cls();
        Picture1->Cls();
        if (component::Picture::isSet(NormalPicture))
            UserControl->setPicture(pictureOf(NormalPicture));
        FitToPicture(autoSize, enabled);
    } else if (enabled && !autoSize) {
        Cls();
        Picture1->Cls();
        if (component::Picture::isSet(NormalPicture))
            Picture1->setPicture(pictureOf(NormalPicture));
        setScaleMode(ScalePixels);
        const auto px = [](double v) { return static_cast<int>(std::lround(v)); };
        StretchBlt(UserControl->hDC(), 0, 0, px(ScaleWidth() - UserControl->ScaleX(60)),
                   px(ScaleHeight() - UserControl->ScaleY(60)), Picture1->hDC(), 0, 0,
                   px(UserControl->ScaleX(UserControl->Picture()->width())),
                   px(UserControl->ScaleY(UserControl->Picture()->height())), SrcCopy);
    } else {
        Cls();
        setScaleMode(ScalePixels);
        if (component::Picture::isSet(DisabledPicture))
            UserControl->setPicture(pictureOf(DisabledPicture));
        const auto px = [](double v) { return static_cast<int>(std::lround(v)); };
        StretchBlt(UserControl->hDC(), 0, 0, px(ScaleWidth()), px(ScaleHeight()),
                   UserControl->hDC(), 0, 0, px(UserControl->ScaleX(Picture()->width())),
                   px(UserControl->ScaleY(Picture()->height())), SrcCopy);
    }
}

void CButton::FitToPicture(bool& autoSize, bool& enabled) {
    if (!m_UseFont) {
        if (autoSize && enabled) {
            if (UserControl->Picture()->handle() != 0) {
                Cls();
                setScaleMode(ScaleTwips);
                UserControl->setWidth(UserControl->ScaleX(Picture()->width()) + FrameInset);
                UserControl->setHeight(UserControl->ScaleY(Picture()->height()) + FrameInset);
            } else {
                Picture1->setScaleMode(ScaleTwips);
                UserControl->setWidth(Picture1->ScaleWidth());
                UserControl->setHeight(Picture1->ScaleHeight());
            }
        } else {
            ShowPicture(autoSize, enabled);
        }
    }
    Timer1->setEnabled(enabled);
}

void CButton::ArrangeCaption(bool& autoTop, bool& autoSize, bool& enabled) {
    Label1->setEnabledState(true);
    if (m_UseFont) {
        if (SavedForeColor != 0) {
            Label1->setForeColor(SavedForeColor);
            // Once the caption is enabled again the saved colour has been put
            // back; forgetting it keeps a colour set later from being undone
            // by the next layout pass.
            if (enabled) SavedForeColor = 0;
        }
        setScaleMode(ScaleTwips);
        if (UserControl->Picture()->handle() != 0) {
            NormalPicture = Variant::object(UserControl->Picture());
            UserControl->setPicture(component::Picture::empty());
        }
        const double centredLeft = [&] { return UserControl->Width() / 2 - Label1->Width() / 2; }();
        if (autoSize) {
            UserControl->setWidth(Label1->Width() + 60);
            UserControl->setHeight(Label1->Height() + 80);
            Label1->setLeft(UserControl->Width() / 2 - Label1->Width() / 2);
            Label1->setTop(UserControl->Height() / 2 - Label1->Height() / 2);
        } else if (autoTop) {
            Label1->setLeft(centredLeft);
            Label1->setTop(UserControl->Height() * 0.1);
        } else {
            Label1->setLeft(centredLeft);
            Label1->setTop(UserControl->Height() / 2 - Label1->Height() / 2);
        }
    }

    // In picture mode every step from here on is tried and a failure skipped.
    const bool tolerant = !m_UseFont;
    auto step = [&](auto&& f) {
        if (!tolerant) {
            f();
            return;
        }
        try {
            f();
        } catch (const AutomationError&) {
        }
    };

    if (!m_UseFont) {
        step([&] {
            if (component::Picture::isSet(NormalPicture))
                UserControl->setPicture(pictureOf(NormalPicture));
        });
        step([&] { Label1->setVisibleState(false); });
        step([&] { Label2->setVisibleState(false); });
        step([&] {
            bool a = AutoSize(), e = Enabled();
            FitToPicture(a, e);
        });
    }

    if (!enabled && m_UseFont) {
        // Keep a colour already saved: a nested layout pass (the resize this
        // routine causes) has turned the caption black by now, and saving
        // that would lose the real colour for good.
        step([&] {
            if (SavedForeColor == 0) SavedForeColor = Label1->ForeColor();
        });
        step([&] { Label1->setForeColor(0x0); });
        step([&] { Label1->setEnabledState(false); });
        step([&] { Label2->setVisibleState(true); });
        step([&] { Label1->setVisibleState(true); });
    } else if (enabled && m_UseFont) {
        step([&] { Label1->setVisibleState(true); });
        step([&] { Label2->setVisibleState(false); });
    }

    step([&] { Label2->setTop(Label1->Top() + 30); });
    step([&] { Label2->setLeft(Label1->Left() + 30); });
    step([&] {
        component::Font* f1 = Label1->Font().get();
        component::Font* f2 = Label2->Font().get();
        if (f1 == f2) return;
        f2->setSize(f1->size());
        f2->setName(f1->name());
        f2->setBold(f1->bold());
        f2->setItalic(f1->italic());
        f2->setName(f1->name());
        f2->setStrikethrough(f1->strikethrough());
        f2->setUnderline(f1->underline());
    });
}

void CButton::CaptionChanged() {
    RaiseEvent(EventChange);
    Label2->setCaption(Label1->Caption());
    bool t = m_AutoTop, s = m_AutoSize, e = Enabled();
    ArrangeCaption(t, s, e);
}

// ---------------------------------------------------------------- handlers

void CButton::UserControl_Click() {
    RaiseEvent(EventClick);
}
void CButton::UserControl_DblClick() {
    RaiseEvent(EventDblClick);
}

void CButton::UserControl_KeyDown(short& KeyCode, short& Shift) {
    Variant args[] = {Variant::integer(KeyCode), Variant::integer(Shift)};
    RaiseEvent(EventKeyDown, args);
    KeyCode = args[0].toInteger();
    Shift = args[1].toInteger();
}

void CButton::UserControl_KeyPress(short& KeyAscii) {
    Variant args[] = {Variant::integer(KeyAscii)};
    RaiseEvent(EventKeyPress, args);
    KeyAscii = args[0].toInteger();
}

void CButton::UserControl_KeyUp(short& KeyCode, short& Shift) {
    Variant args[] = {Variant::integer(KeyCode), Variant::integer(Shift)};
    RaiseEvent(EventKeyUp, args);
    KeyCode = args[0].toInteger();
    Shift = args[1].toInteger();
}

namespace {
struct MouseArgs {
    Variant v[4];
    MouseArgs(short b, short s, float x, float y)
        : v{Variant::integer(b), Variant::integer(s), Variant::single(x), Variant::single(y)} {}
    void back(short& b, short& s, float& x, float& y) const {
        b = v[0].toInteger();
        s = v[1].toInteger();
        x = v[2].toSingle();
        y = v[3].toSingle();
    }
};
} // namespace

void CButton::UserControl_MouseDown(short& Button, short& Shift, float& X, float& Y) {
    MouseArgs a(Button, Shift, X, Y);
    RaiseEvent(EventMouseDown, a.v);
    a.back(Button, Shift, X, Y);
    bool pressed = true, outside = false;
    DrawBorder(pressed, outside);
    Timer1->setEnabled(false);
}

void CButton::UserControl_MouseMove(short& Button, short& Shift, float& X, float& Y) {
    MouseArgs a(Button, Shift, X, Y);
    RaiseEvent(EventMouseMove, a.v);
    a.back(Button, Shift, X, Y);
}

void CButton::UserControl_MouseUp(short& Button, short& Shift, float& X, float& Y) {
    MouseArgs a(Button, Shift, X, Y);
    RaiseEvent(EventMouseUp, a.v);
    a.back(Button, Shift, X, Y);
    bool pressed = false, outside = false;
    DrawBorder(pressed, outside);
    Timer1->setEnabled(true);
}

void CButton::UserControl_Paint() {
    RaiseEvent(EventPaint);
}
void CButton::UserControl_Hide() {
    RaiseEvent(EventHide);
}

void CButton::UserControl_HitTest(float& X, float& Y, short& HitResult) {
    Variant args[] = {Variant::single(X), Variant::single(Y), Variant::integer(HitResult)};
    RaiseEvent(EventHitTest, args);
    X = args[0].toSingle();
    Y = args[1].toSingle();
    HitResult = args[2].toInteger();
}

void CButton::UserControl_Resize() {
    RaiseEvent(EventResize);
    bool t = m_AutoTop, s = m_AutoSize, e = Enabled();
    ArrangeCaption(t, s, e);
    bool s2 = m_AutoSize, e2 = Enabled();
    FitToPicture(s2, e2);
}

void CButton::UserControl_Show() {
    if (UserControl->Picture()->handle() != 0)
        NormalPicture = Variant::object(UserControl->Picture());
    bool t = m_AutoTop, s = m_AutoSize, e = Enabled();
    ArrangeCaption(t, s, e);
    bool s2 = m_AutoSize, e2 = Enabled();
    FitToPicture(s2, e2);
}

void CButton::UserControl_InitProperties() {
    m_AutoSize = true;
    m_AutoTop = false;
    m_UseFont = false;
}

void CButton::Timer1_Timer() {
    Rect r;
    PointL p;
    GetWindowRect(UserControl->hWnd(), r);
    GetCursorPos(p);
    bool outside = !(r.left < p.x && p.x < r.right && r.top < p.y && p.y < r.bottom);
    bool pressed = false;
    DrawBorder(pressed, outside);
}

// ------------------------------------------------ properties with side effects

bool CButton::Enabled() {
    return UserControl->Enabled();
}

void CButton::setEnabled(bool v) {
    UserControl->setEnabledState(v);
    ShowPicture(m_AutoSize, v);
    bool t = m_AutoTop, s = m_AutoSize;
    ArrangeCaption(t, s, v);
    Timer1->setEnabled(v);
    PropertyChanged(QStringLiteral("Enabled"));
}

Ref<component::Picture> CButton::Picture() {
    return UserControl->Picture();
}

void CButton::setPicture(Ref<component::Picture> v) {
    UserControl->setPicture(v ? v : component::Picture::empty());
    PropertyChanged(QStringLiteral("Picture"));
    if (UserControl->Picture()->handle() != 0) NormalPicture = Variant::object(v);
    MakeDisabledPicture();
    bool s = m_AutoSize, e = Enabled();
    FitToPicture(s, e);
    bool t = m_AutoTop, s2 = m_AutoSize, e2 = Enabled();
    ArrangeCaption(t, s2, e2);
    CaptionChanged();
}

bool CButton::AutoSize() {
    return m_AutoSize;
}

void CButton::setAutoSize(bool v) {
    m_AutoSize = v;
    bool t = m_AutoTop, e = Enabled();
    ArrangeCaption(t, v, e);
    bool e2 = Enabled();
    FitToPicture(v, e2);
    PropertyChanged(QStringLiteral("AutoSize"));
}

bool CButton::UseFont() {
    return m_UseFont;
}

void CButton::setUseFont(bool v) {
    m_UseFont = v;
    bool t = m_AutoTop, s = m_AutoSize, e = Enabled();
    ArrangeCaption(t, s, e);
    bool s2 = m_AutoSize, e2 = Enabled();
    FitToPicture(s2, e2);
    PropertyChanged(QStringLiteral("UseFont"));
}

bool CButton::AutoTop() {
    return m_AutoTop;
}

void CButton::setAutoTop(bool v) {
    m_AutoTop = v;
    PropertyChanged(QStringLiteral("AutoTop"));
}

QString CButton::Caption() {
    return Label1->Caption();
}

void CButton::setCaption(const QString& v) {
    Label1->setCaption(v);
    PropertyChanged(QStringLiteral("Caption"));
}

// ---------------------------------------------------------------- forwarding
// A get returns the target's value; a let or set assigns it and then tells
// the container; a failure of the target leaves before the notification.

#define KNOPLUX_FORWARD(Type, Name, getter, setter)                                                \
    Type CButton::Name() {                                                                         \
        return getter;                                                                             \
    }                                                                                              \
    void CButton::set##Name(Type v) {                                                              \
        setter;                                                                                    \
        PropertyChanged(QStringLiteral(#Name));                                                    \
    }

KNOPLUX_FORWARD(OleColor, BackColor, UserControl->BackColor(), UserControl->setBackColor(v))
KNOPLUX_FORWARD(BackConstants, BackStyle, static_cast<BackConstants>(UserControl->BackStyle()),
                UserControl->setBackStyle(v))
KNOPLUX_FORWARD(BorderConstants, BorderStyle,
                static_cast<BorderConstants>(UserControl->BorderStyle()),
                UserControl->setBorderStyle(v))
KNOPLUX_FORWARD(short, DrawMode, UserControl->DrawMode(), UserControl->setDrawMode(v))
KNOPLUX_FORWARD(short, DrawStyle, UserControl->DrawStyle(), UserControl->setDrawStyle(v))
KNOPLUX_FORWARD(short, DrawWidth, UserControl->DrawWidth(), UserControl->setDrawWidth(v))
KNOPLUX_FORWARD(OleColor, FillColor, UserControl->FillColor(), UserControl->setFillColor(v))
KNOPLUX_FORWARD(short, FillStyle, UserControl->FillStyle(), UserControl->setFillStyle(v))
KNOPLUX_FORWARD(Ref<component::Font>, Font, Label1->Font(), Label1->setFont(v))
KNOPLUX_FORWARD(bool, FontBold, Label1->Font()->bold(), Label1->Font()->setBold(v))
KNOPLUX_FORWARD(bool, FontItalic, Label1->Font()->italic(), Label1->Font()->setItalic(v))
KNOPLUX_FORWARD(float, FontSize, Label1->Font()->size(), Label1->Font()->setSize(v))
KNOPLUX_FORWARD(bool, FontStrikethru, Label1->Font()->strikethrough(),
                Label1->Font()->setStrikethrough(v))
KNOPLUX_FORWARD(bool, FontUnderline, Label1->Font()->underline(), Label1->Font()->setUnderline(v))
KNOPLUX_FORWARD(OleColor, ForeColor, Label1->ForeColor(), Label1->setForeColor(v))
KNOPLUX_FORWARD(short, HitBehavior, UserControl->HitBehavior(), UserControl->setHitBehavior(v))
KNOPLUX_FORWARD(short, LinkMode, Label1->LinkMode(), Label1->setLinkMode(v))
KNOPLUX_FORWARD(short, LinkTimeout, Label1->LinkTimeout(), Label1->setLinkTimeout(v))
KNOPLUX_FORWARD(std::int32_t, MaskColor, static_cast<std::int32_t>(UserControl->MaskColor()),
                UserControl->setMaskColor(static_cast<OleColor>(v)))
KNOPLUX_FORWARD(Ref<component::Picture>, MaskPicture, UserControl->MaskPicture(),
                UserControl->setMaskPicture(v))
KNOPLUX_FORWARD(Ref<component::Picture>, MouseIcon, UserControl->MouseIcon(),
                UserControl->setMouseIcon(v))
KNOPLUX_FORWARD(short, MousePointer, UserControl->MousePointer(), UserControl->setMousePointer(v))
KNOPLUX_FORWARD(Ref<component::Picture>, Palette, UserControl->Palette(),
                UserControl->setPalette(v))
KNOPLUX_FORWARD(short, PaletteMode, UserControl->PaletteMode(), UserControl->setPaletteMode(v))
KNOPLUX_FORWARD(float, ScaleHeight, static_cast<float>(UserControl->ScaleHeight()),
                UserControl->setScaleHeight(v))
KNOPLUX_FORWARD(float, ScaleLeft, static_cast<float>(UserControl->ScaleLeft()),
                UserControl->setScaleLeft(v))
KNOPLUX_FORWARD(short, ScaleMode, UserControl->ScaleMode(), UserControl->setScaleMode(v))
KNOPLUX_FORWARD(float, ScaleTop, static_cast<float>(UserControl->ScaleTop()),
                UserControl->setScaleTop(v))
KNOPLUX_FORWARD(float, ScaleWidth, static_cast<float>(UserControl->ScaleWidth()),
                UserControl->setScaleWidth(v))
#undef KNOPLUX_FORWARD

QString CButton::FontName() {
    return Label1->Font()->name();
}
void CButton::setFontName(const QString& v) {
    Label1->Font()->setName(v);
    PropertyChanged(QStringLiteral("FontName"));
}
QString CButton::LinkItem() {
    return Label1->LinkItem();
}
void CButton::setLinkItem(const QString& v) {
    Label1->setLinkItem(v);
    PropertyChanged(QStringLiteral("LinkItem"));
}
QString CButton::LinkTopic() {
    return Label1->LinkTopic();
}
void CButton::setLinkTopic(const QString& v) {
    Label1->setLinkTopic(v);
    PropertyChanged(QStringLiteral("LinkTopic"));
}

bool CButton::HasDC() {
    return UserControl->HasDC();
}
std::int32_t CButton::hDC() {
    return UserControl->hDC();
}
std::int32_t CButton::hWnd() {
    return UserControl->hWnd();
}
Ref<component::Picture> CButton::Image() {
    return UserControl->Image();
}

void CButton::LinkExecute(const QString& Command) {
    Label1->LinkExecute(Command);
}
void CButton::LinkPoke() {
    Label1->LinkPoke();
}
void CButton::LinkRequest() {
    Label1->LinkRequest();
}
void CButton::LinkSend() {
    Label1->LinkSend();
}

void CButton::Circle_(float& X, float& Y, float& Radius, std::int32_t& Color, float& StartPos,
                      float& EndPos, float& Aspect) {
    UserControl->Circle(X, Y, Radius, static_cast<OleColor>(Color), StartPos, EndPos, Aspect);
}

void CButton::Cls() {
    UserControl->Cls();
}

void CButton::PaintPicture(Ref<component::Picture> Picture, float X1, float Y1,
                           const Variant& Width1, const Variant& Height1, const Variant& X2,
                           const Variant& Y2, const Variant& Width2, const Variant& Height2,
                           const Variant& Opcode) {
    std::optional<std::uint32_t> op;
    if (!Opcode.isMissing() && !Opcode.isEmpty()) op = static_cast<std::uint32_t>(Opcode.toLong());
    UserControl->PaintPicture(Picture.get(), X1, Y1, optionalNumber(Width1),
                              optionalNumber(Height1), optionalNumber(X2), optionalNumber(Y2),
                              optionalNumber(Width2), optionalNumber(Height2), op);
}

std::int32_t CButton::Point(float& X, float& Y) {
    return UserControl->Point(X, Y);
}

void CButton::PopupMenu(Ref<IUnknown> Menu, const Variant&, const Variant&, const Variant&,
                        const Variant&) {
    // Only a menu of the form the control sits on can pop up; the container
    // offers no such object here.
    (void)Menu;
    throw AutomationError(static_cast<HResult>(0x800A0005), QStringLiteral("无效的过程调用或参数"));
}

void CButton::PSet_(float& X, float& Y, std::int32_t& Color) {
    UserControl->PSet(X, Y, static_cast<OleColor>(Color));
}

void CButton::Refresh() {
    UserControl->Refresh();
}

void CButton::Scale_(Variant& X1, Variant& Y1, Variant& X2, Variant& Y2) {
    UserControl->Scale(optionalNumber(X1), optionalNumber(Y1), optionalNumber(X2),
                       optionalNumber(Y2));
}

float CButton::ScaleX(float Width, const Variant& FromScale, const Variant& ToScale) {
    return static_cast<float>(
        UserControl->ScaleX(Width, optionalScale(FromScale), optionalScale(ToScale)));
}

float CButton::ScaleY(float Height, const Variant& FromScale, const Variant& ToScale) {
    return static_cast<float>(
        UserControl->ScaleY(Height, optionalScale(FromScale), optionalScale(ToScale)));
}

} // namespace knoplux

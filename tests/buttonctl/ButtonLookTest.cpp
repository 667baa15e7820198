// The control's look and behaviour, read from the pixels it renders.

#include "TestSupport.h"

#include "buttonctl/CButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace component;
using namespace testsupport;
using knoplux::CButton;

namespace {

QImage solidImage(int w, int h, OleColor c) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(toRgb(c));
    return img;
}

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button = CButton::create();
        site = Ref<TestSite>(new TestSite);
        sink = Ref<TestSink>(new TestSink);
        button->SetClientSite(site.get());
        std::uint32_t cookie = 0;
        button->eventSource().Advise(sink.get(), cookie);
        button->InitNew();
        button->widget()->move(200, 150);
        button->widget()->show();
        setCursorPosSource([this] { return cursor; });
    }
    void TearDown() override {
        setCursorPosSource(nullptr);
        button.reset();
    }

    Rect windowRect() {
        Rect r;
        GetWindowRect(button->hWnd(), r);
        return r;
    }
    void tickWithCursorAt(int x, int y) {
        cursor = QPoint(x, y);
        button->Timer1_Timer();
    }
    void tickInside() {
        const Rect r = windowRect();
        tickWithCursorAt(r.left + 5, r.top + 5);
    }
    OleColor pixel(int x, int y) { return fromRgb(button->widget()->grab().toImage().pixel(x, y)); }
    // Checks the four frame edges: the left column and top row from the
    // corner, the right column and bottom row two pixels inside the far edges.
    void expectFrame(OleColor left, OleColor bottom, OleColor right, OleColor top) {
        const QImage img = button->widget()->grab().toImage();
        const int xr = img.width() - 2, yb = img.height() - 2;
        for (int y = 0; y < yb; ++y)
            ASSERT_EQ(fromRgb(img.pixel(0, y)), left) << "left y=" << y;
        for (int x = 0; x < xr; ++x)
            ASSERT_EQ(fromRgb(img.pixel(x, yb)), bottom) << "bottom x=" << x;
        for (int y = yb; y > 0; --y)
            ASSERT_EQ(fromRgb(img.pixel(xr, y)), right) << "right y=" << y;
        for (int x = xr; x > 0; --x)
            ASSERT_EQ(fromRgb(img.pixel(x, 0)), top) << "top x=" << x;
        // Beyond the frame the surface keeps its colour.
        EXPECT_EQ(fromRgb(img.pixel(img.width() - 1, 5)), resolveOleColor(button->BackColor()));
        EXPECT_EQ(fromRgb(img.pixel(5, img.height() - 1)), resolveOleColor(button->BackColor()));
    }
    void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton b, QPoint pos) {
        QMouseEvent e(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), b,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b),
                      Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }

    Ref<CButton> button;
    Ref<TestSite> site;
    Ref<TestSink> sink;
    QPoint cursor;

    const OleColor white = 0xFFFFFF;
    const OleColor dark = resolveOleColor(0x80000003);
    const OleColor grey = 0xC0C0C0;
};

TEST_F(ButtonTest, NewInstanceTakesPictureBoxExtentAndShowsHoverFrame) {
    EXPECT_DOUBLE_EQ(button->UserControl->Width(), 1215);
    EXPECT_DOUBLE_EQ(button->UserControl->Height(), 495);
    EXPECT_EQ(button->widget()->size(), QSize(81, 33));
    EXPECT_FALSE(button->Label1->isVisible());
    EXPECT_FALSE(button->Label2->isVisible());
    EXPECT_EQ(button->Picture()->handle(), 0u);
    EXPECT_TRUE(button->AutoSize());
    EXPECT_FALSE(button->AutoTop());
    EXPECT_FALSE(button->UseFont());
    EXPECT_TRUE(button->Timer1->Enabled());
    EXPECT_EQ(button->Timer1->Interval(), 250);
    tickInside();
    expectFrame(white, dark, dark, white);
    EXPECT_EQ(pixel(40, 16), grey);
}

TEST_F(ButtonTest, FrameStatesFollowCursorAndButtons) {
    tickInside();
    expectFrame(white, dark, dark, white);

    const Rect r = windowRect();
    tickWithCursorAt(r.right + 10, r.top + 5);
    expectFrame(grey, grey, grey, grey);

    short b = 1, s = 0;
    float x = 100, y = 100;
    button->UserControl_MouseDown(b, s, x, y);
    expectFrame(dark, white, white, dark);
    EXPECT_FALSE(button->Timer1->Enabled());

    // Releasing draws the raised frame, even away from the control, and the
    // next tick erases it.
    button->UserControl_MouseUp(b, s, x, y);
    expectFrame(white, dark, dark, white);
    EXPECT_TRUE(button->Timer1->Enabled());
    tickWithCursorAt(r.left - 20, r.top - 20);
    expectFrame(grey, grey, grey, grey);
}

TEST_F(ButtonTest, HoverTestIsStrictOnAllFourSides) {
    const Rect r = windowRect();
    ASSERT_EQ(r.right - r.left, 81);
    ASSERT_EQ(r.bottom - r.top, 33);
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {
        {r.left, r.top + 5, false},         {r.left + 5, r.top, false},
        {r.right, r.top + 5, false},        {r.left + 5, r.bottom, false},
        {r.right + 1, r.bottom + 1, false}, {r.left + 1, r.top + 1, true},
        {r.right - 1, r.bottom - 1, true},
    };
    for (const Case& c : cases) {
        tickWithCursorAt(c.x, c.y);
        EXPECT_EQ(pixel(0, 0), c.inside ? white : grey) << c.x << "," << c.y;
    }
}

TEST_F(ButtonTest, MouseDownOnCaptionPressesWithCaptionRelativeCoordinates) {
    button->setUseFont(true);
    ASSERT_TRUE(button->Label1->isVisible());
    for (auto [qtButton, code] : {std::pair{Qt::LeftButton, 1}, std::pair{Qt::RightButton, 2},
                                  std::pair{Qt::MiddleButton, 4}}) {
        tickInside();
        sendMouse(button->Label1, QEvent::MouseButtonPress, qtButton, QPoint(5, 4));
        const Event* e = sink->last(knoplux::EventMouseDown);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->args[0].toInteger(), code);
        EXPECT_FLOAT_EQ(e->args[2].toSingle(), 75.0f);
        EXPECT_FLOAT_EQ(e->args[3].toSingle(), 60.0f);
        expectFrame(dark, white, white, dark);
        EXPECT_FALSE(button->Timer1->Enabled());
        sendMouse(button->Label1, QEvent::MouseButtonRelease, qtButton, QPoint(5, 4));
        EXPECT_TRUE(button->Timer1->Enabled());
        expectFrame(white, dark, dark, white);
    }
    EXPECT_EQ(sink->count(knoplux::EventMouseUp), 3);
    // Only the left button clicks.
    EXPECT_EQ(sink->count(knoplux::EventClick), 1);
}

TEST_F(ButtonTest, EventHandlerMayChangeByReferenceArguments) {
    sink->onEvent = [](DispId id, std::span<Variant> args) {
        if (id == knoplux::EventKeyPress) args[0] = Variant::integer(0);
    };
    short key = 'a';
    button->UserControl_KeyPress(key);
    EXPECT_EQ(key, 0);
    ASSERT_EQ(sink->count(knoplux::EventKeyPress), 1);
}

TEST(DisabledPicture, ColoursMapByTheirBlueFirstValue) {
    Ref<CButton> button = CButton::create();
    button->InitNew();
    const std::pair<OleColor, OleColor> cases[] = {
        {0x666980, 0x99967F}, {0x808080, 0x7F7F7F}, {0x66697F, 0xFFFFFF},
        {0xFF0000, 0x00FFFF}, {0xFF0001, 0xFFFFFF}, {0x000000, 0xFFFFFF},
    };
    QImage img(6, 1, QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i)
        img.setPixel(i, 0, toRgb(cases[i].first));
    button->setPicture(Picture::fromImage(img));
    const Picture* disabled = Picture::from(button->DisabledPicture);
    ASSERT_NE(disabled, nullptr);
    ASSERT_NE(disabled->handle(), 0u);
    ASSERT_EQ(disabled->image().size(), QSize(6, 1));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(fromRgb(disabled->image().pixel(i, 0)), cases[i].second) << i;
}

TEST_F(ButtonTest, PictureModeSizesToPictureAndDisabledImage) {
    button->setPicture(Picture::fromImage(solidImage(32, 32, 0x0000FF)));
    EXPECT_NEAR(button->UserControl->Width(), 510, 1e-6);
    EXPECT_NEAR(button->UserControl->Height(), 510, 1e-6);
    EXPECT_EQ(pixel(10, 10), 0x0000FFu);
    EXPECT_EQ(site->changed.count(QStringLiteral("Picture")), 1);

    site->changed.clear();
    button->setEnabled(false);
    // The disabled image fills the control with no margin for the frame.
    EXPECT_NEAR(button->UserControl->Width(), 480, 1e-6);
    EXPECT_NEAR(button->UserControl->Height(), 480, 1e-6);
    EXPECT_EQ(button->Picture().get(), Picture::from(button->DisabledPicture));
    // Red has no blue at all, so its disabled form is white.
    EXPECT_EQ(pixel(10, 10), 0xFFFFFFu);
    EXPECT_FALSE(button->Timer1->Enabled());
    EXPECT_TRUE(site->changed.contains(QStringLiteral("Enabled")));
    EXPECT_TRUE(site->changed.contains(QStringLiteral("ScaleMode")));

    button->setEnabled(true);
    EXPECT_NEAR(button->UserControl->Width(), 510, 1e-6);
    EXPECT_EQ(pixel(10, 10), 0x0000FFu);
    EXPECT_TRUE(button->Timer1->Enabled());
}

TEST_F(ButtonTest, TextModeSizesAroundCaptionAndAutoTopWaitsForLayout) {
    button->setUseFont(true);
    const double lw = button->Label1->Width(), lh = button->Label1->Height();
    ASSERT_GT(lw, 0);
    EXPECT_DOUBLE_EQ(button->UserControl->Width(), lw + 60);
    EXPECT_DOUBLE_EQ(button->UserControl->Height(), lh + 80);
    EXPECT_DOUBLE_EQ(button->Label1->Left(), (lw + 60) / 2 - lw / 2);
    EXPECT_DOUBLE_EQ(button->Label1->Top(), (lh + 80) / 2 - lh / 2);
    EXPECT_TRUE(button->Label1->isVisible());
    EXPECT_FALSE(button->Label2->isVisible());

    button->setAutoSize(false);
    button->UserControl->setExtent(3000, 1500);
    EXPECT_DOUBLE_EQ(button->Label1->Top(), 750 - lh / 2);
    button->setAutoTop(true);
    // Nothing moves until the next layout pass.
    EXPECT_DOUBLE_EQ(button->Label1->Top(), 750 - lh / 2);
    button->UserControl->setExtent(3000, 1200);
    EXPECT_DOUBLE_EQ(button->Label1->Top(), 120);
    EXPECT_DOUBLE_EQ(button->Label1->Left(), 1500 - lw / 2);
}

TEST_F(ButtonTest, DisabledCaptionIsEtchedAndColourComesBack) {
    button->setUseFont(true);
    button->setForeColor(0x00FF0000);
    button->setEnabled(false);
    EXPECT_EQ(button->Label1->ForeColor(), 0u);
    EXPECT_FALSE(button->Label1->Enabled());
    EXPECT_TRUE(button->Label1->isVisible());
    EXPECT_TRUE(button->Label2->isVisible());
    EXPECT_DOUBLE_EQ(button->Label2->Left(), button->Label1->Left() + 30);
    EXPECT_DOUBLE_EQ(button->Label2->Top(), button->Label1->Top() + 30);
    EXPECT_EQ(button->Label2->Caption(), button->Label1->Caption());
    EXPECT_FLOAT_EQ(button->Label2->Font()->size(), button->Label1->Font()->size());
    EXPECT_EQ(button->Label2->Font()->name(), button->Label1->Font()->name());
    // Another layout pass while disabled keeps the look.
    button->UserControl->setExtent(3000, 900);
    EXPECT_EQ(button->Label1->ForeColor(), 0u);

    button->setEnabled(true);
    EXPECT_EQ(button->Label1->ForeColor(), 0x00FF0000u);
    EXPECT_TRUE(button->Label1->Enabled());
    EXPECT_FALSE(button->Label2->isVisible());

    // A colour chosen after enabling again survives later layout passes.
    button->setForeColor(0x000000FF);
    button->UserControl->setExtent(2400, 900);
    EXPECT_EQ(button->Label1->ForeColor(), 0x000000FFu);
}

TEST_F(ButtonTest, ChangeRaisedTwiceForCaptionOnceForPicture) {
    sink->events.clear();
    button->setCaption(QStringLiteral("确定"));
    EXPECT_EQ(sink->count(knoplux::EventChange), 2);
    EXPECT_EQ(button->Label2->Caption(), QStringLiteral("确定"));
    EXPECT_EQ(site->changed.count(QStringLiteral("Caption")), 1);

    sink->events.clear();
    button->setCaption(QStringLiteral("确定"));
    EXPECT_EQ(sink->count(knoplux::EventChange), 0);

    button->setPicture(Picture::fromImage(solidImage(8, 8, 0x00FF00)));
    EXPECT_EQ(sink->count(knoplux::EventChange), 1);
}

TEST_F(ButtonTest, PictureSetInTextModeWaitsForPictureMode) {
    button->setUseFont(true);
    button->setPicture(Picture::fromImage(solidImage(32, 32, 0x00FF00)));
    EXPECT_EQ(button->Picture()->handle(), 0u);
    EXPECT_TRUE(Picture::isSet(button->NormalPicture));
    EXPECT_NE(pixel(10, 10), 0x00FF00u);

    button->setUseFont(false);
    EXPECT_NE(button->Picture()->handle(), 0u);
    EXPECT_NEAR(button->UserControl->Width(), 510, 1e-6);
    EXPECT_EQ(pixel(10, 10), 0x00FF00u);
    EXPECT_FALSE(button->Label1->isVisible());
}

TEST_F(ButtonTest, StretchesPictureWhenNotAutoSizing) {
    button->setAutoSize(false);
    button->UserControl->setExtent(1500, 1500); // 100 x 100 pixels
    QImage img(10, 10, QImage::Format_ARGB32);
    img.fill(toRgb(0x0000FF));
    for (int x = 0; x < 10; ++x)
        img.setPixel(x, 9, toRgb(0xFF0000));
    button->setPicture(Picture::fromImage(img));
    EXPECT_DOUBLE_EQ(button->UserControl->Width(), 1500);
    // Enabled: stretched over the client area less about two pixels.
    EXPECT_EQ(pixel(50, 50), 0x0000FFu);
    EXPECT_EQ(pixel(50, 96), 0xFF0000u);
    EXPECT_EQ(pixel(50, 99), grey);
}

TEST_F(ButtonTest, WindowEventsBecomeControlEventsAndCaptionsForwardOnlySome) {
    QWidget* surface = button->widget();
    sink->events.clear();
    sendMouse(surface, QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(10, 10));
    EXPECT_EQ(sink->count(knoplux::EventDblClick), 1);
    sendMouse(surface, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 12),
                     QPointF(surface->mapToGlobal(QPoint(12, 12))), Qt::NoButton, Qt::NoButton,
                     Qt::ShiftModifier);
    QApplication::sendEvent(surface, &move);
    const Event* m = sink->last(knoplux::EventMouseMove);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->args[1].toInteger(), 1); // shift
    // The surface reports positions in its current scale.
    EXPECT_FLOAT_EQ(m->args[2].toSingle(), static_cast<float>(button->UserControl->fromPixelX(12)));

    QKeyEvent down(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QStringLiteral("a"));
    QApplication::sendEvent(surface, &down);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(surface, &up);
    const Event* kd = sink->last(knoplux::EventKeyDown);
    ASSERT_NE(kd, nullptr);
    EXPECT_EQ(kd->args[0].toInteger(), 'A');
    EXPECT_EQ(kd->args[1].toInteger(), 2);
    EXPECT_EQ(sink->last(knoplux::EventKeyPress)->args[0].toInteger(), 'a');
    EXPECT_EQ(sink->last(knoplux::EventKeyUp)->args[0].toInteger(), 0x71);

    // The captions raise no DblClick.
    button->setUseFont(true);
    sink->events.clear();
    sendMouse(button->Label1, QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(3, 3));
    EXPECT_EQ(sink->count(knoplux::EventDblClick), 0);
    EXPECT_EQ(sink->count(knoplux::EventMouseDown), 1);

    // Resize is raised before the layout runs; hiding raises Hide.
    double widthSeen = -1;
    sink->onEvent = [&](DispId id, std::span<Variant>) {
        if (id == knoplux::EventResize && widthSeen < 0) widthSeen = button->UserControl->Width();
    };
    button->UserControl->setExtent(3000, 3000);
    EXPECT_DOUBLE_EQ(widthSeen, 3000);
    EXPECT_DOUBLE_EQ(button->UserControl->Width(), button->Label1->Width() + 60);
    sink->onEvent = nullptr;
    surface->hide();
    EXPECT_EQ(sink->count(knoplux::EventHide), 1);
}

} // namespace

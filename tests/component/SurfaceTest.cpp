// The drawing surface, its scale and the pixel routines.

#include "component/Surface.h"
#include "component/AutomationError.h"
#include "component/WinApi.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace component;

namespace {

struct SurfaceFixture : ::testing::Test {
    void SetUp() override {
        s.setBackColor(0x00C0C0C0);
        s.setExtent(1500, 750); // 100 x 50 pixels
    }
    OleColor at(int x, int y) { return fromRgb(s.image().pixel(x, y)); }
    Surface s;
};

} // namespace

TEST_F(SurfaceFixture, ExtentKeepsTwipsAndRoundsPixels) {
    EXPECT_EQ(s.size(), QSize(100, 50));
    s.setExtent(1222, 758);
    EXPECT_DOUBLE_EQ(s.Width(), 1222);
    EXPECT_EQ(s.size(), QSize(81, 51));
    EXPECT_THROW(s.setWidth(-1), AutomationError);
}

TEST_F(SurfaceFixture, LinesLeaveOutTheirEndPoint) {
    s.setScaleMode(ScalePixels);
    s.Line(10, 10, 20, 10, 0x0000FF);
    EXPECT_EQ(at(10, 10), 0x0000FFu);
    EXPECT_EQ(at(19, 10), 0x0000FFu);
    EXPECT_EQ(at(20, 10), 0xC0C0C0u);
    // A connected line continues from the end point.
    s.LineTo(20, 20, 0x00FF00);
    EXPECT_EQ(at(20, 10), 0x00FF00u);
    EXPECT_EQ(at(20, 20), 0xC0C0C0u);
    EXPECT_DOUBLE_EQ(s.CurrentX(), 20);

    // Exclusive-or pen twice restores the background.
    s.setDrawMode(7);
    s.Line(0, 30, 50, 30, 0xFFFFFF);
    EXPECT_EQ(at(5, 30), 0x3F3F3Fu);
    s.Line(0, 30, 50, 30, 0xFFFFFF);
    EXPECT_EQ(at(5, 30), 0xC0C0C0u);

    s.Cls();
    EXPECT_EQ(at(10, 10), 0xC0C0C0u);
}

TEST_F(SurfaceFixture, ScalesConvertBetweenUnits) {
    EXPECT_EQ(s.ScaleMode(), ScaleTwips);
    EXPECT_DOUBLE_EQ(s.ScaleWidth(), 1500);
    EXPECT_DOUBLE_EQ(s.ScaleX(2540), 1440);         // HIMETRIC to twips
    EXPECT_DOUBLE_EQ(s.ScaleX(1, ScalePixels), 15); // pixels to twips
    s.setScaleMode(ScalePixels);
    EXPECT_DOUBLE_EQ(s.ScaleWidth(), 100);
    EXPECT_NEAR(s.ScaleX(60), 2.2677, 1e-4);
    s.Scale(0.0, 0.0, 10.0, 10.0);
    EXPECT_EQ(s.ScaleMode(), ScaleUser);
    EXPECT_DOUBLE_EQ(s.toPixelX(5), 50);
    EXPECT_DOUBLE_EQ(s.toPixelY(5), 25);
    EXPECT_DOUBLE_EQ(s.ScaleX(1, ScaleUser, ScalePixels), 10);
    EXPECT_THROW(s.setScaleWidth(0), AutomationError);
    EXPECT_THROW(s.setScaleMode(9), AutomationError);
    EXPECT_THROW(s.setDrawWidth(0), AutomationError);
    EXPECT_THROW(s.setBackColor(0x80000099), AutomationError);
}

TEST_F(SurfaceFixture, PointAndPixelRoutinesIgnoreOutsideOfTheBitmap) {
    s.setScaleMode(ScalePixels);
    s.PSet(3, 4, 0x112233);
    EXPECT_EQ(s.Point(3, 4), 0x112233);
    EXPECT_EQ(s.Point(100, 4), -1);
    EXPECT_EQ(GetPixel(s.hDC(), 3, 4), 0x112233);
    EXPECT_EQ(GetPixel(s.hDC(), -1, 0), -1);
    EXPECT_EQ(GetPixel(s.hDC(), 0, 50), -1);
    EXPECT_EQ(SetPixel(s.hDC(), 100, 0, 0xFFFFFF), -1);
    EXPECT_EQ(SetPixel(s.hDC(), 99, 49, 0xFFFFFF), 0xFFFFFF);
    EXPECT_EQ(at(99, 49), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(0x7777, 0, 0), -1);
}

TEST_F(SurfaceFixture, StretchBltCopiesWithinOneContext) {
    s.setScaleMode(ScalePixels);
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 2; ++y)
            SetPixel(s.hDC(), x, y, x ? 0xFF0000 : 0x0000FF);
    ASSERT_TRUE(StretchBlt(s.hDC(), 0, 0, 100, 50, s.hDC(), 0, 0, 2, 2, SrcCopy));
    EXPECT_EQ(at(10, 10), 0x0000FFu);
    EXPECT_EQ(at(90, 40), 0xFF0000u);
    EXPECT_FALSE(StretchBlt(s.hDC(), 0, 0, 10, 10, s.hDC(), 0, 0, 2, 2, 0x00123456));
    EXPECT_FALSE(StretchBlt(s.hDC(), 0, 0, 10, 10, 0x7777, 0, 0, 2, 2, SrcCopy));
}

TEST_F(SurfaceFixture, PictureDrawsAtNaturalSizeAndPictureBoxTakesItsSize) {
    QImage img(10, 5, QImage::Format_ARGB32);
    img.fill(qRgb(0, 0, 255));
    s.setPicture(Picture::fromImage(img));
    EXPECT_EQ(at(9, 4), 0xFF0000u);
    EXPECT_EQ(at(10, 4), 0xC0C0C0u);
    s.setPicture({});
    EXPECT_EQ(s.Picture()->handle(), 0u);
    EXPECT_EQ(at(0, 0), 0xC0C0C0u);

    Surface box;
    box.setSizeToPicture(true);
    box.setPicture(Picture::fromImage(img));
    EXPECT_DOUBLE_EQ(box.Width(), 150);
    EXPECT_DOUBLE_EQ(box.Height(), 75);
    EXPECT_EQ(box.Image()->image().size(), QSize(10, 5));
}

TEST_F(SurfaceFixture, PenStylesWidthsCirclesAndPictures) {
    s.setScaleMode(ScalePixels);
    // Dashes: 18 pixels on, 6 off.
    s.setDrawStyle(1);
    s.Line(0, 5, 60, 5, 0x000000);
    EXPECT_EQ(at(17, 5), 0u);
    EXPECT_EQ(at(18, 5), 0xC0C0C0u);
    EXPECT_EQ(at(24, 5), 0u);
    // The transparent style draws nothing.
    s.setDrawStyle(5);
    s.Line(0, 8, 60, 8, 0x000000);
    EXPECT_EQ(at(10, 8), 0xC0C0C0u);
    // A wide pen covers its width around the line, and its end point.
    s.setDrawStyle(0);
    s.setDrawWidth(3);
    s.Line(10, 20, 30, 20, 0x0000FF);
    EXPECT_EQ(at(20, 19), 0x0000FFu);
    EXPECT_EQ(at(20, 21), 0x0000FFu);
    EXPECT_EQ(at(20, 23), 0xC0C0C0u);
    EXPECT_EQ(at(30, 20), 0x0000FFu);
    s.setDrawWidth(1);

    s.Cls();
    s.setFillStyle(0);
    s.setFillColor(0x00FF00);
    s.Circle(50, 25, 10, 0xFF0000);
    EXPECT_EQ(at(50, 25), 0x00FF00u); // filled inside
    EXPECT_EQ(at(50, 10), 0xC0C0C0u); // outside the circle
    EXPECT_THROW(s.Circle(50, 25, 10, 0xFF0000, 0.0, 1.0, 0.0), AutomationError);

    s.Cls();
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(qRgb(255, 0, 0));
    const Ref<Picture> pic = Picture::fromImage(img);
    s.PaintPicture(pic.get(), 10, 10, 8.0, 8.0);
    EXPECT_EQ(at(10, 10), 0x0000FFu);
    EXPECT_EQ(at(17, 17), 0x0000FFu);
    EXPECT_EQ(at(18, 18), 0xC0C0C0u);
    EXPECT_THROW(s.PaintPicture(Picture::empty().get(), 0, 0), AutomationError);

    // A transparent background leaves the image clear.
    s.setBackStyle(0);
    EXPECT_EQ(qAlpha(s.image().pixel(1, 1)), 0);
}

TEST_F(SurfaceFixture, MouseClickNeedsLeftButtonReleasedInside) {
    int clicks = 0;
    s.onClick = [&] { ++clicks; };
    auto send = [&](QEvent::Type t, Qt::MouseButton b, QPoint p) {
        QMouseEvent e(t, QPointF(p), QPointF(p), b,
                      t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b),
                      Qt::NoModifier);
        QApplication::sendEvent(&s, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    send(QEvent::MouseButtonRelease, Qt::LeftButton, {6, 6});
    send(QEvent::MouseButtonPress, Qt::RightButton, {5, 5});
    send(QEvent::MouseButtonRelease, Qt::RightButton, {5, 5});
    send(QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    send(QEvent::MouseButtonRelease, Qt::LeftButton, {500, 5});
    EXPECT_EQ(clicks, 1);
}

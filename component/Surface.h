#pragma once

#include "Color.h"
#include "Picture.h"
#include "Units.h"
#include "WinApi.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>

namespace component {

// A windowed drawing surface as the control and its picture box know it: a
// background colour and picture, a persistent image that the graphics methods
// and the pixel routines draw into (kept across repaints), a scale with its
// mode, and the input events of a window, handed out through callbacks.
//
// The extent (Width, Height) is kept in twips as it was set; the window takes
// the nearest whole number of pixels (15 twips per pixel). Positions given to
// the graphics methods are in the current scale.
class Surface : public QWidget {
    Q_OBJECT

public:
    explicit Surface(QWidget* parent = nullptr);
    ~Surface() override;

    // Extent in twips.
    double Width() const { return m_widthTwips; }
    double Height() const { return m_heightTwips; }
    void setWidth(double twips);
    void setHeight(double twips);
    void setExtent(double widthTwips, double heightTwips);

    OleColor BackColor() const { return m_backColor; }
    void setBackColor(OleColor c);
    short BackStyle() const { return m_backStyle; } // 0 transparent, 1 opaque
    void setBackStyle(short v);
    short BorderStyle() const { return m_borderStyle; } // 0 none, 1 fixed single
    void setBorderStyle(short v);
    OleColor ForeColor() const { return m_foreColor; }
    void setForeColor(OleColor c);

    // The pen: raster operation (1..16, 13 copies the pen), line style
    // (0 solid .. 6 inside solid; 5 draws nothing) and width in pixels.
    short DrawMode() const { return m_drawMode; }
    void setDrawMode(short v);
    short DrawStyle() const { return m_drawStyle; }
    void setDrawStyle(short v);
    short DrawWidth() const { return m_drawWidth; }
    void setDrawWidth(short v);
    OleColor FillColor() const { return m_fillColor; }
    void setFillColor(OleColor c);
    short FillStyle() const { return m_fillStyle; } // 0 solid, 1 transparent, 2..7 hatches
    void setFillStyle(short v);

    bool Enabled() const { return m_enabled; }
    void setEnabledState(bool on);

    short ScaleMode() const { return m_scaleMode; }
    void setScaleMode(short mode);
    double ScaleLeft() const { return m_scaleLeft; }
    double ScaleTop() const { return m_scaleTop; }
    double ScaleWidth() const { return m_scaleWidth; }
    double ScaleHeight() const { return m_scaleHeight; }
    void setScaleLeft(double v);
    void setScaleTop(double v);
    void setScaleWidth(double v);
    void setScaleHeight(double v);
    // Sets a user scale with (x1, y1) the top-left and (x2, y2) the bottom-right
    // corner; without arguments returns to twips.
    void Scale(std::optional<double> x1 = {}, std::optional<double> y1 = {},
               std::optional<double> x2 = {}, std::optional<double> y2 = {});
    // Converts a width or height between scales; fromScale defaults to
    // HIMETRIC, toScale to the current scale mode.
    double ScaleX(double width, std::optional<short> fromScale = {},
                  std::optional<short> toScale = {}) const;
    double ScaleY(double height, std::optional<short> fromScale = {},
                  std::optional<short> toScale = {}) const;

    double CurrentX() const { return m_currentX; }
    double CurrentY() const { return m_currentY; }
    void setCurrentX(double v) { m_currentX = v; }
    void setCurrentY(double v) { m_currentY = v; }

    // Graphics methods; a missing colour means ForeColor.
    void Cls();
    void Line(double x1, double y1, double x2, double y2, std::optional<OleColor> color = {});
    // Line from the current position.
    void LineTo(double x2, double y2, std::optional<OleColor> color = {});
    void PSet(double x, double y, std::optional<OleColor> color = {});
    std::int32_t Point(double x, double y) const;
    void Circle(double x, double y, double radius, std::optional<OleColor> color = {},
                std::optional<double> start = {}, std::optional<double> end = {},
                std::optional<double> aspect = {});
    void PaintPicture(const component::Picture* picture, double x1, double y1,
                      std::optional<double> width1 = {}, std::optional<double> height1 = {},
                      std::optional<double> x2 = {}, std::optional<double> y2 = {},
                      std::optional<double> width2 = {}, std::optional<double> height2 = {},
                      std::optional<std::uint32_t> opcode = {});
    void Refresh();

    std::int32_t hDC() const { return m_dc.handle(); }
    std::int32_t hWnd() { return component::windowHandle(this); }
    bool HasDC() const { return true; }

    // The background picture, drawn at natural size in the top-left corner.
    Ref<component::Picture> Picture() const { return m_picture; }
    void setPicture(Ref<component::Picture> p);
    // The persistent image as a picture.
    Ref<component::Picture> Image() const;
    // Direct access to the persistent image, for drawing code and tests.
    const QImage& image() const { return m_image; }

    short HitBehavior() const { return m_hitBehavior; }
    void setHitBehavior(short v);
    OleColor MaskColor() const { return m_maskColor; }
    void setMaskColor(OleColor c);
    Ref<component::Picture> MaskPicture() const { return m_maskPicture; }
    void setMaskPicture(Ref<component::Picture> p) { m_maskPicture = std::move(p); }
    Ref<component::Picture> MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(Ref<component::Picture> p);
    short MousePointer() const { return m_mousePointer; }
    void setMousePointer(short v);
    Ref<component::Picture> Palette() const { return m_palette; }
    void setPalette(Ref<component::Picture> p) { m_palette = std::move(p); }
    short PaletteMode() const { return m_paletteMode; }
    void setPaletteMode(short v);

    // A picture box takes the size of each picture given to it.
    void setSizeToPicture(bool on) { m_sizeToPicture = on; }

    // Pixel position of a point in the current scale, and back.
    double toPixelX(double x) const;
    double toPixelY(double y) const;
    double fromPixelX(double px) const;
    double fromPixelY(double py) const;

    // Events, called on the user-interface thread. Arguments are by reference:
    // a handler may change them.
    std::function<void()> onClick, onDblClick, onPaint, onHide, onShow, onResize;
    std::function<void(short&keyCode, short&shift)> onKeyDown, onKeyUp;
    std::function<void(short& keyAscii)> onKeyPress;
    std::function<void(short&button, short&shift, float&x, float&y)> onMouseDown, onMouseMove,
        onMouseUp;
    std::function<void(float& x, float& y, short& hitResult)> onHitTest;

    // The container's hit test for a point in the current scale.
    short hitTest(double x, double y);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;

private:
    void applyPixelSize();
    void rebuildImage(bool keepDrawing);
    void renderBackground(QImage& img) const;
    void updateScaleFromMode();
    double twipsPerScaleUnit(bool vertical) const;
    void plot(int x, int y, QRgb color);
    void drawSegment(int x0, int y0, int x1, int y1, QRgb color);
    void penDot(int x, int y, QRgb color);

    double m_widthTwips = 0;
    double m_heightTwips = 0;
    bool m_inSetExtent = false;

    OleColor m_backColor = 0x8000000F;
    short m_backStyle = 1;
    short m_borderStyle = 0;
    OleColor m_foreColor = 0x80000012;
    short m_drawMode = 13;
    short m_drawStyle = 0;
    short m_drawWidth = 1;
    OleColor m_fillColor = 0;
    short m_fillStyle = 1;
    bool m_enabled = true;

    short m_scaleMode = ScaleTwips;
    double m_scaleLeft = 0, m_scaleTop = 0, m_scaleWidth = 0, m_scaleHeight = 0;
    double m_currentX = 0, m_currentY = 0;
    long m_styleStep = 0;

    Ref<component::Picture> m_picture;
    Ref<component::Picture> m_maskPicture, m_mouseIcon, m_palette;
    short m_hitBehavior = 1;
    OleColor m_maskColor = 0x8000000F;
    short m_mousePointer = 0;
    short m_paletteMode = 3;
    bool m_sizeToPicture = false;

    QImage m_image;
    DeviceContext m_dc;
    Qt::MouseButtons m_pressed;
};

// Buttons and shift state in the numbering the events use.
short mouseButtonCode(Qt::MouseButton b);
short mouseButtonsCode(Qt::MouseButtons b);
short shiftCode(Qt::KeyboardModifiers m);
short virtualKeyCode(int qtKey);

} // namespace component

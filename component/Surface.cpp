#include "Surface.h"

#include "AutomationError.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace component {

namespace {

QRgb applyRop(short mode, QRgb pen, QRgb dst) {
    const std::uint32_t p = pen & 0xFFFFFF;
    const std::uint32_t d = dst & 0xFFFFFF;
    std::uint32_t r = p;
    switch (mode) {
    case 1:
        r = 0;
        break;
    case 2:
        r = ~(p | d);
        break;
    case 3:
        r = d & ~p;
        break;
    case 4:
        r = ~p;
        break;
    case 5:
        r = p & ~d;
        break;
    case 6:
        r = ~d;
        break;
    case 7:
        r = p ^ d;
        break;
    case 8:
        r = ~(p & d);
        break;
    case 9:
        r = p & d;
        break;
    case 10:
        r = ~(p ^ d);
        break;
    case 11:
        r = d;
        break;
    case 12:
        r = d | ~p;
        break;
    case 13:
        r = p;
        break;
    case 14:
        r = p | ~d;
        break;
    case 15:
        r = p | d;
        break;
    case 16:
        r = 0xFFFFFF;
        break;
    default:
        break;
    }
    return 0xFF000000u | (r & 0xFFFFFF);
}

// On/off run lengths of the dashed line styles, in pixels.
const std::vector<int>& stylePattern(short style) {
    static const std::vector<int> solid;
    static const std::vector<int> dash{18, 6};
    static const std::vector<int> dot{3, 3};
    static const std::vector<int> dashDot{9, 6, 3, 6};
    static const std::vector<int> dashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case 1:
        return dash;
    case 2:
        return dot;
    case 3:
        return dashDot;
    case 4:
        return dashDotDot;
    default:
        return solid;
    }
}

QPainter::CompositionMode compositionFor(short drawMode) {
    switch (drawMode) {
    case 4:
        return QPainter::RasterOp_NotSource;
    case 6:
        return QPainter::RasterOp_NotDestination;
    case 7:
        return QPainter::RasterOp_SourceXorDestination;
    case 9:
        return QPainter::RasterOp_SourceAndDestination;
    case 10:
        return QPainter::RasterOp_NotSourceXorDestination;
    case 15:
        return QPainter::RasterOp_SourceOrDestination;
    case 2:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case 8:
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case 3:
        return QPainter::RasterOp_NotSourceAndDestination;
    case 5:
        return QPainter::RasterOp_SourceAndNotDestination;
    case 12:
        return QPainter::RasterOp_NotSourceOrDestination;
    case 14:
        return QPainter::RasterOp_SourceOrNotDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

int roundPx(double v) {
    return static_cast<int>(std::lround(v));
}

} // namespace

Surface::Surface(QWidget* parent)
    : QWidget(parent), m_picture(component::Picture::empty()),
      m_dc(&m_image, [this] { update(); }) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    m_widthTwips = width() * TwipsPerPixel;
    m_heightTwips = height() * TwipsPerPixel;
    rebuildImage(false);
    updateScaleFromMode();
}

Surface::~Surface() = default;

void Surface::setWidth(double twips) {
    setExtent(twips, m_heightTwips);
}
void Surface::setHeight(double twips) {
    setExtent(m_widthTwips, twips);
}

void Surface::setExtent(double widthTwips, double heightTwips) {
    if (!(widthTwips >= 0) || !(heightTwips >= 0) || widthTwips > 1e7 || heightTwips > 1e7)
        throwInvalidPropertyValue();
    m_widthTwips = widthTwips;
    m_heightTwips = heightTwips;
    applyPixelSize();
}

void Surface::applyPixelSize() {
    const QSize px(roundPx(m_widthTwips / TwipsPerPixel), roundPx(m_heightTwips / TwipsPerPixel));
    if (px == size()) return;
    m_inSetExtent = true;
    resize(px);
    m_inSetExtent = false;
    rebuildImage(true);
    updateScaleFromMode();
    if (onResize) onResize();
}

void Surface::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (m_inSetExtent) return;
    // Resized from outside (container or window manager): the pixel size rules.
    const QSize px(roundPx(m_widthTwips / TwipsPerPixel), roundPx(m_heightTwips / TwipsPerPixel));
    if (px == size() && m_image.size() == size()) return;
    m_widthTwips = width() * TwipsPerPixel;
    m_heightTwips = height() * TwipsPerPixel;
    rebuildImage(true);
    updateScaleFromMode();
    if (onResize) onResize();
}

void Surface::renderBackground(QImage& img) const {
    if (img.isNull()) return;
    img.fill(m_backStyle ? toRgb(m_backColor) : qRgba(0, 0, 0, 0));
    if (m_picture && m_picture->handle()) {
        QPainter p(&img);
        p.drawImage(0, 0, m_picture->image());
    }
}

void Surface::rebuildImage(bool keepDrawing) {
    QImage next(size().expandedTo(QSize(0, 0)), QImage::Format_ARGB32);
    if (!next.isNull()) {
        renderBackground(next);
        if (keepDrawing && !m_image.isNull()) {
            QPainter p(&next);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, m_image);
        }
    }
    m_image = std::move(next);
    update();
}

void Surface::setBackColor(OleColor c) {
    checkOleColor(c);
    m_backColor = c;
    // A new background colour clears what was drawn, as on the platform.
    rebuildImage(false);
}

void Surface::setBackStyle(short v) {
    if (v != 0 && v != 1) throwInvalidPropertyValue();
    m_backStyle = v;
    rebuildImage(false);
}

void Surface::setBorderStyle(short v) {
    if (v != 0 && v != 1) throwInvalidPropertyValue();
    m_borderStyle = v;
    update();
}

void Surface::setForeColor(OleColor c) {
    checkOleColor(c);
    m_foreColor = c;
}

void Surface::setDrawMode(short v) {
    if (v < 1 || v > 16) throwInvalidPropertyValue();
    m_drawMode = v;
}

void Surface::setDrawStyle(short v) {
    if (v < 0 || v > 6) throwInvalidPropertyValue();
    m_drawStyle = v;
}

void Surface::setDrawWidth(short v) {
    if (v < 1) throwInvalidPropertyValue();
    m_drawWidth = v;
}

void Surface::setFillColor(OleColor c) {
    checkOleColor(c);
    m_fillColor = c;
}

void Surface::setFillStyle(short v) {
    if (v < 0 || v > 7) throwInvalidPropertyValue();
    m_fillStyle = v;
}

void Surface::setEnabledState(bool on) {
    m_enabled = on;
    QWidget::setEnabled(on);
}

void Surface::setHitBehavior(short v) {
    if (v < 0 || v > 2) throwInvalidPropertyValue();
    m_hitBehavior = v;
}

void Surface::setMaskColor(OleColor c) {
    checkOleColor(c);
    m_maskColor = c;
}

void Surface::setMouseIcon(Ref<component::Picture> p) {
    m_mouseIcon = std::move(p);
}

void Surface::setMousePointer(short v) {
    if ((v < 0 || v > 15) && v != 99) throwInvalidPropertyValue();
    m_mousePointer = v;
    static const Qt::CursorShape shapes[] = {
        Qt::ArrowCursor,     Qt::ArrowCursor,   Qt::CrossCursor,     Qt::IBeamCursor,
        Qt::ArrowCursor,     Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::UpArrowCursor,   Qt::WaitCursor,
        Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor, Qt::SizeAllCursor};
    if (v == 0)
        unsetCursor();
    else if (v == 99 && m_mouseIcon && m_mouseIcon->handle())
        setCursor(QCursor(QPixmap::fromImage(m_mouseIcon->image())));
    else if (v != 99)
        setCursor(shapes[v]);
}

void Surface::setPaletteMode(short v) {
    if (v < 0 || v > 3) throwInvalidPropertyValue();
    m_paletteMode = v;
}

// ---- scale ----

void Surface::updateScaleFromMode() {
    if (m_scaleMode == ScaleUser) return;
    const double f = twipsPerUnit(m_scaleMode, false);
    const double g = twipsPerUnit(m_scaleMode, true);
    m_scaleLeft = 0;
    m_scaleTop = 0;
    m_scaleWidth = width() * TwipsPerPixel / f;
    m_scaleHeight = height() * TwipsPerPixel / g;
}

void Surface::setScaleMode(short mode) {
    if (mode < 0 || mode > 8) throwInvalidPropertyValue();
    m_scaleMode = mode;
    updateScaleFromMode();
}

void Surface::setScaleLeft(double v) {
    m_scaleMode = ScaleUser;
    m_scaleLeft = v;
}
void Surface::setScaleTop(double v) {
    m_scaleMode = ScaleUser;
    m_scaleTop = v;
}
void Surface::setScaleWidth(double v) {
    if (v == 0 || !std::isfinite(v)) throwInvalidPropertyValue();
    m_scaleMode = ScaleUser;
    m_scaleWidth = v;
}
void Surface::setScaleHeight(double v) {
    if (v == 0 || !std::isfinite(v)) throwInvalidPropertyValue();
    m_scaleMode = ScaleUser;
    m_scaleHeight = v;
}

void Surface::Scale(std::optional<double> x1, std::optional<double> y1, std::optional<double> x2,
                    std::optional<double> y2) {
    if (!x1 && !y1 && !x2 && !y2) {
        setScaleMode(ScaleTwips);
        return;
    }
    if (!x1 || !y1 || !x2 || !y2 || *x1 == *x2 || *y1 == *y2) throwInvalidPropertyValue();
    m_scaleMode = ScaleUser;
    m_scaleLeft = *x1;
    m_scaleTop = *y1;
    m_scaleWidth = *x2 - *x1;
    m_scaleHeight = *y2 - *y1;
}

double Surface::twipsPerScaleUnit(bool vertical) const {
    if (m_scaleMode != ScaleUser) return twipsPerUnit(m_scaleMode, vertical);
    const double extentTwips = (vertical ? height() : width()) * TwipsPerPixel;
    const double units = vertical ? m_scaleHeight : m_scaleWidth;
    return units == 0 ? 1.0 : extentTwips / units;
}

double Surface::ScaleX(double w, std::optional<short> from, std::optional<short> to) const {
    const short f = from.value_or(ScaleHimetric);
    const short t = to.value_or(m_scaleMode);
    if (f < 0 || f > 8 || t < 0 || t > 8) throwInvalidPropertyValue();
    const double fromUnit = f == ScaleUser ? twipsPerScaleUnit(false) : twipsPerUnit(f, false);
    const double toUnit = t == ScaleUser ? twipsPerScaleUnit(false) : twipsPerUnit(t, false);
    return w * fromUnit / toUnit;
}

double Surface::ScaleY(double h, std::optional<short> from, std::optional<short> to) const {
    const short f = from.value_or(ScaleHimetric);
    const short t = to.value_or(m_scaleMode);
    if (f < 0 || f > 8 || t < 0 || t > 8) throwInvalidPropertyValue();
    const double fromUnit = f == ScaleUser ? twipsPerScaleUnit(true) : twipsPerUnit(f, true);
    const double toUnit = t == ScaleUser ? twipsPerScaleUnit(true) : twipsPerUnit(t, true);
    return h * fromUnit / toUnit;
}

double Surface::toPixelX(double x) const {
    return (x - m_scaleLeft) * twipsPerScaleUnit(false) / TwipsPerPixel;
}
double Surface::toPixelY(double y) const {
    return (y - m_scaleTop) * twipsPerScaleUnit(true) / TwipsPerPixel;
}
double Surface::fromPixelX(double px) const {
    return m_scaleLeft + px * TwipsPerPixel / twipsPerScaleUnit(false);
}
double Surface::fromPixelY(double py) const {
    return m_scaleTop + py * TwipsPerPixel / twipsPerScaleUnit(true);
}

// ---- drawing ----

void Surface::Cls() {
    renderBackground(m_image);
    m_currentX = 0;
    m_currentY = 0;
    update();
}

void Surface::plot(int x, int y, QRgb color) {
    if (!m_image.valid(x, y)) return;
    m_image.setPixel(x, y, applyRop(m_drawMode, color, m_image.pixel(x, y)));
}

void Surface::penDot(int x, int y, QRgb color) {
    if (m_drawWidth <= 1) {
        plot(x, y, color);
        return;
    }
    const int lo = -(m_drawWidth / 2);
    const int hi = lo + m_drawWidth;
    for (int dy = lo; dy < hi; ++dy)
        for (int dx = lo; dx < hi; ++dx)
            plot(x + dx, y + dy, color);
}

// Bresenham line from (x0, y0) up to but not including (x1, y1), the way the
// platform draws a line: a connected polyline then has every corner once.
void Surface::drawSegment(int x0, int y0, int x1, int y1, QRgb color) {
    if (m_drawStyle == 5) return;
    // Dashes only apply to one-pixel pens.
    const auto& pattern = m_drawWidth == 1 ? stylePattern(m_drawStyle) : stylePattern(0);
    long period = 0;
    for (int n : pattern)
        period += n;
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        bool on = true;
        if (period) {
            long pos = m_styleStep % period;
            for (size_t i = 0; i < pattern.size(); ++i) {
                if (pos < pattern[i]) {
                    on = (i % 2) == 0;
                    break;
                }
                pos -= pattern[i];
            }
        }
        ++m_styleStep;
        if (on) penDot(x, y, color);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    // A wide pen also covers the end point, so segments join without gaps.
    if (m_drawWidth > 1) penDot(x1, y1, color);
}

void Surface::Line(double x1, double y1, double x2, double y2, std::optional<OleColor> color) {
    const OleColor c = color.value_or(m_foreColor);
    checkOleColor(c);
    m_styleStep = 0;
    drawSegment(roundPx(toPixelX(x1)), roundPx(toPixelY(y1)), roundPx(toPixelX(x2)),
                roundPx(toPixelY(y2)), toRgb(c));
    m_currentX = x2;
    m_currentY = y2;
    update();
}

void Surface::LineTo(double x2, double y2, std::optional<OleColor> color) {
    const OleColor c = color.value_or(m_foreColor);
    checkOleColor(c);
    drawSegment(roundPx(toPixelX(m_currentX)), roundPx(toPixelY(m_currentY)), roundPx(toPixelX(x2)),
                roundPx(toPixelY(y2)), toRgb(c));
    m_currentX = x2;
    m_currentY = y2;
    update();
}

void Surface::PSet(double x, double y, std::optional<OleColor> color) {
    const OleColor c = color.value_or(m_foreColor);
    checkOleColor(c);
    if (m_drawStyle != 5) penDot(roundPx(toPixelX(x)), roundPx(toPixelY(y)), toRgb(c));
    m_currentX = x;
    m_currentY = y;
    update();
}

std::int32_t Surface::Point(double x, double y) const {
    const int px = roundPx(toPixelX(x));
    const int py = roundPx(toPixelY(y));
    if (!m_image.valid(px, py)) return -1;
    return static_cast<std::int32_t>(fromRgb(m_image.pixel(px, py)));
}

void Surface::Circle(double x, double y, double radius, std::optional<OleColor> color,
                     std::optional<double> start, std::optional<double> end,
                     std::optional<double> aspect) {
    const OleColor c = color.value_or(m_foreColor);
    checkOleColor(c);
    const double a = aspect.value_or(1.0);
    if (!(a > 0) || !std::isfinite(radius)) throwInvalidPropertyValue();
    constexpr double TwoPi = 6.283185307179586;
    const double s = start.value_or(0.0), e = end.value_or(TwoPi);
    if (std::fabs(s) > TwoPi || std::fabs(e) > TwoPi) throwInvalidPropertyValue();
    // The radius runs along the longer axis.
    double rx = std::fabs(radius * twipsPerScaleUnit(false)) / TwipsPerPixel;
    double ry = rx;
    if (a < 1)
        ry = rx * a;
    else
        rx = rx / a;
    const QPointF centre(toPixelX(x), toPixelY(y));
    const QRectF box(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry);

    QPainter p(&m_image);
    p.setCompositionMode(compositionFor(m_drawMode));
    QPen pen(m_drawStyle == 5 ? Qt::NoPen : QPen(toQColor(c), m_drawWidth));
    if (m_drawWidth == 1 && m_drawStyle >= 1 && m_drawStyle <= 4)
        pen.setStyle(static_cast<Qt::PenStyle>(m_drawStyle + 1));
    p.setPen(pen);
    const Qt::BrushStyle hatches[] = {Qt::SolidPattern, Qt::NoBrush,         Qt::HorPattern,
                                      Qt::VerPattern,   Qt::BDiagPattern,    Qt::FDiagPattern,
                                      Qt::CrossPattern, Qt::DiagCrossPattern};
    p.setBrush(QBrush(toQColor(m_fillColor), hatches[m_fillStyle]));
    if (!start && !end) {
        p.drawEllipse(box);
    } else {
        const double startDeg = std::fabs(s) * 360.0 / TwoPi;
        double spanDeg = std::fabs(e) * 360.0 / TwoPi - startDeg;
        if (spanDeg <= 0) spanDeg += 360.0;
        const int a16 = roundPx(startDeg * 16), span16 = roundPx(spanDeg * 16);
        // Negative angles draw the radius to that end, closing a pie.
        if (s < 0 || e < 0)
            p.drawPie(box, a16, span16);
        else
            p.drawArc(box, a16, span16);
    }
    p.end();
    m_currentX = x;
    m_currentY = y;
    update();
}

void Surface::PaintPicture(const component::Picture* picture, double x1, double y1,
                           std::optional<double> width1, std::optional<double> height1,
                           std::optional<double> x2, std::optional<double> y2,
                           std::optional<double> width2, std::optional<double> height2,
                           std::optional<std::uint32_t> opcode) {
    if (!picture || !picture->handle()) throwInvalidPropertyValue();
    const double picW = ScaleX(picture->width(), ScaleHimetric, m_scaleMode);
    const double picH = ScaleY(picture->height(), ScaleHimetric, m_scaleMode);
    const double w1 = width1.value_or(picW), h1 = height1.value_or(picH);
    const double sx = x2.value_or(0), sy = y2.value_or(0);
    const double w2 = width2.value_or(picW - sx), h2 = height2.value_or(picH - sy);
    // Source coordinates are in this surface's scale, converted to the picture's pixels.
    const QRectF target(toPixelX(x1), toPixelY(y1), w1 * twipsPerScaleUnit(false) / TwipsPerPixel,
                        h1 * twipsPerScaleUnit(true) / TwipsPerPixel);
    const QRectF source(sx * twipsPerScaleUnit(false) / TwipsPerPixel,
                        sy * twipsPerScaleUnit(true) / TwipsPerPixel,
                        w2 * twipsPerScaleUnit(false) / TwipsPerPixel,
                        h2 * twipsPerScaleUnit(true) / TwipsPerPixel);
    DeviceContext temp(const_cast<QImage*>(&picture->image()), nullptr);
    if (!StretchBlt(hDC(), roundPx(target.x()), roundPx(target.y()), roundPx(target.width()),
                    roundPx(target.height()), temp.handle(), roundPx(source.x()),
                    roundPx(source.y()), roundPx(source.width()), roundPx(source.height()),
                    opcode.value_or(SrcCopy)))
        throwInvalidPropertyValue();
}

void Surface::Refresh() {
    repaint();
}

void Surface::setPicture(Ref<component::Picture> p) {
    // No picture is an empty picture (handle 0), never a null object.
    m_picture = p ? std::move(p) : component::Picture::empty();
    if (m_sizeToPicture && m_picture && m_picture->handle())
        setExtent(m_picture->image().width() * TwipsPerPixel,
                  m_picture->image().height() * TwipsPerPixel);
    rebuildImage(false);
}

Ref<component::Picture> Surface::Image() const {
    return Ref<component::Picture>(component::Picture::fromImage(m_image));
}

short Surface::hitTest(double x, double y) {
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    short result = m_image.valid(roundPx(toPixelX(x)), roundPx(toPixelY(y))) ? 3 : 0;
    if (onHitTest) onHitTest(fx, fy, result);
    return result;
}

// ---- window events ----

void Surface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_image);
    if (m_borderStyle == 1) {
        p.setPen(Qt::black);
        p.drawRect(0, 0, width() - 1, height() - 1);
    }
    p.end();
    if (onPaint) onPaint();
}

void Surface::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (onShow) onShow();
}

void Surface::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (onHide) onHide();
}

void Surface::mousePressEvent(QMouseEvent* e) {
    m_pressed |= e->button();
    short button = mouseButtonCode(e->button());
    short shift = shiftCode(e->modifiers());
    float x = static_cast<float>(fromPixelX(e->position().x()));
    float y = static_cast<float>(fromPixelY(e->position().y()));
    if (onMouseDown) onMouseDown(button, shift, x, y);
}

void Surface::mouseMoveEvent(QMouseEvent* e) {
    short button = mouseButtonsCode(e->buttons());
    short shift = shiftCode(e->modifiers());
    float x = static_cast<float>(fromPixelX(e->position().x()));
    float y = static_cast<float>(fromPixelY(e->position().y()));
    if (onMouseMove) onMouseMove(button, shift, x, y);
}

void Surface::mouseReleaseEvent(QMouseEvent* e) {
    const bool wasPressed = m_pressed.testFlag(e->button());
    m_pressed &= ~e->button();
    short button = mouseButtonCode(e->button());
    short shift = shiftCode(e->modifiers());
    float x = static_cast<float>(fromPixelX(e->position().x()));
    float y = static_cast<float>(fromPixelY(e->position().y()));
    if (onMouseUp) onMouseUp(button, shift, x, y);
    if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
        onClick)
        onClick();
}

void Surface::mouseDoubleClickEvent(QMouseEvent* e) {
    // The second press of a double click still counts as a press.
    mousePressEvent(e);
    if (e->button() == Qt::LeftButton && onDblClick) onDblClick();
}

void Surface::keyPressEvent(QKeyEvent* e) {
    short code = virtualKeyCode(e->key());
    short shift = shiftCode(e->modifiers());
    if (onKeyDown) onKeyDown(code, shift);
    const QString text = e->text();
    if (!text.isEmpty() && text[0].unicode() < 0x100 && onKeyPress) {
        short ascii = static_cast<short>(text[0].unicode());
        onKeyPress(ascii);
    }
}

void Surface::keyReleaseEvent(QKeyEvent* e) {
    short code = virtualKeyCode(e->key());
    short shift = shiftCode(e->modifiers());
    if (onKeyUp) onKeyUp(code, shift);
}

short mouseButtonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

short mouseButtonsCode(Qt::MouseButtons b) {
    short r = 0;
    if (b & Qt::LeftButton) r |= 1;
    if (b & Qt::RightButton) r |= 2;
    if (b & Qt::MiddleButton) r |= 4;
    return r;
}

short shiftCode(Qt::KeyboardModifiers m) {
    short r = 0;
    if (m & Qt::ShiftModifier) r |= 1;
    if (m & Qt::ControlModifier) r |= 2;
    if (m & Qt::AltModifier) r |= 4;
    return r;
}

short virtualKeyCode(int k) {
    if ((k >= Qt::Key_0 && k <= Qt::Key_9) || (k >= Qt::Key_A && k <= Qt::Key_Z))
        return static_cast<short>(k);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<short>(0x70 + (k - Qt::Key_F1));
    switch (k) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    default:
        return static_cast<short>(k & 0xFF);
    }
}

} // namespace component

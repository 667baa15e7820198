#include "WinApi.h"

#include "Color.h"

#include <QCursor>
#include <QObject>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <map>

namespace component {

namespace {

std::map<std::int32_t, DeviceContext*>& contexts() {
    static std::map<std::int32_t, DeviceContext*> m;
    return m;
}
std::int32_t g_nextDc = 0x01010000;

std::map<std::int32_t, QPointer<QWidget>>& windows() {
    static std::map<std::int32_t, QPointer<QWidget>> m;
    return m;
}
std::int32_t g_nextWnd = 0x00010010;

std::function<QPoint()>& cursorSource() {
    static std::function<QPoint()> s;
    return s;
}

const char* const HandleProperty = "knopluxWindowHandle";

} // namespace

DeviceContext::DeviceContext(QImage* target, std::function<void()> onWrite)
    : m_target(target), m_onWrite(std::move(onWrite)), m_handle(g_nextDc) {
    g_nextDc += 0x10;
    contexts()[m_handle] = this;
}

DeviceContext::~DeviceContext() {
    contexts().erase(m_handle);
}

DeviceContext* DeviceContext::fromHandle(std::int32_t hdc) {
    const auto it = contexts().find(hdc);
    return it == contexts().end() ? nullptr : it->second;
}

std::int32_t windowHandle(QWidget* w) {
    if (!w) return 0;
    const QVariant v = w->property(HandleProperty);
    if (v.isValid()) return v.toInt();
    const std::int32_t h = g_nextWnd;
    g_nextWnd += 2;
    w->setProperty(HandleProperty, h);
    windows()[h] = w;
    QObject::connect(w, &QObject::destroyed, [h] { windows().erase(h); });
    return h;
}

QWidget* widgetFromHandle(std::int32_t hwnd) {
    const auto it = windows().find(hwnd);
    return it == windows().end() ? nullptr : it->second.data();
}

bool GetWindowRect(std::int32_t hwnd, Rect& out) {
    QWidget* w = widgetFromHandle(hwnd);
    if (!w) return false;
    const QPoint topLeft = w->mapToGlobal(QPoint(0, 0));
    out.left = topLeft.x();
    out.top = topLeft.y();
    out.right = topLeft.x() + w->width();
    out.bottom = topLeft.y() + w->height();
    return true;
}

bool GetCursorPos(PointL& out) {
    const QPoint p = cursorSource() ? cursorSource()() : QCursor::pos();
    out.x = p.x();
    out.y = p.y();
    return true;
}

void setCursorPosSource(std::function<QPoint()> source) {
    cursorSource() = std::move(source);
}

std::int32_t GetPixel(std::int32_t hdc, int x, int y) {
    const DeviceContext* dc = DeviceContext::fromHandle(hdc);
    if (!dc || !dc->image() || !dc->image()->valid(x, y)) return -1;
    return static_cast<std::int32_t>(fromRgb(dc->image()->pixel(x, y)));
}

std::int32_t SetPixel(std::int32_t hdc, int x, int y, std::uint32_t color) {
    DeviceContext* dc = DeviceContext::fromHandle(hdc);
    if (!dc || !dc->image() || !dc->image()->valid(x, y)) return -1;
    dc->image()->setPixel(x, y, toRgb(color));
    dc->written();
    return static_cast<std::int32_t>(resolveOleColor(color));
}

bool StretchBlt(std::int32_t hdcDest, int x, int y, int width, int height, std::int32_t hdcSrc,
                int xSrc, int ySrc, int widthSrc, int heightSrc, std::uint32_t rop) {
    DeviceContext* dst = DeviceContext::fromHandle(hdcDest);
    const DeviceContext* src = DeviceContext::fromHandle(hdcSrc);
    if (!dst || !src || !dst->image() || !src->image()) return false;
    if (width == 0 || height == 0 || widthSrc == 0 || heightSrc == 0) return true;
    QPainter::CompositionMode mode;
    switch (rop) {
    case SrcCopy:
        mode = QPainter::CompositionMode_Source;
        break;
    case SrcPaint:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case SrcAnd:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case SrcInvert:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case NotSrcCopy:
        mode = QPainter::RasterOp_NotSource;
        break;
    default:
        return false;
    }
    // Copy the source first: source and destination may be the same image.
    const QImage source = src->image()->copy();
    QPainter p(dst->image());
    p.setCompositionMode(mode);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(x, y, width, height), source, QRectF(xSrc, ySrc, widthSrc, heightSrc));
    p.end();
    dst->written();
    return true;
}

} // namespace component

#pragma once

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <functional>

class QWidget;

namespace component {

// The handful of window and pixel routines the control uses, over Qt.

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
struct PointL {
    std::int32_t x = 0, y = 0;
};

// A device context: a handle to an image that pixel routines read and write.
// The owner of the image keeps the context alive as long as the image and is
// told after every write, so it can repaint.
class DeviceContext {
public:
    DeviceContext(QImage* target, std::function<void()> onWrite);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    std::int32_t handle() const { return m_handle; }
    QImage* image() const { return m_target; }
    void written() const {
        if (m_onWrite) m_onWrite();
    }
    static DeviceContext* fromHandle(std::int32_t hdc);

private:
    QImage* m_target;
    std::function<void()> m_onWrite;
    std::int32_t m_handle;
};

// Window handles for widgets that ask for one; released with the widget.
std::int32_t windowHandle(QWidget* w);
QWidget* widgetFromHandle(std::int32_t hwnd);

// Screen rectangle of a window; right and bottom lie just beyond the window.
bool GetWindowRect(std::int32_t hwnd, Rect& out);
// Cursor position on the screen. Tests replace the source.
bool GetCursorPos(PointL& out);
void setCursorPosSource(std::function<QPoint()> source);

// Colour 0x00BBGGRR of a pixel, or -1 (CLR_INVALID) outside the bitmap or for
// a bad context.
std::int32_t GetPixel(std::int32_t hdc, int x, int y);
// Writes a pixel and returns the colour written; outside the bitmap nothing is
// written and -1 comes back.
std::int32_t SetPixel(std::int32_t hdc, int x, int y, std::uint32_t color);

inline constexpr std::uint32_t SrcCopy = 0x00CC0020;
inline constexpr std::uint32_t SrcPaint = 0x00EE0086;
inline constexpr std::uint32_t SrcAnd = 0x008800C6;
inline constexpr std::uint32_t SrcInvert = 0x00660046;
inline constexpr std::uint32_t NotSrcCopy = 0x00330008;

// Copies a rectangle between contexts (the same one allowed), stretching or
// shrinking it without smoothing. Source copy, paint, and, invert and
// inverted copy are understood; any other operation fails.
bool StretchBlt(std::int32_t hdcDest, int x, int y, int width, int height, std::int32_t hdcSrc,
                int xSrc, int ySrc, int widthSrc, int heightSrc, std::uint32_t rop);

} // namespace component

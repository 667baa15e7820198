#include "platform/PrintArea.h"

#include <QPageSize>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QWidget>

namespace platform {

bool printVisibleArea(QWidget& widget, QPrinter& printer) {
    const QRect visible = widget.visibleRegion().boundingRect();
    const QPixmap picture = widget.grab(visible.isEmpty() ? widget.rect() : visible);
    if (picture.isNull()) return false;
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRect page = painter.viewport();
    QSize size = picture.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(picture.rect());
    painter.drawPixmap(0, 0, picture);
    return painter.end();
}

} // namespace platform

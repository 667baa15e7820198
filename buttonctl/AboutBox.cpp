#include "AboutBox.h"

#include <QMessageBox>

namespace knoplux {

namespace {
std::function<int(const QString&, int, const QString&)>& handler() {
    static std::function<int(const QString&, int, const QString&)> h;
    return h;
}
} // namespace

void setMessageBoxHandler(std::function<int(const QString&, int, const QString&)> h) {
    handler() = std::move(h);
}

int showMessageBox(const QString& text, int style, const QString& title) {
    if (handler()) return handler()(text, style, title);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    // System-modal: above every window, blocking the whole program.
    box.setWindowModality(Qt::ApplicationModal);
    if (style & MessageBoxSystemModal) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    return 1;
}

} // namespace knoplux

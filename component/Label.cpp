#include "Label.h"

#include "AutomationError.h"
#include "Surface.h"
#include "Units.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace component {

Label::Label(QWidget* parent) : QWidget(parent), m_font(Font::create()) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    m_fontToken = m_font->subscribe([this] { relayout(); });
    relayout();
}

Label::~Label() {
    if (m_font) m_font->unsubscribe(m_fontToken);
}

void Label::setCaption(const QString& text) {
    if (text == m_caption) return;
    m_caption = text;
    relayout();
    if (onChange) onChange();
}

void Label::setForeColor(OleColor c) {
    checkOleColor(c);
    m_foreColor = c;
    update();
}

void Label::setFont(Ref<component::Font> f) {
    if (!f) throwInvalidPropertyValue();
    if (f == m_font) return;
    m_font->unsubscribe(m_fontToken);
    m_font = std::move(f);
    m_fontToken = m_font->subscribe([this] { relayout(); });
    relayout();
}

void Label::setEnabledState(bool on) {
    m_enabled = on;
    update();
}

void Label::setVisibleState(bool on) {
    m_visible = on;
    setVisible(on);
}

double Label::Width() const {
    return width() * TwipsPerPixel;
}
double Label::Height() const {
    return height() * TwipsPerPixel;
}

void Label::setLeft(double twips) {
    m_left = twips;
    move(static_cast<int>(std::lround(m_left / TwipsPerPixel)),
         static_cast<int>(std::lround(m_top / TwipsPerPixel)));
}

void Label::setTop(double twips) {
    m_top = twips;
    move(static_cast<int>(std::lround(m_left / TwipsPerPixel)),
         static_cast<int>(std::lround(m_top / TwipsPerPixel)));
}

void Label::setLinkMode(short v) {
    if (v < 0 || v > 3) throwInvalidPropertyValue();
    m_linkMode = v;
}

void Label::setLinkTopic(const QString& v) {
    m_linkTopic = v;
}

void Label::noLink() const {
    // There is no conversation partner on this desktop, so no channel is ever open.
    throw AutomationError(static_cast<HResult>(0x800A0125),
                          QStringLiteral("没有打开的 DDE 通道，无法执行 DDE 方法"));
}
void Label::LinkExecute(const QString&) {
    noLink();
}
void Label::LinkPoke() {
    noLink();
}
void Label::LinkRequest() {
    noLink();
}
void Label::LinkSend() {
    noLink();
}

QSize Label::textSize() const {
    const QFontMetrics fm(m_font->toQFont());
    return QSize(fm.horizontalAdvance(m_caption), fm.height());
}

void Label::relayout() {
    resize(textSize());
    update();
}

void Label::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(m_font->toQFont());
    const QRect r = rect();
    if (m_enabled) {
        p.setPen(toQColor(m_foreColor));
        p.drawText(r, Qt::AlignCenter, m_caption);
    } else {
        // Etched: a highlight one pixel down and right, the grey text on top.
        p.setPen(toQColor(SystemColorFlag | ButtonHighlight));
        p.drawText(r.translated(1, 1), Qt::AlignCenter, m_caption);
        p.setPen(toQColor(SystemColorFlag | ButtonShadow));
        p.drawText(r, Qt::AlignCenter, m_caption);
    }
}

namespace {
// Caption-relative position in twips.
void eventPosition(const QMouseEvent* e, float& x, float& y) {
    x = static_cast<float>(e->position().x() * TwipsPerPixel);
    y = static_cast<float>(e->position().y() * TwipsPerPixel);
}
} // namespace

void Label::mousePressEvent(QMouseEvent* e) {
    m_pressed |= e->button();
    short button = mouseButtonCode(e->button()), shift = shiftCode(e->modifiers());
    float x, y;
    eventPosition(e, x, y);
    if (onMouseDown) onMouseDown(button, shift, x, y);
}

void Label::mouseMoveEvent(QMouseEvent* e) {
    short button = mouseButtonsCode(e->buttons()), shift = shiftCode(e->modifiers());
    float x, y;
    eventPosition(e, x, y);
    if (onMouseMove) onMouseMove(button, shift, x, y);
}

void Label::mouseReleaseEvent(QMouseEvent* e) {
    const bool wasPressed = m_pressed.testFlag(e->button());
    m_pressed &= ~e->button();
    short button = mouseButtonCode(e->button()), shift = shiftCode(e->modifiers());
    float x, y;
    eventPosition(e, x, y);
    if (onMouseUp) onMouseUp(button, shift, x, y);
    if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
        onClick)
        onClick();
}

void Label::mouseDoubleClickEvent(QMouseEvent* e) {
    mousePressEvent(e);
    if (e->button() == Qt::LeftButton && onDblClick) onDblClick();
}

} // namespace component

#pragma once

#include "Color.h"
#include "Font.h"

#include <QWidget>

#include <functional>

namespace component {

// A caption element: text that sizes itself to its text and font, centred,
// with no background of its own. Position and extent are in twips of its
// container. A disabled caption is drawn etched, as the desktop draws
// disabled text.
//
// Also carries the link properties a caption has on the platform. No
// conversation partner exists here: the properties are kept, and the link
// methods fail with the "no link open" error.
class Label : public QWidget {
    Q_OBJECT

public:
    explicit Label(QWidget* parent = nullptr);
    ~Label() override;

    QString Caption() const { return m_caption; }
    // Raises onChange only when the text really changes.
    void setCaption(const QString& text);

    OleColor ForeColor() const { return m_foreColor; }
    void setForeColor(OleColor c);

    // The font is shared by reference.
    Ref<component::Font> Font() const { return m_font; }
    void setFont(Ref<component::Font> f);

    bool Enabled() const { return m_enabled; }
    void setEnabledState(bool on);
    bool Visible() const { return m_visible; }
    void setVisibleState(bool on);

    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const;
    double Height() const;
    void setLeft(double twips);
    void setTop(double twips);

    QString LinkItem() const { return m_linkItem; }
    void setLinkItem(const QString& v) { m_linkItem = v; }
    short LinkMode() const { return m_linkMode; }
    void setLinkMode(short v);
    short LinkTimeout() const { return m_linkTimeout; }
    void setLinkTimeout(short v) { m_linkTimeout = v; }
    QString LinkTopic() const { return m_linkTopic; }
    void setLinkTopic(const QString& v);
    [[noreturn]] void LinkExecute(const QString& command);
    [[noreturn]] void LinkPoke();
    [[noreturn]] void LinkRequest();
    [[noreturn]] void LinkSend();

    // Pixel size of the text in the current font.
    QSize textSize() const;

    std::function<void()> onChange, onClick, onDblClick;
    std::function<void(short&button, short&shift, float&x, float&y)> onMouseDown, onMouseMove,
        onMouseUp;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    void relayout();
    [[noreturn]] void noLink() const;

    QString m_caption;
    OleColor m_foreColor = 0x80000012;
    Ref<component::Font> m_font;
    int m_fontToken = 0;
    bool m_enabled = true;
    bool m_visible = true;
    double m_left = 0, m_top = 0;
    QString m_linkItem, m_linkTopic;
    short m_linkMode = 0;
    short m_linkTimeout = 50;
    Qt::MouseButtons m_pressed;
};

} // namespace component

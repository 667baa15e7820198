#pragma once

#include "Unknown.h"
#include "Variant.h"

#include <QFont>
#include <QString>

#include <functional>
#include <map>

namespace component {

inline const Guid IID_IFont = Guid::fromString("{BEF6E002-A874-101B-8BBA-00AA00300CAB}");
inline const Guid IID_IFontDisp = Guid::fromString("{BEF6E003-A874-101B-8BBA-00AA00300CAB}");

class IFontBase : public IUnknown {};

// A font object, shared by reference: every element that holds it follows
// changes made through any holder.
class Font : public RefCounted<IFontBase> {
public:
    struct Description {
        QString name = QStringLiteral("宋体");
        float size = 9.0f; // points
        bool bold = false;
        bool italic = false;
        bool underline = false;
        bool strikethrough = false;
        short weight = 400;
        short charset = 134;
    };

    static Ref<Font> create(Description d);
    static Ref<Font> create() { return create(Description{}); }

    HResult QueryInterface(const Guid& iid, void** out) override;

    const Description& description() const { return m_d; }
    QString name() const { return m_d.name; }
    float size() const { return m_d.size; }
    bool bold() const { return m_d.bold; }
    bool italic() const { return m_d.italic; }
    bool underline() const { return m_d.underline; }
    bool strikethrough() const { return m_d.strikethrough; }
    short weight() const { return m_d.weight; }
    short charset() const { return m_d.charset; }

    // Setters reject what no font can be: an empty name, a size not above 0
    // or above 2160 points.
    void setName(const QString& name);
    void setSize(float points);
    void setBold(bool on);
    void setItalic(bool on);
    void setUnderline(bool on);
    void setStrikethrough(bool on);
    void setWeight(short weight);
    void setCharset(short charset);

    // A separate font object with the same attributes.
    Ref<Font> clone() const;
    QFont toQFont() const;

    using Listener = std::function<void()>;
    int subscribe(Listener l);
    void unsubscribe(int token);

    static Font* from(const Variant& v);
    static Font* from(IUnknown* unk);

private:
    explicit Font(Description d) : m_d(std::move(d)) {}
    void changed();

    Description m_d;
    std::map<int, Listener> m_listeners;
    int m_nextToken = 1;
};

} // namespace component

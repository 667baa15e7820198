// Build tool: draws the program's icon from its SVG source at the sizes the
// desktop asks for, writes one PNG per size and the multi-size mdb.ico.
//
//   make-icon SOURCE.svg OUT.ico PNG_FOLDER SIZE...
//
// The SVG source keeps to a small subset, which this tool draws with
// QPainter: rect (x, y, width, height, rx, ry), circle, ellipse, line,
// polygon, path (M, L, H, V, C, Q, Z, absolute and relative), the
// presentation attributes fill, stroke, stroke-width, opacity, fill-opacity,
// stroke-linecap, stroke-linejoin, and linear gradients in <defs>.

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cstdio>
#include <vector>

namespace {

struct Stop {
    double offset;
    QColor color;
};
struct Gradient {
    QPointF from{0, 0}, to{1, 0};
    std::vector<Stop> stops;
};

struct Shape {
    QPainterPath path;
    QString fill = QStringLiteral("#000000");
    QString stroke = QStringLiteral("none");
    double strokeWidth = 1;
    double opacity = 1;
    double fillOpacity = 1;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
};

struct Drawing {
    QRectF viewBox{0, 0, 256, 256};
    QHash<QString, Gradient> gradients;
    std::vector<Shape> shapes;
};

double number(const QXmlStreamAttributes& a, const char* name, double fallback = 0) {
    const QString v = a.value(QLatin1String(name)).toString();
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : fallback;
}

double fraction(const QString& v) {
    if (v.endsWith(QLatin1Char('%'))) return v.chopped(1).toDouble() / 100.0;
    return v.toDouble();
}

// Numbers and command letters of a path's d attribute, in order.
QStringList pathTokens(const QString& d) {
    static const QRegularExpression token(
        QStringLiteral("[MmLlHhVvCcQqZz]|[-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?"));
    QStringList out;
    for (auto it = token.globalMatch(d); it.hasNext();)
        out << it.next().captured();
    return out;
}

QPainterPath parsePath(const QString& d) {
    QPainterPath path;
    const QStringList t = pathTokens(d);
    qsizetype i = 0;
    QChar command;
    QPointF current, start;
    auto isCommand = [&](qsizetype k) { return k < t.size() && t[k].front().isLetter(); };
    auto next = [&]() { return i < t.size() ? t[i++].toDouble() : 0.0; };
    while (i < t.size()) {
        if (isCommand(i)) command = t[i++].front();
        const bool relative = command.isLower();
        const QPointF base = relative ? current : QPointF(0, 0);
        switch (command.toUpper().unicode()) {
        case 'M': {
            const double x = next(), y = next();
            current = base + QPointF(x, y);
            start = current;
            path.moveTo(current);
            command = relative ? QLatin1Char('l') : QLatin1Char('L'); // pairs that follow
            break;
        }
        case 'L': {
            const double x = next(), y = next();
            current = base + QPointF(x, y);
            path.lineTo(current);
            break;
        }
        case 'H':
            current.setX((relative ? current.x() : 0) + next());
            path.lineTo(current);
            break;
        case 'V':
            current.setY((relative ? current.y() : 0) + next());
            path.lineTo(current);
            break;
        case 'C': {
            const double x1 = next(), y1 = next(), x2 = next(), y2 = next(), x = next(), y = next();
            const QPointF c1 = base + QPointF(x1, y1), c2 = base + QPointF(x2, y2);
            current = base + QPointF(x, y);
            path.cubicTo(c1, c2, current);
            break;
        }
        case 'Q': {
            const double x1 = next(), y1 = next(), x = next(), y = next();
            const QPointF c1 = base + QPointF(x1, y1);
            current = base + QPointF(x, y);
            path.quadTo(c1, current);
            break;
        }
        case 'Z':
            path.closeSubpath();
            current = start;
            if (!isCommand(i) && i < t.size()) ++i; // stray number: skip it
            break;
        default:
            ++i;
            break;
        }
    }
    return path;
}

void applyStyle(Shape& s, const QXmlStreamAttributes& a) {
    if (a.hasAttribute(QLatin1String("fill"))) s.fill = a.value(QLatin1String("fill")).toString();
    if (a.hasAttribute(QLatin1String("stroke")))
        s.stroke = a.value(QLatin1String("stroke")).toString();
    s.strokeWidth = number(a, "stroke-width", s.strokeWidth);
    s.opacity = number(a, "opacity", s.opacity);
    s.fillOpacity = number(a, "fill-opacity", s.fillOpacity);
    const QString cap = a.value(QLatin1String("stroke-linecap")).toString();
    if (cap == QLatin1String("round")) s.cap = Qt::RoundCap;
    if (cap == QLatin1String("square")) s.cap = Qt::SquareCap;
    const QString join = a.value(QLatin1String("stroke-linejoin")).toString();
    if (join == QLatin1String("round")) s.join = Qt::RoundJoin;
    if (join == QLatin1String("bevel")) s.join = Qt::BevelJoin;
}

bool parse(const QString& file, Drawing& drawing) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QXmlStreamReader xml(&f);
    QString gradientId;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes a = xml.attributes();
        Shape s;
        applyStyle(s, a);
        if (name == QLatin1String("svg")) {
            const QStringList vb =
                a.value(QLatin1String("viewBox"))
                    .toString()
                    .split(QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts);
            if (vb.size() == 4)
                drawing.viewBox =
                    QRectF(vb[0].toDouble(), vb[1].toDouble(), vb[2].toDouble(), vb[3].toDouble());
            continue;
        }
        if (name == QLatin1String("linearGradient")) {
            gradientId = a.value(QLatin1String("id")).toString();
            Gradient g;
            if (a.hasAttribute(QLatin1String("x1")))
                g.from = QPointF(fraction(a.value(QLatin1String("x1")).toString()),
                                 fraction(a.value(QLatin1String("y1")).toString()));
            if (a.hasAttribute(QLatin1String("x2")))
                g.to = QPointF(fraction(a.value(QLatin1String("x2")).toString()),
                               fraction(a.value(QLatin1String("y2")).toString()));
            drawing.gradients.insert(gradientId, g);
            continue;
        }
        if (name == QLatin1String("stop")) {
            QColor c(a.value(QLatin1String("stop-color")).toString());
            c.setAlphaF(static_cast<float>(number(a, "stop-opacity", 1)));
            drawing.gradients[gradientId].stops.push_back(
                {fraction(a.value(QLatin1String("offset")).toString()), c});
            continue;
        }
        if (name == QLatin1String("rect")) {
            const QRectF r(number(a, "x"), number(a, "y"), number(a, "width"), number(a, "height"));
            const double rx = number(a, "rx", number(a, "ry"));
            const double ry = number(a, "ry", rx);
            s.path.addRoundedRect(r, rx, ry);
        } else if (name == QLatin1String("circle")) {
            const double r = number(a, "r");
            s.path.addEllipse(QPointF(number(a, "cx"), number(a, "cy")), r, r);
        } else if (name == QLatin1String("ellipse")) {
            s.path.addEllipse(QPointF(number(a, "cx"), number(a, "cy")), number(a, "rx"),
                              number(a, "ry"));
        } else if (name == QLatin1String("line")) {
            s.path.moveTo(number(a, "x1"), number(a, "y1"));
            s.path.lineTo(number(a, "x2"), number(a, "y2"));
            s.fill = QStringLiteral("none");
        } else if (name == QLatin1String("polygon")) {
            const QStringList p =
                a.value(QLatin1String("points"))
                    .toString()
                    .split(QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts);
            for (qsizetype k = 0; k + 1 < p.size(); k += 2) {
                const QPointF pt(p[k].toDouble(), p[k + 1].toDouble());
                if (k == 0)
                    s.path.moveTo(pt);
                else
                    s.path.lineTo(pt);
            }
            s.path.closeSubpath();
        } else if (name == QLatin1String("path")) {
            s.path = parsePath(a.value(QLatin1String("d")).toString());
        } else {
            continue;
        }
        drawing.shapes.push_back(s);
    }
    return !xml.hasError();
}

QBrush brushFor(const Drawing& d, const QString& paint, const QRectF& bounds, double alpha) {
    if (paint.startsWith(QLatin1String("url(#"))) {
        const QString id = paint.mid(5).chopped(1);
        const Gradient g = d.gradients.value(id);
        QLinearGradient lg(
            bounds.topLeft() + QPointF(g.from.x() * bounds.width(), g.from.y() * bounds.height()),
            bounds.topLeft() + QPointF(g.to.x() * bounds.width(), g.to.y() * bounds.height()));
        for (const Stop& s : g.stops) {
            QColor c = s.color;
            c.setAlphaF(static_cast<float>(c.alphaF() * alpha));
            lg.setColorAt(s.offset, c);
        }
        return QBrush(lg);
    }
    QColor c(paint);
    c.setAlphaF(static_cast<float>(alpha));
    return QBrush(c);
}

QImage render(const Drawing& d, int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / d.viewBox.width(), size / d.viewBox.height());
    p.translate(-d.viewBox.topLeft());
    for (const Shape& s : d.shapes) {
        const QRectF bounds = s.path.boundingRect();
        p.setBrush(s.fill == QLatin1String("none")
                       ? QBrush(Qt::NoBrush)
                       : brushFor(d, s.fill, bounds, s.opacity * s.fillOpacity));
        if (s.stroke == QLatin1String("none")) {
            p.setPen(Qt::NoPen);
        } else {
            QPen pen(brushFor(d, s.stroke, bounds, s.opacity), s.strokeWidth);
            pen.setCapStyle(s.cap);
            pen.setJoinStyle(s.join);
            p.setPen(pen);
        }
        p.drawPath(s.path);
    }
    return image;
}

void put16(QByteArray& b, int v) {
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}
void put32(QByteArray& b, quint32 v) {
    put16(b, int(v & 0xffff));
    put16(b, int(v >> 16));
}

// One icon image: a 32-bit bottom-up DIB with its (empty) AND mask for the
// small sizes, which every reader understands; PNG for 256.
QByteArray iconImage(const QImage& image) {
    QByteArray data;
    if (image.width() >= 256) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return data;
    }
    const int w = image.width(), h = image.height();
    const int maskRow = ((w + 31) / 32) * 4;
    put32(data, 40);
    put32(data, quint32(w));
    put32(data, quint32(2 * h));
    put16(data, 1);
    put16(data, 32);
    put32(data, 0);
    put32(data, quint32(w * h * 4 + maskRow * h));
    for (int i = 0; i < 4; ++i)
        put32(data, 0);
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            data.append(char(qBlue(line[x])));
            data.append(char(qGreen(line[x])));
            data.append(char(qRed(line[x])));
            data.append(char(qAlpha(line[x])));
        }
    }
    data.append(QByteArray(maskRow * h, '\0'));
    return data;
}

QByteArray icoFile(const std::vector<QImage>& images) {
    QByteArray header, body;
    put16(header, 0);
    put16(header, 1); // icon
    put16(header, int(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (const QImage& image : images) {
        const QByteArray data = iconImage(image);
        header.append(char(image.width() >= 256 ? 0 : image.width()));
        header.append(char(image.height() >= 256 ? 0 : image.height()));
        header.append('\0'); // colours in the palette
        header.append('\0');
        put16(header, 1);  // planes
        put16(header, 32); // bits per pixel
        put32(header, quint32(data.size()));
        put32(header, offset);
        offset += quint32(data.size());
        body.append(data);
    }
    return header + body;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "用法：make-icon 源.svg 输出.ico PNG文件夹 尺寸...\n");
        return 2;
    }
    Drawing drawing;
    if (!parse(QString::fromLocal8Bit(argv[1]), drawing) || drawing.shapes.empty()) {
        std::fprintf(stderr, "无法读取 %s\n", argv[1]);
        return 1;
    }
    std::vector<QImage> images;
    const QString folder = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 256) continue;
        QImage image = render(drawing, size);
        if (!image.save(folder + QStringLiteral("/mdb-%1.png").arg(size), "PNG")) {
            std::fprintf(stderr, "无法写入 PNG %d\n", size);
            return 1;
        }
        images.push_back(std::move(image));
    }
    QFile ico(QString::fromLocal8Bit(argv[2]));
    if (!ico.open(QIODevice::WriteOnly) || ico.write(icoFile(images)) < 0) {
        std::fprintf(stderr, "无法写入 %s\n", argv[2]);
        return 1;
    }
    return 0;
}

#include "Resources.h"

#include <QFile>
#include <QtEndian>

#include <elf.h>

#include <cstring>

namespace component {

namespace {

void put16(QByteArray& b, std::uint16_t v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray& b, std::uint32_t v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void pad4(QByteArray& b) {
    while (b.size() % 4)
        b.append('\0');
}
void putText(QByteArray& b, const QString& s) {
    put16(b, static_cast<std::uint16_t>(s.size()));
    for (QChar c : s)
        put16(b, c.unicode());
    pad4(b);
}

// Bounds-checked little-endian reading.
struct Reader {
    const QByteArray& b;
    qsizetype pos = 0;
    bool ok = true;
    bool need(qsizetype n) {
        if (!ok || n < 0 || pos + n > b.size()) ok = false;
        return ok;
    }
    std::uint16_t u16() {
        if (!need(2)) return 0;
        const auto v = qFromLittleEndian<std::uint16_t>(b.constData() + pos);
        pos += 2;
        return v;
    }
    std::uint32_t u32() {
        if (!need(4)) return 0;
        const auto v = qFromLittleEndian<std::uint32_t>(b.constData() + pos);
        pos += 4;
        return v;
    }
    void align4() { pos = (pos + 3) & ~qsizetype(3); }
    QString text() {
        const std::uint16_t n = u16();
        QString s;
        for (int i = 0; i < n && ok; ++i)
            s += QChar(u16());
        align4();
        return s;
    }
};

} // namespace

QByteArray packResources(const std::vector<Resource>& resources) {
    QByteArray b("KRSC", 4);
    put32(b, static_cast<std::uint32_t>(resources.size()));
    for (const Resource& r : resources) {
        putText(b, r.type);
        putText(b, r.name);
        put16(b, r.language);
        put16(b, 0);
        put32(b, static_cast<std::uint32_t>(r.data.size()));
        b.append(r.data);
        pad4(b);
    }
    return b;
}

std::optional<std::vector<Resource>> unpackResources(const QByteArray& packed) {
    if (packed.size() < 8 || std::memcmp(packed.constData(), "KRSC", 4) != 0) return std::nullopt;
    Reader r{packed, 4};
    const std::uint32_t count = r.u32();
    if (count > 10000) return std::nullopt;
    std::vector<Resource> out;
    for (std::uint32_t i = 0; i < count && r.ok; ++i) {
        Resource res;
        res.type = r.text();
        res.name = r.text();
        res.language = r.u16();
        r.u16();
        const std::uint32_t size = r.u32();
        if (!r.need(size)) break;
        res.data = packed.mid(r.pos, size);
        r.pos += size;
        r.align4();
        out.push_back(std::move(res));
    }
    if (!r.ok) return std::nullopt;
    return out;
}

std::optional<QByteArray> readElfSection(const QString& file, const char* section) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray data = f.readAll();
    if (data.size() < static_cast<qsizetype>(sizeof(Elf64_Ehdr))) return std::nullopt;
    Elf64_Ehdr eh;
    std::memcpy(&eh, data.constData(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr))
        return std::nullopt;
    const auto size = static_cast<std::uint64_t>(data.size());
    if (eh.e_shoff > size || eh.e_shnum * sizeof(Elf64_Shdr) > size - eh.e_shoff ||
        eh.e_shstrndx >= eh.e_shnum)
        return std::nullopt;
    auto header = [&](int i) {
        Elf64_Shdr sh;
        std::memcpy(&sh, data.constData() + eh.e_shoff + i * sizeof(Elf64_Shdr), sizeof sh);
        return sh;
    };
    const Elf64_Shdr names = header(eh.e_shstrndx);
    if (names.sh_offset > size || names.sh_size > size - names.sh_offset) return std::nullopt;
    for (int i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = header(i);
        if (sh.sh_name >= names.sh_size) continue;
        const char* name = data.constData() + names.sh_offset + sh.sh_name;
        const auto maxLen = names.sh_size - sh.sh_name;
        if (strnlen(name, maxLen) == maxLen || std::strcmp(name, section) != 0) continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_offset > size || sh.sh_size > size - sh.sh_offset)
            return std::nullopt;
        return data.mid(static_cast<qsizetype>(sh.sh_offset), static_cast<qsizetype>(sh.sh_size));
    }
    return std::nullopt;
}

std::optional<ModuleResources> ModuleResources::load(const QString& moduleFile) {
    const auto section = readElfSection(moduleFile, ResourceSectionName);
    if (!section) return std::nullopt;
    auto list = unpackResources(*section);
    if (!list) return std::nullopt;
    ModuleResources m;
    m.m_resources = std::move(*list);
    return m;
}

const Resource* ModuleResources::find(const QString& type, const QString& name) const {
    for (const Resource& r : m_resources)
        if (r.type.compare(type, Qt::CaseInsensitive) == 0 &&
            r.name.compare(name, Qt::CaseInsensitive) == 0)
            return &r;
    return nullptr;
}

// ---------------------------------------------------------------- version block

namespace {

// One node of a version block: length, value length, type (1 text, 0 binary),
// key, padding, value, padding, children.
QByteArray versionNode(const QString& key, const QByteArray& value, bool text,
                       std::uint16_t valueLength, const QByteArray& children) {
    QByteArray b;
    put16(b, 0); // length, patched below
    put16(b, valueLength);
    put16(b, text ? 1 : 0);
    for (QChar c : key)
        put16(b, c.unicode());
    put16(b, 0);
    pad4(b);
    b.append(value);
    if (!children.isEmpty()) {
        pad4(b);
        b.append(children);
    }
    qToLittleEndian(static_cast<std::uint16_t>(b.size()), b.data());
    pad4(b);
    return b;
}

QByteArray textValue(const QString& s) {
    QByteArray b;
    for (QChar c : s)
        put16(b, c.unicode());
    put16(b, 0);
    return b;
}

struct Node {
    QString key;
    QByteArray value;
    bool text = false;
    std::vector<Node> children;
};

bool parseNode(const QByteArray& b, qsizetype start, qsizetype limit, Node& out, qsizetype& next) {
    Reader r{b, start};
    const std::uint16_t length = r.u16();
    const std::uint16_t valueLength = r.u16();
    const std::uint16_t type = r.u16();
    if (!r.ok || length < 6 || start + length > limit) return false;
    const qsizetype end = start + length;
    while (r.ok && r.pos + 2 <= end) {
        const std::uint16_t c = r.u16();
        if (c == 0) break;
        out.key += QChar(c);
    }
    r.align4();
    out.text = type == 1;
    const qsizetype valueBytes = out.text ? valueLength * 2 : valueLength;
    if (r.pos + valueBytes > end) return false;
    out.value = b.mid(r.pos, valueBytes);
    r.pos += valueBytes;
    r.align4();
    while (r.pos + 6 <= end) {
        Node child;
        qsizetype after = 0;
        if (!parseNode(b, r.pos, end, child, after)) return false;
        out.children.push_back(std::move(child));
        r.pos = after;
    }
    next = (end + 3) & ~qsizetype(3);
    return true;
}

QString nodeText(const Node& n) {
    QString s;
    for (qsizetype i = 0; i + 1 < n.value.size(); i += 2) {
        const auto c = qFromLittleEndian<std::uint16_t>(n.value.constData() + i);
        if (c == 0) break;
        s += QChar(c);
    }
    return s;
}

} // namespace

QString VersionInfo::string(const QString& key) const {
    for (const auto& [k, v] : strings)
        if (k == key) return v;
    return {};
}

bool VersionInfo::hasString(const QString& key) const {
    for (const auto& s : strings)
        if (s.first == key) return true;
    return false;
}

QByteArray buildVersionInfo(const VersionInfo& info) {
    QByteArray fixed;
    put32(fixed, 0xFEEF04BD);
    put32(fixed, 0x00010000);
    put32(fixed, std::uint32_t(info.fileVersion[0]) << 16 | info.fileVersion[1]);
    put32(fixed, std::uint32_t(info.fileVersion[2]) << 16 | info.fileVersion[3]);
    put32(fixed, std::uint32_t(info.productVersion[0]) << 16 | info.productVersion[1]);
    put32(fixed, std::uint32_t(info.productVersion[2]) << 16 | info.productVersion[3]);
    put32(fixed, 0x3F); // flags mask
    put32(fixed, 0);    // flags
    put32(fixed, 0x4);  // 32-bit Windows
    put32(fixed, info.fileType);
    put32(fixed, 0); // subtype
    put32(fixed, 0); // date
    put32(fixed, 0);

    QByteArray strings;
    for (const auto& [k, v] : info.strings)
        strings.append(
            versionNode(k, textValue(v), true, static_cast<std::uint16_t>(v.size() + 1), {}));
    const QString tableKey = QStringLiteral("%1%2")
                                 .arg(info.language, 4, 16, QLatin1Char('0'))
                                 .arg(info.codePage, 4, 16, QLatin1Char('0'))
                                 .toUpper();
    const QByteArray table = versionNode(tableKey, {}, true, 0, strings);
    const QByteArray stringInfo = versionNode(QStringLiteral("StringFileInfo"), {}, true, 0, table);
    QByteArray translation;
    put16(translation, info.language);
    put16(translation, info.codePage);
    const QByteArray var = versionNode(QStringLiteral("Translation"), translation, false, 4, {});
    const QByteArray varInfo = versionNode(QStringLiteral("VarFileInfo"), {}, true, 0, var);
    return versionNode(QStringLiteral("VS_VERSION_INFO"), fixed, false,
                       static_cast<std::uint16_t>(fixed.size()), stringInfo + varInfo);
}

std::optional<VersionInfo> parseVersionInfo(const QByteArray& block) {
    Node root;
    qsizetype next = 0;
    if (!parseNode(block, 0, block.size(), root, next)) return std::nullopt;
    if (root.key != QLatin1String("VS_VERSION_INFO") || root.value.size() != 52)
        return std::nullopt;
    Reader r{root.value};
    if (r.u32() != 0xFEEF04BD) return std::nullopt;
    r.u32();
    VersionInfo info;
    const std::uint32_t fms = r.u32(), fls = r.u32(), pms = r.u32(), pls = r.u32();
    info.fileVersion = {std::uint16_t(fms >> 16), std::uint16_t(fms), std::uint16_t(fls >> 16),
                        std::uint16_t(fls)};
    info.productVersion = {std::uint16_t(pms >> 16), std::uint16_t(pms), std::uint16_t(pls >> 16),
                           std::uint16_t(pls)};
    r.u32();
    r.u32();
    r.u32();
    info.fileType = r.u32();
    for (const Node& child : root.children) {
        if (child.key == QLatin1String("StringFileInfo")) {
            for (const Node& table : child.children)
                for (const Node& s : table.children)
                    info.strings.emplace_back(s.key, nodeText(s));
        } else if (child.key == QLatin1String("VarFileInfo")) {
            for (const Node& v : child.children)
                if (v.key == QLatin1String("Translation") && v.value.size() >= 4) {
                    info.language = qFromLittleEndian<std::uint16_t>(v.value.constData());
                    info.codePage = qFromLittleEndian<std::uint16_t>(v.value.constData() + 2);
                }
        }
    }
    return info;
}

// ---------------------------------------------------------------- bitmaps

namespace {
const QRgb StandardPalette[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

int nearestIndex(QRgb c) {
    int best = 0;
    long bestD = -1;
    for (int i = 0; i < 16; ++i) {
        const long dr = qRed(c) - qRed(StandardPalette[i]);
        const long dg = qGreen(c) - qGreen(StandardPalette[i]);
        const long db = qBlue(c) - qBlue(StandardPalette[i]);
        const long d = dr * dr + dg * dg + db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}
} // namespace

QByteArray buildBitmap4(const QImage& image) {
    const int w = image.width(), h = image.height();
    const int stride = ((w * 4 + 31) / 32) * 4;
    QByteArray b;
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(w));
    put32(b, static_cast<std::uint32_t>(h));
    put16(b, 1);
    put16(b, 4);
    put32(b, 0); // no compression
    put32(b, static_cast<std::uint32_t>(stride * h));
    put32(b, 0);
    put32(b, 0);
    put32(b, 16);
    put32(b, 0);
    for (QRgb c : StandardPalette) {
        b.append(static_cast<char>(qBlue(c)));
        b.append(static_cast<char>(qGreen(c)));
        b.append(static_cast<char>(qRed(c)));
        b.append('\0');
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const int idx = nearestIndex(image.pixel(x, y));
            row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 ? idx : idx << 4));
        }
        b.append(row);
    }
    return b;
}

std::optional<BitmapHeader> parseBitmapHeader(const QByteArray& dib) {
    Reader r{dib};
    if (r.u32() != 40) return std::nullopt;
    BitmapHeader h;
    h.width = static_cast<int>(r.u32());
    h.height = static_cast<int>(r.u32());
    r.u16();
    h.bitCount = r.u16();
    r.u32();
    r.u32();
    r.u32();
    r.u32();
    h.colours = static_cast<int>(r.u32());
    if (!r.ok) return std::nullopt;
    return h;
}

QImage decodeBitmap4(const QByteArray& dib) {
    const auto h = parseBitmapHeader(dib);
    if (!h || h->bitCount != 4 || h->width <= 0 || h->height <= 0 || h->width > 4096 ||
        h->height > 4096)
        return {};
    const int colours = h->colours ? h->colours : 16;
    const int stride = ((h->width * 4 + 31) / 32) * 4;
    const qsizetype pixels = 40 + colours * 4;
    if (colours > 16 || dib.size() < pixels + stride * h->height) return {};
    QImage img(h->width, h->height, QImage::Format_RGB32);
    for (int y = 0; y < h->height; ++y) {
        const char* row = dib.constData() + pixels + (h->height - 1 - y) * stride;
        for (int x = 0; x < h->width; ++x) {
            const int idx = (static_cast<unsigned char>(row[x / 2]) >> (x % 2 ? 0 : 4)) & 0xF;
            const char* q = dib.constData() + 40 + idx * 4;
            img.setPixel(x, y,
                         qRgb(static_cast<unsigned char>(q[2]), static_cast<unsigned char>(q[1]),
                              static_cast<unsigned char>(q[0])));
        }
    }
    return img;
}

} // namespace component

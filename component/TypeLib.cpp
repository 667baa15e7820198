#include "TypeLib.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <map>

namespace component {

namespace {

// Layout constants of the format.
constexpr std::int32_t Magic1 = 0x5446534D; // "MSFT"
constexpr std::int32_t Magic2 = 0x00010002;
constexpr int HeaderInts = 21;
constexpr int SegmentCount = 15;
constexpr int TypeInfoSize = 0x64;
constexpr int GuidHashBytes = 0x80;
constexpr int NameHashBytes = 0x200;
constexpr std::uint32_t SysWin32Flags = 0x41;

enum Segment {
    SegTypeInfo,
    SegImpInfo,
    SegImpFiles,
    SegRefTab,
    SegGuidHash,
    SegGuidTab,
    SegNameHash,
    SegNameTab,
    SegStringTab,
    SegTypeDesc,
    SegArrayDesc,
    SegCustData,
    SegCustDataGuid,
    SegRes0e,
    SegRes0f,
};

constexpr std::int32_t ParamIn = 0x1, ParamOut = 0x2, ParamOpt = 0x10;
constexpr std::int32_t FuncDispatch = 4, CallStdcall = 4;
constexpr std::int16_t VarConst = 2;
constexpr std::uint16_t VtPtr = 26, VtUserDefined = 29;

QByteArray encodeText(const QString& s) {
    return QStringEncoder("GB18030").encode(s);
}
QString decodeText(const QByteArray& b) {
    return QStringDecoder("GB18030").decode(b);
}

void put32(QByteArray& b, std::int32_t v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void put16(QByteArray& b, std::int16_t v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void set32(QByteArray& b, qsizetype at, std::int32_t v) {
    qToLittleEndian(v, b.data() + at);
}
void padWith(QByteArray& b, char c) {
    while (b.size() % 4)
        b.append(c);
}

// A simple type is stored inline: the high bit, the variant type that can
// carry it (none for void and HRESULT) and the type itself.
std::int32_t simpleType(VarType vt) {
    const auto v = static_cast<std::uint16_t>(vt);
    std::uint32_t carrier = v;
    if (vt == VarType::Void || vt == VarType::HResult) carrier = 0;
    if (vt == VarType::Int) carrier = static_cast<std::uint16_t>(VarType::Long);
    return static_cast<std::int32_t>(0x80000000u | (carrier << 16) | v);
}

std::uint32_t nameHash(const QByteArray& name) {
    // A stable hash of the lower-cased name, for the name hash table.
    std::uint32_t h = 0x811C9DC5u;
    for (char c : name.toLower())
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h & 0xFFFF;
}

class Writer {
public:
    explicit Writer(const TypeLibDesc& lib) : m_lib(lib) {
        m_seg[SegGuidHash] = QByteArray(GuidHashBytes, '\xFF');
        m_seg[SegNameHash] = QByteArray(NameHashBytes, '\xFF');
    }

    QByteArray run();

private:
    std::int32_t guid(const Guid& g, std::int32_t hreftype) {
        const auto it = m_guids.find(g);
        if (it != m_guids.end()) return it->second;
        QByteArray& s = m_seg[SegGuidTab];
        const auto off = static_cast<std::int32_t>(s.size());
        const auto bytes = g.toBytes();
        s.append(reinterpret_cast<const char*>(bytes.data()), 16);
        put32(s, hreftype);
        put32(s, -1);
        m_guids[g] = off;
        return off;
    }
    std::int32_t name(const QString& n, std::int32_t hreftype = -1) {
        const auto it = m_names.find(n);
        if (it != m_names.end()) return it->second;
        QByteArray& s = m_seg[SegNameTab];
        const auto off = static_cast<std::int32_t>(s.size());
        const QByteArray text = encodeText(n);
        const std::uint32_t hash = nameHash(text);
        put32(s, hreftype);
        // Chain into the hash table.
        QByteArray& table = m_seg[SegNameHash];
        const qsizetype slot = (hash % (NameHashBytes / 4)) * 4;
        put32(s, qFromLittleEndian<std::int32_t>(table.constData() + slot));
        set32(table, slot, off);
        put32(s, static_cast<std::int32_t>((hash << 16) | (text.size() & 0xFF)));
        s.append(text);
        padWith(s, 0x57);
        m_names[n] = off;
        ++m_nameCount;
        m_nameChars += static_cast<int>(text.size());
        return off;
    }
    std::int32_t string(const QString& str) {
        if (str.isEmpty()) return -1;
        const auto it = m_strings.find(str);
        if (it != m_strings.end()) return it->second;
        QByteArray& s = m_seg[SegStringTab];
        const auto off = static_cast<std::int32_t>(s.size());
        const QByteArray text = encodeText(str);
        put16(s, static_cast<std::int16_t>(text.size()));
        s.append(text);
        padWith(s, 0x57);
        m_strings[str] = off;
        return off;
    }
    std::int32_t typeDesc(std::int32_t first, std::int32_t second) {
        QByteArray& s = m_seg[SegTypeDesc];
        for (qsizetype at = 0; at + 8 <= s.size(); at += 8)
            if (qFromLittleEndian<std::int32_t>(s.constData() + at) == first &&
                qFromLittleEndian<std::int32_t>(s.constData() + at + 4) == second)
                return static_cast<std::int32_t>(at);
        const auto off = static_cast<std::int32_t>(s.size());
        put32(s, first);
        put32(s, second);
        return off;
    }
    std::int32_t hrefOf(const QString& typeName) const {
        for (size_t i = 0; i < m_lib.types.size(); ++i)
            if (m_lib.types[i].name == typeName) return static_cast<std::int32_t>(i * TypeInfoSize);
        const auto it = m_imported.find(typeName);
        if (it != m_imported.end()) return it->second;
        return -1;
    }
    std::int32_t encode(const TypeRef& t, bool byRef) {
        std::int32_t inner;
        if (t.vt == VarType::UserDefined || (t.vt == VarType::Dispatch && !t.userType.isEmpty())) {
            const std::int32_t ud = typeDesc(
                static_cast<std::int32_t>((0x7FFFu << 16) | VtUserDefined), hrefOf(t.userType));
            // An object type is a pointer to its interface.
            inner = t.vt == VarType::Dispatch
                        ? typeDesc(static_cast<std::int32_t>((0x7FFFu << 16) | VtPtr), ud)
                        : ud;
        } else {
            inner = simpleType(t.vt);
        }
        if (!byRef) return inner;
        // A pointer to a simple type names that type in its mark.
        const std::uint32_t mark = inner < 0 ? (0x4000u | (inner & 0xFFFF)) : 0x7FFFu;
        return typeDesc(static_cast<std::int32_t>((mark << 16) | VtPtr), inner);
    }

    QByteArray functionBlock(const TypeInfoDesc& t, bool dual);
    QByteArray constantBlock(const TypeInfoDesc& t);

    const TypeLibDesc& m_lib;
    QByteArray m_seg[SegmentCount];
    std::map<Guid, std::int32_t> m_guids;
    std::map<QString, std::int32_t> m_names, m_strings, m_imported;
    int m_nameCount = 0, m_nameChars = 0;
};

QByteArray Writer::functionBlock(const TypeInfoDesc& t, bool dual) {
    QByteArray records;
    std::vector<std::int32_t> offsets;
    for (size_t i = 0; i < t.functions.size(); ++i) {
        const MemberInfo& f = t.functions[i];
        offsets.push_back(static_cast<std::int32_t>(records.size()));
        QByteArray r;
        const int nargs = static_cast<int>(f.params.size());
        int nopt = 0;
        for (const auto& p : f.params)
            nopt += p.optional;
        const int size = 0x18 + 2 * 4 + nargs * 12;
        put32(r, static_cast<std::int32_t>(size | (i << 16)));
        put32(r, encode(f.result, false));
        put32(r, 0); // function flags
        put16(r, static_cast<std::int16_t>(dual ? 28 + 4 * i : 0));
        put16(r, 0);
        put32(r, FuncDispatch | (static_cast<std::int32_t>(f.kind) << 3) | (CallStdcall << 8));
        put16(r, static_cast<std::int16_t>(nargs));
        put16(r, static_cast<std::int16_t>(nopt));
        put32(r, 0); // help context
        put32(r, string(f.help));
        for (const auto& p : f.params) {
            put32(r, encode(p.type, p.byRef));
            put32(r, name(p.name));
            put32(r, p.optional ? (ParamIn | ParamOpt) : p.byRef ? (ParamIn | ParamOut) : ParamIn);
        }
        records.append(r);
    }
    QByteArray block;
    put32(block, static_cast<std::int32_t>(records.size()));
    block.append(records);
    for (const auto& f : t.functions)
        put32(block, f.id);
    for (const auto& f : t.functions)
        put32(block, name(f.name));
    for (auto o : offsets)
        put32(block, o);
    return block;
}

QByteArray Writer::constantBlock(const TypeInfoDesc& t) {
    QByteArray records;
    std::vector<std::int32_t> offsets;
    for (size_t i = 0; i < t.constants.size(); ++i) {
        offsets.push_back(static_cast<std::int32_t>(records.size()));
        // Small non-negative values are kept in the record itself; others in
        // the custom data segment as a type and a value.
        const std::int32_t value = t.constants[i].value;
        std::int32_t valueAt;
        if (value >= 0 && value < 0x04000000) {
            valueAt = static_cast<std::int32_t>(0x80000000u | (3u << 26) | std::uint32_t(value));
        } else {
            QByteArray& cust = m_seg[SegCustData];
            valueAt = static_cast<std::int32_t>(cust.size());
            put16(cust, static_cast<std::int16_t>(VarType::Long));
            put32(cust, value);
            padWith(cust, 0x57);
        }
        put32(records, static_cast<std::int32_t>(0x14 | (i << 16)));
        put32(records, simpleType(VarType::Long));
        put32(records, 0);
        put16(records, VarConst);
        put16(records, 0);
        put32(records, valueAt);
    }
    QByteArray block;
    put32(block, static_cast<std::int32_t>(records.size()));
    block.append(records);
    for (size_t i = 0; i < t.constants.size(); ++i)
        put32(block, static_cast<std::int32_t>(0x40000000 + i));
    for (const auto& c : t.constants)
        put32(block, name(c.name));
    for (auto o : offsets)
        put32(block, o);
    return block;
}

QByteArray Writer::run() {
    // Imports: one file entry per library, one info entry per type used.
    for (const ImportDesc& imp : m_lib.imports) {
        QByteArray& files = m_seg[SegImpFiles];
        const auto fileAt = static_cast<std::int32_t>(files.size());
        put32(files, guid(imp.guid, -2));
        put32(files, static_cast<std::int32_t>(imp.lcid));
        put32(files, imp.major | (imp.minor << 16));
        const QByteArray fname = encodeText(imp.file);
        put16(files, static_cast<std::int16_t>((fname.size() << 2) | 1));
        files.append(fname);
        padWith(files, 0x57);
        for (const ImportedType& t : imp.types) {
            QByteArray& infos = m_seg[SegImpInfo];
            const auto at = static_cast<std::int32_t>(infos.size());
            // The entry names its type by identifier (0x10000) and gives its kind.
            put32(infos, 0x00010000 | (static_cast<std::int32_t>(t.kind) << 24));
            put32(infos, fileAt);
            put32(infos, guid(t.guid, at | 1));
            m_imported[t.name] = at | 1;
        }
    }

    const int n = static_cast<int>(m_lib.types.size());
    const std::int32_t libGuid = guid(m_lib.guid, -2);
    const std::int32_t libName = name(m_lib.name);
    const std::int32_t libHelp = string(m_lib.help);

    struct Pending {
        std::int32_t ints[TypeInfoSize / 4];
        QByteArray block;
    };
    std::vector<Pending> infos(n);
    for (int i = 0; i < n; ++i) {
        const TypeInfoDesc& t = m_lib.types[i];
        const std::int32_t href = i * TypeInfoSize;
        auto& v = infos[i].ints;
        std::fill(std::begin(v), std::end(v), 0);
        const bool dual = (t.flags & 0x40) != 0;
        if (!t.functions.empty())
            infos[i].block = functionBlock(t, dual);
        else if (!t.constants.empty())
            infos[i].block = constantBlock(t);
        v[0] = static_cast<std::int32_t>(t.kind) | (2 << 11);
        v[1] = -1; // patched with the block's position
        v[3] = -1;
        v[4] = 3;
        v[6] = static_cast<std::int32_t>(t.functions.size() | (t.constants.size() << 16));
        v[11] = guid(t.guid, href);
        v[12] = static_cast<std::int32_t>(t.flags);
        v[13] = name(t.name, href);
        v[14] = t.major | (t.minor << 16);
        v[15] = string(t.help);
        v[18] = -1;
        std::int32_t vft = 0;
        if (t.kind == TypeKind::Dispatch)
            vft = 28 + (dual ? 4 * static_cast<std::int32_t>(t.functions.size()) : 0);
        v[19] = static_cast<std::int32_t>(t.implTypes.size() | (vft << 16));
        v[20] = 4;
        v[21] = -1;
        if (t.kind == TypeKind::CoClass) {
            QByteArray& refs = m_seg[SegRefTab];
            v[21] = static_cast<std::int32_t>(refs.size());
            for (size_t k = 0; k < t.implTypes.size(); ++k) {
                const auto here = static_cast<std::int32_t>(refs.size());
                put32(refs, hrefOf(t.implTypes[k].typeName));
                put32(refs, static_cast<std::int32_t>(t.implTypes[k].flags));
                put32(refs, -1);
                put32(refs, k + 1 < t.implTypes.size() ? here + 16 : -1);
            }
        } else if (!t.base.isEmpty()) {
            v[21] = hrefOf(t.base);
        }
        v[24] = -1;
    }

    // Positions: header, type info offsets, segment directory, segments, blocks.
    const std::int32_t dispatchHref = m_imported.count(QStringLiteral("IDispatch"))
                                          ? m_imported[QStringLiteral("IDispatch")]
                                          : -1;
    const qsizetype headerSize = HeaderInts * 4 + n * 4 + SegmentCount * 16;
    m_seg[SegTypeInfo] = QByteArray(n * TypeInfoSize, '\0');
    qsizetype pos = headerSize;
    qsizetype segPos[SegmentCount];
    for (int s = 0; s < SegmentCount; ++s) {
        segPos[s] = pos;
        pos += m_seg[s].size();
    }
    for (int i = 0; i < n; ++i) {
        if (!infos[i].block.isEmpty()) {
            infos[i].ints[1] = static_cast<std::int32_t>(pos);
            pos += infos[i].block.size();
        }
        QByteArray entry;
        for (std::int32_t x : infos[i].ints)
            put32(entry, x);
        m_seg[SegTypeInfo].replace(i * TypeInfoSize, TypeInfoSize, entry);
    }

    QByteArray out;
    const std::int32_t header[HeaderInts] = {
        Magic1,
        Magic2,
        libGuid,
        static_cast<std::int32_t>(m_lib.lcid),
        static_cast<std::int32_t>(m_lib.lcid),
        static_cast<std::int32_t>(SysWin32Flags),
        m_lib.major | (m_lib.minor << 16),
        0,
        n,
        libHelp,
        0,
        0,
        m_nameCount,
        m_nameChars,
        libName,
        -1,
        -1,
        0x20,
        0x80,
        dispatchHref,
        static_cast<std::int32_t>(m_seg[SegImpInfo].size() / 12)};
    for (std::int32_t x : header)
        put32(out, x);
    for (int i = 0; i < n; ++i)
        put32(out, i * TypeInfoSize);
    for (int s = 0; s < SegmentCount; ++s) {
        const bool empty = m_seg[s].isEmpty();
        put32(out, empty ? -1 : static_cast<std::int32_t>(segPos[s]));
        put32(out, static_cast<std::int32_t>(m_seg[s].size()));
        put32(out, -1);
        put32(out, 0x0F);
    }
    for (int s = 0; s < SegmentCount; ++s)
        out.append(m_seg[s]);
    for (const auto& p : infos)
        out.append(p.block);
    return out;
}

// ---------------------------------------------------------------- reading

class Reader {
public:
    explicit Reader(const QByteArray& b) : m_b(b) {}

    std::optional<TypeLibDesc> run();

private:
    bool ok() const { return m_ok; }
    std::int32_t i32(qsizetype at) {
        if (at < 0 || at + 4 > m_b.size()) {
            m_ok = false;
            return 0;
        }
        return qFromLittleEndian<std::int32_t>(m_b.constData() + at);
    }
    std::int16_t i16(qsizetype at) {
        if (at < 0 || at + 2 > m_b.size()) {
            m_ok = false;
            return 0;
        }
        return qFromLittleEndian<std::int16_t>(m_b.constData() + at);
    }
    QByteArray bytes(qsizetype at, qsizetype n) {
        if (at < 0 || n < 0 || at + n > m_b.size()) {
            m_ok = false;
            return {};
        }
        return m_b.mid(at, n);
    }
    qsizetype seg(int s) const { return m_segOffset[s]; }
    Guid guidAt(std::int32_t off) {
        const QByteArray g = bytes(seg(SegGuidTab) + off, 16);
        if (g.size() != 16) return {};
        return Guid::fromBytes(reinterpret_cast<const std::uint8_t*>(g.constData()));
    }
    QString nameAt(std::int32_t off) {
        const qsizetype at = seg(SegNameTab) + off;
        const int len = i32(at + 8) & 0xFF;
        return decodeText(bytes(at + 12, len));
    }
    QString stringAt(std::int32_t off) {
        if (off < 0) return {};
        const qsizetype at = seg(SegStringTab) + off;
        const int len = static_cast<std::uint16_t>(i16(at));
        return decodeText(bytes(at + 2, len));
    }
    QString hrefName(std::int32_t href) {
        if (href < 0) return {};
        if (href & 1) {
            const std::int32_t g = i32(seg(SegImpInfo) + (href & ~3) + 8);
            const Guid id = guidAt(g);
            for (const ImportedType& t : standardOleImport().types)
                if (t.guid == id) return t.name;
            return id.toString();
        }
        const qsizetype idx = href / TypeInfoSize;
        if (idx < 0 || idx >= static_cast<qsizetype>(m_typeNames.size())) {
            m_ok = false;
            return {};
        }
        return m_typeNames[idx];
    }
    TypeKind hrefKind(std::int32_t href) {
        if (href & 1)
            return static_cast<TypeKind>((i32(seg(SegImpInfo) + (href & ~3)) >> 24) & 0xF);
        const qsizetype idx = href / TypeInfoSize;
        return idx >= 0 && idx < static_cast<qsizetype>(m_typeKinds.size()) ? m_typeKinds[idx]
                                                                            : TypeKind::Alias;
    }
    // Decodes a data type; byRef tells whether a pointer to a value (not to an
    // interface) was stored.
    TypeRef decode(std::int32_t dt, bool* byRef, int depth = 0) {
        if (byRef) *byRef = false;
        if (dt < 0) return TypeRef{static_cast<VarType>(dt & 0xFFFF), {}};
        if (depth > 4) {
            m_ok = false;
            return {};
        }
        const qsizetype at = seg(SegTypeDesc) + dt;
        const std::int32_t a = i32(at), b = i32(at + 4);
        const auto vt = static_cast<std::uint16_t>(a & 0xFFFF);
        if (vt == VtUserDefined) return TypeRef{VarType::UserDefined, hrefName(b)};
        if (vt == VtPtr) {
            const TypeRef inner = decode(b, nullptr, depth + 1);
            if (inner.vt == VarType::UserDefined && b >= 0) {
                const std::int32_t href = i32(seg(SegTypeDesc) + b + 4);
                const TypeKind k = hrefKind(href);
                if (k == TypeKind::Dispatch || k == TypeKind::Interface)
                    return TypeRef{VarType::Dispatch, inner.userType};
            }
            if (byRef) *byRef = true;
            return inner;
        }
        return TypeRef{static_cast<VarType>(vt), {}};
    }

    const QByteArray& m_b;
    bool m_ok = true;
    qsizetype m_segOffset[SegmentCount] = {};
    std::vector<QString> m_typeNames;
    std::vector<TypeKind> m_typeKinds;
};

std::optional<TypeLibDesc> Reader::run() {
    if (i32(0) != Magic1 || i32(4) != Magic2 || !ok()) return std::nullopt;
    TypeLibDesc lib;
    const std::int32_t libGuid = i32(8);
    lib.lcid = static_cast<std::uint32_t>(i32(12));
    const std::int32_t varflags = i32(20);
    const std::int32_t version = i32(24);
    lib.major = static_cast<std::uint16_t>(version & 0xFFFF);
    lib.minor = static_cast<std::uint16_t>((version >> 16) & 0xFFFF);
    const std::int32_t n = i32(32);
    const std::int32_t libHelp = i32(36);
    const std::int32_t libName = i32(56);
    const std::int32_t nImp = i32(80);
    if (!ok() || n < 0 || n > 4096 || nImp < 0 || nImp > 4096) return std::nullopt;
    qsizetype pos = HeaderInts * 4 + ((varflags & 0x100) ? 4 : 0);
    pos += n * 4;
    for (int s = 0; s < SegmentCount; ++s) {
        m_segOffset[s] = i32(pos + s * 16);
        const std::int32_t len = i32(pos + s * 16 + 4);
        if (len > 0 && (m_segOffset[s] < 0 || m_segOffset[s] + len > m_b.size()))
            return std::nullopt;
    }
    if (!ok()) return std::nullopt;
    lib.guid = guidAt(libGuid);
    lib.name = nameAt(libName);
    lib.help = stringAt(libHelp);

    // Imports.
    for (int i = 0; i < nImp; ++i) {
        const qsizetype at = seg(SegImpInfo) + i * 12;
        const std::int32_t flags = i32(at), file = i32(at + 4), g = i32(at + 8);
        const qsizetype fat = seg(SegImpFiles) + file;
        const Guid fileGuid = guidAt(i32(fat));
        ImportDesc* imp = nullptr;
        for (auto& d : lib.imports)
            if (d.guid == fileGuid) imp = &d;
        if (!imp) {
            ImportDesc d;
            d.guid = fileGuid;
            d.lcid = static_cast<std::uint32_t>(i32(fat + 4));
            const std::int32_t v = i32(fat + 8);
            d.major = static_cast<std::uint16_t>(v & 0xFFFF);
            d.minor = static_cast<std::uint16_t>(v >> 16);
            const int len = static_cast<std::uint16_t>(i16(fat + 12)) >> 2;
            d.file = decodeText(bytes(fat + 14, len));
            lib.imports.push_back(d);
            imp = &lib.imports.back();
        }
        ImportedType t;
        t.guid = guidAt(g);
        t.kind = static_cast<TypeKind>((flags >> 24) & 0xF);
        t.name = hrefName((i * 12) | 1);
        imp->types.push_back(t);
    }

    const qsizetype tiBase = seg(SegTypeInfo);
    for (int i = 0; i < n; ++i) {
        m_typeNames.push_back(nameAt(i32(tiBase + i * TypeInfoSize + 13 * 4)));
        m_typeKinds.push_back(static_cast<TypeKind>(i32(tiBase + i * TypeInfoSize) & 0xF));
    }
    for (int i = 0; i < n && ok(); ++i) {
        const qsizetype at = tiBase + i * TypeInfoSize;
        auto v = [&](int k) { return i32(at + k * 4); };
        TypeInfoDesc t;
        t.kind = m_typeKinds[i];
        t.name = m_typeNames[i];
        t.guid = guidAt(v(11));
        t.flags = static_cast<std::uint32_t>(v(12));
        t.major = static_cast<std::uint16_t>(v(14) & 0xFFFF);
        t.minor = static_cast<std::uint16_t>(v(14) >> 16);
        t.help = stringAt(v(15));
        const int nFuncs = v(6) & 0xFFFF, nVars = (v(6) >> 16) & 0xFFFF;
        const int nImpl = v(19) & 0xFFFF;
        if (t.kind == TypeKind::CoClass) {
            std::int32_t ref = v(21);
            for (int k = 0; k < nImpl && ref >= 0 && ok(); ++k) {
                const qsizetype r = seg(SegRefTab) + ref;
                t.implTypes.push_back({hrefName(i32(r)), static_cast<std::uint32_t>(i32(r + 4))});
                ref = i32(r + 12);
            }
        } else if (v(21) >= 0 && (t.kind == TypeKind::Dispatch || t.kind == TypeKind::Interface)) {
            t.base = hrefName(v(21));
        }
        const std::int32_t block = v(1);
        if (block >= 0 && (nFuncs || nVars)) {
            const std::int32_t recBytes = i32(block);
            const qsizetype recs = block + 4;
            const int count = nFuncs ? nFuncs : nVars;
            const qsizetype ids = recs + recBytes;
            const qsizetype names = ids + count * 4;
            const qsizetype offs = names + count * 4;
            for (int k = 0; k < count && ok(); ++k) {
                const qsizetype r = recs + i32(offs + k * 4);
                const std::int32_t id = i32(ids + k * 4);
                const QString nm = nameAt(i32(names + k * 4));
                if (nFuncs) {
                    MemberInfo m;
                    m.name = nm;
                    m.id = id;
                    const int size = i32(r) & 0xFFFF;
                    m.result = decode(i32(r + 4), nullptr);
                    const std::int32_t fk = i32(r + 16);
                    m.kind = static_cast<InvokeKind>((fk >> 3) & 0xF);
                    const int nargs = i16(r + 20);
                    const int attrs = (size - 0x18 - nargs * 12) / 4;
                    if (attrs < 0 || nargs < 0 || nargs > 64) return std::nullopt;
                    if (attrs >= 2) m.help = stringAt(i32(r + 0x18 + 4));
                    const qsizetype p0 = r + 0x18 + attrs * 4;
                    for (int a = 0; a < nargs; ++a) {
                        const qsizetype p = p0 + a * 12;
                        ParamInfo pi;
                        pi.type = decode(i32(p), &pi.byRef);
                        pi.name = nameAt(i32(p + 4));
                        pi.optional = (i32(p + 8) & ParamOpt) != 0;
                        m.params.push_back(pi);
                    }
                    t.functions.push_back(std::move(m));
                } else {
                    const std::int32_t valueAt = i32(r + 16);
                    const std::int32_t value =
                        valueAt < 0 ? (valueAt & 0x03FFFFFF) : i32(seg(SegCustData) + valueAt + 2);
                    t.constants.push_back({nm, value});
                }
            }
        }
        lib.types.push_back(std::move(t));
    }
    if (!ok()) return std::nullopt;
    return lib;
}

} // namespace

const TypeInfoDesc* TypeLibDesc::find(const QString& typeName) const {
    for (const auto& t : types)
        if (t.name == typeName) return &t;
    return nullptr;
}

QByteArray writeTypeLib(const TypeLibDesc& lib) {
    return Writer(lib).run();
}

std::optional<TypeLibDesc> readTypeLib(const QByteArray& bytes) {
    return Reader(bytes).run();
}

ImportDesc standardOleImport() {
    ImportDesc d;
    d.file = QStringLiteral("stdole2.tlb");
    d.guid = Guid::fromString("{00020430-0000-0000-C000-000000000046}");
    d.major = 2;
    d.minor = 0;
    d.lcid = 0;
    d.types = {
        {QStringLiteral("IDispatch"), Guid::fromString("{00020400-0000-0000-C000-000000000046}"),
         TypeKind::Interface},
        {QStringLiteral("OLE_COLOR"), Guid::fromString("{66504301-BE0F-101A-8BBB-00AA00300CAB}"),
         TypeKind::Alias},
        {QStringLiteral("Font"), Guid::fromString("{BEF6E003-A874-101B-8BBA-00AA00300CAB}"),
         TypeKind::Dispatch},
        {QStringLiteral("Picture"), Guid::fromString("{7BF80981-BF32-101A-8BBB-00AA00300CAB}"),
         TypeKind::Dispatch},
    };
    return d;
}

} // namespace component

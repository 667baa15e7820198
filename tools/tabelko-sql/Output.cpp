#include "Output.h"

#include "engine/base/Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <vector>

namespace tools {

namespace {

bool wide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF && cp != 0x303F) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1FAFF) ||
           (cp >= 0x20000 && cp <= 0x3FFFD);
}

// Tabs and line breaks inside a value would break the TSV layout.
std::string tsvValue(const std::string& v) {
    std::string out;
    for (char c : v) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string jsonValue(const engine::Value& v) {
    using K = engine::Value::Kind;
    switch (v.kind()) {
    case K::Empty:
    case K::Null:
        return "null";
    case K::Boolean:
        return v.toBool() ? "true" : "false";
    case K::Integer:
    case K::Currency:
        return v.toText();
    case K::Double:
        return std::isfinite(v.toDouble()) ? v.toText() : jsonString(v.toText());
    case K::Bytes: { // binary data as hexadecimal text
        static const char* digits = "0123456789abcdef";
        std::string hex = "0x";
        for (std::uint8_t b : v.bytes()) {
            hex += digits[b >> 4];
            hex += digits[b & 15];
        }
        return jsonString(hex);
    }
    default:
        return jsonString(v.toText());
    }
}

} // namespace

std::size_t displayWidth(const std::string& text) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < text.size();)
        w += wide(engine::utf8::decode(text, i)) ? 2 : 1;
    return w;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // Whole UTF-8 sequences pass; a stray byte becomes U+FFFD, so the
            // document stays valid UTF-8.
            const std::size_t len = engine::utf8::sequenceLength(text, i);
            if (len > 0) {
                out.append(text, i, len);
                i += len - 1;
            } else {
                out += "\\ufffd";
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void writeRows(std::ostream& out, engine::Recordset& rs, Format format) {
    const auto& fields = rs.fieldInfo();
    const long rows = rs.RecordCount();
    const int n = static_cast<int>(fields.size());
    switch (format) {
    case Format::Tsv:
        for (int f = 0; f < n; ++f)
            out << (f ? "\t" : "") << tsvValue(fields[static_cast<std::size_t>(f)].name);
        out << '\n';
        for (long r = 0; r < rows; ++r) {
            for (int f = 0; f < n; ++f)
                out << (f ? "\t" : "") << tsvValue(rs.valueAt(r, f).toText());
            out << '\n';
        }
        break;
    case Format::Json: {
        // The whole document is built first: a row that fails to read leaves
        // nothing half-written on the output.
        std::ostringstream doc;
        doc << '[';
        for (long r = 0; r < rows; ++r) {
            doc << (r ? ",\n " : "\n ") << '{';
            for (int f = 0; f < n; ++f)
                doc << (f ? ", " : "") << jsonString(fields[static_cast<std::size_t>(f)].name)
                    << ": " << jsonValue(rs.valueAt(r, f));
            doc << '}';
        }
        doc << (rows ? "\n]\n" : "]\n");
        out << doc.str();
        break;
    }
    case Format::Table: {
        // Two passes: widths first, then the rows. The recordset reads its
        // pages again on the second pass rather than holding every row.
        std::vector<std::size_t> width(static_cast<std::size_t>(n));
        for (int f = 0; f < n; ++f)
            width[static_cast<std::size_t>(f)] =
                displayWidth(fields[static_cast<std::size_t>(f)].name);
        for (long r = 0; r < rows; ++r)
            for (int f = 0; f < n; ++f)
                width[static_cast<std::size_t>(f)] =
                    std::max(width[static_cast<std::size_t>(f)],
                             displayWidth(tsvValue(rs.valueAt(r, f).toText())));
        auto cell = [&](const std::string& text, int f) {
            out << text
                << std::string(width[static_cast<std::size_t>(f)] - displayWidth(text), ' ');
        };
        auto rule = [&] {
            for (int f = 0; f < n; ++f)
                out << (f ? "-+-" : "") << std::string(width[static_cast<std::size_t>(f)], '-');
            out << '\n';
        };
        for (int f = 0; f < n; ++f) {
            if (f) out << " | ";
            cell(fields[static_cast<std::size_t>(f)].name, f);
        }
        out << '\n';
        rule();
        for (long r = 0; r < rows; ++r) {
            for (int f = 0; f < n; ++f) {
                if (f) out << " | ";
                cell(tsvValue(rs.valueAt(r, f).toText()), f);
            }
            out << '\n';
        }
        out << "(" << rows << " 行)\n";
        break;
    }
    }
}

} // namespace tools

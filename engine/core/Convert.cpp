#include "Convert.h"

#include "engine/base/Messages.h"
#include "engine/schema/JetType.h"

#include <cmath>
#include <cstdlib>

namespace engine {

namespace {

bool parseNumber(const std::string& s, double& out) {
    const char* b = s.c_str();
    while (*b == ' ')
        ++b;
    if (!*b) return false;
    char* end = nullptr;
    out = std::strtod(b, &end);
    while (end && *end == ' ')
        ++end;
    return end && *end == '\0' && std::isfinite(out);
}

std::size_t utf8Length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

} // namespace

Value fromStorage(const Value& raw, int type) {
    if (raw.isNullOrEmpty()) return Value::null();
    switch (type) {
    case adtype::Boolean:
        return Value(raw.toInt() != 0);
    case adtype::Date:
        if (raw.kind() == Value::Kind::Text) return Value::date(raw.text());
        return raw;
    case adtype::Currency:
        // An exact count; a REAL is an amount as older files kept it.
        if (raw.kind() == Value::Kind::Integer) return Value::currency(raw.toInt());
        if (raw.kind() == Value::Kind::Double)
            return Value::currencyFits(raw.toDouble()) ? Value::currencyFromDouble(raw.toDouble())
                                                       : raw;
        return raw;
    case adtype::Single:
    case adtype::Double:
    case adtype::Numeric:
        if (raw.kind() == Value::Kind::Integer) return Value(raw.toDouble());
        return raw;
    default:
        return raw;
    }
}

int adTypeOfStorage(const Value& raw) {
    switch (raw.kind()) {
    case Value::Kind::Integer:
        return adtype::Integer;
    case Value::Kind::Double:
        return adtype::Double;
    case Value::Kind::Text:
        return adtype::VarWChar;
    case Value::Kind::Bytes:
        return adtype::LongVarBinary;
    default:
        return adtype::Variant;
    }
}

Value toStorage(const Value& v, const ColumnMeta& column) {
    const std::string& name = column.name;
    const int code = column.type.code;
    if (v.isNullOrEmpty() ||
        (v.kind() == Value::Kind::Text && v.text().empty() && !isTextCode(code))) {
        if (column.required && !column.type.autoIncrement) msg::raise(msg::Required, {name});
        return Value::null();
    }
    auto mismatch = [&]() -> Value {
        msg::raise(msg::TypeMismatch, {name, v.toText()});
        return {};
    };
    auto number = [&]() -> double {
        switch (v.kind()) {
        case Value::Kind::Boolean:
        case Value::Kind::Integer:
        case Value::Kind::Double:
        case Value::Kind::Currency:
            return v.toDouble();
        case Value::Kind::Text: {
            double d = 0;
            if (parseNumber(v.text(), d)) return d;
            if (v.text() == "True" || v.text() == "true") return -1;
            if (v.text() == "False" || v.text() == "false") return 0;
            mismatch();
            return 0.0;
        }
        default:
            mismatch();
            return 0.0;
        }
    };
    switch (code) {
    case adtype::Integer:
    case adtype::SmallInt:
    case adtype::UnsignedTinyInt: {
        const double d = number();
        // Jet rounds a fraction to the nearest integer (half to even).
        const double r = std::nearbyint(d);
        const double lo = code == adtype::Integer    ? -2147483648.0
                          : code == adtype::SmallInt ? -32768
                                                     : 0;
        const double hi = code == adtype::Integer    ? 2147483647.0
                          : code == adtype::SmallInt ? 32767
                                                     : 255;
        if (r < lo || r > hi) msg::raise(msg::OutOfRange, {name, v.toText()});
        return Value(static_cast<std::int64_t>(r));
    }
    case adtype::Boolean: {
        if (v.kind() == Value::Kind::Text) {
            const std::string& t = v.text();
            if (t == "True" || t == "true" || t == "TRUE" || t == "Yes" || t == "是" || t == "-1")
                return Value(static_cast<std::int64_t>(-1));
            if (t == "False" || t == "false" || t == "FALSE" || t == "No" || t == "否" || t == "0")
                return Value(static_cast<std::int64_t>(0));
        }
        return Value(static_cast<std::int64_t>(number() != 0 ? -1 : 0));
    }
    case adtype::Single: {
        const double d = number();
        if (std::fabs(d) > 3.4028234663852886e38) msg::raise(msg::OutOfRange, {name, v.toText()});
        return Value(d);
    }
    case adtype::Double:
        return Value(number());
    case adtype::Numeric: {
        // Rounded to the scale; the digits before the point must fit.
        double d = number();
        const double p = std::pow(10.0, column.type.scale);
        d = std::round(d * p) / p;
        if (std::fabs(d) >= std::pow(10.0, column.type.precision - column.type.scale))
            msg::raise(msg::OutOfRange, {name, v.toText()});
        return Value(d);
    }
    case adtype::Currency: {
        std::int64_t scaled = 0;
        bool fits = true;
        switch (v.kind()) {
        case Value::Kind::Currency:
            scaled = v.currencyScaled();
            break;
        case Value::Kind::Boolean:
        case Value::Kind::Integer: {
            const std::int64_t i = v.toInt();
            fits = !__builtin_mul_overflow(i, std::int64_t{10000}, &scaled);
            break;
        }
        case Value::Kind::Text:
            if (Value::parseCurrency(v.text(), scaled)) break;
            [[fallthrough]];
        default: {
            const double d = number(); // refuses what is not a number
            fits = Value::currencyFits(d);
            if (fits) scaled = Value::currencyFromDouble(d).currencyScaled();
        }
        }
        if (!fits) msg::raise(msg::OutOfRange, {name, v.toText()});
        if (column.type.legacyReal) return Value(static_cast<double>(scaled) / 10000.0);
        return Value::currency(scaled);
    }
    case adtype::Date: {
        if (v.kind() == Value::Kind::Date) return Value(v.text());
        std::string canonical;
        if (v.kind() == Value::Kind::Text && normalizeDateText(v.text(), canonical))
            return Value(canonical);
        msg::raise(msg::NotADate, {name, v.toText()});
    }
    case adtype::VarBinary:
    case adtype::LongVarBinary:
        if (v.kind() == Value::Kind::Bytes) {
            if (column.type.size > 0 && static_cast<long>(v.bytes().size()) > column.type.size)
                msg::raise(msg::TooLong, {name, std::to_string(column.type.size)});
            return v;
        }
        if (v.kind() == Value::Kind::Text) {
            const auto& t = v.text();
            return Value(std::vector<std::uint8_t>(t.begin(), t.end()));
        }
        return mismatch();
    default: {
        const std::string text = v.toText();
        if ((code == adtype::VarWChar || code == adtype::WChar) && column.type.size > 0 &&
            static_cast<long>(utf8Length(text)) > column.type.size)
            msg::raise(msg::TooLong, {name, std::to_string(column.type.size)});
        return Value(text);
    }
    }
}

} // namespace engine

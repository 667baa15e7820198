#include "JetType.h"

#include "engine/Recordset.h"
#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <map>

namespace engine {

namespace {

enum class Family {
    Text,
    FixedText,
    Memo,
    Long,
    Short,
    Byte,
    Single,
    Double,
    Currency,
    Date,
    Bit,
    Counter,
    Binary,
    LongBinary,
    Guid,
    Numeric
};

const std::map<std::string, Family>& words() {
    static const std::map<std::string, Family> w = {
        {"TEXT", Family::Text},
        {"VARCHAR", Family::Text},
        {"NVARCHAR", Family::Text},
        {"STRING", Family::Text},
        {"ALPHANUMERIC", Family::Text},
        {"CHAR", Family::FixedText},
        {"CHARACTER", Family::FixedText},
        {"NCHAR", Family::FixedText},
        {"MEMO", Family::Memo},
        {"LONGTEXT", Family::Memo},
        {"LONGCHAR", Family::Memo},
        {"NOTE", Family::Memo},
        {"NTEXT", Family::Memo},
        {"HYPERLINK", Family::Memo},
        {"LONG", Family::Long},
        {"INTEGER", Family::Long},
        {"INT", Family::Long},
        {"INTEGER4", Family::Long},
        {"SMALLINT", Family::Short},
        {"SHORT", Family::Short},
        {"INTEGER2", Family::Short},
        {"BYTE", Family::Byte},
        {"TINYINT", Family::Byte},
        {"INTEGER1", Family::Byte},
        {"SINGLE", Family::Single},
        {"REAL", Family::Single},
        {"FLOAT4", Family::Single},
        {"IEEESINGLE", Family::Single},
        {"DOUBLE", Family::Double},
        {"FLOAT", Family::Double},
        {"FLOAT8", Family::Double},
        {"NUMBER", Family::Double},
        {"IEEEDOUBLE", Family::Double},
        {"CURRENCY", Family::Currency},
        {"MONEY", Family::Currency},
        {"DATETIME", Family::Date},
        {"DATE", Family::Date},
        {"TIME", Family::Date},
        {"TIMESTAMP", Family::Date},
        {"BIT", Family::Bit},
        {"YESNO", Family::Bit},
        {"LOGICAL", Family::Bit},
        {"LOGICAL1", Family::Bit},
        {"BOOLEAN", Family::Bit},
        {"COUNTER", Family::Counter},
        {"AUTOINCREMENT", Family::Counter},
        {"IDENTITY", Family::Counter},
        {"BINARY", Family::Binary},
        {"VARBINARY", Family::Binary},
        {"LONGBINARY", Family::LongBinary},
        {"OLEOBJECT", Family::LongBinary},
        {"IMAGE", Family::LongBinary},
        {"GENERAL", Family::LongBinary},
        {"GUID", Family::Guid},
        {"UNIQUEIDENTIFIER", Family::Guid},
        {"NUMERIC", Family::Numeric},
        {"DECIMAL", Family::Numeric},
        {"DEC", Family::Numeric},
    };
    return w;
}

} // namespace

bool isTextCode(int code) {
    return code == adtype::VarWChar || code == adtype::WChar || code == adtype::LongVarWChar ||
           code == adtype::GUID;
}
bool isIntegerCode(int code) {
    return code == adtype::Integer || code == adtype::SmallInt || code == adtype::UnsignedTinyInt ||
           code == adtype::TinyInt || code == adtype::BigInt || code == adtype::Boolean;
}
bool isFloatCode(int code) {
    return code == adtype::Single || code == adtype::Double || code == adtype::Currency ||
           code == adtype::Numeric;
}

JetType resolveType(const sql::TypeSpec& spec, const std::string& column) {
    const auto& table = words();
    auto it = table.find(ascii::toUpper(spec.word));
    if (it == table.end()) msg::raise(msg::UnknownTypeWord, {column, spec.written});
    JetType t;
    t.word = spec.written.empty() ? spec.word : spec.written;
    auto arg = [&](std::size_t i, long long fallback) {
        return i < spec.args.size() ? spec.args[i] : fallback;
    };
    auto badArgs = [&](std::size_t most) {
        if (spec.args.size() > most) msg::raise(msg::UnknownTypeWord, {column, spec.written});
    };
    switch (it->second) {
    case Family::Text:
    case Family::FixedText:
        badArgs(1);
        t.code = it->second == Family::Text ? adtype::VarWChar : adtype::WChar;
        t.size = static_cast<long>(arg(0, 255));
        if (t.size < 1 || t.size > 255) msg::raise(msg::UnknownTypeWord, {column, spec.written});
        break;
    case Family::Memo:
        badArgs(0);
        t.code = adtype::LongVarWChar;
        break;
    case Family::Long:
        badArgs(0);
        t.code = adtype::Integer;
        t.size = 4;
        break;
    case Family::Short:
        badArgs(0);
        t.code = adtype::SmallInt;
        t.size = 2;
        break;
    case Family::Byte:
        badArgs(0);
        t.code = adtype::UnsignedTinyInt;
        t.size = 1;
        break;
    case Family::Single:
        badArgs(0);
        t.code = adtype::Single;
        t.size = 4;
        break;
    case Family::Double:
        badArgs(0);
        t.code = adtype::Double;
        t.size = 8;
        break;
    case Family::Currency:
        badArgs(0);
        t.code = adtype::Currency;
        t.size = 8;
        break;
    case Family::Date:
        badArgs(0);
        t.code = adtype::Date;
        t.size = 8;
        break;
    case Family::Bit:
        badArgs(0);
        t.code = adtype::Boolean;
        t.size = 2;
        break;
    case Family::Counter:
        badArgs(2);
        t.code = adtype::Integer;
        t.size = 4;
        t.autoIncrement = true;
        t.seed = arg(0, 1);
        t.increment = arg(1, 1);
        if (t.increment == 0) msg::raise(msg::UnknownTypeWord, {column, spec.written});
        break;
    case Family::Binary:
        badArgs(1);
        t.code = adtype::VarBinary;
        t.size = static_cast<long>(arg(0, 510));
        if (t.size < 1 || t.size > 510) msg::raise(msg::UnknownTypeWord, {column, spec.written});
        break;
    case Family::LongBinary:
        badArgs(0);
        t.code = adtype::LongVarBinary;
        break;
    case Family::Guid:
        badArgs(0);
        t.code = adtype::GUID;
        t.size = 16;
        break;
    case Family::Numeric:
        badArgs(2);
        t.code = adtype::Numeric;
        t.precision = static_cast<int>(arg(0, 18));
        t.scale = static_cast<int>(arg(1, 0));
        t.size = 19;
        if (t.precision < 1 || t.precision > 28 || t.scale < 0 || t.scale > t.precision)
            msg::raise(msg::UnknownTypeWord, {column, spec.written});
        break;
    }
    return t;
}

const char* sqliteAffinity(int code) {
    if (isIntegerCode(code) || code == adtype::Currency) return "INTEGER";
    if (isFloatCode(code)) return "REAL";
    if (code == adtype::VarBinary || code == adtype::LongVarBinary) return "BLOB";
    return "TEXT";
}

std::string typeCheck(const JetType& t, const std::string& column) {
    using sqlite::quoteName;
    const std::string c = quoteName(column);
    auto named = [&](const std::string& kind, const std::string& arg, const std::string& cond) {
        return "CONSTRAINT " + quoteName("jet:" + kind + ":" + arg + ":" + column) + " CHECK(" + c +
               " IS NULL OR (" + cond + "))";
    };
    auto range = [&](const char* lo, const char* hi) {
        return named("type", "integer", "typeof(" + c + ")='integer'") + " " +
               named("range", std::string(lo) + ".." + hi, c + " BETWEEN " + lo + " AND " + hi);
    };
    switch (t.code) {
    case adtype::VarWChar:
    case adtype::WChar:
        return named("len", std::to_string(t.size), "length(" + c + ")<=" + std::to_string(t.size));
    case adtype::Integer:
        return range("-2147483648", "2147483647");
    case adtype::SmallInt:
        return range("-32768", "32767");
    case adtype::UnsignedTinyInt:
        return range("0", "255");
    case adtype::Boolean:
        return named("type", "boolean", "typeof(" + c + ")='integer'");
    case adtype::Single:
        return named("type", "number", "typeof(" + c + ") IN ('integer','real')") + " " +
               named("range", "single", "abs(" + c + ") <= 3.4028234663852886e38");
    case adtype::Double:
        return named("type", "number", "typeof(" + c + ") IN ('integer','real')");
    case adtype::Currency:
        // An exact count of 1/10,000 units.
        return named("type", "number", "typeof(" + c + ")='integer'");
    case adtype::Numeric: {
        // The value is rounded to the scale after it is stored (a trigger);
        // what may not fit are the digits before the decimal point.
        std::string limit = "1";
        for (int i = 0; i < t.precision - t.scale; ++i)
            limit += "0";
        return named("type", "number", "typeof(" + c + ") IN ('integer','real')") + " " +
               named("range", "numeric",
                     "abs(round(" + c + ", " + std::to_string(t.scale) + ")) < " + limit + ".0");
    }
    case adtype::Date:
        // A date, or text or a number that converts to one (made canonical
        // by a trigger after it is stored).
        return named("type", "date",
                     "jet_isdate(" + c + ") <> 0 OR typeof(" + c + ") IN ('integer','real')");
    case adtype::VarBinary:
        return named("len", std::to_string(t.size), "length(" + c + ")<=" + std::to_string(t.size));
    default:
        return {};
    }
}

} // namespace engine

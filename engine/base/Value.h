#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace engine {

// A field value as the engine hands it to callers: the small variant the
// recordsets, the grid and the text export share.
//
// Storage conventions inside the database file (SQLite):
//   boolean  -> INTEGER -1 / 0 (Jet's True is -1)
//   date     -> TEXT 'yyyy-MM-dd HH:mm:ss'
//   currency -> INTEGER, an exact count of 1/10,000 units (files written
//               before kept REAL amounts; those are converted when read)
class Value {
public:
    enum class Kind { Empty, Null, Boolean, Integer, Double, Currency, Date, Text, Bytes };

    Value() = default;
    Value(bool b) : kind_(Kind::Boolean), data_(b) {}
    Value(int v) : kind_(Kind::Integer), data_(static_cast<std::int64_t>(v)) {}
    Value(std::int64_t v) : kind_(Kind::Integer), data_(v) {}
    Value(double v) : kind_(Kind::Double), data_(v) {}
    Value(std::string s) : kind_(Kind::Text), data_(std::move(s)) {}
    Value(const char* s) : kind_(Kind::Text), data_(std::string(s)) {}
    Value(std::vector<std::uint8_t> b) : kind_(Kind::Bytes), data_(std::move(b)) {}

    static Value null();
    // Currency in units of 1/10000.
    static Value currency(std::int64_t scaled);
    // Rounded to 1/10,000 (half to even); callers check currencyFits first.
    static Value currencyFromDouble(double v);
    // Whether an amount lies within Currency's range, +-922,337,203,685,477.5807.
    static bool currencyFits(double v);
    // Reads decimal text ("-1234567890123.4567", "1e3") exactly into 1/10,000
    // units, rounding further decimals half to even. False when the text is
    // not a number or lies outside Currency's range.
    static bool parseCurrency(const std::string& text, std::int64_t& scaled);
    // A date in the canonical text form 'yyyy-MM-dd HH:mm:ss'; callers pass
    // text already in that form (see normalizeDateText).
    static Value date(std::string canonical);

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isNullOrEmpty() const { return kind_ == Kind::Null || kind_ == Kind::Empty; }

    bool toBool() const;
    std::int64_t toInt() const;
    double toDouble() const;
    std::int64_t currencyScaled() const;
    const std::string& text() const; // Text or Date; empty string otherwise
    const std::vector<std::uint8_t>& bytes() const;

    // The text form used by grids and the text export: null and empty as "",
    // booleans as True/False, dates as yyyy-MM-dd HH:mm:ss.
    std::string toText() const;

    bool operator==(const Value& other) const;

private:
    Kind kind_ = Kind::Empty;
    std::variant<std::monostate, bool, std::int64_t, double, std::string, std::vector<std::uint8_t>>
        data_;
};

// Shortest text for a double that reads back to the same value ("0.1", "3",
// "1E+20" stays "1e+20").
std::string formatDouble(double v);

// Accepts 'yyyy-MM-dd', 'yyyy-MM-dd HH:mm[:ss]', 'yyyy/M/d', 'M/d/yyyy'
// (Jet's # literal order) with optional time, and 'HH:mm[:ss]' (a time of
// day on 1899-12-30, Jet's day zero). Returns false when the text is not a
// date.
bool normalizeDateText(const std::string& in, std::string& canonical);

} // namespace engine

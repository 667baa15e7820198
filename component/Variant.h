#pragma once

#include "Unknown.h"

#include <QString>

#include <cstdint>

namespace component {

// Type codes of variants and type descriptions, numbered as the object model
// numbers them so they can be written into a type library unchanged.
enum class VarType : std::uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2, // 16-bit
    Long = 3,    // 32-bit
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Dispatch = 9, // object
    Error = 10,
    Boolean = 11, // 16-bit, True = -1
    Variant = 12,
    Unknown = 13,
    UI1 = 17,
    UI4 = 19,
    Int = 22,
    Void = 24,
    HResult = 25,
    Ptr = 26,
    UserDefined = 29,
};

class Variant;
class IDispatch;

// A tagged value: empty, Integer, Long, Single, Double, String, Boolean,
// Error (used for "argument missing") or an object.
class Variant {
public:
    Variant() = default;
    static Variant integer(std::int16_t v);
    static Variant longValue(std::int32_t v);
    static Variant single(float v);
    static Variant doubleValue(double v);
    static Variant string(QString v);
    static Variant boolean(bool v);
    static Variant object(Ref<IUnknown> v);
    static Variant null();
    // The value passed for an optional argument the caller left out.
    static Variant missing();

    VarType type() const { return m_type; }
    bool isEmpty() const { return m_type == VarType::Empty; }
    bool isMissing() const;
    bool isNumeric() const;
    bool isObject() const { return m_type == VarType::Dispatch || m_type == VarType::Unknown; }

    // Conversions with the scripting rules: numbers convert among themselves with
    // rounding to even for integers and an overflow failure out of range;
    // strings convert to numbers when they read as one; Boolean is -1/0.
    // Failures throw AutomationError (type mismatch, overflow).
    double toDouble() const;
    std::int16_t toInteger() const;
    std::int32_t toLong() const;
    float toSingle() const;
    bool toBool() const;
    QString toString() const;
    Ref<IUnknown> toObject() const;
    // The same value converted to another type code.
    Variant convertedTo(VarType t) const;

    // Raw access for the stored type.
    std::int32_t rawInt() const { return m_int; }
    double rawDouble() const { return m_double; }

    // Numeric comparison as the persistence defaults use it: two numeric
    // values (Boolean included) compare by value, so False equals 0 and True
    // (-1) differs from 1; strings compare as text; objects by identity;
    // empty equals empty, 0 and "".
    bool equalsForDefault(const Variant& other) const;
    bool operator==(const Variant& other) const;

private:
    VarType m_type = VarType::Empty;
    std::int32_t m_int = 0;
    double m_double = 0;
    QString m_string;
    Ref<IUnknown> m_object;
};

} // namespace component

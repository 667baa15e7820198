#include "Variant.h"

#include "AutomationError.h"

#include <cmath>
#include <limits>

namespace component {

void throwInvalidPropertyValue() {
    throw AutomationError(Ctl_E_InvalidPropertyValue, QStringLiteral("无效的属性值"));
}
void throwTypeMismatch() {
    throw AutomationError(static_cast<HResult>(0x800A000D), QStringLiteral("类型不匹配"));
}
void throwOverflow() {
    throw AutomationError(static_cast<HResult>(0x800A0006), QStringLiteral("溢出"));
}
void throwError(HResult code, const QString& text) {
    throw AutomationError(code, text);
}

Variant Variant::integer(std::int16_t v) {
    Variant r;
    r.m_type = VarType::Integer;
    r.m_int = v;
    return r;
}
Variant Variant::longValue(std::int32_t v) {
    Variant r;
    r.m_type = VarType::Long;
    r.m_int = v;
    return r;
}
Variant Variant::single(float v) {
    Variant r;
    r.m_type = VarType::Single;
    r.m_double = v;
    return r;
}
Variant Variant::doubleValue(double v) {
    Variant r;
    r.m_type = VarType::Double;
    r.m_double = v;
    return r;
}
Variant Variant::string(QString v) {
    Variant r;
    r.m_type = VarType::String;
    r.m_string = std::move(v);
    return r;
}
Variant Variant::boolean(bool v) {
    Variant r;
    r.m_type = VarType::Boolean;
    r.m_int = v ? -1 : 0;
    return r;
}
Variant Variant::object(Ref<IUnknown> v) {
    Variant r;
    r.m_type = VarType::Dispatch;
    r.m_object = std::move(v);
    return r;
}
Variant Variant::null() {
    Variant r;
    r.m_type = VarType::Null;
    return r;
}
Variant Variant::missing() {
    Variant r;
    r.m_type = VarType::Error;
    r.m_int = Disp_E_ParamNotFound;
    return r;
}

bool Variant::isMissing() const {
    return m_type == VarType::Error && m_int == Disp_E_ParamNotFound;
}

bool Variant::isNumeric() const {
    switch (m_type) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Boolean:
        return true;
    default:
        return false;
    }
}

double Variant::toDouble() const {
    switch (m_type) {
    case VarType::Empty:
        return 0;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Boolean:
        return m_int;
    case VarType::Single:
    case VarType::Double:
        return m_double;
    case VarType::String: {
        bool ok = false;
        const double d = m_string.trimmed().toDouble(&ok);
        if (!ok) throwTypeMismatch();
        return d;
    }
    default:
        throwTypeMismatch();
    }
}

namespace {
// Scripting conversion to integers rounds halves to even.
double roundEven(double d) {
    return std::nearbyint(d);
}
} // namespace

std::int16_t Variant::toInteger() const {
    const double d = roundEven(toDouble());
    if (!(d >= -32768.0 && d <= 32767.0)) throwOverflow();
    return static_cast<std::int16_t>(d);
}

std::int32_t Variant::toLong() const {
    if (m_type == VarType::Long || m_type == VarType::Integer || m_type == VarType::Boolean)
        return m_int;
    const double d = roundEven(toDouble());
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) throwOverflow();
    return static_cast<std::int32_t>(d);
}

float Variant::toSingle() const {
    const double d = toDouble();
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) throwOverflow();
    return static_cast<float>(d);
}

bool Variant::toBool() const {
    if (m_type == VarType::String) {
        const QString t = m_string.trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    }
    return toDouble() != 0;
}

QString Variant::toString() const {
    switch (m_type) {
    case VarType::Empty:
        return {};
    case VarType::String:
        return m_string;
    case VarType::Integer:
    case VarType::Long:
        return QString::number(m_int);
    case VarType::Boolean:
        return m_int ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Single:
        return QString::number(m_double, 'g', 7);
    case VarType::Double:
        return QString::number(m_double, 'g', 15);
    default:
        throwTypeMismatch();
    }
}

Ref<IUnknown> Variant::toObject() const {
    if (isObject()) return m_object;
    if (m_type == VarType::Empty) return {};
    throwTypeMismatch();
}

Variant Variant::convertedTo(VarType t) const {
    if (t == m_type || t == VarType::Variant) return *this;
    switch (t) {
    case VarType::Integer:
        return integer(toInteger());
    case VarType::Long:
    case VarType::UI4:
        return longValue(toLong());
    case VarType::Single:
        return single(toSingle());
    case VarType::Double:
        return doubleValue(toDouble());
    case VarType::String:
        return string(toString());
    case VarType::Boolean:
        return boolean(toBool());
    case VarType::Dispatch:
    case VarType::Unknown:
        return object(toObject());
    default:
        throwTypeMismatch();
    }
}

bool Variant::equalsForDefault(const Variant& other) const {
    const bool aNum = isNumeric() || m_type == VarType::Empty;
    const bool bNum = other.isNumeric() || other.m_type == VarType::Empty;
    if (isObject() || other.isObject()) return m_object.get() == other.m_object.get();
    if (aNum && bNum) return toDouble() == other.toDouble();
    if (m_type == VarType::String && other.m_type == VarType::String)
        return m_string == other.m_string;
    if (m_type == VarType::Empty && other.m_type == VarType::String)
        return other.m_string.isEmpty();
    if (other.m_type == VarType::Empty && m_type == VarType::String) return m_string.isEmpty();
    if (m_type == VarType::String || other.m_type == VarType::String) {
        // A number against a string compares as numbers when the string reads as one.
        bool ok = false;
        const QString& s = m_type == VarType::String ? m_string : other.m_string;
        const double d = s.trimmed().toDouble(&ok);
        if (!ok) return false;
        return d == (m_type == VarType::String ? other.toDouble() : toDouble());
    }
    return m_type == other.m_type;
}

bool Variant::operator==(const Variant& o) const {
    if (m_type != o.m_type) return false;
    switch (m_type) {
    case VarType::Single:
    case VarType::Double:
        return m_double == o.m_double;
    case VarType::String:
        return m_string == o.m_string;
    case VarType::Dispatch:
    case VarType::Unknown:
        return m_object.get() == o.m_object.get();
    default:
        return m_int == o.m_int;
    }
}

} // namespace component

#pragma once

#include "Unknown.h"

#include <QString>

#include <stdexcept>

namespace component {

// A failure reported across an interface call: a result code, the number the
// scripting side shows, and a Chinese description for the user.
class AutomationError : public std::runtime_error {
public:
    AutomationError(HResult code, QString description, QString source = {})
        : std::runtime_error(description.toStdString()), m_code(code),
          m_description(std::move(description)), m_source(std::move(source)) {}

    HResult code() const { return m_code; }
    // The scripting error number: the low word of an FACILITY_CONTROL code.
    int number() const { return (m_code & 0xFFFF0000) == 0x800A0000 ? (m_code & 0xFFFF) : m_code; }
    const QString& description() const { return m_description; }
    const QString& source() const { return m_source; }

private:
    HResult m_code;
    QString m_description;
    QString m_source;
};

// Frequent failures, with the texts the user sees.
[[noreturn]] void throwInvalidPropertyValue();
[[noreturn]] void throwTypeMismatch();
[[noreturn]] void throwOverflow();
[[noreturn]] void throwError(HResult code, const QString& text);

} // namespace component

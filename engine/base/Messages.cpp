#include "Messages.h"

#include "Utf8.h"

#include <cstdio>

namespace engine::msg {

namespace {

// An argument as printable text: control bytes spelt out, broken UTF-8 replaced.
std::string printable(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            if (c == 0)
                out += "\\0";
            else if (c == '\t')
                out += "\\t";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\r')
                out += "\\r";
            else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            }
            ++i;
            continue;
        }
        const std::size_t n = utf8::sequenceLength(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(s, i, n);
        i += n;
    }
    return out;
}

// clang-format off
const Message* const kAll[] = {
    &WrongPassword,    &PasswordOrDamaged, &EmptyPath,        &FileNotFound,
    &NotADatabase,     &UnsupportedFormat, &CannotOpen,       &BadConnectionString,
    &ConnectionClosed, &Corrupt,           &DamagedReadOnly,  &HotJournalReadOnly,
    &DatabaseBusy,     &ReadOnlyFile,      &JetFileReadOnly,  &DiskFull,
    &OutOfMemory,      &IoError,           &Syntax,           &UnknownTable,
    &UnknownField,     &EngineFailure,     &NotRowReturning,  &TooComplex,
    &TooBig,           &Interrupted,       &DivisionByZero,   &FunctionTypeMismatch,
    &BadCall,          &Overflow,          &SystemTable,      &ReservedName,
    &SelfReference,    &TableExists,       &DatabaseExists,   &FieldExists,
    &QueryExists,      &SecondAutoNumber,  &SecondPrimaryKey, &UnknownTypeWord,
    &BadName,          &UnknownConstraint, &UnknownQuery,     &ColumnInIndex,
    &LastColumn,       &ConvertFailed,     &Required,         &TooLong,
    &TypeMismatch,     &NotADate,          &OutOfRange,       &Duplicate,
    &DuplicateInIndex, &UnsupportedSortOrder,
    &Constraint,       &RowChanged,        &RowDeleted,       &ReadOnlyResult,
    &NoCurrentRecord,  &FieldNotFound,     &BadArgument,      &SubscriptOutOfRange,
    &TemplateNotFound, &DestinationExists, &SameFile,         &CompactFailed,
    &NotInAggregate,   &GroupOnStar,       &ParameterMissing, &BadParameterValue,
    &UnfinishedReadOnly,
    &JetFormatReadOnly, &JetSchemaReadOnly, &JetFileInUse, &JetChangeUndone,
    &JetJournalDamaged, &JetPageMapUnsupported, &JetTableReadOnly,
};
// clang-format on

} // namespace

const Message* const* all(std::size_t& count) {
    count = sizeof kAll / sizeof kAll[0];
    return kAll;
}

std::string format(const Message& m, std::initializer_list<std::string> args) {
    std::string out;
    const std::string text = m.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) out += printable(*(args.begin() + n));
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

void raise(const Message& m, std::initializer_list<std::string> args) {
    throw EngineError(m.number, format(m, args));
}

void raiseWithDetail(const Message& m, std::initializer_list<std::string> args,
                     std::string detail) {
    throw EngineError(m.number, format(m, args), std::move(detail));
}

} // namespace engine::msg

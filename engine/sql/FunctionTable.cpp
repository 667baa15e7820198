#include "FunctionTable.h"

#include "engine/base/Ascii.h"

#include <cctype>
#include <string>

namespace engine::sql {

namespace {

using VT = ValueType;

// Names that SQLite defines differently (trim, round, date, replace, ...)
// are never reused: every Jet function goes to a jet_ function.
const JetFunction kFunctions[] = {
    // Aggregates.
    {"COUNT", "count", 1, 1, VT::Number, true},
    {"SUM", "sum", 1, 1, VT::Number, true},
    {"AVG", "avg", 1, 1, VT::Number, true},
    {"MIN", "min", 1, 1, VT::Unknown, true},
    {"MAX", "max", 1, 1, VT::Unknown, true},
    {"FIRST", "jet_first", 1, 1, VT::Unknown, true},
    {"LAST", "jet_last", 1, 1, VT::Unknown, true},
    {"STDEV", "jet_stdev", 1, 1, VT::Number, true},
    {"STDEVP", "jet_stdevp", 1, 1, VT::Number, true},
    {"VAR", "jet_var", 1, 1, VT::Number, true},
    {"VARP", "jet_varp", 1, 1, VT::Number, true},
    // Written inline by the translator.
    {"IIF", nullptr, 3, 3, VT::Unknown, false},
    {"NZ", nullptr, 1, 2, VT::Unknown, false},
    {"ISNULL", nullptr, 1, 1, VT::Bool, false},
    {"SWITCH", nullptr, 2, 64, VT::Unknown, false},
    {"CHOOSE", nullptr, 2, 64, VT::Unknown, false},
    // Text.
    {"LEFT", "jet_left", 2, 2, VT::String, false},
    {"RIGHT", "jet_right", 2, 2, VT::String, false},
    {"MID", "jet_mid", 2, 3, VT::String, false},
    {"LEN", "jet_len", 1, 1, VT::Number, false},
    {"INSTR", "jet_instr", 2, 4, VT::Number, false},
    {"INSTRREV", "jet_instrrev", 2, 4, VT::Number, false},
    {"UCASE", "jet_ucase", 1, 1, VT::String, false},
    {"LCASE", "jet_lcase", 1, 1, VT::String, false},
    {"TRIM", "jet_trim", 1, 1, VT::String, false},
    {"LTRIM", "jet_ltrim", 1, 1, VT::String, false},
    {"RTRIM", "jet_rtrim", 1, 1, VT::String, false},
    {"SPACE", "jet_space", 1, 1, VT::String, false},
    {"STRING", "jet_string", 2, 2, VT::String, false},
    {"REPLACE", "jet_replace", 3, 6, VT::String, false},
    {"STRCOMP", "jet_strcomp", 2, 3, VT::Number, false},
    {"STRREVERSE", "jet_strreverse", 1, 1, VT::String, false},
    {"ASC", "jet_asc", 1, 1, VT::Number, false},
    {"ASCW", "jet_asc", 1, 1, VT::Number, false},
    {"CHR", "jet_chr", 1, 1, VT::String, false},
    {"CHRW", "jet_chr", 1, 1, VT::String, false},
    {"HEX", "jet_hex", 1, 1, VT::String, false},
    {"FORMAT", "jet_format", 1, 4, VT::String, false},
    // Dates.
    {"NOW", "jet_now", 0, 0, VT::Date, false},
    {"DATE", "jet_date", 0, 0, VT::Date, false},
    {"TIME", "jet_time", 0, 0, VT::Date, false},
    {"YEAR", "jet_year", 1, 1, VT::Number, false},
    {"MONTH", "jet_month", 1, 1, VT::Number, false},
    {"DAY", "jet_day", 1, 1, VT::Number, false},
    {"HOUR", "jet_hour", 1, 1, VT::Number, false},
    {"MINUTE", "jet_minute", 1, 1, VT::Number, false},
    {"SECOND", "jet_second", 1, 1, VT::Number, false},
    {"WEEKDAY", "jet_weekday", 1, 2, VT::Number, false},
    {"MONTHNAME", "jet_monthname", 1, 2, VT::String, false},
    {"WEEKDAYNAME", "jet_weekdayname", 1, 3, VT::String, false},
    {"FORMATDATETIME", "jet_formatdatetime", 1, 2, VT::String, false},
    {"FORMATNUMBER", "jet_formatnumber", 1, 5, VT::String, false},
    {"FORMATCURRENCY", "jet_formatcurrency", 1, 5, VT::String, false},
    {"FORMATPERCENT", "jet_formatpercent", 1, 5, VT::String, false},
    {"PARTITION", "jet_partition", 4, 4, VT::String, false},
    {"PMT", "jet_pmt", 3, 5, VT::Number, false},
    {"FV", "jet_fv", 3, 5, VT::Number, false},
    {"PV", "jet_pv", 3, 5, VT::Number, false},
    {"DATEADD", "jet_dateadd", 3, 3, VT::Date, false},
    {"DATEDIFF", "jet_datediff", 3, 5, VT::Number, false},
    {"DATEPART", "jet_datepart", 2, 4, VT::Number, false},
    {"DATESERIAL", "jet_dateserial", 3, 3, VT::Date, false},
    {"TIMESERIAL", "jet_timeserial", 3, 3, VT::Date, false},
    {"DATEVALUE", "jet_datevalue", 1, 1, VT::Date, false},
    {"TIMEVALUE", "jet_timevalue", 1, 1, VT::Date, false},
    // Conversions and tests.
    {"VAL", "jet_val", 1, 1, VT::Number, false},
    {"STR", "jet_str", 1, 1, VT::String, false},
    {"CSTR", "jet_cstr", 1, 1, VT::String, false},
    {"CINT", "jet_cint", 1, 1, VT::Number, false},
    {"CLNG", "jet_clng", 1, 1, VT::Number, false},
    {"CSNG", "jet_csng", 1, 1, VT::Number, false},
    {"CDBL", "jet_cdbl", 1, 1, VT::Number, false},
    {"CCUR", "jet_ccur", 1, 1, VT::Number, false},
    {"CDEC", "jet_cdbl", 1, 1, VT::Number, false},
    {"CBOOL", "jet_cbool", 1, 1, VT::Number, false},
    {"CDATE", "jet_cdate", 1, 1, VT::Date, false},
    {"CVDATE", "jet_cdate", 1, 1, VT::Date, false},
    {"ISNUMERIC", "jet_isnumeric", 1, 1, VT::Number, false},
    {"ISDATE", "jet_isdate", 1, 1, VT::Number, false},
    // Numbers.
    {"ABS", "jet_abs", 1, 1, VT::Number, false},
    {"INT", "jet_int", 1, 1, VT::Number, false},
    {"FIX", "jet_fix", 1, 1, VT::Number, false},
    {"ROUND", "jet_round", 1, 2, VT::Number, false},
    {"SGN", "jet_sgn", 1, 1, VT::Number, false},
    {"SQR", "jet_sqr", 1, 1, VT::Number, false},
    {"EXP", "jet_exp", 1, 1, VT::Number, false},
    {"LOG", "jet_log", 1, 1, VT::Number, false},
    {"RND", "jet_rnd", 0, 1, VT::Number, false},
    {"ATN", "jet_atn", 1, 1, VT::Number, false},
    {"SIN", "jet_sin", 1, 1, VT::Number, false},
    {"COS", "jet_cos", 1, 1, VT::Number, false},
    {"TAN", "jet_tan", 1, 1, VT::Number, false},
};

} // namespace

const JetFunction* findJetFunction(std::string_view name) {
    std::string up = ascii::toUpper(name);
    if (!up.empty() && up.back() == '$') up.pop_back();
    for (const auto& f : kFunctions)
        if (up == f.jet) return &f;
    return nullptr;
}

} // namespace engine::sql

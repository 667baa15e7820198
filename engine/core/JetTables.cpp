// SQLite virtual tables over the tables of a genuine Jet file.

#include "JetTables.h"

#include "engine/Recordset.h"
#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "engine/core/Convert.h"
#include "engine/core/JetTextMatch.h"
#include "engine/jet/JetTableReader.h"
#include "engine/jet/JetTableWriter.h"
#include "engine/schema/JetType.h"
#include "engine/sql/JetDate.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

namespace engine::jettables {

using sqlite::quoteName;

namespace {

std::string typeWord(const jet::ColumnDef& c) {
    switch (c.adoType) {
    case adtype::VarWChar:
    case adtype::WChar:
        return "Text(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case adtype::LongVarWChar:
        return "Memo";
    case adtype::Integer:
        return c.autoNumber ? "Counter" : "Long";
    case adtype::BigInt:
        return "BigInt";
    case adtype::SmallInt:
        return "Short";
    case adtype::UnsignedTinyInt:
        return "Byte";
    case adtype::Single:
        return "Single";
    case adtype::Double:
        return "Double";
    case adtype::Currency:
        return "Currency";
    case adtype::Date:
        return "DateTime";
    case adtype::Boolean:
        return "Bit";
    case adtype::VarBinary:
        return "Binary(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case adtype::LongVarBinary:
        return "LongBinary";
    case adtype::GUID:
        return "GUID";
    case adtype::Numeric:
        return "Numeric(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    default:
        return "Memo";
    }
}

int codeOf(const jet::ColumnDef& c) {
    return c.adoType ? c.adoType : adtype::LongVarWChar;
}

// ---- values ----------------------------------------------------------------

// How SQLite would have stored a value in a column of this affinity.
enum class Affinity { Integer, Real, Text, Blob };

Affinity affinityOf(int code) {
    const std::string a = sqliteAffinity(code);
    if (a == "INTEGER") return Affinity::Integer;
    if (a == "REAL") return Affinity::Real;
    if (a == "BLOB") return Affinity::Blob;
    return Affinity::Text;
}

// A text that is wholly a decimal number, as SQLite's numeric affinities take it.
bool numericText(const std::string& s, double& d, bool& integral) {
    std::size_t i = 0, n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    while (n > i && s[n - 1] == ' ')
        --n;
    std::size_t p = i;
    if (p < n && (s[p] == '+' || s[p] == '-')) ++p;
    bool digits = false, point = false, exponent = false;
    for (; p < n; ++p) {
        const char c = s[p];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E') && digits && !exponent) {
            exponent = true;
            if (p + 1 < n && (s[p + 1] == '+' || s[p + 1] == '-')) ++p;
            digits = false;
        } else {
            return false;
        }
    }
    if (!digits) return false;
    const std::string t = s.substr(i, n - i);
    d = std::strtod(t.c_str(), nullptr);
    integral = !point && !exponent && std::fabs(d) < 9.2e18;
    return true;
}

// Where a value goes: into SQLite as a statement's result, or straight into
// a Value as a statement would have read it back (DirectRows). Both take the
// same path below, so the two agree.
struct SqliteSink {
    sqlite3_context* ctx;
    void null() { sqlite3_result_null(ctx); }
    void integer(std::int64_t v) { sqlite3_result_int64(ctx, v); }
    void real(double d) { sqlite3_result_double(ctx, d); }
    void text(const char* p, std::size_t n) {
        sqlite3_result_text(ctx, p, static_cast<int>(n), SQLITE_TRANSIENT);
    }
    void blob(const std::vector<std::uint8_t>& b) {
        // A blob from a null pointer reads as NULL: a zero-length value
        // stays an (empty) value.
        if (b.empty())
            sqlite3_result_zeroblob(ctx, 0);
        else
            sqlite3_result_blob(ctx, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    }
};

struct ValueSink {
    Value out;
    void null() { out = Value::null(); }
    void integer(std::int64_t v) { out = Value(v); }
    // SQLite keeps no NaN: it stores Null instead.
    void real(double d) { out = std::isnan(d) ? Value::null() : Value(d); }
    void text(const char* p, std::size_t n) { out = Value(std::string(p, n)); }
    void blob(const std::vector<std::uint8_t>& b) { out = Value(b); }
};

template <class Sink> void resultInt(Sink& sink, std::int64_t v, Affinity a) {
    if (a == Affinity::Real) {
        sink.real(static_cast<double>(v));
    } else if (a == Affinity::Text) {
        const std::string t = std::to_string(v);
        sink.text(t.data(), t.size());
    } else {
        sink.integer(v);
    }
}

template <class Sink> void resultDouble(Sink& sink, double d, Affinity a) {
    if (a == Affinity::Integer && std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9.2e18) {
        sink.integer(static_cast<std::int64_t>(d));
    } else if (a == Affinity::Text) {
        char buf[64];
        sqlite3_snprintf(sizeof buf, buf, "%!.15g", d);
        sink.text(buf, std::strlen(buf));
    } else {
        sink.real(d);
    }
}

template <class Sink> void resultText(Sink& sink, const std::string& t, Affinity a) {
    double d = 0;
    bool integral = false;
    if ((a == Affinity::Integer || a == Affinity::Real) && numericText(t, d, integral)) {
        if (a == Affinity::Integer && integral)
            sink.integer(std::strtoll(t.c_str(), nullptr, 10));
        else
            resultDouble(sink, d, a);
        return;
    }
    sink.text(t.data(), t.size());
}

// The value as the engine's Statement::bind would store it, converted as the
// column's affinity would convert it on insert.
template <class Sink> void result(Sink& sink, const Value& v, Affinity a) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
        sink.null();
        return;
    case Value::Kind::Boolean:
        resultInt(sink, v.toBool() ? -1 : 0, a);
        return;
    case Value::Kind::Integer:
        resultInt(sink, v.toInt(), a);
        return;
    case Value::Kind::Currency:
        resultInt(sink, v.currencyScaled(), a);
        return;
    case Value::Kind::Double:
        resultDouble(sink, v.toDouble(), a);
        return;
    case Value::Kind::Date:
    case Value::Kind::Text:
        resultText(sink, v.text(), a);
        return;
    case Value::Kind::Bytes:
        sink.blob(v.bytes());
        return;
    }
}

// The same for one value read alone from a row.
template <class Sink> void result(Sink& sink, const jet::Cell& cell, Affinity a) {
    using Kind = jet::Cell::Kind;
    switch (cell.kind) {
    case Kind::Null:
        sink.null();
        return;
    case Kind::Boolean:
        resultInt(sink, cell.integer ? -1 : 0, a);
        return;
    case Kind::Integer:
    case Kind::Currency:
        resultInt(sink, cell.integer, a);
        return;
    case Kind::Double:
        resultDouble(sink, cell.real, a);
        return;
    case Kind::Text:
    case Kind::Date:
        resultText(sink, cell.text, a);
        return;
    case Kind::Other:
        result(sink, cell.other, a);
        return;
    }
}

// ---- the module ------------------------------------------------------------

struct Table {
    sqlite3_vtab base{};
    std::shared_ptr<Source> source;
    jet::TableDef def;
    std::vector<Affinity> affinity;
    // For each column: the index whose first column it is and that the
    // reader can search (-1: none).
    std::vector<int> index;
    // For each column searched through a text index: its key rules
    // (Unsupported for every other column).
    std::vector<jet::TextOrder> textOrder;
    // What one scan found out about a text column's values, valid while
    // the file has had no changes since (JetTextMatch.h).
    struct Census {
        bool done = false;
        std::uint64_t changes = 0;
        ColumnCensus census;
    };
    std::vector<Census> census;
    // Made on the first change.
    std::unique_ptr<jet::TableWriter> writer;
};

struct Cursor {
    sqlite3_vtab_cursor base{};
    jet::TableReader reader;
    bool scanning = true;
    bool eof = true;
    std::vector<jet::RowId> ids;
    std::size_t next = 0;
    jet::Cell cell; // reused for every value read
    // A scan of a rowid range ends after this rowid.
    std::optional<sqlite3_int64> last;
    explicit Cursor(jet::TableReader r) : reader(std::move(r)) {}
};

// Plans, in idxNum.
constexpr int PlanScan = 0, PlanRowid = 1, PlanIndex = 2, PlanRowRange = 3;
constexpr int HasLower = 1 << 4, HasUpper = 1 << 5;
// PlanIndex on a text column by the start of a LIKE pattern.
constexpr int ByLike = 1 << 6;

// Failures reach the engine's statement as "<number>|<text>", which it
// turns back into the same EngineError.
int fail(sqlite3_vtab* vt, const EngineError& e) {
    sqlite3_free(vt->zErrMsg);
    vt->zErrMsg = sqlite3_mprintf("%d|%s", e.number(), e.what());
    return SQLITE_ERROR;
}

template <class F> int guarded(sqlite3_vtab* vt, F&& f) {
    try {
        return f();
    } catch (const EngineError& e) {
        return fail(vt, e);
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    } catch (const std::exception& e) {
        sqlite3_free(vt->zErrMsg);
        vt->zErrMsg = sqlite3_mprintf("%s", e.what());
        return SQLITE_ERROR;
    }
}

int xConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
             char** err) {
    auto* holder = static_cast<std::shared_ptr<Source>*>(aux);
    try {
        if (argc < 4) {
            *err = sqlite3_mprintf("jetfile: missing catalogue position");
            return SQLITE_ERROR;
        }
        const long pos = std::strtol(argv[3], nullptr, 10);
        const auto& catalog = (*holder)->file().catalog();
        if (pos < 0 || static_cast<std::size_t>(pos) >= catalog.size()) {
            *err = sqlite3_mprintf("jetfile: no table at %s", argv[3]);
            return SQLITE_ERROR;
        }
        auto t = std::make_unique<Table>();
        t->source = *holder;
        t->def = (*holder)->file().table(catalog[static_cast<std::size_t>(pos)].name);
        std::string sql = "CREATE TABLE x(";
        for (std::size_t i = 0; i < t->def.columns.size(); ++i) {
            const auto& c = t->def.columns[i];
            const int code = codeOf(c);
            if (i) sql += ", ";
            sql += quoteName(c.name) + " " + sqliteAffinity(code);
            if (isTextCode(code)) sql += std::string(" COLLATE ") + sql::JetTextCollation;
            t->affinity.push_back(affinityOf(code));
        }
        sql += ")";
        t->index.assign(t->def.columns.size(), -1);
        t->textOrder.assign(t->def.columns.size(), jet::TextOrder::Unsupported);
        t->census.resize(t->def.columns.size());
        jet::TableReader probe((*holder)->file(), t->def);
        for (std::size_t k = 0; k < t->def.indexes.size(); ++k) {
            const auto& ix = t->def.indexes[k];
            const bool text = probe.searchableText(ix);
            if (!text && !probe.searchable(ix)) continue;
            const int c = t->def.columnIndex(ix.columns[0]);
            auto& slot = t->index[static_cast<std::size_t>(c)];
            // A primary key, or else the first index found.
            if (slot < 0 || ix.primary) slot = static_cast<int>(k);
            if (text)
                t->textOrder[static_cast<std::size_t>(c)] =
                    probe.textOrder(t->def.columns[static_cast<std::size_t>(c)]);
        }
        const int rc = sqlite3_declare_vtab(db, sql.c_str());
        if (rc != SQLITE_OK) return rc;
        *out = &t.release()->base;
        return SQLITE_OK;
    } catch (const EngineError& e) {
        *err = sqlite3_mprintf("%d|%s", e.number(), e.what());
        return SQLITE_ERROR;
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    }
}

int xDisconnect(sqlite3_vtab* vt) {
    delete reinterpret_cast<Table*>(vt);
    return SQLITE_OK;
}

// True when an equality on a text column may go through its index: unless
// the column's values already proved unsuited. (The comparison may also be
// by BINARY, NOCASE or RTRIM: texts equal by those have the same primary
// bytes once Jet has dropped their trailing spaces, as the prefix allows.)
bool textEqualityUsable(const Table& t, int column) {
    const auto& census = t.census[static_cast<std::size_t>(column)];
    if (!census.done) return true;
    return census.changes != t.source->file().changes() || census.census.plain;
}

int xBestIndex(sqlite3_vtab* vt, sqlite3_index_info* info) {
    auto* t = reinterpret_cast<Table*>(vt);
    const double rows = std::max<double>(t->def.rowCount, 1);
    // By rowid: one row.
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (!c.usable || c.iColumn != -1 || c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
        info->idxNum = PlanRowid;
        info->aConstraintUsage[i].argvIndex = 1;
        info->aConstraintUsage[i].omit = 1;
        info->estimatedCost = 10;
        info->estimatedRows = 1;
        info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
        return SQLITE_OK;
    }
    // On the first column of an index: equality, else a range.
    int bestColumn = -1, eq = -1, lower = -1, upper = -1, like = -1;
    for (int pass = 0; pass < 2 && bestColumn < 0; ++pass) {
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto& c = info->aConstraint[i];
            if (!c.usable || c.iColumn < 0 || c.iColumn >= static_cast<int>(t->index.size()) ||
                t->index[c.iColumn] < 0)
                continue;
            const bool isEq = c.op == SQLITE_INDEX_CONSTRAINT_EQ;
            bool isRange = c.op == SQLITE_INDEX_CONSTRAINT_GT ||
                           c.op == SQLITE_INDEX_CONSTRAINT_GE ||
                           c.op == SQLITE_INDEX_CONSTRAINT_LT || c.op == SQLITE_INDEX_CONSTRAINT_LE;
            if (t->textOrder[static_cast<std::size_t>(c.iColumn)] != jet::TextOrder::Unsupported) {
                // Text: equality only (the index's order is not the
                // collation's), where the prefix holds.
                isRange = false;
                if (pass == 0 && c.op == SQLITE_INDEX_CONSTRAINT_LIKE && like < 0) like = i;
                if (!isEq || !textEqualityUsable(*t, c.iColumn)) continue;
            }
            if (pass == 0 && isEq) {
                bestColumn = c.iColumn;
                eq = i;
                break;
            }
            if (pass == 1 && isRange && (bestColumn < 0 || bestColumn == c.iColumn)) {
                bestColumn = c.iColumn;
                const bool low =
                    c.op == SQLITE_INDEX_CONSTRAINT_GT || c.op == SQLITE_INDEX_CONSTRAINT_GE;
                (low ? lower : upper) = i;
            }
        }
    }
    // Else the start of a LIKE pattern on a text column.
    if (bestColumn < 0 && like >= 0) bestColumn = info->aConstraint[like].iColumn;
    // A range of rowids (the engine reads a keyset's rows a page at a time
    // this way): the rows lie in rowid order, so the scan starts at the
    // first and stops after the last. SQLite checks the bounds again, so a
    // bound that is no whole number only costs a longer scan.
    if (eq < 0) {
        int rowLower = -1, rowUpper = -1;
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto& c = info->aConstraint[i];
            if (!c.usable || c.iColumn != -1) continue;
            if (c.op == SQLITE_INDEX_CONSTRAINT_GT || c.op == SQLITE_INDEX_CONSTRAINT_GE)
                rowLower = i;
            else if (c.op == SQLITE_INDEX_CONSTRAINT_LT || c.op == SQLITE_INDEX_CONSTRAINT_LE)
                rowUpper = i;
        }
        if (rowLower >= 0 || rowUpper >= 0) {
            int plan = PlanRowRange, arg = 0;
            if (rowLower >= 0) {
                info->aConstraintUsage[rowLower].argvIndex = ++arg;
                plan |= HasLower;
            }
            if (rowUpper >= 0) {
                info->aConstraintUsage[rowUpper].argvIndex = ++arg;
                plan |= HasUpper;
            }
            const double share = rowLower >= 0 && rowUpper >= 0 ? 0.01 : 0.5;
            info->idxNum = plan;
            info->estimatedRows = static_cast<sqlite3_int64>(std::max(1.0, rows * share));
            info->estimatedCost = 10 + rows * share;
            if (info->nOrderBy == 1 && info->aOrderBy[0].iColumn == -1 && !info->aOrderBy[0].desc)
                info->orderByConsumed = 1;
            return SQLITE_OK;
        }
    }
    if (bestColumn >= 0) {
        int plan = PlanIndex | (t->index[bestColumn] << 8);
        int arg = 0;
        double share = 1;
        if (eq >= 0) {
            info->aConstraintUsage[eq].argvIndex = ++arg;
            plan |= HasLower | HasUpper;
            share = 1 / rows + 1e-6;
        } else if (like >= 0 && lower < 0 && upper < 0) {
            info->aConstraintUsage[like].argvIndex = ++arg;
            plan |= ByLike;
            share = 0.05;
        } else {
            if (lower >= 0) {
                info->aConstraintUsage[lower].argvIndex = ++arg;
                plan |= HasLower;
                share /= 3;
            }
            if (upper >= 0) {
                info->aConstraintUsage[upper].argvIndex = ++arg;
                plan |= HasUpper;
                share /= 3;
            }
        }
        info->idxNum = plan;
        info->estimatedRows = static_cast<sqlite3_int64>(std::max(1.0, rows * share));
        info->estimatedCost = 20 + rows * share * 4;
        return SQLITE_OK;
    }
    info->idxNum = PlanScan;
    info->estimatedRows = static_cast<sqlite3_int64>(rows);
    info->estimatedCost = 100 + rows * 2;
    // A scan comes in rowid order.
    if (info->nOrderBy == 1 && info->aOrderBy[0].iColumn == -1 && !info->aOrderBy[0].desc)
        info->orderByConsumed = 1;
    return SQLITE_OK;
}

int xOpen(sqlite3_vtab* vt, sqlite3_vtab_cursor** out) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        auto* c = new Cursor(jet::TableReader(t->source->file(), t->def));
        *out = &c->base;
        return SQLITE_OK;
    });
}

int xClose(sqlite3_vtab_cursor* cur) {
    delete reinterpret_cast<Cursor*>(cur);
    return SQLITE_OK;
}

// Moves a cursor over a list of row ids to the next live row.
void nextListed(Cursor& c) {
    while (c.next < c.ids.size())
        if (c.reader.seek(c.ids[c.next++])) {
            c.eof = false;
            return;
        }
    c.eof = true;
}

// True when a scan of a rowid range has passed its end.
bool pastLast(const Cursor& c) {
    return c.last && jet::TableReader::encode(c.reader.position()) > *c.last;
}

// A constraint value as the number the index holds for the column; false
// when it has none (the caller then reads every row).
bool boundOf(sqlite3_value* v, int jetType, double& out) {
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        if (jetType == jet::coltype::DateTime) return false; // dates are text to SQLite
        out = sqlite3_value_double(v);
        return std::isfinite(out);
    }
    if (type == SQLITE_TEXT && jetType == jet::coltype::DateTime) {
        const std::string text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                               static_cast<std::size_t>(sqlite3_value_bytes(v)));
        sql::date::DateTime dt;
        // Only the stored form orders like the dates themselves.
        if (!sql::date::parse(text, dt) || sql::date::canonical(dt) != text) return false;
        out = sql::date::toSerial(dt);
        // Before 1899-12-30 the stored numbers do not grow with the time of
        // day (-1.25 is 06:00, -1.5 is 12:00): no index order there.
        return out >= 1;
    }
    return false;
}

// The census of a text column, taken now unless the file is unchanged since.
const ColumnCensus& columnCensus(Table& t, const jet::TableReader& current, std::size_t column) {
    auto& slot = t.census[column];
    if (!slot.done || slot.changes != current.changes()) {
        jet::TableReader reader(t.source->file(), t.def);
        slot.changes = reader.changes();
        slot.census = jettables::censusOf(reader, column, t.textOrder[column]);
        slot.done = true;
    }
    return slot.census;
}

// Puts the cursor on the rows whose index entries start with the value's
// primary bytes; false when the value or the column's values do not allow
// that (the caller then scans).
bool textEquality(Table& t, Cursor& c, const jet::IndexDef& ix, std::size_t column,
                  sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT) return false;
    const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                static_cast<std::size_t>(sqlite3_value_bytes(v)));
    const bool desc = !ix.descending.empty() && ix.descending[0];
    const auto prefix =
        equalityPrefix(text, columnCensus(t, c.reader, column), t.textOrder[column], desc);
    if (!prefix) return false;
    try {
        c.ids = c.reader.indexPrefix(ix, *prefix);
    } catch (const EngineError&) {
        return false; // an index that does not read is only slower
    }
    c.scanning = false;
    nextListed(c);
    return true;
}

// Puts the cursor on the rows whose index entries start with the primary
// bytes of a LIKE pattern's literal start; false when there is none.
bool textByLike(Table& t, Cursor& c, const jet::IndexDef& ix, std::size_t column,
                sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT) return false;
    const std::string_view pattern(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                   static_cast<std::size_t>(sqlite3_value_bytes(v)));
    const bool desc = !ix.descending.empty() && ix.descending[0];
    const auto prefix = likePrefix(pattern, t.textOrder[column], desc);
    if (!prefix) return false;
    try {
        c.ids = c.reader.indexPrefix(ix, *prefix);
    } catch (const EngineError&) {
        return false;
    }
    c.scanning = false;
    nextListed(c);
    return true;
}

int xFilter(sqlite3_vtab_cursor* cur, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* c = reinterpret_cast<Cursor*>(cur);
    return guarded(cur->pVtab, [&] {
        auto* t = reinterpret_cast<Table*>(cur->pVtab);
        c->ids.clear();
        c->next = 0;
        c->last.reset();
        const int plan = idxNum & 0xF;
        if (plan == PlanRowRange) {
            // Whole rowids only; anything else leaves that end open.
            auto whole = [](sqlite3_value* v, bool upper) -> std::optional<sqlite3_int64> {
                const int type = sqlite3_value_numeric_type(v);
                if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return std::nullopt;
                double d = sqlite3_value_double(v);
                if (!std::isfinite(d)) return std::nullopt;
                d = upper ? std::floor(d) : std::ceil(d);
                if (d < 0) d = upper ? -1 : 0;
                if (d > 9.0e18) return std::nullopt;
                return static_cast<sqlite3_int64>(d);
            };
            std::optional<sqlite3_int64> lo, hi;
            int arg = 0;
            if ((idxNum & HasLower) && arg < argc) lo = whole(argv[arg++], false);
            if ((idxNum & HasUpper) && arg < argc) hi = whole(argv[arg++], true);
            c->scanning = true;
            if (hi && (*hi < 0 || (lo && *lo > *hi))) {
                c->eof = true;
                return SQLITE_OK;
            }
            if (lo && *lo > 0)
                c->reader.rewindFrom(jet::TableReader::decode(
                    std::min<sqlite3_int64>(*lo, jet::TableReader::encode({0xFFFFFFFFu, 0xFF}))));
            else
                c->reader.rewind();
            if (hi && c->reader.ordered()) c->last = hi;
            c->eof = !c->reader.advance() || pastLast(*c);
            return SQLITE_OK;
        }
        if (plan == PlanRowid && argc >= 1) {
            c->scanning = false;
            const int type = sqlite3_value_numeric_type(argv[0]);
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
                const double d = sqlite3_value_double(argv[0]);
                const sqlite3_int64 v = sqlite3_value_int64(argv[0]);
                if (v >= 0 && static_cast<double>(v) == d &&
                    jet::TableReader::encode(jet::TableReader::decode(v)) == v)
                    c->ids.push_back(jet::TableReader::decode(v));
            }
            nextListed(*c);
            return SQLITE_OK;
        }
        if (plan == PlanIndex) {
            const auto& ix = t->def.indexes[static_cast<std::size_t>(idxNum >> 8)];
            const int col = t->def.columnIndex(ix.columns[0]);
            const int jetType = t->def.columns[static_cast<std::size_t>(col)].jetType;
            if (t->textOrder[static_cast<std::size_t>(col)] != jet::TextOrder::Unsupported) {
                if ((idxNum & ByLike) && argc == 1 &&
                    textByLike(*t, *c, ix, static_cast<std::size_t>(col), argv[0]))
                    return SQLITE_OK;
                if (!(idxNum & ByLike) && argc == 1 && sqlite3_value_type(argv[0]) == SQLITE_NULL) {
                    c->scanning = false; // nothing equals Null
                    c->eof = true;
                    return SQLITE_OK;
                }
                if (!(idxNum & ByLike) && argc == 1 &&
                    textEquality(*t, *c, ix, static_cast<std::size_t>(col), argv[0]))
                    return SQLITE_OK;
                c->scanning = true;
                c->reader.rewind();
                c->eof = !c->reader.advance();
                return SQLITE_OK;
            }
            std::optional<jet::IndexBound> lo, hi;
            bool usable = true, nullBound = false;
            int arg = 0;
            auto take = [&](std::optional<jet::IndexBound>& b) {
                if (arg >= argc) return;
                if (sqlite3_value_type(argv[arg]) == SQLITE_NULL) {
                    // Nothing compares true with Null.
                    nullBound = true;
                    ++arg;
                    return;
                }
                double d = 0;
                if (boundOf(argv[arg++], jetType, d))
                    b = jet::IndexBound{d, true};
                else
                    usable = false;
            };
            const bool equality = (idxNum & HasLower) && (idxNum & HasUpper) && argc == 1;
            if (equality) {
                take(lo);
                hi = lo;
            } else {
                if (idxNum & HasLower) take(lo);
                if (idxNum & HasUpper) take(hi);
            }
            // A stored date reads as its whole second: the bounds widen by
            // one so a fraction of a second is not lost.
            if (jetType == jet::coltype::DateTime) {
                if (lo) lo->value -= 1 / 86400.0;
                if (hi) hi->value += 1 / 86400.0;
            }
            if (nullBound) {
                c->scanning = false;
                c->eof = true;
                return SQLITE_OK;
            }
            if (usable) {
                // An index that does not read is only slower: the rows are
                // scanned instead (and a damaged data page still says so).
                bool read = true;
                try {
                    c->ids = c->reader.indexRange(ix, lo, hi);
                } catch (const EngineError&) {
                    read = false;
                }
                if (read) {
                    c->scanning = false;
                    nextListed(*c);
                    return SQLITE_OK;
                }
            }
        }
        c->scanning = true;
        c->reader.rewind();
        c->eof = !c->reader.advance();
        return SQLITE_OK;
    });
}

int xNext(sqlite3_vtab_cursor* cur) {
    auto* c = reinterpret_cast<Cursor*>(cur);
    return guarded(cur->pVtab, [&] {
        if (c->scanning)
            c->eof = !c->reader.advance() || pastLast(*c);
        else
            nextListed(*c);
        return SQLITE_OK;
    });
}

int xEof(sqlite3_vtab_cursor* cur) {
    return reinterpret_cast<Cursor*>(cur)->eof ? 1 : 0;
}

int xColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
    auto* c = reinterpret_cast<Cursor*>(cur);
    auto* t = reinterpret_cast<Table*>(cur->pVtab);
    try {
        // Only the columns the statement asks for are decoded.
        if (i < 0 || static_cast<std::size_t>(i) >= t->affinity.size()) {
            sqlite3_result_null(ctx);
        } else {
            c->reader.cell(static_cast<std::size_t>(i), c->cell);
            SqliteSink sink{ctx};
            result(sink, c->cell, t->affinity[static_cast<std::size_t>(i)]);
        }
    } catch (const EngineError& e) {
        const std::string text = std::to_string(e.number()) + "|" + e.what();
        sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
    *out = jet::TableReader::encode(reinterpret_cast<Cursor*>(cur)->reader.position());
    return SQLITE_OK;
}

// ---- changes -------------------------------------------------------------------

// A value SQLite hands over, as the engine's value of the column's type.
Value columnValue(sqlite3_value* v, const jet::ColumnDef& c) {
    Value raw;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        raw = Value(static_cast<std::int64_t>(sqlite3_value_int64(v)));
        break;
    case SQLITE_FLOAT:
        raw = Value(sqlite3_value_double(v));
        break;
    case SQLITE_TEXT:
        raw = Value(std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                static_cast<std::size_t>(sqlite3_value_bytes(v))));
        break;
    case SQLITE_BLOB: {
        const auto* b = static_cast<const std::uint8_t*>(sqlite3_value_blob(v));
        raw = Value(std::vector<std::uint8_t>(b, b + sqlite3_value_bytes(v)));
        break;
    }
    default:
        return Value::null();
    }
    return fromStorage(raw, codeOf(c));
}

// The key under which the savepoint taken when the store's transaction
// began is kept: a table that joins a transaction inside savepoints SQLite
// opened before sees none of them, and rolling back to one of those undoes
// all the table did.
constexpr int kBaseSavepoint = -1;

void begin(Source& source) {
    const auto& store = source.store();
    if (!store || store->inTransaction()) return;
    store->begin();
    source.savepoints().clear();
    source.savepoints()[kBaseSavepoint] = store->savepoint();
}

jet::TableWriter& writerOf(Table& t) {
    const auto& store = t.source->store();
    if (!store) msg::raise(msg::JetFileReadOnly, {t.source->file().path()});
    if (!t.writer) {
        t.writer = std::make_unique<jet::TableWriter>(store, t.def);
        // A failed change is undone with its statement: SQLite rolls back
        // the transaction or the statement's savepoint.
        t.writer->setOwnSavepoints(false);
        // Index pages reach the store at the statement's end (its savepoint
        // released, or the commit), or before an index search.
        t.writer->deferIndexWrites(true);
    }
    return *t.writer;
}

int xUpdate(sqlite3_vtab* vt, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        jet::TableWriter& w = writerOf(*t);
        begin(*t->source);
        if (argc == 1) {
            w.remove(jet::TableReader::decode(sqlite3_value_int64(argv[0])));
            if (t->def.rowCount > 0) --t->def.rowCount;
            return SQLITE_OK;
        }
        std::vector<Value> values;
        values.reserve(t->def.columns.size());
        for (std::size_t i = 0; i < t->def.columns.size(); ++i)
            values.push_back(2 + static_cast<int>(i) < argc
                                 ? columnValue(argv[2 + i], t->def.columns[i])
                                 : Value::null());
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            *rowid = jet::TableReader::encode(w.insert(values));
            ++t->def.rowCount;
            return SQLITE_OK;
        }
        const sqlite3_int64 old = sqlite3_value_int64(argv[0]);
        if (sqlite3_value_type(argv[1]) != SQLITE_NULL && sqlite3_value_int64(argv[1]) != old)
            msg::raise(msg::JetTableReadOnly, {t->def.name, "记录在文件中的位置（rowid）不能修改"});
        w.update(jet::TableReader::decode(old), values);
        return SQLITE_OK;
    });
}

int xBegin(sqlite3_vtab* vt) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        begin(*t->source);
        return SQLITE_OK;
    });
}

// The store commits when SQLite syncs: once, for every table of the file.
int xSync(sqlite3_vtab* vt) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        const auto& store = t->source->store();
        if (store && store->inTransaction()) store->commit();
        t->source->savepoints().clear();
        return SQLITE_OK;
    });
}

int xCommit(sqlite3_vtab* vt) {
    auto* t = reinterpret_cast<Table*>(vt);
    t->source->savepoints().clear();
    return SQLITE_OK;
}

int xRollback(sqlite3_vtab* vt) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        const auto& store = t->source->store();
        if (store && store->inTransaction()) store->rollback();
        t->source->savepoints().clear();
        // The counts the plans use are read again.
        t->def.rowCount = t->source->file().table(t->def.name).rowCount;
        return SQLITE_OK;
    });
}

int xSavepoint(sqlite3_vtab* vt, int n) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        const auto& store = t->source->store();
        if (!store) return SQLITE_OK;
        begin(*t->source);
        auto& levels = t->source->savepoints();
        if (!levels.count(n)) levels[n] = store->savepoint();
        return SQLITE_OK;
    });
}

int xRelease(sqlite3_vtab* vt, int n) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        const auto& store = t->source->store();
        auto& levels = t->source->savepoints();
        auto it = levels.lower_bound(std::max(n, kBaseSavepoint + 1));
        if (it == levels.end()) return SQLITE_OK;
        if (store && store->inTransaction()) store->releaseSavepoint(it->second);
        levels.erase(it, levels.end());
        return SQLITE_OK;
    });
}

int xRollbackTo(sqlite3_vtab* vt, int n) {
    auto* t = reinterpret_cast<Table*>(vt);
    return guarded(vt, [&] {
        const auto& store = t->source->store();
        auto& levels = t->source->savepoints();
        auto it = levels.find(n);
        if (it == levels.end()) it = levels.find(kBaseSavepoint);
        if (it != levels.end() && store && store->inTransaction()) {
            store->rollbackTo(it->second);
            levels.erase(std::next(it), levels.end());
        }
        t->def.rowCount = t->source->file().table(t->def.name).rowCount;
        return SQLITE_OK;
    });
}

sqlite3_module makeModule() {
    sqlite3_module m{};
    m.iVersion = 2;
    m.xCreate = xConnect;
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xDestroy = xDisconnect;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    m.xUpdate = xUpdate;
    m.xBegin = xBegin;
    m.xSync = xSync;
    m.xCommit = xCommit;
    m.xRollback = xRollback;
    m.xSavepoint = xSavepoint;
    m.xRelease = xRelease;
    m.xRollbackTo = xRollbackTo;
    return m;
}

const sqlite3_module kModule = makeModule();

} // namespace

TableMeta metaFor(const jet::TableDef& def) {
    TableMeta meta;
    meta.name = def.name;
    for (const auto& c : def.columns) {
        ColumnMeta col;
        col.name = c.name;
        col.type.word = typeWord(c);
        col.type.code = codeOf(c);
        col.type.size = c.size;
        col.type.precision = c.precision;
        col.type.scale = c.scale;
        // Only a long counter numbers rows here; a generated GUID is just a value.
        col.type.autoIncrement = c.autoNumber && c.adoType == adtype::Integer;
        col.required = c.required;
        meta.columns.push_back(std::move(col));
    }
    for (const auto& ix : def.indexes) {
        KeyMeta k;
        k.name = ix.name;
        k.type = ix.primary   ? KeyMeta::Primary
                 : ix.foreign ? KeyMeta::Foreign
                 : ix.unique  ? KeyMeta::Unique
                              : KeyMeta::Index;
        k.unique = ix.unique || ix.primary;
        k.columns = ix.columns;
        k.descending = ix.descending;
        k.descending.resize(k.columns.size(), false);
        if (k.columns.empty() || meta.keyIndex(k.name) >= 0) continue;
        if (k.type == KeyMeta::Primary && meta.primaryKey()) continue;
        meta.keys.push_back(std::move(k));
    }
    return meta;
}

void Source::install(sqlite3* db, const std::shared_ptr<Source>& source) {
    auto* holder = new std::shared_ptr<Source>(source);
    const int rc = sqlite3_create_module_v2(db, "jetfile", &kModule, holder, [](void* p) {
        delete static_cast<std::shared_ptr<Source>*>(p);
    });
    if (rc != SQLITE_OK) sqlite::raiseFromSqlite(db, rc);
}

std::optional<std::int64_t> Source::rowCount(const std::string& name) const {
    for (const auto& e : file_.catalog())
        if ((e.kind == jet::ObjectKind::Table || e.kind == jet::ObjectKind::SystemTable) &&
            sameName(e.name, name))
            return file_.table(e.name).rowCount;
    return std::nullopt;
}

namespace {

// Holds the connection's mutex: the file is otherwise read only from inside
// SQLite, one statement at a time, and a keyset's keys may be read on
// another thread meanwhile.
class ConnectionLock {
public:
    explicit ConnectionLock(sqlite3* db) : mutex_(db ? sqlite3_db_mutex(db) : nullptr) {
        if (mutex_) sqlite3_mutex_enter(mutex_);
    }
    ~ConnectionLock() {
        if (mutex_) sqlite3_mutex_leave(mutex_);
    }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* mutex_;
};

} // namespace

DirectRows::DirectRows(sqlite3* db, std::shared_ptr<Source> source, jet::TableDef def)
    : db_(db), source_(std::move(source)), def_(std::move(def)) {
    for (const auto& c : def_.columns)
        affinity_.push_back(static_cast<int>(affinityOf(codeOf(c))));
}

DirectRows::~DirectRows() = default;

void DirectRows::forget() {
    reader_.reset();
}

std::vector<std::int64_t> DirectRows::rowids() const {
    ConnectionLock lock(db_);
    std::vector<std::int64_t> out;
    out.reserve(def_.rowCount);
    jet::TableReader reader(source_->file(), def_);
    for (reader.rewind(); reader.advance();)
        out.push_back(jet::TableReader::encode(reader.position()));
    return out;
}

void DirectRows::read(std::int64_t first, std::int64_t last, const std::vector<int>& columns,
                      std::size_t lead,
                      const std::function<void(std::int64_t, std::vector<Value>&&)>& onRow) const {
    if (first < 0 || last < first) return;
    ConnectionLock lock(db_);
    // One reader for every page of the keyset: the list of the table's data
    // pages is read once (forget() reads it again).
    if (!reader_) reader_ = std::make_unique<jet::TableReader>(source_->file(), def_);
    jet::TableReader& reader = *reader_;
    reader.rewindFrom(jet::TableReader::decode(first));
    const bool ordered = reader.ordered();
    jet::Cell cell;
    while (reader.advance()) {
        const std::int64_t id = jet::TableReader::encode(reader.position());
        if (id > last) {
            if (ordered) break;
            continue;
        }
        if (id < first) continue;
        std::vector<Value> values;
        values.reserve(lead + columns.size());
        values.resize(lead);
        for (int col : columns) {
            ValueSink sink;
            if (col < 0 || static_cast<std::size_t>(col) >= def_.columns.size()) {
                sink.null();
            } else {
                reader.cell(static_cast<std::size_t>(col), cell);
                result(sink, cell, static_cast<Affinity>(affinity_[static_cast<std::size_t>(col)]));
            }
            values.push_back(std::move(sink.out));
        }
        onRow(id, std::move(values));
    }
}

std::unique_ptr<DirectRows> directRows(sqlite3* db, const std::shared_ptr<Source>& source,
                                       const std::string& name) {
    if (!source) return nullptr;
    // Only a table of the file; a view or the engine's own table reads itself.
    // The temporary schema first, as SQLite looks a name up.
    sqlite::Statement st(db, "SELECT sql FROM sqlite_temp_master WHERE type='table' AND name=?1 "
                             "UNION ALL SELECT sql FROM sqlite_master WHERE type='table' "
                             "AND name=?1");
    st.bindText(1, name);
    if (!st.step() || st.columnText(0).rfind("CREATE VIRTUAL TABLE", 0) != 0 ||
        st.columnText(0).find("USING jetfile(") == std::string::npos)
        return nullptr;
    const std::string sql = st.columnText(0);
    const std::size_t at = sql.find("USING jetfile(") + 14;
    const long pos = std::strtol(sql.c_str() + at, nullptr, 10);
    const auto& catalog = source->file().catalog();
    if (pos < 0 || static_cast<std::size_t>(pos) >= catalog.size()) return nullptr;
    return std::make_unique<DirectRows>(
        db, source, source->file().table(catalog[static_cast<std::size_t>(pos)].name));
}

} // namespace engine::jettables

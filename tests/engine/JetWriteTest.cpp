// Genuine Jet 4 tables changed in place through the engine (grid edits, SQL),
// judged by an independent Jet reader: `jettool check` validates every page
// and index entry, `jettool dump` and mdbtools' `mdb-export` read the values back.
//
// The randomised edit runs keep a model of every table's expected rows. The
// short run (sample files) is part of the normal suite; the long one, on
// 100,000-row files made by `jettool create-big` and cached under /tmp, runs
// when TABELKO_LONG_JET_WRITE=1.
#include "TestDb.h"
#include "support/SharedFiles.h"

#include "engine/Recordset.h"
#include "engine/base/Messages.h"
#include "engine/base/Utf8.h"
#include "engine/jet/JetFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

using namespace engine;

namespace {

const std::string kJettool = TABELKO_CORPUS_DIR "/../tools/jettool/jettool";

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string capture(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    status = ::pclose(p);
    return out;
}

// ---- jettool dump: JSON lines --------------------------------------------------

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool b = false;
    double n = 0;
    std::string s;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> fields;
    const Json* get(const std::string& k) const {
        for (const auto& [name, v] : fields)
            if (name == k) return &v;
        return nullptr;
    }
};

struct JsonReader {
    const std::string& t;
    std::size_t i = 0;
    void ws() {
        while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i])))
            ++i;
    }
    std::string str() {
        std::string out;
        ++i; // "
        while (i < t.size() && t[i] != '"') {
            if (t[i] != '\\') {
                out += t[i++];
                continue;
            }
            const char e = t[++i];
            ++i;
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                unsigned cp = std::stoul(t.substr(i, 4), nullptr, 16);
                i += 4;
                if (cp >= 0xD800 && cp < 0xDC00 && t.compare(i, 2, "\\u") == 0) {
                    const unsigned lo = std::stoul(t.substr(i + 2, 4), nullptr, 16);
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    i += 6;
                }
                engine::utf8::append(out, static_cast<char32_t>(cp));
                break;
            }
            default:
                out += e;
            }
        }
        ++i;
        return out;
    }
    Json value() {
        ws();
        Json v;
        const char c = t[i];
        if (c == '{') {
            v.kind = Json::Object;
            ++i;
            ws();
            while (t[i] != '}') {
                ws();
                std::string k = str();
                ws();
                ++i; // :
                v.fields.emplace_back(std::move(k), value());
                ws();
                if (t[i] == ',') ++i;
                ws();
            }
            ++i;
        } else if (c == '[') {
            v.kind = Json::Array;
            ++i;
            ws();
            while (t[i] != ']') {
                v.items.push_back(value());
                ws();
                if (t[i] == ',') ++i;
                ws();
            }
            ++i;
        } else if (c == '"') {
            v.kind = Json::String;
            v.s = str();
        } else if (t.compare(i, 4, "true") == 0) {
            v.kind = Json::Bool;
            v.b = true;
            i += 4;
        } else if (t.compare(i, 5, "false") == 0) {
            v.kind = Json::Bool;
            i += 5;
        } else if (t.compare(i, 4, "null") == 0) {
            i += 4;
        } else {
            v.kind = Json::Number;
            char* end = nullptr;
            v.n = std::strtod(t.c_str() + i, &end);
            i = static_cast<std::size_t>(end - t.c_str());
        }
        return v;
    }
};

// ---- rows as comparable texts ------------------------------------------------------

std::string numberText(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", d);
    return buf;
}

// A value in a form both readers agree on, by the column's Jet type; "" for
// a column whose form the dump does not share (binary).
std::string norm(const Value& v, int jetType) {
    if (v.isNullOrEmpty()) return "<null>";
    switch (jetType) {
    case jet::coltype::Boolean:
        return v.toBool() ? "T" : "F";
    case jet::coltype::Text:
    case jet::coltype::Memo:
        return "s:" + v.toText();
    case jet::coltype::DateTime:
        return "d:" + v.toText();
    case jet::coltype::Guid: {
        std::string g;
        for (char c : v.toText())
            if (c != '{' && c != '}') g += static_cast<char>(std::toupper(c));
        return g;
    }
    case jet::coltype::Binary:
    case jet::coltype::Ole: {
        std::string h;
        char b[4];
        for (auto x : v.bytes()) {
            std::snprintf(b, sizeof b, "%02x", x);
            h += b;
        }
        return "b:" + h;
    }
    default:
        return numberText(v.toDouble());
    }
}

std::string normDump(const Json& v, int jetType) {
    if (v.kind == Json::Null) return "<null>";
    switch (jetType) {
    case jet::coltype::Boolean:
        return v.b ? "T" : "F";
    case jet::coltype::Text:
    case jet::coltype::Memo:
        return "s:" + v.s;
    case jet::coltype::DateTime: {
        std::string s = v.s;
        if (s.size() > 10 && s[10] == 'T') s[10] = ' ';
        return "d:" + s.substr(0, 19);
    }
    case jet::coltype::Guid: {
        std::string g;
        for (char c : v.s)
            if (c != '{' && c != '}') g += static_cast<char>(std::toupper(c));
        return g;
    }
    default:
        return numberText(v.kind == Json::Number ? v.n : std::strtod(v.s.c_str(), nullptr));
    }
}

using Rows = std::vector<std::vector<std::string>>;

bool comparableInDump(int jetType) {
    return jetType != jet::coltype::Binary && jetType != jet::coltype::Ole;
}

// One table's expected content: the rows of a keyset recordset by position.
struct Model {
    jet::TableDef def;
    std::vector<std::vector<Value>> rows; // as the recordset's rows, in order

    Rows texts(bool forDump) const {
        Rows out;
        for (const auto& r : rows) {
            std::vector<std::string> t;
            for (std::size_t i = 0; i < r.size(); ++i)
                if (!forDump || comparableInDump(def.columns[i].jetType))
                    t.push_back(norm(r[i], def.columns[i].jetType));
            out.push_back(std::move(t));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
};

Rows engineRows(Connection& c, const jet::TableDef& def) {
    Recordset rs = c.Execute("SELECT * FROM [" + def.name + "]");
    Rows out;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::vector<std::string> t;
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            t.push_back(norm(rs[static_cast<int>(i)].GetValue(), def.columns[i].jetType));
        out.push_back(std::move(t));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::map<std::string, Rows> dumpRows(const std::string& file,
                                     const std::map<std::string, jet::TableDef>& defs) {
    int status = 0;
    const std::string text = capture(kJettool + " dump " + quoted(file) + " 2>/dev/null", status);
    EXPECT_EQ(status, 0) << "jettool dump " << file;
    std::map<std::string, Rows> out;
    const jet::TableDef* def = nullptr;
    std::string table;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        JsonReader r{line};
        const Json j = r.value();
        if (const Json* t = j.get("table")) {
            table = t->s;
            auto it = defs.find(table);
            def = it == defs.end() ? nullptr : &it->second;
            continue;
        }
        const Json* row = j.get("row");
        if (!def || !row || row->items.size() != def->columns.size()) continue;
        std::vector<std::string> t;
        for (std::size_t i = 0; i < def->columns.size(); ++i)
            if (comparableInDump(def->columns[i].jetType))
                t.push_back(normDump(row->items[i], def->columns[i].jetType));
        out[table].push_back(std::move(t));
    }
    for (auto& [name, rows] : out)
        std::sort(rows.begin(), rows.end());
    return out;
}

// The rows of one table as mdbtools reads them (the other independent reader),
// in the same comparable form. Fields and rows are split on control
// characters the random texts never hold; a null is its own character.
Rows exportRows(const std::string& file, const jet::TableDef& def) {
    int status = 0;
    const std::string text =
        capture("mdb-export -H -Q -d \"$(printf '\\037')\" -R \"$(printf '\\036')\" "
                "-0 \"$(printf '\\002')\" -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " +
                    quoted(file) + " " + quoted(def.name) + " 2>/dev/null",
                status);
    EXPECT_EQ(status, 0) << "mdb-export " << file << " " << def.name;
    Rows out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\036', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> fields;
        for (std::size_t f = 0;;) {
            const std::size_t stop = line.find('\037', f);
            fields.push_back(
                line.substr(f, stop == std::string::npos ? std::string::npos : stop - f));
            if (stop == std::string::npos) break;
            f = stop + 1;
        }
        if (fields.size() != def.columns.size()) {
            ADD_FAILURE() << "mdb-export gave " << fields.size() << " fields: " << line;
            continue;
        }
        std::vector<std::string> t;
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            const int type = def.columns[i].jetType;
            if (!comparableInDump(type)) continue;
            const std::string& f = fields[i];
            if (f == "\002") {
                t.push_back("<null>");
            } else if (type == jet::coltype::Boolean) {
                t.push_back(f == "0" ? "F" : "T");
            } else if (type == jet::coltype::Text || type == jet::coltype::Memo) {
                t.push_back("s:" + f);
            } else if (type == jet::coltype::DateTime) {
                t.push_back("d:" + f);
            } else if (type == jet::coltype::Guid) {
                // mdbtools takes a GUID for binary: its text comes in hex.
                std::string g;
                for (std::size_t k = 0; k + 1 < f.size(); k += 2) {
                    const char c = static_cast<char>(std::stoi(f.substr(k, 2), nullptr, 16));
                    if (c != '{' && c != '}' && c != '-') g += static_cast<char>(std::toupper(c));
                }
                t.push_back(g);
            } else {
                t.push_back(numberText(std::strtod(f.c_str(), nullptr)));
            }
        }
        out.push_back(std::move(t));
    }
    std::sort(out.begin(), out.end());
    return out;
}

int check(const std::string& file, std::string* report = nullptr) {
    int status = 0;
    const std::string out = capture(kJettool + " check " + quoted(file) + " 2>&1", status);
    if (report) *report = out;
    return status;
}

// ---- random values -------------------------------------------------------------------

struct Randomiser {
    std::mt19937 rng;
    explicit Randomiser(unsigned seed) : rng(seed) {}
    int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

    std::string text(std::size_t chars) {
        static const char* const pieces[] = {"a",  "Z",  "7",  " ", "é", "ß", "中", "文", "字",
                                             "表", "客", "户", "-", "Ω", "·", "x",  "ü",  "€"};
        std::string s;
        for (std::size_t i = 0; i < chars; ++i)
            s += pieces[below(std::size(pieces))];
        return s;
    }
    // Memo lengths around the places where storage changes: inline, one
    // long-value page, a chain.
    std::size_t memoLength() {
        static const std::size_t lengths[] = {0,   1,    31,   32,   33,   64,
                                              200, 2037, 2039, 4000, 9000, 50000};
        return lengths[below(std::size(lengths))];
    }

    // A value for the column, or Null where the column takes one.
    Value value(const jet::ColumnDef& c, bool allowNull = true) {
        if (allowNull && c.jetType != jet::coltype::Boolean && below(8) == 0) return Value::null();
        switch (c.jetType) {
        case jet::coltype::Boolean:
            return Value(below(2) == 0);
        case jet::coltype::Byte:
            return Value(below(256));
        case jet::coltype::Integer:
            return Value(below(65536) - 32768);
        case jet::coltype::Long:
            return Value(static_cast<std::int64_t>(static_cast<std::int32_t>(rng())));
        case jet::coltype::Currency:
            return Value::currency(static_cast<std::int64_t>(rng()) * 37 - (1LL << 34));
        case jet::coltype::Single:
            return Value((below(200000) - 100000) / 4.0);
        case jet::coltype::Double:
            return Value((static_cast<double>(rng()) - 2e9) / 100.0);
        case jet::coltype::DateTime: {
            char buf[80];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", 1900 + below(200),
                          1 + below(12), 1 + below(28), below(24), below(60), below(60));
            return Value::date(buf);
        }
        case jet::coltype::Guid: {
            char buf[80];
            std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%04X%08X}",
                          static_cast<unsigned>(rng()), below(65536), below(65536), below(65536),
                          below(65536), static_cast<unsigned>(rng()));
            return Value(std::string(buf));
        }
        case jet::coltype::Numeric: {
            const int digits = std::min(c.precision, 9);
            const int scale = std::min(c.scale, digits);
            long long k = below(1000000000) % static_cast<long long>(std::pow(10.0, digits));
            if (below(2)) k = -k;
            return Value(static_cast<double>(k) / std::pow(10.0, scale));
        }
        case jet::coltype::Text: {
            const int max = c.size > 0 ? c.size : 255;
            // Short, full and everything between.
            const int n = below(3) == 0 ? max : below(max + 1);
            return Value(text(static_cast<std::size_t>(n)));
        }
        case jet::coltype::Memo:
            return Value(text(memoLength()));
        case jet::coltype::Binary:
        case jet::coltype::Ole: {
            const std::size_t n = c.jetType == jet::coltype::Binary
                                      ? static_cast<std::size_t>(below(std::max(1, c.size) + 1))
                                      : memoLength();
            std::vector<std::uint8_t> b(n);
            for (auto& x : b)
                x = static_cast<std::uint8_t>(rng());
            return Value(std::move(b));
        }
        default:
            return Value::null();
        }
    }
};

class JetWriteTest : public TempDbTest {
protected:
    void SetUp() override {
        TempDbTest::SetUp();
        REQUIRE_SHARED_FILE(kJettool);
        REQUIRE_SHARED_FILE(std::string(TABELKO_CORPUS_DIR "/jet"));
    }
    std::string copy(const std::string& from, const std::string& name) {
        std::filesystem::copy_file(from, path(name));
        // The samples are kept read-only; their copies are written.
        std::filesystem::permissions(path(name), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        return name;
    }
    std::string sample(const std::string& name) {
        return copy(std::string(TABELKO_CORPUS_DIR "/jet/") + name, name);
    }
    // A file made by `jettool create-big`, made once and kept under /tmp.
    std::string big(long rows, const std::string& name) {
        const std::string cached = "/tmp/tabelko-jetwrite-" + std::to_string(rows) + ".mdb";
        if (!std::filesystem::exists(cached)) {
            const std::string part = cached + ".part" + std::to_string(::getpid());
            if (std::system((kJettool + " create-big " + quoted(part) + " " + std::to_string(rows) +
                             " > /dev/null 2>&1")
                                .c_str()) != 0)
                ADD_FAILURE() << "jettool create-big failed";
            std::filesystem::rename(part, cached);
        }
        return copy(cached, name);
    }
    std::vector<char> bytes(const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

struct EditCounts {
    long inserts = 0, updates = 0, deletes = 0, refused = 0, batches = 0;
};

// Random grid edits on every writable user table of `file`, `batches`
// batches of `perBatch` edits per table; after each batch the file passes
// jettool check and both readers agree with the model.
void randomEdits(const std::string& name, const std::string& file, unsigned seed, int batches,
                 int perBatch, EditCounts& counts) {
    Randomiser rnd(seed);
    std::map<std::string, jet::TableDef> defs;
    {
        const auto f = jet::JetFile::open(file);
        for (const auto& e : f.catalog())
            if (e.kind == jet::ObjectKind::Table) defs[e.name] = f.table(e.name);
    }
    std::map<std::string, Model> models;
    for (int batch = 0; batch < batches; ++batch) {
        {
            Connection c;
            c.CursorLocation = 3;
            c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";");
            for (auto& [tname, def] : defs) {
                Recordset rs;
                rs.Open("SELECT * FROM [" + tname + "]", c, cursor::Keyset, lock::Optimistic);
                ASSERT_TRUE(rs.Updatable()) << name << " " << tname << ": " << rs.ReadOnlyReason();
                rs.completeKeyset();
                Model& m = models[tname];
                m.def = def;
                m.rows.clear();
                for (long r = 0; r < rs.RecordCount(); ++r)
                    m.rows.push_back(rs.rowValues(r));
                auto randomRow = [&](bool forUpdate) -> std::vector<std::pair<int, Value>> {
                    std::vector<std::pair<int, Value>> v;
                    for (std::size_t i = 0; i < def.columns.size(); ++i) {
                        const auto& col = def.columns[i];
                        if (col.autoNumber) continue;
                        if (forUpdate && rnd.below(3) != 0) continue;
                        v.emplace_back(static_cast<int>(i), rnd.value(col, !col.required));
                    }
                    return v;
                };
                for (int k = 0; k < perBatch; ++k) {
                    const int op = m.rows.empty() ? 0 : rnd.below(10);
                    try {
                        if (op < 4) {
                            const auto v = randomRow(false);
                            const long at = rs.appendRow(v);
                            ASSERT_EQ(at, static_cast<long>(m.rows.size()))
                                << name << " " << tname << " k=" << k << " rc=" << rs.RecordCount();
                            m.rows.push_back(rs.rowValues(at));
                            // What was written reads back.
                            for (const auto& [col, val] : v)
                                ASSERT_EQ(
                                    norm(m.rows[at][static_cast<std::size_t>(col)],
                                         def.columns[static_cast<std::size_t>(col)].jetType),
                                    norm(val, def.columns[static_cast<std::size_t>(col)].jetType))
                                    << name << " " << tname << " column " << col;
                            ++counts.inserts;
                        } else {
                            const long at = rnd.below(static_cast<int>(m.rows.size()));
                            if (op < 8) {
                                rs.updateRow(at, randomRow(true));
                                m.rows[static_cast<std::size_t>(at)] = rs.rowValues(at);
                                ++counts.updates;
                            } else {
                                rs.deleteRow(at);
                                m.rows.erase(m.rows.begin() + at);
                                ++counts.deletes;
                            }
                        }
                    } catch (const EngineError& e) {
                        if (std::getenv("JETWRITE_VERBOSE"))
                            std::printf("refused op %d: %s\n", op, e.what());
                        ++counts.refused; // a duplicate key, a required value: nothing written
                    }
                }
            }
        }
        ++counts.batches;
        std::string report;
        ASSERT_EQ(check(file, &report), 0) << name << " batch " << batch << "\n" << report;
        Connection c;
        c.CursorLocation = 3;
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";");
        const auto dumped = dumpRows(file, defs);
        for (const auto& [tname, m] : models) {
            ASSERT_EQ(engineRows(c, m.def), m.texts(false)) << name << " " << tname;
            const auto it = dumped.find(tname);
            ASSERT_EQ(it == dumped.end() ? Rows() : it->second, m.texts(true))
                << name << " " << tname << " (jettool dump)";
            {
                const Rows exported = exportRows(file, m.def);
                // mdbtools shows a zero-length text as it shows a null, and
                // drops a hyphen from a GUID's text: compared without them.
                Rows want = m.texts(true);
                std::vector<int> types;
                for (const auto& col : m.def.columns)
                    if (comparableInDump(col.jetType)) types.push_back(col.jetType);
                for (auto& r : want)
                    for (std::size_t k = 0; k < r.size(); ++k) {
                        if (r[k] == "s:") r[k] = "<null>";
                        if (types[k] == jet::coltype::Guid)
                            r[k].erase(std::remove(r[k].begin(), r[k].end(), '-'), r[k].end());
                    }
                std::sort(want.begin(), want.end());
                if (exported != want) {
                    std::size_t k = 0;
                    while (k < exported.size() && k < want.size() && exported[k] == want[k])
                        ++k;
                    std::string a, b;
                    if (k < exported.size())
                        for (const auto& f : exported[k])
                            a += f + " | ";
                    if (k < want.size())
                        for (const auto& f : want[k])
                            b += f + " | ";
                    FAIL() << name << " " << tname << " (mdb-export) row " << k << " of "
                           << exported.size() << "/" << want.size() << "\n  mdb-export: " << a
                           << "\n  expected:   " << b;
                }
            }
            EXPECT_EQ(c.Execute("SELECT count(*) FROM [" + tname + "]").valueAt(0, 0).toInt(),
                      static_cast<long>(m.rows.size()))
                << name << " " << tname;
        }
    }
}

} // namespace

TEST_F(JetWriteTest, RandomGridEditsOnTheSampleFilesKeepTablesIndexesAndCountsRight) {
    EditCounts counts;
    int files = 0;
    // Text of every kind and length, numbers, dates, GUIDs, decimals, an
    // RC4-encoded file, unique, compound and ignore-nulls indexes.
    const std::pair<const char*, int> files_[] = {{"testV2000.mdb", 2},
                                                  {"compIndexTestV2000.mdb", 1},
                                                  {"fixedNumericTestV2000.mdb", 1},
                                                  {"testIndexPropertiesV2000.mdb", 1},
                                                  {"testUnicodeCompV2003.mdb", 1},
                                                  {"db-enc.mdb", 1}};
    for (const auto& [name, batches] : files_) {
        sample(name);
        randomEdits(name, path(name), 21u + static_cast<unsigned>(files), batches, 40, counts);
        if (HasFatalFailure()) return;
        ++files;
    }
    EXPECT_GT(counts.inserts, 100);
    EXPECT_GT(counts.updates, 50);
    EXPECT_GT(counts.deletes, 20);
    std::printf("random edits: %d files, %ld inserts, %ld updates, %ld deletes, %ld refused\n",
                files, counts.inserts, counts.updates, counts.deletes, counts.refused);
}

TEST_F(JetWriteTest, LongRandomEditsOnBigFiles) {
    if (!std::getenv("TABELKO_LONG_JET_WRITE"))
        GTEST_SKIP()
            << "TABELKO_LONG_JET_WRITE=1 runs it (TABELKO_LONG_JET_WRITE_BATCHES=N: N batches)";
    EditCounts counts;
    big(100000, "big.mdb");
    const char* batches = std::getenv("TABELKO_LONG_JET_WRITE_BATCHES");
    randomEdits("big.mdb", path("big.mdb"), 7u, batches ? std::atoi(batches) : 10, 400, counts);
    std::printf("long random edits: %ld batches, %ld inserts, %ld updates, %ld deletes, "
                "%ld refused\n",
                counts.batches, counts.inserts, counts.updates, counts.deletes, counts.refused);
}

TEST_F(JetWriteTest, LongValuesMovedRowsAutonumbersAndReusedSpace) {
    big(200, "t.mdb");
    const std::string file = path("t.mdb");
    std::map<long, std::string> notes;
    {
        auto c = open("t.mdb");
        // Inline, one long-value page, a chain; Latin text is stored
        // compressed, Chinese not, mixed text in both modes.
        Randomiser rnd(5);
        long id = 200;
        for (std::size_t n : {0, 1, 32, 33, 64, 2000, 2038, 4100, 12000, 50000}) {
            for (const std::string& text : {std::string(n, 'q'), rnd.text(n), std::string(),
                                            std::string("字") + std::string(n, 'a')}) {
                c.Execute("INSERT INTO T (name, note) VALUES ('n', '" + text + "')");
                notes[++id] = text;
                EXPECT_EQ(c.Execute("SELECT max(ID) FROM T").valueAt(0, 0).toInt(), id);
            }
        }
        for (const auto& [k, text] : notes)
            ASSERT_EQ(c.Execute("SELECT note FROM T WHERE ID = " + std::to_string(k))
                          .valueAt(0, 0)
                          .toText(),
                      text)
                << k;

        // Rows that grow past their page move; the keys a grid holds still
        // reach them.
        Recordset rs;
        rs.Open("SELECT ID, name, note FROM T WHERE ID <= 60", c, cursor::Keyset, lock::Optimistic);
        rs.completeKeyset();
        ASSERT_EQ(rs.RecordCount(), 60);
        std::string name50;
        for (int i = 0; i < 50; ++i)
            name50 += "名";
        c.Execute("UPDATE T SET name = '" + name50 + "', note = '" + std::string(3000, 'z') +
                  "' WHERE ID <= 60");
        for (long r = 0; r < 60; ++r) {
            rs.updateRow(r, {{2, Value(std::string(100 + r, 'y'))}});
        }
        Recordset again;
        again.Open("SELECT ID, name, note FROM T WHERE ID <= 60 ORDER BY ID", c, cursor::Keyset,
                   lock::ReadOnly);
        again.completeKeyset();
        for (long r = 0; r < 60; ++r) {
            EXPECT_EQ(again.rowValues(r)[1].toText(), name50);
            EXPECT_EQ(again.rowValues(r)[2].toText().size(), static_cast<std::size_t>(100 + r));
        }
    }

    // Deleted rows and long values give their space back: rows of the same
    // size, and a long value as long as the longest deleted, fit again.
    std::uintmax_t before = 0;
    {
        auto c = open("t.mdb");
        long affected = 0;
        c.Execute("DELETE FROM T WHERE ID > 120", &affected);
        EXPECT_EQ(affected, 80 + static_cast<long>(notes.size()));
        c.Close();
        before = std::filesystem::file_size(file);
        c = open("t.mdb");
        c.Execute("INSERT INTO T (name, amount, created, flag) SELECT name, amount, created, "
                  "flag FROM T WHERE ID <= 80",
                  &affected);
        EXPECT_EQ(affected, 80);
        c.Execute("INSERT INTO T (name, note) VALUES ('long', '" + std::string(50000, 'q') + "')");
        EXPECT_EQ(c.Execute("SELECT count(*) FROM T").valueAt(0, 0).toInt(), 201);
        // Deleting never lowers the next autonumber.
        EXPECT_EQ(c.Execute("SELECT min(ID) FROM T WHERE ID > 120").valueAt(0, 0).toInt(),
                  200 + static_cast<long>(notes.size()) + 1);
    }
    // Without reuse the long value alone would take 25 new pages; the
    // indexes may still split a few of theirs.
    EXPECT_LE(std::filesystem::file_size(file), before + 8 * 4096);
    std::string report;
    EXPECT_EQ(check(file, &report), 0) << report;
}

TEST_F(JetWriteTest, RefusedChangesLeaveTheFileAsItWasAndSayWhy) {
    big(200, "t.mdb");
    auto c = open("t.mdb");
    auto fails = [&](const std::string& sql) {
        const auto was = bytes("t.mdb");
        const std::string why = failure([&] { c.Execute(sql); });
        EXPECT_EQ(bytes("t.mdb"), was) << sql;
        return why;
    };
    EXPECT_NE(fails("INSERT INTO T (ID, name) VALUES (7, 'x')").find("重复"), std::string::npos);
    // The second row's new key meets the first's: the whole statement is undone.
    EXPECT_NE(fails("UPDATE T SET ID = 300 WHERE ID IN (3, 4)").find("重复"), std::string::npos);
    EXPECT_NE(fails("UPDATE T SET name = '" + std::string(51, 'n') + "' WHERE ID = 9").find("太小"),
              std::string::npos);
    EXPECT_NE(fails("UPDATE T SET created = 'tomorrow' WHERE ID = 9"), "");
    EXPECT_EQ(c.Execute("SELECT count(*) FROM T WHERE ID IN (3, 4)").valueAt(0, 0).toInt(), 2);

    // Inside a transaction a failing statement undoes only itself; the rest
    // is kept or undone as a whole.
    c.BeginTrans();
    c.Execute("INSERT INTO T (name) VALUES ('first')");
    EXPECT_NE(failure([&] { c.Execute("INSERT INTO T (ID, name) VALUES (1, 'x')"); }), "");
    c.Execute("UPDATE T SET amount = 1.25 WHERE ID <= 10");
    c.CommitTrans();
    EXPECT_EQ(c.Execute("SELECT count(*) FROM T WHERE name = 'first'").valueAt(0, 0).toInt(), 1);
    EXPECT_EQ(c.Execute("SELECT sum(amount) FROM T WHERE ID <= 10").valueAt(0, 0).toDouble(), 12.5);
    const auto committed = bytes("t.mdb");
    c.BeginTrans();
    c.Execute("DELETE FROM T");
    EXPECT_EQ(c.Execute("SELECT count(*) FROM T").valueAt(0, 0).toInt(), 0);
    c.RollbackTrans();
    EXPECT_EQ(c.Execute("SELECT count(*) FROM T").valueAt(0, 0).toInt(), 201);
    EXPECT_EQ(bytes("t.mdb"), committed);

    // Changes through joins and subqueries.
    long affected = 0;
    c.Execute("UPDATE T INNER JOIN 客户 ON T.ID = 客户.编号 SET T.amount = 客户.编号 * 2 "
              "WHERE 客户.编号 <= 5",
              &affected);
    EXPECT_EQ(affected, 5);
    EXPECT_EQ(c.Execute("SELECT sum(amount) FROM T WHERE ID <= 5").valueAt(0, 0).toDouble(), 30);
    c.Execute("DELETE FROM T WHERE ID IN (SELECT 编号 FROM 客户 WHERE 编号 BETWEEN 11 AND 20)",
              &affected);
    EXPECT_EQ(affected, 10);
    EXPECT_EQ(c.Execute("SELECT count(*) FROM T").valueAt(0, 0).toInt(), 191);
    c.Close();
    std::string report;
    EXPECT_EQ(check(path("t.mdb"), &report), 0) << report;
}

// Inside a transaction, index pages are kept back from the store until a
// statement ends or something searches the index (a one-row insert has no
// statement savepoint to end it). Searches find the row just inserted; a
// many-row statement that fails on a duplicate after changing rows is
// undone whole, while the insert before it and the statement after it stay:
// the file equals one where the failing statement never ran.
TEST_F(JetWriteTest, FailingStatementWithIndexSearchesInATransactionUndoesOnlyItself) {
    big(200, "a.mdb");
    big(200, "b.mdb");
    auto run = [&](const std::string& name, bool failing) {
        auto c = open(name);
        c.BeginTrans();
        c.Execute("INSERT INTO T (name, amount) VALUES ('甲 single', 7)");
        EXPECT_EQ(c.Execute("SELECT amount FROM T WHERE ID = 201").valueAt(0, 0).toInt(), 7);
        if (failing) {
            // With and without index searches between the changes.
            for (const char* amount : {"amount + 1", "(SELECT u.amount FROM T AS u WHERE u.ID = "
                                                     "T.ID - 1)"})
                EXPECT_NE(failure([&] {
                              c.Execute(std::string("UPDATE T SET name = name & '+', amount = ") +
                                        amount + ", ID = IIf(ID = 190, 201, ID) WHERE ID >= 100");
                          }).find("重复"),
                          std::string::npos);
            EXPECT_EQ(
                c.Execute("SELECT count(*) FROM T WHERE name LIKE '*+'").valueAt(0, 0).toInt(), 0);
        }
        c.Execute("UPDATE T SET name = name & '!' WHERE ID BETWEEN 20 AND 60");
        EXPECT_EQ(c.Execute("SELECT amount FROM T WHERE name = '甲 single'").valueAt(0, 0).toInt(),
                  7);
        c.CommitTrans();
        c.Close();
    };
    run("a.mdb", true);
    run("b.mdb", false);
    EXPECT_TRUE(bytes("a.mdb") == bytes("b.mdb"));
    std::string report;
    EXPECT_EQ(check(path("a.mdb"), &report), 0) << report;
}

// Translation of Jet queries to SQLite SQL: a recursive-descent parser over
// the tokens that writes SQLite text as it reads. Names come out quoted,
// literals are re-quoted from their values, and every operator whose
// meaning differs between the two dialects is written as the SQLite form
// that gives Jet's result.

#include "FunctionTable.h"
#include "JetDate.h"
#include "JetFormat.h"
#include "JetSql.h"
#include "JetText.h"
#include "JetValues.h"
#include "SqlInternal.h"
#include "TokenCursor.h"

#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace engine::sql {

void syntaxError(const std::string& detail) {
    msg::raise(msg::Syntax, {detail});
}

bool isWord(const Token& t, std::string_view upperWord) {
    if (t.kind != TokenKind::Word || t.text.size() != upperWord.size()) return false;
    for (std::size_t i = 0; i < upperWord.size(); ++i)
        if (ascii::upper(t.text[i]) != upperWord[i]) return false;
    return true;
}

namespace {

bool isReservedWord(const Token& t) {
    return t.kind == TokenKind::Word && endsExpression(t.text);
}

bool isName(const Token& t) {
    return t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !isReservedWord(t));
}

// An unqualified column in an expression. SQLite reads a double-quoted
// name that matches no column as a string literal, which would turn a
// misspelt field into a constant; a bracketed name is always a name.
std::string columnName(std::string_view name) {
    if (name.find(']') == std::string_view::npos) return "[" + std::string(name) + "]";
    return text::quoteName(name);
}

// A column named outside any aggregate function, for the GROUP BY check
// and DISTINCTROW.
struct ColumnRef {
    std::string qualifier, column;
};

struct Expr {
    std::string sql;
    ValueType type = ValueType::Unknown;
    bool plainColumn = false;
    std::string column;    // plainColumn: the column's name
    std::string qualifier; // plainColumn: its table or alias, if written
    bool literalString = false;
    std::string literal;    // literalString: the unquoted text
    bool integral = false;  // a whole number: an integer literal or integer column
    std::string numberText; // a number literal as written
};

struct Source {
    enum class Kind { Table, Subquery, Join, Group };
    Kind kind = Kind::Table;
    std::string name;     // Table
    std::string alias;    // Table, Subquery
    std::string sql;      // Subquery
    std::string joinType; // Join: INNER, LEFT, RIGHT
    std::unique_ptr<Source> left, right, inner;
    std::string on;

    std::string ref() const { return text::quoteName(alias.empty() ? name : alias); }
};

struct SelectItem {
    std::string sql;       // without alias
    std::string amountSql; // a Currency item as an amount (where counts cannot be told)
    std::string rawSql;    // sql before a collation was added
    std::vector<ColumnRef> refs;
    std::string name;      // result column name
    std::string qualifier; // plain column: its qualifier
    bool plainColumn = false;
    bool explicitAlias = false;
    bool star = false;
};

struct SelectCore {
    bool distinct = false;
    bool hasTop = false;
    std::string top;
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::string into;
    std::unique_ptr<Source> from; // a Group of the comma list when several
    std::vector<std::unique_ptr<Source>> fromList;
    std::string fromSql; // "FROM ..." or empty
    std::string where, groupBy, having;
    std::vector<Expr> groupTerms;
    std::vector<ColumnRef> havingRefs;
    std::size_t whereBegin = 0, whereEnd = 0; // tokens of the WHERE condition
    bool whereAggregate = false;
    bool distinctRow = false;
    bool aggregate = false;
    bool swappedRight = false;
};

struct SelectStatement {
    std::vector<SelectCore> cores;
    std::vector<std::string> unionOps; // "UNION" / "UNION ALL", between cores
    std::string orderBy;               // "ORDER BY ..." or empty
    struct OrderTerm {
        std::string sql;
        bool desc = false;
        bool position = false; // a field position whose field is not known here (after *)
    };
    std::vector<OrderTerm> orderTerms;
};

struct Context {
    bool aggregate = false;
    int exprCounter = 1000;
    int aggregateDepth = 0;      // inside the arguments of an aggregate function
    std::vector<ColumnRef> refs; // columns named outside aggregates
};

// Text compared as Jet compares it: without regard to case, in the
// collation's order. Columns of text carry it already; expressions (a
// function's result, a literal) get it written on.
constexpr const char* kCollate = " COLLATE JETTEXT";

bool textLike(const Expr& e) {
    return !e.plainColumn && (e.type == ValueType::String || e.type == ValueType::Unknown);
}

// Nesting deeper than this is refused instead of exhausting the stack.
constexpr int kMaxDepth = 600;
// More operators than this in one statement are refused: each one rewrites
// the text built so far, so there must be a bound on the work.
constexpr int kMaxOperators = 10000;
// Jet itself joins at most 32 tables; far longer chains are refused
// before their recursive writing could exhaust the stack.
constexpr int kMaxJoins = 255;

class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth_(depth) {
        if (++depth_ > kMaxDepth) {
            --depth_;
            syntaxError("表达式或子查询嵌套太深");
        }
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

class Parser : TokenCursor {
public:
    Parser(std::vector<Token> tokens, Translation& out, const TranslateOptions* options = nullptr)
        : TokenCursor(std::move(tokens)), out_(out), opt_(options ? options : &noOptions()) {}

    void translateStatement();
    std::string expressionOnly();
    // Column knowledge for exact Currency; see scanSources.
    void useSchema(const SchemaInfo* schema, bool forView) {
        schema_ = schema;
        forView_ = forView;
        if (schema_) scanSources();
    }

    // Nesting of saved queries read in place, across parsers.
    int inlineDepth_ = 0;

private:
    // ---- token helpers (see TokenCursor) -------------------------------
    std::string expectName(const std::string& what) {
        if (!isName(peek())) expected(what);
        return next().value;
    }

    void addTable(const std::string& name) {
        for (const auto& n : out_.tables)
            if (text::equalsNoCase(n, name)) return;
        out_.tables.push_back(name);
    }

    // ---- statements ----------------------------------------------------
    SelectStatement parseSelectStatement();
    SelectCore parseSelectCore();
    std::string selectSql(SelectStatement& st, bool withOrder = true);
    // One SELECT without ORDER BY and LIMIT.
    static std::string coreSql(const SelectCore& c);
    std::string subquery(); // after '(' and at SELECT; consumes up to before ')'
    // The text of Access's derived table "[SELECT ...]. AS T", translated.
    std::string bracketedSelect(const std::string& jet);
    // TOP n as a LIMIT: with ORDER BY, every row tied with the n-th as well.
    std::string limitOf(const SelectCore& c, const SelectStatement& st) const;
    void checkGrouping(const SelectCore& c, const SelectStatement* st) const;
    void applyDistinctRow(SelectCore& c);
    void translateSelect();
    void translateInsert();
    void translateUpdate();
    void translateDelete();

    // ---- FROM ----------------------------------------------------------
    std::unique_ptr<Source> parseJoinChain();
    std::unique_ptr<Source> parseSourcePrimary();
    std::string emitSource(const Source& s, bool asRight, bool& swapped);
    void collectRefs(const Source& s, std::vector<const Source*>& leaves) const;
    std::string parseFromList(SelectCore& core);

    // ---- expressions ---------------------------------------------------
    Expr expr() { return parseImp(); }
    Expr parseImp();
    Expr parseEqv();
    Expr parseXor();
    Expr parseOr();
    Expr parseAnd();
    Expr parseNot();
    Expr parseComparison();
    static std::string quantified(const Expr& l, const std::string& op, bool all,
                                  const std::string& sub);
    Expr parseConcat();
    Expr parseAdditive();
    Expr parseMod();
    Expr parseIntDiv();
    Expr parseMul();
    Expr parseUnary();
    Expr parsePow();
    Expr parsePrimary();
    Expr parseFunction(const std::string& name);
    Expr parseNameRef();
    std::string qualifiedName(const std::string& qualifier, const std::string& column);
    void noteRef(const Expr& e) {
        if (ctx_.back().aggregateDepth == 0) ctx_.back().refs.push_back({e.qualifier, e.column});
    }

    static std::string value(const Expr& e) {
        // Jet's True is -1; SQLite's comparisons give 1.
        if (e.type == ValueType::Bool) return "(-" + e.sql + ")";
        if (e.type == ValueType::Currency) return "(" + e.sql + " / 10000.0)";
        return e.sql;
    }
    // A value as a Currency count (exact from a count or a whole number).
    // column: the Currency column written, named when the value does not fit.
    static std::string counts(const Expr& e, const std::string& column = {}) {
        if (e.type == ValueType::Currency) return e.sql;
        std::string lit;
        if (literalCounts(e, lit)) return lit;
        if (column.empty()) return "jet_cscale(" + value(e) + ")";
        return "jet_cscale(" + value(e) + ", " + text::quoteString(column) + ")";
    }
    static Expr currency(std::string sql) { return make(std::move(sql), ValueType::Currency); }

    // ---- column knowledge (exact Currency) ----------------------------------
    const SchemaInfo* schema_ = nullptr;
    bool forView_ = false;
    int nested_ = 0; // inside a subquery, derived table or INSERT's SELECT
    std::map<std::string, std::string> sourceOf_; // lower-case alias or name -> table
    // A table read by the statement and the tokens that see it: the
    // parentheses around its FROM (the whole statement at the top).
    struct Scoped {
        std::string table;
        std::size_t from = 0, to = 0;
    };
    std::vector<Scoped> sources_;

    // Collects the tables a statement reads and their aliases before it is
    // read: the select list comes before its FROM.
    void scanSources() {
        std::vector<std::size_t> match(t_.size(), t_.size()), open;
        for (std::size_t k = 0; k < t_.size(); ++k) {
            if (t_[k].kind != TokenKind::Punct) continue;
            if (t_[k].text == "(") open.push_back(k);
            if (t_[k].text == ")" && !open.empty()) {
                match[open.back()] = k;
                open.pop_back();
            }
        }
        open.clear();
        bool inFrom = false;
        auto add = [&](std::size_t k) {
            const Token& n = t_[k];
            if (!isName(n)) return;
            const std::size_t from = open.empty() ? 0 : open.back();
            sources_.push_back({n.value, from, open.empty() ? t_.size() : match[from]});
            sourceOf_[text::toLower(n.value)] = n.value;
            std::size_t a = k + 1;
            if (a < t_.size() && isWord(t_[a], "AS")) ++a;
            if (a < t_.size() && isName(t_[a]) && !isReservedWord(t_[a]))
                sourceOf_[text::toLower(t_[a].value)] = n.value;
        };
        for (std::size_t k = 0; k + 1 < t_.size(); ++k) {
            const Token& tk = t_[k];
            if (tk.kind == TokenKind::Punct && tk.text == "(") open.push_back(k);
            if (tk.kind == TokenKind::Punct && tk.text == ")") {
                if (!open.empty()) open.pop_back();
                inFrom = false;
            }
            if (tk.kind == TokenKind::Word) {
                const std::string up = ascii::toUpper(tk.text);
                if (up == "FROM" || up == "JOIN" || up == "UPDATE" || up == "INTO") {
                    inFrom = up != "INTO"; // INSERT INTO t names one table
                    add(k + 1);
                    continue;
                }
                if (up == "WHERE" || up == "GROUP" || up == "ORDER" || up == "HAVING" ||
                    up == "UNION" || up == "SELECT" || up == "ON" || up == "SET")
                    inFrom = false;
            }
            if (inFrom && tk.kind == TokenKind::Punct && tk.text == ",") add(k + 1);
        }
    }

    ColumnKind kindOf(const std::string& qualifier, const std::string& column) const {
        if (!schema_) return ColumnKind::Unknown;
        if (!qualifier.empty()) {
            const auto it = sourceOf_.find(text::toLower(qualifier));
            return it == sourceOf_.end() ? ColumnKind::Unknown
                                         : schema_->columnKind(it->second, column);
        }
        // Unqualified: the one kind the tables in view agree on.
        const std::size_t at = p_ > 0 ? p_ - 1 : 0;
        ColumnKind found = ColumnKind::Unknown;
        for (const auto& src : sources_) {
            if (at < src.from || at > src.to) continue;
            const ColumnKind k = schema_->columnKind(src.table, column);
            if (k == ColumnKind::Unknown) continue;
            if (found != ColumnKind::Unknown && found != k) return ColumnKind::Unknown;
            found = k;
        }
        return found;
    }

    void typeColumn(Expr& e) const {
        const ColumnKind k = kindOf(e.qualifier, e.column);
        if (k == ColumnKind::Currency) e.type = ValueType::Currency;
        if (k == ColumnKind::Integer) {
            e.type = ValueType::Number;
            e.integral = true;
        }
        if (k == ColumnKind::Number) e.type = ValueType::Number;
    }

    // A number literal as a Currency count, when it is one exactly.
    static bool literalCounts(const Expr& e, std::string& out) {
        const bool negative = !e.numberText.empty() && e.numberText[0] == '-';
        const std::string s = negative ? e.numberText.substr(1) : e.numberText;
        if (s.empty() || s.find_first_not_of("0123456789.") != std::string::npos ||
            s.find('.') != s.rfind('.'))
            return false;
        const auto dot = s.find('.');
        std::string whole = dot == std::string::npos ? s : s.substr(0, dot);
        std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
        while (!frac.empty() && frac.back() == '0')
            frac.pop_back();
        if (frac.size() > 4) return false;
        frac.append(4 - frac.size(), '0');
        std::string digits = whole + frac;
        const auto nz = digits.find_first_not_of('0');
        digits = nz == std::string::npos ? "0" : digits.substr(nz);
        // Beyond Currency's range it is no count (and the conversion says so).
        const std::string limit = negative ? "9223372036854775808" : "9223372036854775807";
        if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit))
            return false;
        out = (negative && digits != "0" ? "-" : "") + digits;
        return true;
    }
    static std::string truth(const Expr& e) {
        if (e.type == ValueType::Bool) return e.sql;
        return "(" + e.sql + " <> 0)";
    }
    static Expr make(std::string sql, ValueType type) {
        Expr e;
        e.sql = std::move(sql);
        e.type = type;
        return e;
    }

    static const TranslateOptions& noOptions() {
        static const TranslateOptions none;
        return none;
    }

    // ---- parameters, saved queries, crosstabs ----------------------------
    struct Declared {
        QueryParameter parameter;
        std::string key; // the name's parts joined by "!", for matching
    };
    void parseParameters();
    std::optional<Expr> parameterRef(const std::vector<std::string>& parts,
                                     const std::string& shown);
    Expr parameterValue(const QueryParameter& p, const std::string& value) const;
    std::string inlineSaved(const std::string& name, const std::string& jet);
    std::string crosstabSql();
    void moveAggregateTerms(SelectCore& core);

    Translation& out_;
    const TranslateOptions* opt_;
    std::vector<Declared> declared_;
    // While a crosstab's value is written for one column: the condition
    // that picks that column's rows inside every aggregate.
    std::string pivotFilter_;
    std::vector<Context> ctx_{Context{}};
    // Qualifiers written in the Jet text that must be written otherwise
    // (the alias of an UPDATE or DELETE target, which SQLite 3.15 cannot
    // alias). Keys are lower case.
    std::map<std::string, std::string> qualifierRewrite_;
    int subqueryCounter_ = 0;
    int depth_ = 0;
    int operators_ = 0;

    void countOperator() {
        if (++operators_ > kMaxOperators) syntaxError("表达式太复杂");
    }
};

// ---- expressions --------------------------------------------------------

Expr Parser::parseImp() {
    DepthGuard guard(depth_);
    Expr l = parseEqv();
    while (acceptWord("IMP")) {
        countOperator();
        Expr r = parseEqv();
        l = make("(NOT " + truth(l) + " OR " + truth(r) + ")", ValueType::Bool);
    }
    return l;
}

Expr Parser::parseEqv() {
    Expr l = parseXor();
    while (acceptWord("EQV")) {
        countOperator();
        Expr r = parseXor();
        l = make("(" + truth(l) + " = " + truth(r) + ")", ValueType::Bool);
    }
    return l;
}

Expr Parser::parseXor() {
    Expr l = parseOr();
    while (acceptWord("XOR")) {
        countOperator();
        Expr r = parseOr();
        l = make("(" + truth(l) + " <> " + truth(r) + ")", ValueType::Bool);
    }
    return l;
}

// Long chains of one operator (a thousand ORs, hundreds of &) are written so
// that neither SQLite's parser stack nor its expression depth grows with
// their length: an associative operator as a balanced tree of parentheses,
// the others as flat text or as one call of a helper taking many arguments.
namespace {

std::string balanced(const std::vector<std::string>& terms, const std::string& op, std::size_t lo,
                     std::size_t hi) {
    if (hi - lo == 1) return terms[lo];
    const std::size_t mid = lo + (hi - lo) / 2;
    return "(" + balanced(terms, op, lo, mid) + op + balanced(terms, op, mid, hi) + ")";
}

// fn(a1, ..., an) for a function that takes the terms in any grouping,
// in calls of at most 100 arguments.
std::string chunkedCall(const std::string& fn, std::vector<std::string> terms) {
    while (terms.size() > 1) {
        std::vector<std::string> calls;
        for (std::size_t i = 0; i < terms.size(); i += 100) {
            std::string call = fn + "(";
            for (std::size_t k = i; k < std::min(i + 100, terms.size()); ++k)
                call += (k > i ? ", " : "") + terms[k];
            calls.push_back(call + ")");
        }
        terms = std::move(calls);
    }
    return terms.front();
}

// a0 op1 a1 ... with Jet's + and - (dates, texts), left to right: two terms
// as jet_add / jet_sub, more through jet_addn, whose running value is
// passed on as the first term of the next call of at most 100 terms.
std::string mixedChain(const std::vector<std::string>& terms, const std::string& ops) {
    if (terms.size() == 2)
        return (ops[0] == '+' ? "jet_add(" : "jet_sub(") + terms[0] + ", " + terms[1] + ")";
    std::string acc = terms[0];
    for (std::size_t i = 1; i < terms.size(); i += 99) {
        const std::size_t end = std::min(i + 99, terms.size());
        std::string call = "jet_addn('" + ops.substr(i - 1, end - i) + "', " + acc;
        for (std::size_t k = i; k < end; ++k)
            call += ", " + terms[k];
        acc = call + ")";
    }
    return acc;
}

} // namespace

Expr Parser::parseOr() {
    Expr l = parseAnd();
    if (!peekWord("OR")) return l;
    std::vector<std::string> terms{l.sql};
    while (acceptWord("OR")) {
        countOperator();
        terms.push_back(parseAnd().sql);
    }
    return make(balanced(terms, " OR ", 0, terms.size()), ValueType::Bool);
}

Expr Parser::parseAnd() {
    Expr l = parseNot();
    if (!peekWord("AND")) return l;
    std::vector<std::string> terms{l.sql};
    while (acceptWord("AND")) {
        countOperator();
        terms.push_back(parseNot().sql);
    }
    return make(balanced(terms, " AND ", 0, terms.size()), ValueType::Bool);
}

Expr Parser::parseNot() {
    DepthGuard guard(depth_);
    if (acceptWord("NOT")) {
        Expr e = parseNot();
        return make("(NOT " + e.sql + ")", ValueType::Bool);
    }
    return parseComparison();
}

namespace {

// A Jet LIKE pattern given as a literal, as an equivalent SQLite LIKE
// pattern. A character bracketed to stand for itself ([%], [_], [*], [?],
// [#], [[]) becomes a literal, escaped with \ where SQLite would read it as
// a wildcard; `escaped` tells whether the pattern needs ESCAPE '\'. Returns
// false when only jet_like can match it: # and real [...] classes, and
// letters whose case SQLite's LIKE does not fold.
bool likePatternForSqlite(const std::string& jet, std::string& out, bool& escaped) {
    out.clear();
    escaped = false;
    auto literal = [&](char32_t c) {
        if (c >= 0x80 && text::isCased(c)) return false;
        if (c == '%' || c == '_' || c == '\\') {
            out += '\\';
            escaped = true;
        }
        text::append(out, c);
        return true;
    };
    std::size_t i = 0;
    while (i < jet.size()) {
        const char32_t c = text::decode(jet, i);
        switch (c) {
        case '*':
            out += '%';
            break;
        case '?':
            out += '_';
            break;
        case '#':
            return false;
        case '[': {
            // [c]: one character that is neither a negation nor a bracket.
            if (i >= jet.size()) return false;
            std::size_t k = i;
            const char32_t inner = text::decode(jet, k);
            if (inner == '!' || inner == ']' || k >= jet.size() || jet[k] != ']') return false;
            if (!literal(inner)) return false;
            i = k + 1;
            break;
        }
        case '\\':
            if (!literal(c)) return false;
            break;
        default:
            if (c >= 0x80 && text::isCased(c)) return false;
            text::append(out, c);
        }
    }
    return true;
}

} // namespace

// x op ALL (subquery) and x op ANY / SOME (subquery), through the
// subquery's least and greatest values. ALL over no rows is true, ANY over
// no rows false.
std::string Parser::quantified(const Expr& l, const std::string& op, bool all,
                               const std::string& sub) {
    const std::string x = value(l);
    const std::string collate = textLike(l) ? kCollate : "";
    auto extreme = [&](const char* fn) {
        return "(WITH \"__q\"(\"__v\") AS (" + sub + ") SELECT " + fn + "(\"__v\") FROM \"__q\")";
    };
    auto cmp = [&](const std::string& o, const char* fn) {
        return "(" + x + " " + o + " " + extreme(fn) + collate + ")";
    };
    const std::string none = "NOT EXISTS (" + sub + ")";
    if (all) {
        if (op == "<>") return "(" + x + " NOT IN (" + sub + "))";
        if (op == "=")
            return "(" + none + " OR (" + cmp("=", "min") + " AND " + cmp("=", "max") + "))";
        const bool greater = op[0] == '>';
        return "(" + none + " OR " + cmp(op, greater ? "max" : "min") + ")";
    }
    if (op == "=") return "(" + x + " IN (" + sub + "))";
    if (op == "<>") return "(" + cmp("<>", "min") + " OR " + cmp("<>", "max") + ")";
    const bool greater = op[0] == '>';
    return cmp(op, greater ? "min" : "max");
}

Expr Parser::parseComparison() {
    Expr l = parseConcat();
    for (;;) {
        const Token& tk = peek();
        if (tk.kind == TokenKind::Operator &&
            (tk.text == "=" || tk.text == "<>" || tk.text == "!=" || tk.text == "<" ||
             tk.text == ">" || tk.text == "<=" || tk.text == ">=")) {
            countOperator();
            std::string op = next().text;
            if (op == "!=") op = "<>";
            if ((peekWord("ALL") || peekWord("ANY") || peekWord("SOME")) && peekPunct("(", 1) &&
                peekWord("SELECT", 2)) {
                const bool all = peekWord("ALL");
                next();
                next();
                const std::string sub = subquery();
                expectPunct(")");
                l = make(quantified(l, op, all, sub), ValueType::Bool);
                continue;
            }
            Expr r = parseConcat();
            // Currency compares by its exact count where the other side is one.
            std::string lit;
            if (l.type == ValueType::Currency && r.type == ValueType::Currency) {
                l = make("(" + l.sql + " " + op + " " + r.sql + ")", ValueType::Bool);
            } else if (l.type == ValueType::Currency && literalCounts(r, lit)) {
                l = make("(" + l.sql + " " + op + " " + lit + ")", ValueType::Bool);
            } else if (r.type == ValueType::Currency && literalCounts(l, lit)) {
                l = make("(" + lit + " " + op + " " + r.sql + ")", ValueType::Bool);
            } else {
                const std::string collate = textLike(l) && textLike(r) ? kCollate : "";
                l = make("(" + value(l) + " " + op + " " + value(r) + collate + ")",
                         ValueType::Bool);
            }
            continue;
        }
        bool negated = false;
        std::size_t save = p_;
        if (peekWord("NOT") && (peekWord("LIKE", 1) || peekWord("ALIKE", 1) ||
                                peekWord("BETWEEN", 1) || peekWord("IN", 1))) {
            next();
            negated = true;
        }
        if (acceptWord("ALIKE")) {
            // ANSI wildcards (% and _) whatever the mode; * and ? are letters.
            countOperator();
            Expr r = parseConcat();
            std::string sql = "jet_alike(" + value(l) + ", " + value(r) + ")";
            if (negated) sql = "(NOT " + sql + ")";
            l = make(sql, ValueType::Number);
            continue;
        }
        // The left side of BETWEEN and IN compares as text does.
        const std::string lhs = textLike(l) ? "(" + value(l) + ")" + kCollate : value(l);
        if (acceptWord("LIKE")) {
            countOperator();
            Expr r = parseConcat();
            std::string pattern;
            std::string sql;
            bool escaped = false;
            if (r.literalString && likePatternForSqlite(r.literal, pattern, escaped))
                sql = "(" + value(l) + " LIKE " + text::quoteString(pattern) +
                      (escaped ? " ESCAPE '\\')" : ")");
            else
                sql = "jet_like(" + value(l) + ", " + value(r) + ")";
            if (negated) sql = "(NOT " + sql + ")";
            l = make(sql, sql.rfind("jet_like", 0) == 0 ? ValueType::Number : ValueType::Bool);
            continue;
        }
        if (acceptWord("BETWEEN")) {
            countOperator();
            Expr a = parseConcat();
            expectWord("AND");
            Expr b = parseConcat();
            l = make("(" + lhs + (negated ? " NOT" : "") + " BETWEEN " + value(a) + " AND " +
                         value(b) + ")",
                     ValueType::Bool);
            continue;
        }
        if (acceptWord("IN")) {
            countOperator();
            expectPunct("(");
            std::string list;
            if (peekWord("SELECT")) {
                list = subquery();
            } else {
                for (;;) {
                    Expr item = expr();
                    if (!list.empty()) list += ", ";
                    list += value(item);
                    if (!acceptPunct(",")) break;
                }
            }
            expectPunct(")");
            l = make("(" + lhs + (negated ? " NOT IN (" : " IN (") + list + "))", ValueType::Bool);
            continue;
        }
        p_ = save;
        if (acceptWord("IS")) {
            countOperator();
            const bool isNot = acceptWord("NOT");
            expectWord("NULL");
            l = make("(" + value(l) + (isNot ? " IS NOT NULL)" : " IS NULL)"), ValueType::Bool);
            continue;
        }
        break;
    }
    return l;
}

Expr Parser::parseConcat() {
    Expr l = parseAdditive();
    if (!peekOp("&") && !peekOp("||")) return l;
    // Jet: Null & "a" is "a"; only all Nulls give Null.
    std::vector<std::string> terms{value(l)};
    while (peekOp("&") || peekOp("||")) {
        countOperator();
        next();
        terms.push_back(value(parseAdditive()));
    }
    return make(chunkedCall("jet_concat", std::move(terms)), ValueType::String);
}

Expr Parser::parseAdditive() {
    Expr l = parseMod();
    bool flat = false;              // l.sql is an unparenthesized chain of + and -
    std::vector<std::string> mixed; // terms of a chain that needs jet_add's rules
    std::string ops;                // their operators, '+' or '-'
    while (peekOp("+") || peekOp("-")) {
        countOperator();
        const bool plus = next().text == "+";
        Expr r = parseMod();
        // Currency with Currency or a whole number stays an exact Currency.
        const bool lc = l.type == ValueType::Currency, rc = r.type == ValueType::Currency;
        if ((lc && (rc || r.integral)) || (rc && l.integral)) {
            if (flat) l.sql = "(" + l.sql + ")";
            flat = false;
            l = currency(std::string(plus ? "jet_cadd(" : "jet_csub(") + counts(l) + ", " +
                         counts(r) + ")");
            continue;
        }
        if (l.type == ValueType::Number && r.type == ValueType::Number) {
            // Flat text, parenthesized once at the end: SQLite's parser reads
            // a + b - c without nesting.
            const bool whole = l.integral && r.integral;
            l = make(l.sql + (plus ? " + " : " - ") + r.sql, ValueType::Number);
            l.integral = whole;
            flat = true;
        } else {
            // Jet adds to dates and joins two texts with +; SQLite only adds
            // numbers, so the mixed cases go to a helper.
            // Once a term is not a number the rest of the chain stays here;
            // its terms are folded left to right by one call per 100 terms
            // instead of one nested call per operator.
            if (flat) l.sql = "(" + l.sql + ")";
            flat = false;
            if (mixed.empty()) mixed.push_back(value(l));
            mixed.push_back(value(r));
            ops += plus ? '+' : '-';
            l = make(mixedChain(mixed, ops), ValueType::Unknown);
        }
    }
    if (flat) l.sql = "(" + l.sql + ")";
    return l;
}

Expr Parser::parseMod() {
    Expr l = parseIntDiv();
    while (acceptWord("MOD")) {
        countOperator();
        Expr r = parseIntDiv();
        l = make("jet_mod(" + value(l) + ", " + value(r) + ")", ValueType::Number);
    }
    return l;
}

Expr Parser::parseIntDiv() {
    Expr l = parseMul();
    while (peekOp("\\")) {
        countOperator();
        next();
        Expr r = parseMul();
        l = make("jet_intdiv(" + value(l) + ", " + value(r) + ")", ValueType::Number);
    }
    return l;
}

Expr Parser::parseMul() {
    Expr l = parseUnary();
    while (peekOp("*") || peekOp("/")) {
        countOperator();
        const bool mul = next().text == "*";
        Expr r = parseUnary();
        const bool lc = l.type == ValueType::Currency, rc = r.type == ValueType::Currency;
        if (mul && lc && rc)
            l = currency("jet_cmulc(" + l.sql + ", " + r.sql + ")");
        else if (mul && ((lc && r.integral) || (rc && l.integral)))
            l = currency("jet_cmul(" + (lc ? l.sql : r.sql) + ", " + value(lc ? r : l) + ")");
        else if (mul)
            l = make("(" + value(l) + " * " + value(r) + ")", ValueType::Number);
        else // Jet's / never truncates (7 / 2 is 3.5) and fails on a zero divisor.
            l = make("jet_div(" + value(l) + ", " + value(r) + ")", ValueType::Number);
    }
    return l;
}

Expr Parser::parseUnary() {
    DepthGuard guard(depth_);
    if (peekOp("-")) {
        next();
        Expr e = parseUnary();
        if (e.type == ValueType::Currency) return currency("(- " + e.sql + ")");
        Expr n = make("(- " + value(e) + ")",
                      e.type == ValueType::Number ? ValueType::Number : ValueType::Unknown);
        n.integral = e.integral;
        if (!e.numberText.empty() && e.numberText[0] != '-') n.numberText = "-" + e.numberText;
        return n;
    }
    if (peekOp("+")) {
        next();
        return parseUnary();
    }
    return parsePow();
}

Expr Parser::parsePow() {
    Expr l = parsePrimary();
    while (peekOp("^")) {
        countOperator();
        next();
        Expr r;
        if (peekOp("-") || peekOp("+")) {
            r = parseUnary();
        } else {
            r = parsePrimary();
        }
        l = make("jet_pow(" + value(l) + ", " + value(r) + ")", ValueType::Number);
    }
    return l;
}

std::string Parser::qualifiedName(const std::string& qualifier, const std::string& column) {
    std::string q = qualifier;
    const auto it = qualifierRewrite_.find(text::toLower(qualifier));
    if (it != qualifierRewrite_.end()) q = it->second;
    return text::quoteName(q) + "." + text::quoteName(column);
}

Expr Parser::parseNameRef() {
    const Token first = next();
    std::vector<std::string> parts{first.value};
    std::string shown = first.value;
    while ((peekPunct(".") || peekPunct("!")) &&
           (peek(1).kind == TokenKind::Word || peek(1).kind == TokenKind::QuotedName)) {
        shown += next().text;
        parts.push_back(next().value);
        shown += parts.back();
    }
    if (parts.size() == 1 && (peekPunct(".") || peekPunct("!"))) {
        next();
        expected("字段名");
    }
    if (auto param = parameterRef(parts, shown)) return *param;
    if (parts.size() > 2) expected("表名.字段名");
    Expr e;
    e.plainColumn = true;
    if (parts.size() == 2) {
        e.sql = qualifiedName(parts[0], parts[1]);
        e.column = parts[1];
        e.qualifier = parts[0];
    } else {
        e.sql = columnName(first.value);
        e.column = first.value;
    }
    typeColumn(e);
    noteRef(e);
    return e;
}

namespace {

std::string nameKey(const std::vector<std::string>& parts) {
    std::string key;
    for (const auto& p : parts)
        key += (key.empty() ? "" : "!") + text::toLower(p);
    return key;
}

enum class ParamType { Text, Integer, Number, Date, Bool };

ParamType paramType(const std::string& typeWord) {
    std::string w;
    for (char c : typeWord) {
        if (!std::isalnum(static_cast<unsigned char>(c))) break;
        w += ascii::upper(c);
    }
    for (const char* t : {"BYTE", "SHORT", "LONG", "INTEGER", "INT", "SMALLINT", "COUNTER",
                          "AUTOINCREMENT", "INTEGER1", "INTEGER2", "INTEGER4", "TINYINT"})
        if (w == t) return ParamType::Integer;
    for (const char* t :
         {"CURRENCY", "MONEY", "IEEESINGLE", "IEEEDOUBLE", "SINGLE", "DOUBLE", "FLOAT", "FLOAT4",
          "FLOAT8", "REAL", "NUMERIC", "DECIMAL", "NUMBER", "VALUE"})
        if (w == t) return ParamType::Number;
    for (const char* t : {"DATETIME", "DATE", "TIME", "TIMESTAMP"})
        if (w == t) return ParamType::Date;
    for (const char* t : {"BIT", "YESNO", "BOOLEAN", "LOGICAL", "LOGICAL1"})
        if (w == t) return ParamType::Bool;
    return ParamType::Text;
}

} // namespace

void Parser::parseParameters() {
    expectWord("PARAMETERS");
    for (;;) {
        if (!isName(peek())) expected("参数名");
        std::vector<std::string> parts{next().value};
        std::string shown = parts.back();
        while ((peekPunct("!") || peekPunct(".")) &&
               (peek(1).kind == TokenKind::Word || peek(1).kind == TokenKind::QuotedName)) {
            shown += next().text;
            parts.push_back(next().value);
            shown += parts.back();
        }
        std::string type;
        int depth = 0;
        while (!atEnd() && (depth > 0 || (!peekPunct(",") && !peekPunct(";")))) {
            if (peekPunct("(")) ++depth;
            if (peekPunct(")")) --depth;
            type += (type.empty() ? "" : " ") + next().text;
        }
        if (type.empty()) expected("参数“" + shown + "”的数据类型");
        declared_.push_back({{shown, type}, nameKey(parts)});
        if (!acceptPunct(",")) break;
    }
    expectPunct(";");
}

std::optional<Expr> Parser::parameterRef(const std::vector<std::string>& parts,
                                         const std::string& shown) {
    const std::string key = nameKey(parts);
    const Declared* decl = nullptr;
    for (const auto& d : declared_)
        if (d.key == key) decl = &d;
    bool isParam = decl != nullptr || parts.size() > 2;
    if (!isParam) {
        const std::string written = parts.size() == 2 ? parts[0] + "." + parts[1] : parts[0];
        for (const auto& u : opt_->undeclared)
            if (text::equalsNoCase(u, written)) isParam = true;
    }
    if (!isParam) return std::nullopt;
    const QueryParameter p = decl ? decl->parameter : QueryParameter{shown, ""};
    bool known = false;
    for (const auto& q : out_.parameters)
        known = known || text::equalsNoCase(q.name, p.name);
    if (!known) out_.parameters.push_back(p);
    for (const auto& [name, value] : opt_->parameterValues)
        if (text::equalsNoCase(name, p.name)) return parameterValue(p, value);
    if (!opt_->listMissing) msg::raise(msg::ParameterMissing, {p.name});
    known = false;
    for (const auto& q : out_.missing)
        known = known || text::equalsNoCase(q.name, p.name);
    if (!known) out_.missing.push_back(p);
    return make("NULL", ValueType::Unknown);
}

// A parameter's value as a literal of its declared type.
Expr Parser::parameterValue(const QueryParameter& p, const std::string& v) const {
    auto bad = [&](const char* kind) { msg::raise(msg::BadParameterValue, {p.name, v, kind}); };
    switch (paramType(p.typeWord)) {
    case ParamType::Integer:
    case ParamType::Number: {
        values::Number n;
        if (!values::parseNumber(v, n)) bad("数字");
        if (paramType(p.typeWord) == ParamType::Integer && !n.isInt) {
            const double r = values::roundHalfEven(n.d, 0);
            if (!(r > -9.2e18 && r < 9.2e18)) bad("整数");
            return make(std::to_string(static_cast<long long>(r)), ValueType::Number);
        }
        if (n.isInt) return make(std::to_string(n.i), ValueType::Number);
        if (!std::isfinite(n.d)) bad("数字");
        return make(values::formatNumber(n.d), ValueType::Number);
    }
    case ParamType::Date: {
        date::DateTime dt;
        if (!date::parse(v, dt) || !date::validRange(dt)) bad("日期/时间");
        return make(text::quoteString(date::canonical(dt)), ValueType::Date);
    }
    case ParamType::Bool: {
        const std::string l = text::toLower(v);
        if (l == "true" || l == "yes" || l == "on" || l == "是" || l == "-1" || l == "1")
            return make("-1", ValueType::Number);
        if (l == "false" || l == "no" || l == "off" || l == "否" || l == "0")
            return make("0", ValueType::Number);
        bad("是/否");
        break;
    }
    case ParamType::Text:
        break;
    }
    Expr e = make(text::quoteString(v), ValueType::String);
    e.literalString = true;
    e.literal = v;
    return e;
}

// A saved query that is no view, read where its name stands.
std::string Parser::inlineSaved(const std::string& name, const std::string& jet) {
    DepthGuard guard(depth_);
    if (inlineDepth_ > 16) syntaxError("查询“" + name + "”引用自身或嵌套过深");
    const StatementKind kind = classify(jet);
    if (kind != StatementKind::Select) msg::raise(msg::NotRowReturning, {name});
    Parser inner(tokenize(jet), out_, opt_);
    inner.useSchema(schema_, true);
    inner.depth_ = depth_;
    inner.inlineDepth_ = inlineDepth_ + 1;
    inner.subqueryCounter_ = subqueryCounter_ + 700;
    if (inner.peekWord("PARAMETERS")) inner.parseParameters();
    std::string sql;
    if (inner.peekWord("TRANSFORM")) {
        sql = inner.crosstabSql();
    } else {
        inner.ctx_.push_back(Context{});
        SelectStatement st = inner.parseSelectStatement();
        sql = inner.selectSql(st);
    }
    if (!inner.atEnd()) syntaxError("查询“" + name + "”末尾有多余的内容：" + inner.near());
    return sql;
}

// Access keeps a crosstab's conditions on totals ("Avg(x) > 10") with its
// other conditions; they hold for each group, so they go to HAVING and the
// rest stays in WHERE.
void Parser::moveAggregateTerms(SelectCore& core) {
    const std::size_t resume = p_;
    std::vector<std::pair<std::size_t, std::size_t>> pending{{core.whereBegin, core.whereEnd}};
    std::vector<std::pair<std::size_t, std::size_t>> terms;
    auto isOpen = [&](std::size_t k) {
        return t_[k].kind == TokenKind::Punct && t_[k].text == "(";
    };
    auto isClose = [&](std::size_t k) {
        return t_[k].kind == TokenKind::Punct && t_[k].text == ")";
    };
    while (!pending.empty()) {
        auto [b, e] = pending.back();
        pending.pop_back();
        std::vector<std::size_t> ands;
        int depth = 0;
        // Wrapped: the first "(" closes at the last token.
        bool wrapped = e > b + 1 && isOpen(b) && isClose(e - 1);
        for (std::size_t k = b; k < e; ++k) {
            if (isOpen(k)) ++depth;
            if (isClose(k) && --depth == 0 && k + 1 < e) wrapped = false;
            if (depth == 0 && isWord(t_[k], "AND")) ands.push_back(k);
        }
        if (ands.empty() && wrapped) {
            pending.emplace_back(b + 1, e - 1);
            continue;
        }
        std::size_t from = b;
        for (std::size_t a : ands) {
            pending.emplace_back(from, a);
            from = a + 1;
        }
        if (!ands.empty()) {
            pending.emplace_back(from, e);
            continue;
        }
        terms.emplace_back(b, e);
    }
    std::string where, having;
    for (auto it = terms.rbegin(); it != terms.rend(); ++it) {
        p_ = it->first;
        ctx_.push_back(Context{});
        const std::string sql = expr().sql;
        const bool aggregate = ctx_.back().aggregate;
        ctx_.pop_back();
        if (p_ != it->second) { // not a whole term: leave the condition as it was
            p_ = resume;
            return;
        }
        std::string& to = aggregate ? having : where;
        to += (to.empty() ? "" : " AND ") + sql;
    }
    p_ = resume;
    core.where = where;
    if (!having.empty())
        core.having = core.having.empty() ? having : "(" + core.having + ") AND " + having;
}

// TRANSFORM aggregate SELECT ... GROUP BY ... [ORDER BY ...] PIVOT expr
// [IN (values)]: one column per pivot value, in the order IN gives or
// sorted, each the aggregate over that value's rows (Null where none).
std::string Parser::crosstabSql() {
    expectWord("TRANSFORM");
    const std::size_t aggregateAt = p_;
    ctx_.push_back(Context{});
    expr();
    ctx_.pop_back();
    // Access names the value ("AS CountOfcol2"); the columns take the
    // pivot values' names instead.
    if (acceptWord("AS")) expectName("别名");
    ctx_.push_back(Context{});
    SelectStatement st = parseSelectStatement();
    ctx_.pop_back();
    if (st.cores.size() != 1 || !st.cores[0].into.empty())
        syntaxError("交叉表查询只能有一个不带 INTO 的 SELECT");
    SelectCore& core = st.cores[0];
    if (core.whereAggregate) moveAggregateTerms(core);
    expectWord("PIVOT");
    ctx_.push_back(Context{});
    const Expr pivot = parseConcat(); // IN after it lists the columns
    ctx_.pop_back();
    const std::string pivotSql = "(" + value(pivot) + ")";
    const std::string collate = textLike(pivot) ? kCollate : "";
    std::vector<std::pair<std::string, std::string>> columns; // literal, heading
    if (acceptWord("IN")) {
        expectPunct("(");
        for (;;) {
            const Token tk = peek();
            Expr v = expr();
            std::string heading = tk.kind == TokenKind::String ? tk.value : tk.text;
            if (tk.kind == TokenKind::Date) {
                date::DateTime dt;
                if (date::parse(tk.value, dt)) heading = format::dateText(dt);
            }
            columns.emplace_back(value(v), heading);
            if (!acceptPunct(",")) break;
        }
        expectPunct(")");
    } else {
        if (!opt_->distinctValues) syntaxError("交叉表查询的列标题要在数据库上才能确定");
        std::string q = "SELECT DISTINCT " + pivotSql + collate + " AS \"__pivot\" " + core.fromSql;
        if (!core.where.empty()) q += " WHERE " + core.where;
        q += " ORDER BY 1";
        for (auto& [literal, heading] : opt_->distinctValues(q)) {
            if (values::looksLikeStoredDate(heading)) {
                date::DateTime dt;
                if (date::parse(heading, dt)) heading = format::dateText(dt);
            }
            columns.emplace_back(literal, literal == "NULL" ? "<>" : heading);
        }
    }
    const std::size_t resume = p_;
    for (const auto& [literal, heading] : columns) {
        const std::string filter = literal == "NULL"
                                       ? "(" + pivotSql + " IS NULL)"
                                       : "(" + pivotSql + " = " + literal + collate + ")";
        pivotFilter_ = filter;
        p_ = aggregateAt;
        ctx_.push_back(Context{});
        const Expr cell = expr();
        ctx_.pop_back();
        pivotFilter_.clear();
        SelectItem item;
        item.sql = "(CASE WHEN count(CASE WHEN " + filter + " THEN 1 END) > 0 THEN " + value(cell) +
                   " END)";
        item.name = heading;
        item.explicitAlias = true;
        core.items.push_back(std::move(item));
    }
    p_ = resume;
    return selectSql(st);
}

Expr Parser::parsePrimary() {
    const Token& tk = peek();
    switch (tk.kind) {
    case TokenKind::Number: {
        Expr e = make(next().value, ValueType::Number);
        e.numberText = e.sql;
        e.integral = !e.sql.empty() && e.sql.find_first_not_of("0123456789") == std::string::npos;
        return e;
    }
    case TokenKind::String: {
        Expr e = make(text::quoteString(tk.value), ValueType::String);
        e.literalString = true;
        e.literal = tk.value;
        next();
        return e;
    }
    case TokenKind::Date: {
        Expr e = make(text::quoteString(tk.value), ValueType::Date);
        next();
        return e;
    }
    case TokenKind::Parameter: {
        next();
        return make(tk.value == "?" ? "?" : tk.text, ValueType::Unknown);
    }
    case TokenKind::Punct:
        if (tk.text == "(") {
            next();
            if (peekWord("SELECT")) {
                std::string sql = subquery();
                expectPunct(")");
                return make("(" + sql + ")", ValueType::Unknown);
            }
            Expr inner = expr();
            expectPunct(")");
            inner.sql = "(" + inner.sql + ")";
            inner.plainColumn = false;
            inner.literalString = false;
            return inner;
        }
        break;
    case TokenKind::QuotedName:
        return parseNameRef();
    case TokenKind::Word: {
        const std::string up = ascii::toUpper(tk.text);
        if (up == "TRUE" || up == "YES" || up == "ON") {
            next();
            return make("-1", ValueType::Number);
        }
        if (up == "FALSE" || up == "NO" || up == "OFF") {
            next();
            return make("0", ValueType::Number);
        }
        if (up == "NULL") {
            next();
            return make("NULL", ValueType::Unknown);
        }
        if (up == "NOT") return parseNot();
        if (up == "EXISTS") {
            next();
            expectPunct("(");
            if (!peekWord("SELECT")) expected("子查询");
            std::string sql = subquery();
            expectPunct(")");
            return make("EXISTS (" + sql + ")", ValueType::Bool);
        }
        // Left( and Right( are calls; LEFT JOIN is never followed by "(".
        if (peekPunct("(", 1) && (!isReservedWord(tk) || findJetFunction(tk.text))) {
            const std::string name = next().text;
            return parseFunction(name);
        }
        if (!isReservedWord(tk)) return parseNameRef();
        break;
    }
    default:
        break;
    }
    expected("表达式");
}

Expr Parser::parseFunction(const std::string& name) {
    const JetFunction* f = findJetFunction(name);
    if (!f) syntaxError("表达式中的函数“" + name + "”未定义");
    expectPunct("(");
    const std::string up = f->jet;
    if (f->aggregate) ctx_.back().aggregate = true;

    // Count(*)
    if (up == "COUNT" && peekOp("*")) {
        next();
        expectPunct(")");
        if (!pivotFilter_.empty())
            return make("count(CASE WHEN " + pivotFilter_ + " THEN 1 END)", ValueType::Number);
        return make("count(*)", ValueType::Number);
    }
    std::string distinct;
    if (f->aggregate && acceptWord("DISTINCT")) distinct = "DISTINCT ";

    std::vector<Expr> args;
    if (f->aggregate) ++ctx_.back().aggregateDepth;
    if (!peekPunct(")")) {
        for (;;) {
            args.push_back(expr());
            if (!acceptPunct(",")) break;
        }
    }
    if (f->aggregate) --ctx_.back().aggregateDepth;
    expectPunct(")");
    const int n = static_cast<int>(args.size());
    // In a crosstab cell an aggregate sees only the rows of its column: most
    // through a value that is Null elsewhere, First and Last (which keep
    // Nulls) by skipping the other rows.
    std::string onlyRows;
    if (f->aggregate && !pivotFilter_.empty() && n == 1) {
        if (up == "FIRST" || up == "LAST")
            onlyRows = ", (CASE WHEN " + pivotFilter_ + " THEN 1 ELSE 0 END)";
        else
            args[0].sql = "(CASE WHEN " + pivotFilter_ + " THEN " + value(args[0]) + " END)";
    }
    // Min and Max of a text expression follow the text order too.
    if ((up == "MIN" || up == "MAX") && n == 1 && textLike(args[0]))
        args[0].sql = "(" + args[0].sql + ")" + kCollate;
    if (n < f->minArgs || n > f->maxArgs || (up == "SWITCH" && n % 2 != 0))
        syntaxError("函数“" + name + "”的参数个数不正确");

    // Currency stays exact through these.
    if (n == 1 && args[0].type == ValueType::Currency) {
        if (up == "SUM" || up == "MIN" || up == "MAX")
            return currency(std::string(f->sqlite) + "(" + distinct + args[0].sql + ")");
        if (up == "FIRST" || up == "LAST")
            return currency(std::string(f->sqlite) + "(" + args[0].sql + onlyRows + ")");
        if (up == "AVG")
            return currency("CAST(round(avg(" + distinct + args[0].sql + ")) AS INTEGER)");
        if (up == "CCUR") return args[0];
        if (up == "ABS") return currency("abs(" + args[0].sql + ")");
    }
    if (up == "CCUR" && n == 1 && schema_) return currency("jet_cscale(" + value(args[0]) + ")");
    if (up == "IIF") {
        const ValueType t = args[1].type == args[2].type ? args[1].type : ValueType::Unknown;
        return make("(CASE WHEN " + args[0].sql + " THEN " + value(args[1]) + " ELSE " +
                        value(args[2]) + " END)",
                    t == ValueType::Bool ? ValueType::Unknown : t);
    }
    if (up == "NZ") {
        // Jet's Nz without a second argument gives an empty text.
        return make("COALESCE(" + value(args[0]) + ", " + (n == 2 ? value(args[1]) : "''") + ")",
                    ValueType::Unknown);
    }
    if (up == "ISNULL") return make("(" + value(args[0]) + " IS NULL)", ValueType::Bool);
    if (up == "SWITCH") {
        std::string sql = "(CASE";
        for (int k = 0; k < n; k += 2)
            sql += " WHEN " + args[k].sql + " THEN " + value(args[k + 1]);
        return make(sql + " END)", ValueType::Unknown);
    }
    if (up == "CHOOSE") {
        std::string sql = "(CASE jet_fix(" + value(args[0]) + ")";
        for (int k = 1; k < n; ++k)
            sql += " WHEN " + std::to_string(k) + " THEN " + value(args[k]);
        return make(sql + " END)", ValueType::Unknown);
    }
    std::string sql = std::string(f->sqlite) + "(" + distinct;
    for (int k = 0; k < n; ++k) {
        if (k) sql += ", ";
        sql += value(args[k]);
    }
    sql += onlyRows + ")";
    return make(sql, f->result);
}

// ---- FROM ----------------------------------------------------------------

namespace {

bool startsWithSelect(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    if (s.size() < i + 7) return false;
    return ascii::toUpper(s.substr(i, 6)) == "SELECT" &&
           std::isspace(static_cast<unsigned char>(s[i + 6]));
}

} // namespace

std::string Parser::bracketedSelect(const std::string& jet) {
    DepthGuard guard(depth_);
    Parser inner(tokenize(jet), out_);
    inner.depth_ = depth_;
    inner.subqueryCounter_ = subqueryCounter_ + 500;
    std::string sql = inner.subquery();
    if (!inner.atEnd()) syntaxError("子查询末尾有多余的内容：" + inner.near());
    return sql;
}

std::unique_ptr<Source> Parser::parseSourcePrimary() {
    auto s = std::make_unique<Source>();
    if (peek().kind == TokenKind::QuotedName && peekPunct(".", 1) &&
        startsWithSelect(peek().value)) {
        // Access 97 and 2000 save a derived table as "[SELECT ...]. AS T".
        s->kind = Source::Kind::Subquery;
        s->sql = bracketedSelect(next().value);
        next();
    } else if (acceptPunct("(")) {
        if (peekWord("SELECT")) {
            s->kind = Source::Kind::Subquery;
            s->sql = subquery();
            expectPunct(")");
        } else {
            s->kind = Source::Kind::Group;
            s->inner = parseJoinChain();
            expectPunct(")");
            return s;
        }
    } else {
        if (!isName(peek())) expected("表名");
        s->kind = Source::Kind::Table;
        s->name = next().value;
        if (s->name.empty()) msg::raise(msg::BadName, {""});
        addTable(s->name);
        if (opt_->savedQuery) {
            if (auto jet = opt_->savedQuery(s->name)) {
                s->kind = Source::Kind::Subquery;
                s->sql = inlineSaved(s->name, *jet);
                s->alias = s->name;
            }
        }
        if (peekWord("IN") && peek(1).kind == TokenKind::String)
            syntaxError("不支持引用外部数据库（IN '" + peek(1).value + "'）");
    }
    if (acceptWord("AS")) {
        if (!isName(peek())) expected("别名");
        s->alias = next().value;
    } else if (isName(peek())) {
        s->alias = next().value;
    }
    if (s->kind == Source::Kind::Subquery && s->alias.empty()) {
        // SQLite names an unaliased derived table itself; Jet gives no name
        // either, so any name is fine as long as it is unique.
        s->alias = "Query" + std::to_string(1000 + subqueryCounter_++);
    }
    return s;
}

std::unique_ptr<Source> Parser::parseJoinChain() {
    DepthGuard guard(depth_);
    auto left = parseSourcePrimary();
    for (int joins = 0;; ++joins) {
        if (joins > kMaxJoins) syntaxError("联接的表太多");
        std::string type;
        if (acceptWord("INNER")) {
            type = "INNER";
        } else if (acceptWord("LEFT")) {
            type = "LEFT";
            acceptWord("OUTER");
        } else if (acceptWord("RIGHT")) {
            type = "RIGHT";
            acceptWord("OUTER");
        } else if (peekWord("FULL")) {
            syntaxError("不支持 FULL JOIN");
        } else if (peekWord("JOIN")) {
            type = "INNER";
        } else {
            break;
        }
        expectWord("JOIN");
        auto right = parseSourcePrimary();
        expectWord("ON");
        Expr cond = expr();
        auto j = std::make_unique<Source>();
        j->kind = Source::Kind::Join;
        j->joinType = type;
        j->left = std::move(left);
        j->right = std::move(right);
        j->on = cond.sql;
        left = std::move(j);
    }
    return left;
}

const Source& unwrap(const Source& s) {
    const Source* p = &s;
    while (p->kind == Source::Kind::Group)
        p = p->inner.get();
    return *p;
}

std::string Parser::emitSource(const Source& src, bool asRight, bool& swapped) {
    const Source& s = unwrap(src);
    switch (s.kind) {
    case Source::Kind::Table: {
        std::string out = text::quoteName(s.name);
        if (!s.alias.empty()) out += " AS " + text::quoteName(s.alias);
        return out;
    }
    case Source::Kind::Subquery:
        return "(" + s.sql + ") AS " + text::quoteName(s.alias);
    case Source::Kind::Join: {
        const Source* l = s.left.get();
        const Source* r = s.right.get();
        std::string type = s.joinType;
        if (type == "RIGHT") {
            // SQLite 3.15 has no RIGHT JOIN: A RIGHT JOIN B is B LEFT JOIN A.
            std::swap(l, r);
            type = "LEFT";
            swapped = true;
        }
        std::string out = emitSource(*l, false, swapped) + " " + type + " JOIN " +
                          emitSource(*r, true, swapped) + " ON " + s.on;
        return asRight ? "(" + out + ")" : out;
    }
    case Source::Kind::Group:
        break;
    }
    return {};
}

void Parser::collectRefs(const Source& src, std::vector<const Source*>& leaves) const {
    const Source& s = unwrap(src);
    if (s.kind == Source::Kind::Join) {
        collectRefs(*s.left, leaves);
        collectRefs(*s.right, leaves);
    } else {
        leaves.push_back(&s);
    }
}

std::string Parser::parseFromList(SelectCore& core) {
    std::string sql;
    bool swapped = false;
    for (;;) {
        core.fromList.push_back(parseJoinChain());
        if (!sql.empty()) sql += ", ";
        sql += emitSource(*core.fromList.back(), false, swapped);
        if (!acceptPunct(",")) break;
    }
    core.swappedRight = swapped;
    return sql;
}

// ---- SELECT --------------------------------------------------------------

std::string Parser::subquery() {
    DepthGuard guard(depth_);
    ctx_.push_back(Context{});
    ++nested_;
    SelectStatement st = parseSelectStatement();
    --nested_;
    ctx_.pop_back();
    for (auto& c : st.cores)
        if (!c.into.empty()) syntaxError("子查询中不能使用 INTO");
    return selectSql(st);
}

SelectCore Parser::parseSelectCore() {
    SelectCore core;
    ctx_.back().aggregate = false;
    ctx_.back().exprCounter = 1000;
    if (acceptWord("TABLE")) {
        // Jet's TABLE name, short for SELECT * FROM name.
        SelectItem star;
        star.sql = "*";
        star.star = true;
        core.items.push_back(star);
        const std::string name = expectName("表名");
        addTable(name);
        core.fromSql = "FROM " + text::quoteName(name);
        auto s = std::make_unique<Source>();
        s->name = name;
        core.fromList.push_back(std::move(s));
        return core;
    }
    expectWord("SELECT");
    for (;;) {
        if (acceptWord("DISTINCT")) {
            core.distinct = true;
        } else if (acceptWord("DISTINCTROW")) {
            core.distinctRow = true;
        } else if (acceptWord("ALL")) {
        } else if (acceptWord("TOP")) {
            if (peek().kind != TokenKind::Number) expected("TOP 之后的数字");
            core.hasTop = true;
            core.top = next().value;
            if (acceptWord("PERCENT")) core.topPercent = true;
        } else {
            break;
        }
    }
    // Select list.
    for (;;) {
        SelectItem item;
        if (peekOp("*")) {
            next();
            item.sql = "*";
            item.star = true;
        } else if ((peek().kind == TokenKind::Word || peek().kind == TokenKind::QuotedName) &&
                   (peekPunct(".", 1) || peekPunct("!", 1)) &&
                   peek(2).kind == TokenKind::Operator && peek(2).text == "*") {
            std::string q = next().value;
            next();
            next();
            item.qualifier = q;
            const auto it = qualifierRewrite_.find(text::toLower(q));
            if (it != qualifierRewrite_.end()) q = it->second;
            item.sql = text::quoteName(q) + ".*";
            item.star = true;
        } else {
            ctx_.back().refs.clear();
            Expr e = expr();
            item.sql = value(e);
            item.rawSql = item.sql; // as GROUP BY writes it
            if (e.type == ValueType::Currency) {
                item.amountSql = item.sql;
                item.sql = e.sql;
            }
            item.refs = std::move(ctx_.back().refs);
            ctx_.back().refs.clear();
            // A text expression keeps Jet's comparison in DISTINCT, UNION and
            // in queries that read this one.
            if (textLike(e)) item.sql = "(" + item.sql + ")" + kCollate;
            if (acceptWord("AS")) {
                if (!isName(peek()) && peek().kind != TokenKind::String) expected("别名");
                item.name = next().value;
                item.explicitAlias = true;
            } else if (isName(peek())) {
                item.name = next().value;
                item.explicitAlias = true;
            } else if (e.plainColumn) {
                item.plainColumn = true;
                item.name = e.column;
                item.qualifier = e.qualifier;
            } else {
                item.name = "Expr" + std::to_string(ctx_.back().exprCounter++);
                item.explicitAlias = true;
            }
        }
        core.items.push_back(std::move(item));
        if (!acceptPunct(",")) break;
    }
    // Counts of 1/10,000 leave only the statement itself, whose reader knows
    // them; a subquery, a saved query's view or an INSERT's SELECT gets amounts.
    if (nested_ > 0 || forView_)
        for (auto& item : core.items)
            if (!item.amountSql.empty()) {
                item.sql = item.amountSql;
                item.amountSql.clear();
                item.explicitAlias = true; // a plain column keeps its name
            }
    // Two plain columns of the same name get their table's name, as Jet names
    // them ("A.ID", "B.ID").
    std::vector<bool> duplicate(core.items.size(), false);
    for (std::size_t i = 0; i < core.items.size(); ++i) {
        const auto& a = core.items[i];
        if (!a.plainColumn || a.qualifier.empty()) continue;
        for (std::size_t j = 0; j < core.items.size(); ++j) {
            const auto& b = core.items[j];
            if (i != j && !b.star && text::equalsNoCase(a.name, b.name)) duplicate[i] = true;
        }
    }
    for (std::size_t i = 0; i < core.items.size(); ++i) {
        if (!duplicate[i]) continue;
        core.items[i].name = core.items[i].qualifier + "." + core.items[i].name;
        core.items[i].explicitAlias = true;
    }
    if (acceptWord("INTO")) {
        core.into = expectName("新表名");
        if (peekWord("IN")) syntaxError("不支持引用外部数据库（IN）");
    }
    if (acceptWord("FROM")) core.fromSql = "FROM " + parseFromList(core);
    if (acceptWord("WHERE")) {
        core.whereBegin = p_;
        const bool before = ctx_.back().aggregate;
        ctx_.back().aggregate = false;
        core.where = expr().sql;
        core.whereAggregate = ctx_.back().aggregate;
        ctx_.back().aggregate = before || core.whereAggregate;
        core.whereEnd = p_;
    }
    if (acceptWord("GROUP")) {
        expectWord("BY");
        for (;;) {
            Expr e = expr();
            if (!core.groupBy.empty()) core.groupBy += ", ";
            core.groupBy += textLike(e) ? "(" + value(e) + ")" + kCollate : value(e);
            e.sql = value(e);
            core.groupTerms.push_back(std::move(e));
            if (!acceptPunct(",")) break;
        }
    }
    if (acceptWord("HAVING")) {
        ctx_.back().refs.clear();
        core.having = expr().sql;
        core.havingRefs = std::move(ctx_.back().refs);
        ctx_.back().refs.clear();
    }
    core.aggregate = ctx_.back().aggregate;
    checkGrouping(core, nullptr);
    applyDistinctRow(core);

    // SELECT * over a RIGHT JOIN written as LEFT JOIN must keep Jet's column
    // order: the sources in the order they were written.
    if (core.swappedRight) {
        std::vector<const Source*> leaves;
        for (const auto& s : core.fromList)
            collectRefs(*s, leaves);
        for (std::size_t i = 0; i < core.items.size(); ++i) {
            if (core.items[i].sql != "*") continue;
            std::string expanded;
            for (const Source* l : leaves) {
                if (!expanded.empty()) expanded += ", ";
                expanded += l->ref() + ".*";
            }
            core.items[i].sql = expanded;
        }
    }
    return core;
}

SelectStatement Parser::parseSelectStatement() {
    SelectStatement st;
    for (;;) {
        if (peekPunct("(")) {
            // (SELECT ...) UNION (SELECT ...): a parenthesised member.
            next();
            std::string sql = subquery();
            expectPunct(")");
            SelectCore c;
            SelectItem star;
            star.sql = "*";
            star.star = true;
            c.items.push_back(star);
            c.fromSql = "FROM (" + sql + ")";
            st.cores.push_back(std::move(c));
        } else {
            st.cores.push_back(parseSelectCore());
        }
        if (acceptWord("UNION")) {
            st.unionOps.push_back(acceptWord("ALL") ? "UNION ALL" : "UNION");
            continue;
        }
        break;
    }
    if (acceptWord("ORDER")) {
        expectWord("BY");
        std::string order;
        ctx_.back().aggregate = false;
        ctx_.back().refs.clear();
        for (;;) {
            Expr e = expr();
            std::string term = value(e);
            if (st.cores.size() > 1 && e.plainColumn) term = columnName(e.column);
            if (textLike(e)) term = "(" + term + ")" + kCollate;
            // A TOP query compares the ordering values again to find ties;
            // there a name of the select list stands for its expression.
            SelectStatement::OrderTerm ot;
            ot.sql = term;
            if (st.cores.size() == 1 && e.plainColumn && e.qualifier.empty()) {
                for (const auto& item : st.cores[0].items)
                    if (item.explicitAlias && !item.star && text::equalsNoCase(item.name, e.column))
                        ot.sql = item.sql;
            }
            // So does a number: Jet, like SQLite, reads it as the position
            // of a field of the select list (ORDER BY 3, 1).
            const auto& items = st.cores.front().items;
            if (st.cores.size() == 1 && e.integral && !e.numberText.empty() &&
                e.numberText.size() < 6 &&
                e.numberText.find_first_not_of("0123456789") == std::string::npos) {
                const std::size_t position = std::stoul(e.numberText);
                const bool star = std::any_of(items.begin(), items.end(),
                                              [](const SelectItem& item) { return item.star; });
                if (!star && position >= 1 && position <= items.size())
                    ot.sql = items[position - 1].sql;
                else
                    ot.position = true;
            }
            if (acceptWord("DESC")) {
                term += " DESC";
                ot.desc = true;
            } else if (acceptWord("ASC")) {
                term += " ASC";
            }
            st.orderTerms.push_back(std::move(ot));
            if (!order.empty()) order += ", ";
            order += term;
            if (!acceptPunct(",")) break;
        }
        std::vector<ColumnRef> orderRefs = std::move(ctx_.back().refs);
        ctx_.back().refs.clear();
        if (st.cores.size() == 1) {
            SelectCore& c = st.cores[0];
            if (ctx_.back().aggregate) c.aggregate = true;
            if (c.aggregate || !c.groupTerms.empty()) {
                c.havingRefs.insert(c.havingRefs.end(), orderRefs.begin(), orderRefs.end());
                checkGrouping(c, &st);
            }
        }
        st.orderBy = "ORDER BY " + order;
    }
    if (acceptWord("WITH")) {
        expectWord("OWNERACCESS");
        expectWord("OPTION");
    }
    return st;
}

std::string Parser::coreSql(const SelectCore& c) {
    std::string sql = "SELECT ";
    if (c.distinct) sql += "DISTINCT ";
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        if (i) sql += ", ";
        sql += c.items[i].sql;
        if (c.items[i].explicitAlias) sql += " AS " + text::quoteName(c.items[i].name);
    }
    if (!c.fromSql.empty()) sql += " " + c.fromSql;
    if (!c.where.empty()) sql += " WHERE " + c.where;
    if (!c.groupBy.empty()) sql += " GROUP BY " + c.groupBy;
    if (!c.having.empty()) sql += " HAVING " + c.having;
    return sql;
}

namespace {

// The number of rows TOP n or TOP n PERCENT asks for, as an SQL expression.
std::string topCount(const std::string& top, bool percent, const std::string& rowsSql) {
    if (!percent) return top;
    // Jet rounds a percentage of rows up.
    const std::string x = "(COUNT(*) * " + top + " / 100.0)";
    return "(SELECT CAST(" + x + " AS INTEGER) + (" + x + " > CAST(" + x + " AS INTEGER)) FROM (" +
           rowsSql + "))";
}

bool sameRef(const ColumnRef& a, const std::string& qualifier, const std::string& column) {
    return text::equalsNoCase(a.column, column) &&
           (a.qualifier.empty() || qualifier.empty() || text::equalsNoCase(a.qualifier, qualifier));
}

std::string refText(const ColumnRef& r) {
    return r.qualifier.empty() ? r.column : r.qualifier + "." + r.column;
}

} // namespace

// Jet refuses a query that groups or aggregates and names a column that is
// neither grouped nor inside an aggregate function: there is no one value
// of it for a group, and SQLite would silently pick any.
void Parser::checkGrouping(const SelectCore& c, const SelectStatement*) const {
    if (!c.aggregate && c.groupTerms.empty()) return;
    auto grouped = [&](const ColumnRef& r) {
        for (const auto& g : c.groupTerms)
            if (g.plainColumn && sameRef(r, g.qualifier, g.column)) return true;
        return false;
    };
    for (const auto& item : c.items) {
        if (item.star) msg::raise(msg::GroupOnStar);
        bool whole = false;
        for (const auto& g : c.groupTerms) {
            if (g.sql == item.rawSql) whole = true;
            // GROUP BY naming the item's alias (SQLite reads it so).
            if (g.plainColumn && g.qualifier.empty() && item.explicitAlias &&
                text::equalsNoCase(g.column, item.name))
                whole = true;
        }
        if (whole) continue;
        for (const auto& r : item.refs)
            if (!grouped(r)) msg::raise(msg::NotInAggregate, {refText(r)});
    }
    for (const auto& r : c.havingRefs) {
        if (grouped(r)) continue;
        bool alias = false;
        for (const auto& item : c.items)
            if (r.qualifier.empty() && !item.star && text::equalsNoCase(item.name, r.column))
                alias = true;
        if (!alias) msg::raise(msg::NotInAggregate, {refText(r)});
    }
}

// DISTINCTROW gives one row per distinct set of records of the tables whose
// fields are selected, not one per row of the join: a customer with ten
// orders comes once when only customer fields are selected. Written as a
// grouping on those tables' row ids. When the select list names all the
// tables, or names a field without its table (which the query alone cannot
// place), the rows are those of the join, as before.
void Parser::applyDistinctRow(SelectCore& c) {
    if (!c.distinctRow || c.distinct || c.aggregate || !c.groupTerms.empty()) return;
    std::vector<const Source*> leaves;
    for (const auto& s : c.fromList)
        collectRefs(*s, leaves);
    if (leaves.size() < 2) return;
    std::vector<const Source*> chosen;
    auto choose = [&](const std::string& qualifier) {
        if (qualifier.empty()) return false;
        const Source* found = nullptr;
        for (const Source* l : leaves)
            if (!l->alias.empty() ? text::equalsNoCase(l->alias, qualifier)
                                  : text::equalsNoCase(l->name, qualifier))
                found = l;
        if (!found || found->kind != Source::Kind::Table) return false;
        if (std::find(chosen.begin(), chosen.end(), found) == chosen.end()) chosen.push_back(found);
        return true;
    };
    for (const auto& item : c.items) {
        if (item.star) {
            // "*" or "T.*"
            const std::string& q = item.qualifier;
            if (!choose(q)) return;
            continue;
        }
        for (const auto& r : item.refs)
            if (!choose(r.qualifier)) return;
    }
    if (chosen.empty() || chosen.size() == leaves.size()) return;
    std::string group;
    for (const Source* l : chosen)
        group += (group.empty() ? "" : ", ") + l->ref() + ".rowid";
    c.groupBy = group;
}

// Jet's TOP n with ORDER BY gives every row tied with the n-th on the
// ordering values (TOP 3 over 1, 2, 5, 5, 5, 7 is five rows). The limit is
// the number of rows that sort at or before the n-th row.
std::string Parser::limitOf(const SelectCore& c, const SelectStatement& st) const {
    if (!c.hasTop) return {};
    const std::string n = topCount(c.top, c.topPercent, coreSql(c));
    // Where a position names a field of *, the ties are not looked for.
    const bool unknownPosition = std::any_of(st.orderTerms.begin(), st.orderTerms.end(),
                                             [](const auto& t) { return t.position; });
    if (st.orderTerms.empty() || st.cores.size() != 1 || unknownPosition) return "LIMIT " + n;
    SelectCore keys;
    keys.distinct = c.distinct;
    if (c.distinct) keys.items = c.items;
    std::string order;
    for (std::size_t i = 0; i < st.orderTerms.size(); ++i) {
        SelectItem k;
        k.sql = st.orderTerms[i].sql;
        k.name = "__k" + std::to_string(i);
        k.explicitAlias = true;
        keys.items.push_back(std::move(k));
        order += std::string(i ? ", " : "") + text::quoteName("__k" + std::to_string(i)) +
                 (st.orderTerms[i].desc ? " DESC" : "");
    }
    keys.fromSql = c.fromSql;
    keys.where = c.where;
    keys.groupBy = c.groupBy;
    keys.having = c.having;
    const std::string keysSql = coreSql(keys);
    // Row a sorts at or before row b.
    std::string atOrBefore;
    for (std::size_t k = st.orderTerms.size(); k-- > 0;) {
        const std::string name = text::quoteName("__k" + std::to_string(k));
        const std::string a = "\"__a\"." + name, b = "\"__b\"." + name;
        const std::string before =
            st.orderTerms[k].desc
                ? "(" + b + " IS NULL AND " + a + " IS NOT NULL OR " + a + " > " + b + ")"
                : "(" + a + " IS NULL AND " + b + " IS NOT NULL OR " + a + " < " + b + ")";
        const std::string equal = "(" + a + " IS " + b + ")";
        atOrBefore = atOrBefore.empty()
                         ? "(" + before + " OR " + equal + ")"
                         : "(" + before + " OR (" + equal + " AND " + atOrBefore + "))";
    }
    const std::string nth = keysSql + " ORDER BY " + order + " LIMIT 1 OFFSET (" + n + ") - 1";
    const std::string upTo = "(SELECT count(*) FROM (" + keysSql + ") AS \"__a\", (" + nth +
                             ") AS \"__b\" WHERE " + atOrBefore + ")";
    return "LIMIT (SELECT CASE WHEN (" + n + ") < 1 THEN 0 ELSE max((" + n + "), " + upTo +
           ") END)";
}

std::string Parser::selectSql(SelectStatement& st, bool withOrder) {
    if (st.cores.size() == 1) {
        SelectCore& c = st.cores[0];
        std::string sql = coreSql(c);
        if (withOrder && !st.orderBy.empty()) sql += " " + st.orderBy;
        static const SelectStatement unordered;
        if (c.hasTop) sql += " " + limitOf(c, withOrder ? st : unordered);
        return sql;
    }
    std::string sql;
    for (std::size_t i = 0; i < st.cores.size(); ++i) {
        SelectCore& c = st.cores[i];
        std::string member = coreSql(c);
        if (c.hasTop)
            member = "SELECT * FROM (" + member + " LIMIT " +
                     topCount(c.top, c.topPercent, coreSql(c)) + ")";
        if (i) sql += " " + st.unionOps[i - 1] + " ";
        sql += member;
    }
    if (withOrder && !st.orderBy.empty()) sql += " " + st.orderBy;
    return sql;
}

void Parser::translateSelect() {
    SelectStatement st = parseSelectStatement();
    for (auto& core : st.cores)
        for (auto& item : core.items) {
            if (item.amountSql.empty()) continue;
            if (st.cores.size() > 1) { // the parts of a UNION must agree
                item.sql = item.amountSql;
                item.amountSql.clear();
                item.explicitAlias = true;
            } else if (!item.plainColumn) {
                out_.currencyColumns.push_back(item.name);
            }
        }
    for (std::size_t i = 1; i < st.cores.size(); ++i)
        if (!st.cores[i].into.empty()) syntaxError("INTO 只能写在第一个 SELECT 中");
    SelectCore& first = st.cores[0];
    out_.kind = first.into.empty() ? StatementKind::Select : StatementKind::SelectInto;
    out_.intoTable = first.into;
    out_.sqlite = selectSql(st);

    SelectShape& sh = out_.shape;
    sh.orderBy = st.orderBy;
    if (st.cores.size() == 1) {
        std::string list;
        for (std::size_t i = 0; i < first.items.size(); ++i) {
            if (i) list += ", ";
            list += first.items[i].sql;
            if (first.items[i].explicitAlias) list += " AS " + text::quoteName(first.items[i].name);
        }
        sh.selectList = list;
        sh.fromClause = first.fromSql;
        if (!first.where.empty()) sh.fromClause += " WHERE " + first.where;
        if (!first.groupBy.empty()) sh.fromClause += " GROUP BY " + first.groupBy;
        if (!first.having.empty()) sh.fromClause += " HAVING " + first.having;
        if (first.hasTop) sh.limit = limitOf(first, st);
        if (first.fromList.size() == 1 && !first.distinct && first.groupBy.empty() &&
            first.having.empty() && !first.aggregate) {
            const Source& s = unwrap(*first.fromList[0]);
            if (s.kind == Source::Kind::Table) {
                sh.singleSource = true;
                sh.sourceName = s.name;
                sh.sourceRef = s.ref();
            }
        }
    } else {
        sh.selectList = "*";
        sh.fromClause = "FROM (" + selectSql(st, false) + ")";
    }
}

// ---- INSERT / UPDATE / DELETE ---------------------------------------------

void Parser::translateInsert() {
    expectWord("INSERT");
    expectWord("INTO");
    const std::string table = expectName("表名");
    if (table.empty()) msg::raise(msg::BadName, {""});
    addTable(table);
    if (peekWord("IN")) syntaxError("不支持引用外部数据库（IN）");
    std::string sql = "INSERT INTO " + text::quoteName(table);
    // The kind of each column written, in order, for exact Currency.
    std::vector<ColumnKind> targets;
    std::vector<std::string> targetNames;
    if (schema_ && !(peekPunct("(") && !peekWord("SELECT", 1)))
        for (const auto& c : schema_->columns(table)) {
            targetNames.push_back(c.first);
            targets.push_back(c.second);
        }
    if (peekPunct("(") && !peekWord("SELECT", 1)) {
        next();
        std::string cols;
        for (;;) {
            std::string col = expectName("字段名");
            if (acceptPunct(".") || acceptPunct("!")) col = expectName("字段名");
            if (schema_) {
                targetNames.push_back(col);
                targets.push_back(schema_->columnKind(table, col));
            }
            if (!cols.empty()) cols += ", ";
            cols += text::quoteName(col);
            if (!acceptPunct(",")) break;
        }
        expectPunct(")");
        sql += " (" + cols + ")";
    }
    if (acceptWord("VALUES")) {
        std::string rows;
        for (;;) {
            expectPunct("(");
            std::string vals;
            for (std::size_t k = 0;; ++k) {
                Expr e = expr();
                if (!vals.empty()) vals += ", ";
                const bool toCurrency = k < targets.size() && targets[k] == ColumnKind::Currency;
                vals +=
                    toCurrency ? counts(e, k < targetNames.size() ? targetNames[k] : "") : value(e);
                if (!acceptPunct(",")) break;
            }
            expectPunct(")");
            if (!rows.empty()) rows += ", ";
            rows += "(" + vals + ")";
            if (!acceptPunct(",")) break;
        }
        sql += " VALUES " + rows;
    } else if (peekWord("SELECT") || peekPunct("(") || peekWord("TABLE")) {
        ctx_.push_back(Context{});
        ++nested_;
        SelectStatement st = parseSelectStatement();
        --nested_;
        ctx_.pop_back();
        // Amounts written to Currency columns become counts.
        if (schema_ && st.cores.size() == 1) {
            auto& items = st.cores[0].items;
            bool star = false;
            for (const auto& it : items)
                star = star || it.star;
            if (!star)
                for (std::size_t i = 0; i < items.size() && i < targets.size(); ++i)
                    if (targets[i] == ColumnKind::Currency)
                        items[i].sql = "jet_cscale(" + items[i].sql + ", " +
                                       text::quoteString(targetNames[i]) + ")";
        }
        sql += " " + selectSql(st);
    } else {
        expected("VALUES 或 SELECT");
    }
    out_.kind = StatementKind::Insert;
    out_.sqlite = sql;
}

namespace {

// Leaves and ON conditions of a FROM made of inner joins only.
bool flattenInner(const Source& src, std::vector<const Source*>& leaves,
                  std::vector<std::string>& conds) {
    const Source& s = unwrap(src);
    if (s.kind != Source::Kind::Join) {
        leaves.push_back(&s);
        return true;
    }
    if (s.joinType != "INNER") return false;
    if (!flattenInner(*s.left, leaves, conds) || !flattenInner(*s.right, leaves, conds))
        return false;
    conds.push_back(s.on);
    return true;
}

std::string leafSql(const Source& s) {
    if (s.kind == Source::Kind::Subquery) return "(" + s.sql + ") AS " + text::quoteName(s.alias);
    std::string out = text::quoteName(s.name);
    if (!s.alias.empty()) out += " AS " + text::quoteName(s.alias);
    return out;
}

const Source* findLeaf(const std::vector<const Source*>& leaves, const std::string& qualifier) {
    if (qualifier.empty()) return leaves.empty() ? nullptr : leaves.front();
    for (const Source* l : leaves) {
        if (!l->alias.empty() ? text::equalsNoCase(l->alias, qualifier)
                              : text::equalsNoCase(l->name, qualifier))
            return l;
    }
    return nullptr;
}

} // namespace

void Parser::translateUpdate() {
    expectWord("UPDATE");
    acceptWord("DISTINCTROW");
    // The first SET target names the table that is written.
    std::string targetQualifier;
    {
        int depth = 0;
        for (std::size_t k = p_; k < t_.size(); ++k) {
            const Token& tk = t_[k];
            if (tk.kind == TokenKind::Punct && tk.text == "(") ++depth;
            if (tk.kind == TokenKind::Punct && tk.text == ")") --depth;
            if (depth == 0 && isWord(tk, "SET")) {
                const Token& a = t_[std::min(k + 1, t_.size() - 1)];
                const Token& b = t_[std::min(k + 2, t_.size() - 1)];
                if ((a.kind == TokenKind::Word || a.kind == TokenKind::QuotedName) &&
                    b.kind == TokenKind::Punct && (b.text == "." || b.text == "!"))
                    targetQualifier = a.value;
                break;
            }
        }
    }
    const std::size_t fromStart = p_;
    std::unique_ptr<Source> from = parseJoinChain();
    std::vector<const Source*> leaves;
    std::vector<std::string> conds;
    const bool inner = flattenInner(*from, leaves, conds);
    if (!inner) syntaxError("UPDATE 中只支持 INNER JOIN 联接");
    const Source* target = findLeaf(leaves, targetQualifier);
    if (!target || target->kind != Source::Kind::Table)
        syntaxError("找不到要更新的表“" + targetQualifier + "”");
    const std::string targetName = target->name;
    if (!target->alias.empty()) {
        // SQLite 3.15 cannot alias the table of an UPDATE: read the FROM
        // again with the alias written as the table's name.
        qualifierRewrite_[text::toLower(target->alias)] = targetName;
        p_ = fromStart;
        from = parseJoinChain();
        leaves.clear();
        conds.clear();
        flattenInner(*from, leaves, conds);
        target = findLeaf(leaves, targetQualifier);
    }
    std::string others;
    for (const Source* l : leaves) {
        if (l == target) continue;
        if (!others.empty()) others += ", ";
        others += leafSql(*l);
    }
    expectWord("SET");
    std::vector<std::pair<std::string, std::string>> sets;
    for (;;) {
        std::string col = expectName("字段名");
        if (acceptPunct(".") || acceptPunct("!")) {
            const std::string q = col;
            col = expectName("字段名");
            const bool ours = text::equalsNoCase(q, targetQualifier) ||
                              text::equalsNoCase(q, targetName) ||
                              (!target->alias.empty() && text::equalsNoCase(q, target->alias));
            if (!ours)
                syntaxError("一条 UPDATE 语句只能更新一个表的字段（“" + q + "." + col + "”）");
        }
        if (!peekOp("=")) expected("“=”");
        next();
        Expr e = expr();
        const bool toCurrency =
            schema_ && schema_->columnKind(targetName, col) == ColumnKind::Currency;
        sets.emplace_back(col, toCurrency ? counts(e, col) : value(e));
        if (!acceptPunct(",")) break;
    }
    std::string where;
    if (acceptWord("WHERE")) where = expr().sql;

    std::string sql = "UPDATE " + text::quoteName(targetName) + " SET ";
    if (others.empty()) {
        for (std::size_t i = 0; i < sets.size(); ++i) {
            if (i) sql += ", ";
            sql += text::quoteName(sets[i].first) + " = " + sets[i].second;
        }
        if (!where.empty()) sql += " WHERE " + where;
    } else {
        std::string cond;
        for (const auto& c : conds)
            cond += (cond.empty() ? "" : " AND ") + c;
        if (!where.empty()) cond += (cond.empty() ? "" : " AND ") + where;
        const std::string tail = " FROM " + others + (cond.empty() ? "" : " WHERE " + cond);
        for (std::size_t i = 0; i < sets.size(); ++i) {
            if (i) sql += ", ";
            sql += text::quoteName(sets[i].first) + " = (SELECT " + sets[i].second + tail +
                   " LIMIT 1)";
        }
        sql += " WHERE EXISTS (SELECT 1" + tail + ")";
    }
    out_.kind = StatementKind::Update;
    out_.sqlite = sql;
}

void Parser::translateDelete() {
    expectWord("DELETE");
    acceptWord("DISTINCTROW");
    std::string targetQualifier;
    if (peekOp("*")) {
        next();
    } else if (!peekWord("FROM")) {
        targetQualifier = expectName("表名");
        if (acceptPunct(".") || acceptPunct("!")) {
            if (!peekOp("*")) expected("“*”");
            next();
        }
    }
    expectWord("FROM");
    SelectCore core;
    const std::string fromSql = parseFromList(core);
    std::string where;
    if (acceptWord("WHERE")) where = expr().sql;
    std::vector<const Source*> leaves;
    for (const auto& s : core.fromList)
        collectRefs(*s, leaves);
    const Source* target = findLeaf(leaves, targetQualifier);
    if (!target || target->kind != Source::Kind::Table)
        syntaxError("找不到要删除记录的表“" + targetQualifier + "”");
    std::string sql = "DELETE FROM " + text::quoteName(target->name);
    if (leaves.size() == 1 && target->alias.empty()) {
        if (!where.empty()) sql += " WHERE " + where;
    } else {
        // Rows of the target that the joined (or aliased) FROM selects.
        sql += " WHERE rowid IN (SELECT " + target->ref() + ".rowid FROM " + fromSql +
               (where.empty() ? "" : " WHERE " + where) + ")";
    }
    out_.kind = StatementKind::Delete;
    out_.sqlite = sql;
}

void Parser::translateStatement() {
    if (atEnd()) {
        out_.kind = StatementKind::Empty;
        return;
    }
    if (peekWord("PARAMETERS")) parseParameters();
    const Token& first = peek();
    if (isName(first) && peek(1).kind == TokenKind::End) {
        const std::string name = first.value;
        if (name.empty()) msg::raise(msg::BadName, {""});
        if (opt_->savedQuery) {
            if (auto jet = opt_->savedQuery(name)) {
                // A saved query that is no view: its own text runs.
                if (inlineDepth_ > 16) syntaxError("查询“" + name + "”引用自身或嵌套过深");
                if (classify(*jet) != StatementKind::Select)
                    msg::raise(msg::NotRowReturning, {name});
                Parser inner(tokenize(*jet), out_, opt_);
                inner.useSchema(schema_, forView_);
                inner.inlineDepth_ = inlineDepth_ + 1;
                inner.translateStatement();
                return;
            }
        }
        next();
        addTable(name);
        out_.kind = StatementKind::BareName;
        out_.sqlite = "SELECT * FROM " + text::quoteName(name);
        out_.shape.singleSource = true;
        out_.shape.sourceName = name;
        out_.shape.sourceRef = text::quoteName(name);
        out_.shape.selectList = "*";
        out_.shape.fromClause = "FROM " + text::quoteName(name);
        return;
    }
    if (peekWord("SELECT") || peekPunct("(") || peekWord("TABLE")) {
        translateSelect();
    } else if (peekWord("INSERT")) {
        translateInsert();
    } else if (peekWord("UPDATE")) {
        translateUpdate();
    } else if (peekWord("DELETE")) {
        translateDelete();
    } else if (peekWord("TRANSFORM")) {
        const std::string sql = crosstabSql();
        out_.kind = StatementKind::Select;
        out_.sqlite = sql;
        out_.shape.selectList = "*";
        out_.shape.fromClause = "FROM (" + sql + ")";
    } else {
        syntaxError("无法识别的语句：“" + first.text + "”");
    }
    if (!atEnd()) syntaxError("语句末尾有多余的内容：" + near());
}

std::string Parser::expressionOnly() {
    Expr e = expr();
    if (!atEnd()) syntaxError("表达式末尾有多余的内容：" + near());
    return e.sql;
}

} // namespace

StatementKind classify(std::string_view jet) {
    std::vector<Token> t = tokenizeImpl(jet, true);
    if (!t.empty() && isWord(t[0], "PARAMETERS")) {
        // The statement after the declarations.
        for (std::size_t i = 1; i + 1 < t.size(); ++i)
            if (t[i].kind == TokenKind::Punct && t[i].text == ";")
                return classify(jet.substr(t[i].offset + 1));
        return StatementKind::Other;
    }
    if (!t.empty() && isWord(t[0], "TRANSFORM")) return StatementKind::Select;
    while (t.size() >= 2 && t[t.size() - 2].kind == TokenKind::Punct && t[t.size() - 2].text == ";")
        t.erase(t.end() - 2);
    std::size_t k = 0;
    while (t[k].kind == TokenKind::Punct && t[k].text == "(")
        ++k;
    const Token& a = t[k];
    const Token& b = t[std::min(k + 1, t.size() - 1)];
    const Token& c = t[std::min(k + 2, t.size() - 1)];
    if (a.kind == TokenKind::End) return StatementKind::Empty;
    if (isWord(a, "SELECT") || isWord(a, "TABLE")) {
        int depth = 0;
        for (std::size_t i = k; i < t.size(); ++i) {
            if (t[i].kind == TokenKind::Punct && t[i].text == "(") ++depth;
            if (t[i].kind == TokenKind::Punct && t[i].text == ")") --depth;
            if (depth <= 0 && (isWord(t[i], "FROM") || isWord(t[i], "UNION"))) break;
            if (depth == 0 && isWord(t[i], "INTO")) return StatementKind::SelectInto;
        }
        return StatementKind::Select;
    }
    if (k > 0) return StatementKind::Other;
    if (isWord(a, "INSERT")) return StatementKind::Insert;
    if (isWord(a, "UPDATE")) return StatementKind::Update;
    if (isWord(a, "DELETE")) return StatementKind::Delete;
    if (isWord(a, "CREATE")) {
        if (isWord(b, "TABLE")) return StatementKind::CreateTable;
        if (isWord(b, "INDEX") || (isWord(b, "UNIQUE") && isWord(c, "INDEX")))
            return StatementKind::CreateIndex;
        if (isWord(b, "PROC") || isWord(b, "PROCEDURE") || isWord(b, "VIEW"))
            return StatementKind::CreateProcedure;
        return StatementKind::Other;
    }
    if (isWord(a, "ALTER"))
        return isWord(b, "TABLE") ? StatementKind::AlterTable : StatementKind::Other;
    if (isWord(a, "DROP")) {
        if (isWord(b, "TABLE")) return StatementKind::DropTable;
        if (isWord(b, "INDEX")) return StatementKind::DropIndex;
        if (isWord(b, "PROC") || isWord(b, "PROCEDURE") || isWord(b, "VIEW"))
            return StatementKind::DropProcedure;
        return StatementKind::Other;
    }
    if (isWord(a, "EXEC") || isWord(a, "EXECUTE")) return StatementKind::Execute;
    if (isName(a) && b.kind == TokenKind::End) return StatementKind::BareName;
    return StatementKind::Other;
}

Translation translate(std::string_view jet) {
    return translate(jet, nullptr);
}

Translation translate(std::string_view jet, const SchemaInfo* schema, bool forView) {
    TranslateOptions options;
    options.schema = schema;
    options.forView = forView;
    return translate(jet, options);
}

Translation translate(std::string_view jet, const TranslateOptions& options) {
    Translation out;
    Parser parser(tokenize(jet), out, &options);
    parser.useSchema(options.schema, options.forView);
    parser.translateStatement();
    return out;
}

std::string queryKindOf(std::string_view jet) {
    const std::vector<Token> t = tokenizeImpl(jet, true);
    const bool parameters = !t.empty() && isWord(t[0], "PARAMETERS");
    std::size_t k = 0;
    if (parameters)
        while (k + 1 < t.size() && !(t[k].kind == TokenKind::Punct && t[k].text == ";"))
            ++k;
    if (parameters && k + 1 < t.size()) ++k;
    std::string kind;
    if (isWord(t[k], "TRANSFORM")) {
        kind = "交叉表查询";
    } else {
        switch (classify(jet)) {
        case StatementKind::Select: {
            bool isUnion = false;
            for (const auto& tk : t)
                isUnion = isUnion || isWord(tk, "UNION");
            kind = isUnion ? "联合查询" : "选择查询";
            break;
        }
        case StatementKind::SelectInto:
            kind = "生成表查询";
            break;
        case StatementKind::Insert:
            kind = "追加查询";
            break;
        case StatementKind::Update:
            kind = "更新查询";
            break;
        case StatementKind::Delete:
            kind = "删除查询";
            break;
        case StatementKind::CreateTable:
        case StatementKind::AlterTable:
        case StatementKind::DropTable:
        case StatementKind::CreateIndex:
        case StatementKind::DropIndex:
            kind = "数据定义查询";
            break;
        default:
            kind = "未知查询";
        }
    }
    return parameters ? kind + "（带参数）" : kind;
}

std::string translateExpression(std::string_view jet) {
    Translation unused;
    Parser parser(tokenize(jet), unused);
    return parser.expressionOnly();
}

std::string renameIdentifier(std::string_view jet, std::string_view oldName,
                             std::string_view newName) {
    const std::vector<Token> t = tokenizeImpl(jet, true);
    std::string out;
    std::size_t last = 0;
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        const Token& tk = t[i];
        if (tk.kind != TokenKind::Word && tk.kind != TokenKind::QuotedName) continue;
        if (!text::equalsNoCase(tk.value, oldName)) continue;
        // A function call keeps its name (Year(x) when a field is named Year).
        if (tk.kind == TokenKind::Word && t[i + 1].kind == TokenKind::Punct &&
            t[i + 1].text == "(" && findJetFunction(tk.text))
            continue;
        out.append(jet.substr(last, tk.offset - last));
        out += "[" + std::string(newName) + "]";
        last = tk.offset + tk.text.size();
    }
    out.append(jet.substr(last));
    return out;
}

std::string renameColumn(std::string_view jet, std::string_view table, std::string_view oldName,
                         std::string_view newName) {
    const std::vector<Token> t = tokenizeImpl(jet, true);
    auto isNameToken = [](const Token& tk) {
        return tk.kind == TokenKind::Word || tk.kind == TokenKind::QuotedName;
    };
    auto isDot = [](const Token& tk) {
        return tk.kind == TokenKind::Punct && (tk.text == "." || tk.text == "!");
    };
    // A name in the place of a table: after FROM, JOIN, UPDATE, INTO,
    // TABLE, or a comma or parenthesis of a FROM list.
    auto isTableRef = [&](std::size_t i) {
        if (i == 0 || !isNameToken(t[i]) || isDot(t[i - 1]) || isDot(t[i + 1])) return false;
        const Token& b = t[i - 1];
        return isWord(b, "FROM") || isWord(b, "JOIN") || isWord(b, "UPDATE") || isWord(b, "INTO") ||
               isWord(b, "TABLE") ||
               (b.kind == TokenKind::Punct && (b.text == "," || b.text == "("));
    };
    // Where the table is read, and the aliases it is read under.
    bool readsTable = false;
    std::vector<std::string> qualifiers{std::string(table)};
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (!isTableRef(i) || !text::equalsNoCase(t[i].value, table)) continue;
        readsTable = true;
        std::size_t a = i + 1;
        if (isWord(t[a], "AS")) ++a;
        if (a + 1 < t.size() && isName(t[a])) qualifiers.push_back(t[a].value);
    }
    if (!readsTable) return std::string(jet);
    auto isQualifier = [&](const std::string& q) {
        for (const auto& n : qualifiers)
            if (text::equalsNoCase(n, q)) return true;
        return false;
    };
    std::string out;
    std::size_t last = 0;
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        const Token& tk = t[i];
        if (!isNameToken(tk) || !text::equalsNoCase(tk.value, oldName)) continue;
        bool rename;
        if (i >= 2 && isDot(t[i - 1]))
            rename = isNameToken(t[i - 2]) && isQualifier(t[i - 2].value);
        else if (isDot(t[i + 1]))
            rename = false; // a table or alias of that name
        else if (tk.kind == TokenKind::Word && t[i + 1].kind == TokenKind::Punct &&
                 t[i + 1].text == "(" && findJetFunction(tk.text))
            rename = false;
        else if (i > 0 && isWord(t[i - 1], "AS"))
            rename = false; // an alias the query gives
        else
            rename = !(isTableRef(i) && text::equalsNoCase(tk.value, table));
        if (!rename) continue;
        out.append(jet.substr(last, tk.offset - last));
        out += "[" + std::string(newName) + "]";
        last = tk.offset + tk.text.size();
    }
    out.append(jet.substr(last));
    return out;
}

} // namespace engine::sql

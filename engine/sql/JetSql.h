#pragma once

// The Jet SQL language: tokenizer, statement classification, translation of
// Jet queries to SQLite SQL, and parsing of Jet DDL into plain structures.
// Pure text work: nothing here touches a database.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace engine::sql {

enum class TokenKind {
    Word,       // keyword or bare identifier (Unicode letters allowed): SELECT, 客户
    QuotedName, // [bracketed] or `backquoted` or "double quoted" name
    String,     // 'text' (or "text" where Jet reads it as a string literal)
    Number,     // 12, 1.5, 1e3, &H1F
    Date,       // #2024-01-31#, value holds 'yyyy-MM-dd HH:mm:ss'
    Parameter,  // ? or :name / @name
    Operator,   // = <> <= >= < > + - * / \ & ^ ||
    Punct,      // ( ) , . ;
    End,
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // exactly as written
    std::string value; // name without brackets, string without quotes (unescaped), canonical date
    std::size_t offset = 0;
};

// Throws EngineError (msg::Syntax) on an unterminated string, name or date.
std::vector<Token> tokenize(std::string_view jet);

// The same without failing, for tools that look at a statement the engine
// has not checked (finding a clause, splitting a script): an unterminated
// string, name or date ends the list, an unreadable date is one Date token
// with an empty value, and a character Jet does not know is passed over.
std::vector<Token> tokenizeLenient(std::string_view jet);

// Jet's reserved words, compared without case: a table or field with such a
// name must be written in brackets.
bool isReservedWord(std::string_view word);

// A table or field name as it goes into a Jet statement: as it is when the
// tokenizer reads it as one name (letters, digits and '_', not starting with
// a digit, not a reserved word), otherwise in brackets: "Orders" stays
// Orders, "Order Details" becomes [Order Details]. With `always`, every
// name is bracketed ([Orders]), as statements shown to the user write them.
std::string quoteJetName(std::string_view name, bool always = false);
// A text literal for a Jet statement: it's -> 'it''s'.
std::string quoteJetString(std::string_view text);

enum class StatementKind {
    Empty,
    Select, // includes UNION and TRANSFORM-free selects
    SelectInto,
    Insert,
    Update,
    Delete,
    CreateTable,
    AlterTable,
    DropTable,
    CreateIndex,
    DropIndex,
    CreateProcedure, // CREATE PROC / PROCEDURE / VIEW
    DropProcedure,   // DROP PROC / PROCEDURE / VIEW
    Execute,         // EXEC / EXECUTE name
    BareName,        // just a table or query name: its rows
    Other,           // anything else (passed to the engine, which refuses it)
};

StatementKind classify(std::string_view jet);

// How a SELECT is built, for the engine's keyset recordsets. All text is
// SQLite SQL.
struct SelectShape {
    // True when the select reads exactly one table or saved query and has no
    // join, DISTINCT, GROUP BY, HAVING, aggregate function or UNION: its rows
    // can be written back by row key.
    bool singleSource = false;
    std::string sourceName; // that table's name as written, without brackets
    std::string sourceRef;  // how to qualify a column of it: its alias, or its quoted name
    std::string selectList; // "*", "\"a\", \"b\" AS \"x\"", ...
    std::string fromClause; // "FROM ... [WHERE ...]" (no ORDER BY, no LIMIT)
    std::string orderBy;    // "ORDER BY ..." or empty
    std::string limit;      // "LIMIT ..." or empty (TOP n, TOP n PERCENT)
};

// What the translator may know of the database's columns, so that Currency
// (stored as an exact count of 1/10,000 units) is computed exactly.
enum class ColumnKind { Unknown, Integer, Currency, Number, Other }; // Number: other numbers

class SchemaInfo {
public:
    virtual ~SchemaInfo() = default;
    // The kind of a table's or saved query's column; Unknown when not known.
    virtual ColumnKind columnKind(const std::string& table, const std::string& column) const = 0;
    // A table's columns in order (for INSERT without a column list).
    virtual std::vector<std::pair<std::string, ColumnKind>>
    columns(const std::string& table) const = 0;
};

// A value the query asks for when it runs: declared with PARAMETERS, or a
// name that is no field of its tables (a form reference
// "Forms!Orders!OrderID" always is one).
struct QueryParameter {
    std::string name;     // as shown when asking for it
    std::string typeWord; // the declared type ("DateTime", "Text"); empty when undeclared
};

// What a statement needs from the database it runs on; all optional.
struct TranslateOptions {
    // Values given for parameters, by name (compared without case). Each is
    // converted to the declared type; an undeclared parameter is text.
    std::vector<std::pair<std::string, std::string>> parameterValues;
    // Names that turned out to be no field: parameters as well. Either
    // "name" or "table.name" as written.
    std::vector<std::string> undeclared;
    // The Jet text of a saved query that is not kept as a view (a parameter
    // or crosstab query), read in its place; nullopt for anything else.
    std::function<std::optional<std::string>(const std::string& name)> savedQuery;
    // Runs a SELECT (SQLite SQL) of one column named "__pivot" and gives
    // each row's value as an SQLite literal (quote()) and as text: the
    // columns of a crosstab without IN.
    std::function<std::vector<std::pair<std::string, std::string>>(const std::string& sqlite)>
        distinctValues;
    // Parameters without a value are listed in Translation::missing (and
    // read as Null) instead of failing.
    bool listMissing = false;
    // The database's columns, for exact Currency; forView: the text of a
    // saved query, whose computed results are given as amounts.
    const SchemaInfo* schema = nullptr;
    bool forView = false;
};

struct Translation {
    StatementKind kind = StatementKind::Empty;
    std::vector<QueryParameter> parameters; // every parameter the statement reads
    std::vector<QueryParameter> missing;    // listMissing: those without a value
    std::string sqlite;                     // the whole statement in SQLite SQL
    SelectShape shape;                      // for Select
    std::string intoTable; // SelectInto: the new table; sqlite then holds the SELECT alone
    std::vector<std::string> tables; // names of tables/queries read or written, without brackets
    // Result columns computed as Currency (counts of 1/10,000), by name;
    // plain table columns are known by their origin.
    std::vector<std::string> currencyColumns;
};

// Translates SELECT, SELECT INTO, INSERT, UPDATE, DELETE and a bare name.
// Throws EngineError (msg::Syntax) for what it cannot read.
Translation translate(std::string_view jet);
// The same, knowing the database's columns: Currency arithmetic stays exact,
// values written to Currency columns are converted to counts. forView: the
// text of a saved query, whose computed results are given as amounts.
Translation translate(std::string_view jet, const SchemaInfo* schema, bool forView = false);
// The same with parameters, saved queries read in place, crosstabs and the
// schema (options.schema, options.forView).
// Throws msg::ParameterMissing for a parameter without a value.
Translation translate(std::string_view jet, const TranslateOptions& options);

// The kind of a saved query from its text, as Access names it ("选择查询",
// "交叉表查询", "更新查询", ...; "选择查询（带参数）" with PARAMETERS).
std::string queryKindOf(std::string_view jet);

// Translates one Jet expression (a DEFAULT value, a condition) to SQLite.
std::string translateExpression(std::string_view jet);

// Replaces every name token equal (case-insensitively) to oldName by newName,
// bracketed; strings and other names are left alone. Used to keep saved
// queries working when a table or column is renamed.
std::string renameIdentifier(std::string_view jet, std::string_view oldName,
                             std::string_view newName);

// Renames a field of one table, for a column rename: a reference qualified
// by the table's name or one of its aliases, and an unqualified reference
// in a statement that reads the table. A statement that does not read the
// table, and fields of other tables with the same name, are left alone (a
// plain renameIdentifier would break queries over other tables).
std::string renameColumn(std::string_view jet, std::string_view table, std::string_view oldName,
                         std::string_view newName);

// ---- DDL ------------------------------------------------------------------

struct TypeSpec {
    std::string word;            // the type word as written, without arguments: "Text", "NUMERIC"
    std::vector<long long> args; // (20) -> {20}; (6,2) -> {6,2}; COUNTER(1,1) -> {1,1}
    std::string written;         // the whole type as written: "Text(20)"
};

struct ColumnDef {
    std::string name;
    TypeSpec type;
    bool notNull = false;
    bool primaryKey = false;
    bool unique = false;
    std::string constraintName;            // CONSTRAINT name before PRIMARY KEY / UNIQUE, if given
    std::optional<std::string> defaultJet; // DEFAULT expression as written
    std::string refTable;                  // REFERENCES table [(columns)] on the column, if given
    std::vector<std::string> refColumns;
};

struct TableConstraint {
    enum class Kind { PrimaryKey, Unique, ForeignKey };
    Kind kind = Kind::PrimaryKey;
    std::string name; // empty when not named
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
};

struct CreateTable {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<TableConstraint> constraints;
};

struct AlterTable {
    enum class Action { AddColumn, AlterColumn, DropColumn, AddConstraint, DropConstraint };
    std::string table;
    Action action = Action::AddColumn;
    ColumnDef column;           // AddColumn, AlterColumn
    TableConstraint constraint; // AddConstraint
    std::string name;           // DropColumn: column; DropConstraint: constraint
};

struct DropTable {
    std::string name;
};

struct CreateIndex {
    std::string name;
    std::string table;
    struct Part {
        std::string column;
        bool descending = false;
    };
    std::vector<Part> columns;
    bool unique = false;
    bool primary = false;      // WITH PRIMARY
    bool disallowNull = false; // WITH DISALLOW NULL
};

struct DropIndex {
    std::string name;
    std::string table;
};

struct CreateProcedure {
    std::string name;
    std::string body;    // the Jet text after AS, trimmed, trailing ';' removed
    bool isView = false; // CREATE VIEW
};

struct DropProcedure {
    std::string name;
    bool isView = false;
};

struct ExecuteProcedure {
    std::string name;
};

using DdlStatement = std::variant<CreateTable, AlterTable, DropTable, CreateIndex, DropIndex,
                                  CreateProcedure, DropProcedure, ExecuteProcedure>;

// Parses a CREATE/ALTER/DROP/EXECUTE statement. Throws EngineError
// (msg::Syntax, or msg::BadName for an empty or malformed name).
DdlStatement parseDdl(std::string_view jet);

} // namespace engine::sql

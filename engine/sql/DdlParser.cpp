// Jet DDL read into plain structures. The engine decides what each type
// word means; this file only reads what was written and refuses names and
// forms Jet refuses.

#include "JetSql.h"
#include "JetText.h"
#include "SqlInternal.h"
#include "TokenCursor.h"

#include "engine/base/Messages.h"

#include <cctype>

namespace engine::sql {

namespace {

class DdlReader : TokenCursor {
public:
    explicit DdlReader(std::string_view jet) : TokenCursor(tokenize(jet)), src_(jet) {}

    DdlStatement parse();

private:
    // A name as Jet accepts it: not empty, at most 64 characters, no
    // leading blank, none of . ! ` [ ] and no control characters.
    std::string name(const std::string& what) {
        const Token& tk = peek();
        if (tk.kind != TokenKind::Word && tk.kind != TokenKind::QuotedName) {
            if (tk.kind == TokenKind::Punct && tk.text == "[") msg::raise(msg::BadName, {"["});
            expected(what);
        }
        next();
        checkName(tk.value);
        return tk.value;
    }
    static void checkName(const std::string& n) {
        bool bad = n.empty() || n.front() == ' ' || text::length(n) > 64;
        for (char c : n) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']') bad = true;
        }
        if (bad) msg::raise(msg::BadName, {n});
    }
    std::vector<std::string> nameList(const std::string& what) {
        expectPunct("(");
        std::vector<std::string> out;
        for (;;) {
            out.push_back(name(what));
            acceptWord("ASC");
            acceptWord("DESC");
            if (!acceptPunct(",")) break;
        }
        expectPunct(")");
        return out;
    }
    std::string textBetween(std::size_t fromToken, std::size_t toToken) const {
        if (toToken <= fromToken) return {};
        const Token& a = t_[fromToken];
        const Token& b = t_[toToken - 1];
        return std::string(src_.substr(a.offset, b.offset + b.text.size() - a.offset));
    }

    TypeSpec typeSpec(const std::string& column);
    ColumnDef columnDef();
    bool atTableConstraint() const;
    TableConstraint tableConstraint();
    void references(std::string& table, std::vector<std::string>& columns);
    void indexOptions();

    CreateTable createTable();
    AlterTable alterTable();
    CreateIndex createIndex(bool unique);
    CreateProcedure createProcedure(bool isView);

    std::string_view src_;
};

TypeSpec DdlReader::typeSpec(const std::string& column) {
    if (peek().kind != TokenKind::Word)
        syntaxError("字段“" + column + "”缺少数据类型（在" + near() + "处）");
    const std::size_t start = p_;
    TypeSpec ts;
    ts.word = next().text;
    if (acceptPunct("(")) {
        for (;;) {
            bool negative = false;
            if (peek().kind == TokenKind::Operator && (peek().text == "-" || peek().text == "+")) {
                negative = next().text == "-";
            }
            if (peek().kind != TokenKind::Number ||
                peek().value.find_first_not_of("0123456789") != std::string::npos)
                expected("数据类型“" + ts.word + "”的整数参数");
            long long v = 0;
            try {
                v = std::stoll(next().value);
            } catch (const std::exception&) {
                syntaxError("数据类型“" + ts.word + "”的参数太大");
            }
            ts.args.push_back(negative ? -v : v);
            if (!acceptPunct(",")) break;
        }
        expectPunct(")");
    }
    ts.written = textBetween(start, p_);
    return ts;
}

void DdlReader::references(std::string& table, std::vector<std::string>& columns) {
    table = name("被引用的表名");
    if (peekPunct("(")) columns = nameList("被引用的字段名");
    // ON UPDATE / ON DELETE CASCADE | SET NULL | NO ACTION
    while (acceptWord("ON")) {
        if (!acceptWord("UPDATE") && !acceptWord("DELETE")) expected("UPDATE 或 DELETE");
        if (acceptWord("CASCADE")) continue;
        if (acceptWord("SET")) {
            expectWord("NULL");
            continue;
        }
        if (acceptWord("NO")) {
            expectWord("ACTION");
            continue;
        }
        expected("CASCADE、SET NULL 或 NO ACTION");
    }
}

ColumnDef DdlReader::columnDef() {
    ColumnDef c;
    c.name = name("字段名");
    c.type = typeSpec(c.name);
    for (;;) {
        if (acceptWord("NOT")) {
            expectWord("NULL");
            c.notNull = true;
        } else if (acceptWord("NULL")) {
            c.notNull = false;
        } else if (acceptWord("PRIMARY")) {
            expectWord("KEY");
            c.primaryKey = true;
        } else if (acceptWord("UNIQUE")) {
            c.unique = true;
        } else if (acceptWord("CONSTRAINT")) {
            c.constraintName = name("约束名");
            if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                c.primaryKey = true;
            } else if (acceptWord("UNIQUE")) {
                c.unique = true;
            } else if (acceptWord("NOT")) {
                expectWord("NULL");
                c.notNull = true;
            } else if (acceptWord("REFERENCES")) {
                references(c.refTable, c.refColumns);
            } else {
                expected("PRIMARY KEY、UNIQUE 或 REFERENCES");
            }
        } else if (acceptWord("REFERENCES")) {
            references(c.refTable, c.refColumns);
        } else if (acceptWord("DEFAULT")) {
            const std::size_t start = p_;
            int depth = 0;
            while (!atEnd()) {
                const Token& tk = peek();
                if (tk.kind == TokenKind::Punct && tk.text == "(") ++depth;
                if (tk.kind == TokenKind::Punct && (tk.text == ")" || tk.text == ",") && depth == 0)
                    break;
                if (depth == 0 && p_ > start &&
                    (isWord(tk, "PRIMARY") || isWord(tk, "UNIQUE") || isWord(tk, "CONSTRAINT") ||
                     isWord(tk, "REFERENCES") || isWord(tk, "NULL") ||
                     (isWord(tk, "NOT") && peekWord("NULL", 1))))
                    break;
                if (tk.kind == TokenKind::Punct && tk.text == ")") --depth;
                next();
            }
            if (p_ == start) expected("默认值");
            c.defaultJet = textBetween(start, p_);
        } else if (acceptWord("WITH")) {
            if (!acceptWord("COMPRESSION") && !acceptWord("COMP")) expected("COMPRESSION");
        } else {
            break;
        }
    }
    return c;
}

bool DdlReader::atTableConstraint() const {
    if (peek().kind != TokenKind::Word) return false;
    if (peekWord("CONSTRAINT")) return true;
    if (peekWord("PRIMARY") && peekWord("KEY", 1)) return true;
    if (peekWord("UNIQUE") && peekPunct("(", 1)) return true;
    if (peekWord("FOREIGN") && peekWord("KEY", 1)) return true;
    return false;
}

void DdlReader::indexOptions() {
    // Jet's index options on a constraint are accepted and have no effect
    // beyond the constraint itself.
    if (acceptWord("WITH")) {
        while (acceptWord("PRIMARY") || acceptWord("IGNORE") || acceptWord("DISALLOW") ||
               acceptWord("NULL")) {
        }
    }
}

TableConstraint DdlReader::tableConstraint() {
    TableConstraint tc;
    if (acceptWord("CONSTRAINT")) tc.name = name("约束名");
    if (acceptWord("PRIMARY")) {
        expectWord("KEY");
        tc.kind = TableConstraint::Kind::PrimaryKey;
        tc.columns = nameList("主键字段名");
    } else if (acceptWord("UNIQUE")) {
        tc.kind = TableConstraint::Kind::Unique;
        tc.columns = nameList("字段名");
    } else if (acceptWord("FOREIGN")) {
        expectWord("KEY");
        tc.kind = TableConstraint::Kind::ForeignKey;
        tc.columns = nameList("字段名");
        expectWord("REFERENCES");
        references(tc.refTable, tc.refColumns);
    } else {
        expected("PRIMARY KEY、UNIQUE 或 FOREIGN KEY");
    }
    indexOptions();
    return tc;
}

CreateTable DdlReader::createTable() {
    CreateTable ct;
    ct.name = name("表名");
    expectPunct("(");
    if (peekPunct(")")) syntaxError("表“" + ct.name + "”至少需要一个字段");
    for (;;) {
        if (atTableConstraint())
            ct.constraints.push_back(tableConstraint());
        else
            ct.columns.push_back(columnDef());
        if (!acceptPunct(",")) break;
    }
    expectPunct(")");
    expectEnd();
    if (ct.columns.empty()) syntaxError("表“" + ct.name + "”至少需要一个字段");
    return ct;
}

AlterTable DdlReader::alterTable() {
    AlterTable at;
    at.table = name("表名");
    if (acceptWord("ADD")) {
        if (peekWord("CONSTRAINT") || (peekWord("PRIMARY") && peekWord("KEY", 1)) ||
            (peekWord("FOREIGN") && peekWord("KEY", 1)) ||
            (peekWord("UNIQUE") && peekPunct("(", 1))) {
            at.action = AlterTable::Action::AddConstraint;
            at.constraint = tableConstraint();
        } else {
            // ADD COLUMN c ... ; a column may itself be named Column only
            // when written with COLUMN first.
            if (peekWord("COLUMN") && peek(1).kind != TokenKind::End && !peekPunct("(", 1)) next();
            at.action = AlterTable::Action::AddColumn;
            at.column = columnDef();
        }
    } else if (acceptWord("ALTER")) {
        acceptWord("COLUMN");
        at.action = AlterTable::Action::AlterColumn;
        at.column = columnDef();
    } else if (acceptWord("DROP")) {
        if (peekWord("CONSTRAINT") && peek(1).kind != TokenKind::End) {
            next();
            at.action = AlterTable::Action::DropConstraint;
            at.name = name("约束名");
        } else {
            if (peekWord("COLUMN") && peek(1).kind != TokenKind::End) next();
            at.action = AlterTable::Action::DropColumn;
            at.name = name("字段名");
        }
    } else {
        expected("ADD、ALTER 或 DROP");
    }
    expectEnd();
    return at;
}

CreateIndex DdlReader::createIndex(bool unique) {
    CreateIndex ci;
    ci.unique = unique;
    ci.name = name("索引名");
    expectWord("ON");
    ci.table = name("表名");
    expectPunct("(");
    for (;;) {
        CreateIndex::Part part;
        part.column = name("字段名");
        if (acceptWord("DESC"))
            part.descending = true;
        else
            acceptWord("ASC");
        ci.columns.push_back(part);
        if (!acceptPunct(",")) break;
    }
    expectPunct(")");
    if (acceptWord("WITH")) {
        bool any = false;
        for (;;) {
            if (acceptWord("PRIMARY")) {
                ci.primary = true;
                ci.unique = true;
            } else if (acceptWord("DISALLOW")) {
                expectWord("NULL");
                ci.disallowNull = true;
            } else if (acceptWord("IGNORE")) {
                expectWord("NULL");
            } else {
                break;
            }
            any = true;
        }
        if (!any) expected("PRIMARY、DISALLOW NULL 或 IGNORE NULL");
    }
    expectEnd();
    return ci;
}

CreateProcedure DdlReader::createProcedure(bool isView) {
    CreateProcedure cp;
    cp.isView = isView;
    cp.name = name(isView ? "视图名" : "查询名");
    if (acceptPunct("(")) {
        // Parameter or column declarations: kept in the body's own text.
        int depth = 1;
        while (!atEnd() && depth > 0) {
            if (peekPunct("(")) ++depth;
            if (peekPunct(")")) --depth;
            next();
        }
        if (depth > 0) expected("“)”");
    }
    expectWord("AS");
    if (atEnd()) syntaxError("“" + cp.name + "”的 AS 之后缺少查询语句");
    std::string body(src_.substr(peek().offset));
    auto trim = [](std::string& s) {
        while (!s.empty() &&
               (std::isspace(static_cast<unsigned char>(s.back())) || s.back() == ';'))
            s.pop_back();
        std::size_t b = 0;
        while (b < s.size() && std::isspace(static_cast<unsigned char>(s[b])))
            ++b;
        s.erase(0, b);
    };
    trim(body);
    if (body.empty()) syntaxError("“" + cp.name + "”的 AS 之后缺少查询语句");
    cp.body = body;
    return cp;
}

DdlStatement DdlReader::parse() {
    if (acceptWord("CREATE")) {
        if (acceptWord("TABLE")) return createTable();
        if (acceptWord("UNIQUE")) {
            expectWord("INDEX");
            return createIndex(true);
        }
        if (acceptWord("INDEX")) return createIndex(false);
        if (acceptWord("PROC") || acceptWord("PROCEDURE")) return createProcedure(false);
        if (acceptWord("VIEW")) return createProcedure(true);
        expected("TABLE、INDEX、PROCEDURE 或 VIEW");
    }
    if (acceptWord("ALTER")) {
        expectWord("TABLE");
        return alterTable();
    }
    if (acceptWord("DROP")) {
        if (acceptWord("TABLE")) {
            DropTable d;
            d.name = name("表名");
            expectEnd();
            return d;
        }
        if (acceptWord("INDEX")) {
            DropIndex d;
            d.name = name("索引名");
            expectWord("ON");
            d.table = name("表名");
            expectEnd();
            return d;
        }
        if (acceptWord("PROC") || acceptWord("PROCEDURE") || acceptWord("VIEW")) {
            DropProcedure d;
            d.isView = isWord(t_[p_ - 1], "VIEW");
            d.name = name(d.isView ? "视图名" : "查询名");
            expectEnd();
            return d;
        }
        expected("TABLE、INDEX、PROCEDURE 或 VIEW");
    }
    if (acceptWord("EXEC") || acceptWord("EXECUTE")) {
        ExecuteProcedure e;
        e.name = name("查询名");
        if (!atEnd()) syntaxError("不支持向查询“" + e.name + "”传递参数");
        return e;
    }
    syntaxError("无法识别的数据定义语句：" + near());
}

} // namespace

DdlStatement parseDdl(std::string_view jet) {
    return DdlReader(jet).parse();
}

} // namespace engine::sql

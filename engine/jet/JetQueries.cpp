// Saved queries: MSysQueries keeps each query as rows of parts (its kind,
// tables, joins, output columns, conditions, ordering); this puts the parts
// back together as Jet SQL text.

#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace engine::jet {

namespace {

// Parts of a stored query, by the value of MSysQueries.Attribute.
enum Attr {
    kType = 1,
    kParameter = 2,
    kFlag = 3,
    kRemoteDb = 4,
    kTable = 5,
    kColumn = 6,
    kJoin = 7,
    kWhere = 8,
    kGroupBy = 9,
    kHaving = 10,
    kOrderBy = 11
};

// Bits of the flag part of a select.
constexpr int kSelectStar = 0x01, kDistinct = 0x02, kOwnerAccess = 0x04, kDistinctRow = 0x08,
              kTop = 0x10, kPercent = 0x20;
// Crosstab column and group parts: the pivot, or an ordinary row heading.
constexpr int kCrosstabPivot = 0x01, kCrosstabNormal = 0x02;
constexpr int kUnionAll = 0x02;

struct Part {
    int attribute = 0;
    std::vector<std::uint8_t> order;
    std::string name1, name2, expression;
    int flag = 0;
    bool hasFlag = false;
};

std::string quoteName(const std::string& n) {
    if (n.empty()) return n;
    bool plain = !(n[0] >= '0' && n[0] <= '9');
    for (unsigned char c : n)
        if (!(std::isalnum(c) || c == '_' || c >= 0x80)) plain = false;
    return plain ? n : "[" + n + "]";
}

const char* parameterType(int code) {
    switch (code) {
    case 1:
        return "Bit";
    case 2:
        return "Byte";
    case 3:
        return "Short";
    case 4:
        return "Long";
    case 5:
        return "Currency";
    case 6:
        return "IEEESingle";
    case 7:
        return "IEEEDouble";
    case 8:
        return "DateTime";
    case 9:
        return "Binary";
    case 10:
        return "Text ( 255 )";
    case 11:
        return "LongBinary";
    case 12:
        return "Memo";
    case 15:
        return "Guid";
    case 16:
        return "Decimal";
    default:
        return "Value";
    }
}

std::string joinList(const std::vector<std::string>& items, const char* sep = ", ") {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += sep;
        out += items[i];
    }
    return out;
}

class Builder {
public:
    explicit Builder(std::vector<Part> parts) : parts_(std::move(parts)) {}

    QueryKind kind() const {
        const Part* t = first(kType);
        switch (t ? t->flag : 0) {
        case 1:
            return QueryKind::Select;
        case 2:
            return QueryKind::MakeTable;
        case 3:
            return QueryKind::Append;
        case 4:
            return QueryKind::Update;
        case 5:
            return QueryKind::Delete;
        case 6:
            return QueryKind::Crosstab;
        case 7:
            return QueryKind::DataDefinition;
        case 8:
            return QueryKind::PassThrough;
        case 9:
            return QueryKind::Union;
        default:
            return QueryKind::Unknown;
        }
    }

    std::string sql() const {
        const Part* type = first(kType);
        const QueryKind k = kind();
        if (k == QueryKind::DataDefinition || k == QueryKind::PassThrough)
            return type ? type->expression : std::string();
        if (k == QueryKind::Unknown) return {};

        std::vector<std::string> lines;
        std::vector<std::string> params;
        for (const Part* p : all(kParameter))
            params.push_back(quoteName(p->name1) + " " + parameterType(p->flag));
        if (!params.empty()) lines.push_back("PARAMETERS " + joinList(params) + ";");

        const std::string target = type ? quoteName(type->name1) : std::string();
        if (k == QueryKind::Union) {
            std::vector<std::string> pieces;
            for (const Part* p : all(kTable)) {
                std::string piece = p->expression;
                while (!piece.empty() && std::isspace(static_cast<unsigned char>(piece.back())))
                    piece.pop_back();
                pieces.push_back(piece);
            }
            const Part* f = first(kFlag);
            const bool unionAll = f && (f->flag & kUnionAll);
            lines.push_back(joinList(pieces, unionAll ? "\nUNION ALL\n" : "\nUNION\n"));
            addOrderBy(lines);
            return finish(lines);
        }
        if (k == QueryKind::Crosstab) {
            for (const Part* c : all(kColumn))
                if ((c->flag & (kCrosstabPivot | kCrosstabNormal)) == 0)
                    lines.push_back("TRANSFORM " + columnText(*c));
        }

        if (k == QueryKind::Update) {
            lines.push_back("UPDATE " + fromClause());
            std::vector<std::string> sets;
            for (const Part* c : all(kColumn))
                sets.push_back(c->name2 + " = " + c->expression);
            lines.push_back("SET " + joinList(sets));
            addCondition(lines, kWhere, "WHERE ");
            return finish(lines);
        }
        if (k == QueryKind::Append) {
            std::vector<std::string> into;
            for (const Part* c : all(kColumn))
                if (!c->name2.empty()) into.push_back(c->name2);
            lines.push_back("INSERT INTO " + target + remoteDb() +
                            (into.empty() ? std::string() : " ( " + joinList(into) + " )"));
        }

        std::string select = k == QueryKind::Delete ? "DELETE " : "SELECT ";
        const Part* f = first(kFlag);
        const int flags = f ? f->flag : 0;
        if (flags & kDistinct) select += "DISTINCT ";
        if (flags & kDistinctRow) select += "DISTINCTROW ";
        if (flags & kTop) {
            select += "TOP " + (f->name1.empty() ? std::string("100") : f->name1) + " ";
            if (flags & kPercent) select += "PERCENT ";
        }
        std::vector<std::string> cols;
        for (const Part* c : all(kColumn)) {
            if (k == QueryKind::Crosstab && (c->flag & kCrosstabNormal) == 0) continue;
            cols.push_back(columnText(*c));
        }
        if (flags & kSelectStar) cols.push_back("*");
        lines.push_back(select + joinList(cols));
        if (k == QueryKind::MakeTable) lines.push_back("INTO " + target + remoteDb());
        const std::string from = fromClause();
        if (!from.empty())
            lines.push_back(
                "FROM " + from +
                (k == QueryKind::Append || k == QueryKind::MakeTable ? std::string() : remoteDb()));
        addCondition(lines, kWhere, "WHERE ");
        std::vector<std::string> groups;
        std::string pivot;
        for (const Part* g : all(kGroupBy)) {
            if (k == QueryKind::Crosstab && (g->flag & kCrosstabPivot))
                pivot = g->expression;
            else
                groups.push_back(g->expression);
        }
        if (!groups.empty()) lines.push_back("GROUP BY " + joinList(groups));
        addCondition(lines, kHaving, "HAVING ");
        addOrderBy(lines);
        if (!pivot.empty()) lines.push_back("PIVOT " + pivot);
        if (flags & kOwnerAccess) lines.push_back("WITH OWNERACCESS OPTION");
        return finish(lines);
    }

private:
    const Part* first(int attribute) const {
        for (const auto& p : parts_)
            if (p.attribute == attribute) return &p;
        return nullptr;
    }
    std::vector<const Part*> all(int attribute) const {
        std::vector<const Part*> out;
        for (const auto& p : parts_)
            if (p.attribute == attribute) out.push_back(&p);
        return out;
    }

    static std::string columnText(const Part& c) {
        return c.name1.empty() ? c.expression : c.expression + " AS " + quoteName(c.name1);
    }

    std::string remoteDb() const {
        const Part* r = first(kRemoteDb);
        if (!r) return {};
        std::string s = " IN '" + r->name1 + "'";
        if (!r->expression.empty()) s += "[" + r->expression + "]";
        return s;
    }

    // Tables, with the joins between them nested the way they were built.
    std::string fromClause() const {
        struct Item {
            std::string text;
            std::vector<std::string> names;
            bool joined = false;
        };
        std::vector<Item> items;
        for (const Part* t : all(kTable)) {
            Item it;
            it.text = quoteName(t->name1);
            if (!t->expression.empty()) it.text += " IN '" + t->expression + "'";
            if (!t->name2.empty()) it.text += " AS " + quoteName(t->name2);
            it.names.push_back(t->name2.empty() ? t->name1 : t->name2);
            items.push_back(std::move(it));
        }
        auto find = [&](const std::string& n) -> int {
            for (std::size_t i = 0; i < items.size(); ++i)
                for (const auto& x : items[i].names)
                    if (equalsNoCase(x, n)) return static_cast<int>(i);
            return -1;
        };
        // Consecutive join parts between the same two tables are one join
        // whose conditions are all required.
        std::vector<Part> joins;
        for (const Part* j : all(kJoin)) {
            if (!joins.empty() && joins.back().name1 == j->name1 &&
                joins.back().name2 == j->name2 && joins.back().flag == j->flag)
                joins.back().expression += " AND " + j->expression;
            else
                joins.push_back(*j);
        }
        for (const Part& j : joins) {
            int l = find(j.name1), r = find(j.name2);
            if (l < 0 || r < 0) continue;
            if (l == r) continue; // both sides already joined: nothing to nest
            const char* word = j.flag == 2   ? " LEFT JOIN "
                               : j.flag == 3 ? " RIGHT JOIN "
                                             : " INNER JOIN ";
            auto wrap = [](const Item& i) { return i.joined ? "(" + i.text + ")" : i.text; };
            Item merged;
            merged.text = wrap(items[l]) + word + wrap(items[r]) + " ON " + j.expression;
            merged.names = items[l].names;
            merged.names.insert(merged.names.end(), items[r].names.begin(), items[r].names.end());
            merged.joined = true;
            items[l] = std::move(merged);
            items.erase(items.begin() + r);
        }
        std::vector<std::string> texts;
        for (const auto& i : items)
            texts.push_back(i.text);
        return joinList(texts);
    }

    void addCondition(std::vector<std::string>& lines, int attribute, const char* word) const {
        const Part* p = first(attribute);
        if (p && !p->expression.empty()) lines.push_back(word + p->expression);
    }

    void addOrderBy(std::vector<std::string>& lines) const {
        std::vector<std::string> keys;
        for (const Part* o : all(kOrderBy))
            keys.push_back(o->expression + (equalsNoCase(o->name1, "D") ? " DESC" : ""));
        if (!keys.empty()) lines.push_back("ORDER BY " + joinList(keys));
    }

    static std::string finish(const std::vector<std::string>& lines) {
        return joinList(lines, "\n") + ";";
    }

    std::vector<Part> parts_;
};

} // namespace

const char* queryKindName(QueryKind kind) {
    switch (kind) {
    case QueryKind::Select:
        return "选择查询";
    case QueryKind::MakeTable:
        return "生成表查询";
    case QueryKind::Append:
        return "追加查询";
    case QueryKind::Update:
        return "更新查询";
    case QueryKind::Delete:
        return "删除查询";
    case QueryKind::Crosstab:
        return "交叉表查询";
    case QueryKind::DataDefinition:
        return "数据定义查询";
    case QueryKind::PassThrough:
        return "传递查询";
    case QueryKind::Union:
        return "联合查询";
    default:
        return "未知查询";
    }
}

std::vector<QueryDef> JetFile::queries() const {
    std::vector<QueryDef> out;
    const CatalogEntry* sys = state_->findTable("MSysQueries");
    bool anyQuery = false;
    for (const auto& e : state_->catalog)
        anyQuery = anyQuery || e.kind == ObjectKind::Query;
    if (!sys || !anyQuery) return out;

    TableDef def = table("MSysQueries");
    const int cObj = def.columnIndex("ObjectId"), cAttr = def.columnIndex("Attribute"),
              cOrder = def.columnIndex("Order"), cName1 = def.columnIndex("Name1"),
              cName2 = def.columnIndex("Name2"), cExpr = def.columnIndex("Expression"),
              cFlag = def.columnIndex("Flag");
    if (cObj < 0 || cAttr < 0)
        corrupt(state_->path, "系统表 MSysQueries 缺少 ObjectId 或 Attribute 字段");

    std::map<std::int32_t, std::vector<Part>> byObject;
    forEachRow("MSysQueries", [&](const std::vector<Value>& row) {
        if (row[cObj].isNullOrEmpty() || row[cAttr].isNullOrEmpty()) return true;
        Part p;
        p.attribute = static_cast<int>(row[cAttr].toInt());
        auto textOf = [&](int c) {
            return c >= 0 && row[c].kind() == Value::Kind::Text ? row[c].text() : std::string();
        };
        if (cOrder >= 0 && row[cOrder].kind() == Value::Kind::Bytes) p.order = row[cOrder].bytes();
        p.name1 = textOf(cName1);
        p.name2 = textOf(cName2);
        p.expression = textOf(cExpr);
        if (cFlag >= 0 && !row[cFlag].isNullOrEmpty()) {
            p.flag = static_cast<int>(row[cFlag].toInt());
            p.hasFlag = true;
        }
        byObject[static_cast<std::int32_t>(row[cObj].toInt())].push_back(std::move(p));
        return true;
    });

    for (const auto& e : state_->catalog) {
        if (e.kind != ObjectKind::Query) continue;
        std::vector<Part> parts = byObject[e.id];
        std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
            if (a.attribute != b.attribute) return a.attribute < b.attribute;
            return a.order < b.order;
        });
        Builder b(std::move(parts));
        out.push_back({e.name, b.kind(), b.sql()});
    }
    return out;
}

} // namespace engine::jet

// Complex columns of ACE files: attachments and multi-value fields.
//
// A complex column holds a key per row. MSysComplexColumns names, by the
// column's complex id, a hidden "flat" table with the values and the type
// table the flat table copies its value columns from; the flat table adds a
// counter of its own and a Long column that links each value to the key.
// An attachment's content is stored with a small header, and deflated
// unless the file's type is already compressed.

#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <zlib.h>

namespace engine::jet {

namespace {

// Rows of a table read in page order, without a cursor of the caller's.
template <typename F> void scan(JetState& s, const TableDef& def, F&& onRow) {
    // A non-owning handle: the cursor lives only inside this call.
    RowCursor rows =
        JetState::makeCursor(std::shared_ptr<JetState>(std::shared_ptr<JetState>(), &s), def);
    std::vector<Value> row;
    while (rows.next(row))
        onRow(row);
}

const CatalogEntry* tableById(const JetState& s, std::int32_t id) {
    const std::uint32_t page = static_cast<std::uint32_t>(id) & 0x00FFFFFFu;
    for (const auto& e : s.catalog)
        if ((e.kind == ObjectKind::Table || e.kind == ObjectKind::SystemTable) &&
            e.tdefPage == page)
            return &e;
    return nullptr;
}

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The file's content from an attachment's stored bytes: a flag (0 stored,
// 1 deflated) and the content's length, then the content, which starts with
// a header of its own length (it repeats the file's type).
std::vector<std::uint8_t> attachmentContent(const std::vector<std::uint8_t>& stored) {
    if (stored.size() < 8) return stored;
    const std::uint32_t flag = le32(stored.data());
    const std::uint32_t length = le32(stored.data() + 4);
    std::vector<std::uint8_t> content;
    if (flag == 0) {
        content.assign(stored.begin() + 8, stored.end());
    } else if (flag == 1) {
        if (length > 1u << 30) return stored;
        content.resize(length);
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return stored;
        z.next_in = const_cast<Bytef*>(stored.data() + 8);
        z.avail_in = static_cast<uInt>(stored.size() - 8);
        z.next_out = content.data();
        z.avail_out = static_cast<uInt>(content.size());
        const int rc = inflate(&z, Z_FINISH);
        content.resize(z.total_out);
        inflateEnd(&z);
        if (rc != Z_STREAM_END && rc != Z_OK && rc != Z_BUF_ERROR) return stored;
    } else {
        return stored; // a form not known: the bytes as they are
    }
    if (content.size() < 4) return content;
    const std::uint32_t header = le32(content.data());
    if (header < 4 || header > content.size()) return content;
    const std::size_t end = std::min<std::size_t>(content.size(), std::max(length, header));
    return {content.begin() + header, content.begin() + static_cast<long>(end)};
}

} // namespace

std::shared_ptr<const JetState::ComplexColumn> JetState::complexColumn(std::int32_t complexId) {
    auto found = complexColumns.find(complexId);
    if (found != complexColumns.end()) return found->second;
    // Remembered before reading, so a damaged file that leads back here
    // does not recurse; forgotten again when reading fails, so the next
    // statement reports the damage too instead of showing bare keys.
    complexColumns[complexId] = nullptr;
    try {
        return loadComplexColumn(complexId);
    } catch (...) {
        complexColumns.erase(complexId);
        throw;
    }
}

std::shared_ptr<const JetState::ComplexColumn> JetState::loadComplexColumn(std::int32_t complexId) {
    const CatalogEntry* columns = findTable("MSysComplexColumns");
    if (!columns) return nullptr;
    const TableDef cc = readTableDef(columns->tdefPage, columns->name);
    const int cId = cc.columnIndex("ComplexID"), cFlat = cc.columnIndex("FlatTableID"),
              cType = cc.columnIndex("ComplexTypeObjectID");
    if (cId < 0 || cFlat < 0 || cType < 0) return nullptr;
    std::int32_t flatId = 0, typeId = 0;
    scan(*this, cc, [&](const std::vector<Value>& r) {
        if (!r[cId].isNullOrEmpty() && r[cId].toInt() == complexId && !r[cFlat].isNullOrEmpty() &&
            !r[cType].isNullOrEmpty()) {
            flatId = static_cast<std::int32_t>(r[cFlat].toInt());
            typeId = static_cast<std::int32_t>(r[cType].toInt());
        }
    });
    const CatalogEntry* flatEntry = tableById(*this, flatId);
    const CatalogEntry* typeEntry = tableById(*this, typeId);
    if (!flatEntry || !typeEntry) return nullptr;
    const TableDef type = readTableDef(typeEntry->tdefPage, typeEntry->name);
    const TableDef flat = readTableDef(flatEntry->tdefPage, flatEntry->name);

    // The link is the Long column that is neither a value column nor the counter.
    int link = -1;
    for (const auto& c : flat.columns)
        if (type.columnIndex(c.name) < 0 && c.jetType == coltype::Long && !c.autoNumber)
            link = c.ordinal;
    if (link < 0) return nullptr;

    auto column = std::make_shared<ComplexColumn>();
    const int name = flat.columnIndex("FileName"), data = flat.columnIndex("FileData"),
              fileType = flat.columnIndex("FileType");
    column->attachment = name >= 0 && data >= 0 && type.columnIndex("FileName") >= 0;
    // A multi-value field's value: the type table's column (the only one).
    int value = -1;
    if (!type.columns.empty()) value = flat.columnIndex(type.columns.front().name);
    if (!column->attachment && value < 0) return nullptr;

    scan(*this, flat, [&](const std::vector<Value>& r) {
        if (r[link].isNullOrEmpty()) return;
        ComplexItem item;
        if (column->attachment) {
            if (!r[name].isNullOrEmpty()) item.text = r[name].toText();
            if (fileType >= 0 && !r[fileType].isNullOrEmpty()) item.fileType = r[fileType].toText();
            if (r[data].kind() == Value::Kind::Bytes)
                item.data = attachmentContent(r[data].bytes());
        } else if (!r[value].isNullOrEmpty()) {
            item.text = r[value].toText();
        }
        column->items[static_cast<std::int32_t>(r[link].toInt())].push_back(std::move(item));
    });
    complexColumns[complexId] = column;
    return column;
}

Value JetState::complexText(const ColumnDef& c, std::int32_t key) {
    const auto column = complexColumn(c.complexId);
    // Without its description the key is all there is to show.
    if (!column) return Value(static_cast<int>(key));
    auto it = column->items.find(key);
    if (it == column->items.end()) return Value(std::string());
    std::string joined;
    for (const auto& item : it->second) {
        if (!joined.empty()) joined += "; ";
        joined += item.text;
    }
    return Value(joined);
}

std::vector<ComplexItem> JetFile::complexItems(const TableDef& table, const std::string& name,
                                               RowId id) const {
    const int i = table.columnIndex(name);
    if (i < 0) engine::msg::raise(engine::msg::UnknownField, {name});
    const ColumnDef& c = table.columns[static_cast<std::size_t>(i)];
    if (c.jetType != coltype::Complex) return {};
    JetState& s = *state_;
    Page home = s.page(id.page);
    ByteView hv = s.view(home);
    if (hv.u8(0) != 0x01 || hv.u32(4) != table.tdefPage)
        engine::msg::raise(engine::msg::BadArgument, {"记录位置不属于表“" + table.name + "”"});
    Page p;
    std::size_t start = 0, end = 0;
    if (!s.locateRow(id.page, id.slot, p, start, end)) engine::msg::raise(engine::msg::RowDeleted);
    const auto row = s.decodeRow(table, s.view(p).sub(start, end - start), true);
    const Value& key = row[static_cast<std::size_t>(i)];
    if (key.isNullOrEmpty()) return {};
    const auto column = s.complexColumn(c.complexId);
    if (!column) return {};
    auto it = column->items.find(static_cast<std::int32_t>(key.toInt()));
    return it == column->items.end() ? std::vector<ComplexItem>{} : it->second;
}

} // namespace engine::jet

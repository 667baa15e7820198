// Reading data rows: the row layout (null mask, fixed part, variable part
// with its offset table and, in Jet 3, its jump table), the value of every
// column type, and long values (memo / OLE) stored outside the row.

#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"
#include "engine/jet/JetTableReader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace engine::jet {

namespace {

constexpr std::uint8_t kPageData = 0x01;

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

// A single-precision value as the shortest decimal that reads back to the
// same float, so 1.1f shows as 1.1 and not 1.10000002384.
double singleValue(float f) {
    if (!std::isfinite(f)) return static_cast<double>(f);
    char buf[32];
    for (int prec = 6; prec <= 9; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*g", prec, static_cast<double>(f));
        if (std::strtof(buf, nullptr) == f) break;
    }
    return std::strtod(buf, nullptr);
}

} // namespace

std::vector<std::uint8_t> JetState::longValue(const ByteView& field) {
    const std::uint32_t head = field.u32(0);
    const std::uint32_t length = head & 0x3FFFFFFFu;
    const std::uint32_t kind = head & 0xC0000000u;
    if (length > fileSize)
        corrupt(path, "备注或 OLE 字段声明的长度 " + num(length) + " 大于整个文件");
    if (kind == 0x80000000u) { // stored inside the row, after the 12-byte header
        return field.sub(12, length).copy();
    }
    std::uint32_t ptr = field.u32(4);
    std::vector<std::uint8_t> out;
    out.reserve(length);
    if (length == 0) return out;
    std::set<std::uint32_t> seen;
    while (out.size() < length) {
        if (ptr == 0)
            corrupt(path, "备注或 OLE 字段的数据链提前结束（应有 " + num(length) +
                              " 字节，只找到 " + num(out.size()) + " 字节）");
        if (!seen.insert(ptr).second) corrupt(path, "备注或 OLE 字段的数据链形成了循环");
        Page p = page(ptr >> 8);
        ByteView pv = view(p);
        if (pv.u8(0) != kPageData)
            corrupt(path, "备注或 OLE 字段指向的第 " + num(ptr >> 8) + " 页不是数据页");
        std::size_t start = 0, end = 0;
        bool deleted = false, overflow = false;
        rowBounds(pv, static_cast<int>(ptr & 0xFF), start, end, deleted, overflow, true);
        ByteView piece = pv.sub(start, end - start);
        if (kind == 0x40000000u) { // one piece on one page
            ByteView data = piece.sub(0, length);
            out.assign(data.data(), data.data() + data.size());
            break;
        }
        // Chained pieces: each starts with the pointer to the next.
        ptr = piece.u32(0);
        const std::size_t take = std::min<std::size_t>(piece.size() - 4, length - out.size());
        out.insert(out.end(), piece.data() + 4, piece.data() + 4 + take);
    }
    return out;
}

void JetState::textInto(std::string& out, const std::uint8_t* data, std::size_t size) const {
    const std::size_t base = out.size();
    if (layout.jet4)
        appendJet4Text(out, data, size);
    else
        out += codePageText(data, size, header.codePage);
    // Some writers end a value with a terminating zero; it is not part of the text.
    while (out.size() > base && out.back() == '\0')
        out.pop_back();
}

void JetState::parseRow(const TableDef& def, const ByteView& row, RowLayout& out) const {
    const bool jet4 = layout.jet4;
    out.row = row;
    const std::size_t rowLen = row.size();
    out.fixedStart = jet4 ? 2 : 1;
    out.columns = jet4 ? row.u16(0) : row.u8(0);
    const std::size_t maskSize = (out.columns + 7) / 8;
    const std::size_t countSize = jet4 ? 2 : 1;
    if (rowLen < out.fixedStart + maskSize + countSize)
        corrupt(path, "表“" + def.name + "”中有一条记录太短（" + num(rowLen) + " 字节）");
    out.maskStart = rowLen - maskSize;

    // Offsets of the variable-length values, one more than there are values
    // so each value ends where the next begins.
    bool hasVar = false;
    for (const auto& c : def.columns)
        if (!c.fixedLength) hasVar = true;
    out.varCount = 0;
    out.varLimit = out.maskStart; // the offset table lies below this
    if (!hasVar) return;
    const std::size_t maskStart = out.maskStart;
    const std::size_t varCount = jet4 ? row.u16(maskStart - 2) : row.u8(maskStart - 1);
    out.varCount = varCount;
    auto& varOff = out.varOff;
    if (jet4) {
        const std::size_t tableBytes = 2 * (varCount + 1);
        if (tableBytes + 2 > maskStart - out.fixedStart)
            corrupt(path, "表“" + def.name + "”中一条记录的可变长度字段表超出了记录范围");
        varOff.resize(varCount + 1);
        for (std::size_t i = 0; i <= varCount; ++i)
            varOff[i] = row.u16(maskStart - 4 - 2 * i);
        out.varLimit = maskStart - 2 - tableBytes;
    } else {
        // One-byte offsets; the jump table says after which values they
        // pass another 256-byte boundary.
        const long long rowEnd = static_cast<long long>(rowLen) - 1;
        long long jumps = (rowLen - 1) / 256;
        const long long colPtr = rowEnd - static_cast<long long>(maskSize) - jumps - 1;
        if (colPtr - static_cast<long long>(varCount) < 0)
            corrupt(path, "表“" + def.name + "”中一条记录的可变长度字段表超出了记录范围");
        if ((colPtr - static_cast<long long>(varCount)) / 256 < jumps) --jumps;
        varOff.resize(varCount + 1);
        long long used = 0;
        for (std::size_t i = 0; i <= varCount; ++i) {
            while (used < jumps &&
                   i == row.u8(static_cast<std::size_t>(rowEnd - maskSize - used - 1)))
                ++used;
            varOff[i] = row.u8(static_cast<std::size_t>(colPtr - i)) + used * 256;
        }
        out.varLimit = static_cast<std::size_t>(colPtr - varCount);
    }
}

void JetState::decodeCell(const TableDef& def, const RowLayout& l, const ColumnDef& c, Cell& out,
                          bool complexKeys) {
    using Kind = Cell::Kind;
    const ByteView& row = l.row;
    auto other = [&](Value v) {
        out.kind = Kind::Other;
        out.other = std::move(v);
    };
    if (c.jetType == coltype::Boolean && !c.calculated) {
        // A Yes/No value is its null-mask bit; a row written before the
        // column existed reads as No.
        out.kind = Kind::Boolean;
        out.integer = l.present(c.columnNumber) ? 1 : 0;
        return;
    }
    out.kind = Kind::Null;
    if (!l.present(c.columnNumber)) return;
    ByteView data(nullptr, 0, &path);
    if (c.fixedLength) {
        std::size_t size = static_cast<std::size_t>(c.size);
        if (c.jetType == coltype::Text && layout.jet4) size *= 2;
        // A complex column keeps its key here, an extended date its text.
        if (c.jetType == coltype::Complex) size = 4;
        if (c.jetType == coltype::ExtDateTime) size = 42;
        const std::size_t off = l.fixedStart + static_cast<std::size_t>(c.fixedOffset);
        if (off + size > l.varLimit)
            corrupt(path, "表“" + def.name + "”字段“" + c.name + "”的值超出了记录范围");
        data = row.sub(off, size);
    } else {
        if (static_cast<std::size_t>(c.varIndex) >= l.varCount) return;
        const std::size_t s = l.varOff[c.varIndex], e = l.varOff[c.varIndex + 1];
        if (s > e || e > l.varLimit || s < l.fixedStart)
            corrupt(path, "表“" + def.name + "”字段“" + c.name + "”的值位置无效（" + num(s) + "–" +
                              num(e) + "）");
        data = row.sub(s, e - s);
    }
    auto setText = [&](const std::uint8_t* p, std::size_t n) {
        out.kind = Kind::Text;
        out.text.clear();
        textInto(out.text, p, n);
    };
    // A calculated value: 16 bytes of its own, its length, the value in
    // the column's type, padding. A memo's result is itself a long value.
    std::vector<std::uint8_t> unwrapped;
    if (c.calculated) {
        if (c.jetType == coltype::Memo || c.jetType == coltype::Ole) {
            unwrapped = longValue(data);
            data = ByteView(unwrapped.data(), unwrapped.size(), &path);
        }
        data = data.sub(20, data.u32(16));
        if (c.jetType == coltype::Memo) {
            setText(data.data(), data.size());
            return;
        }
        if (c.jetType == coltype::Ole) {
            other(Value(data.copy()));
            return;
        }
    }
    switch (c.jetType) {
    case coltype::Boolean: // only a calculated one is stored as a byte
        out.kind = Kind::Boolean;
        out.integer = data.u8(0) != 0 ? 1 : 0;
        break;
    case coltype::Byte:
        out.kind = Kind::Integer;
        out.integer = data.u8(0);
        break;
    case coltype::Integer:
        out.kind = Kind::Integer;
        out.integer = data.i16(0);
        break;
    case coltype::Long:
        out.kind = Kind::Integer;
        out.integer = data.i32(0);
        break;
    case coltype::Complex:
        if (complexKeys) {
            out.kind = Kind::Integer;
            out.integer = data.i32(0);
        } else {
            other(complexText(c, data.i32(0)));
        }
        break;
    case coltype::BigInt:
        out.kind = Kind::Integer;
        out.integer = static_cast<std::int64_t>(data.u64(0));
        break;
    case coltype::Currency:
        out.kind = Kind::Currency;
        out.integer = static_cast<std::int64_t>(data.u64(0));
        break;
    case coltype::Single:
        out.kind = Kind::Double;
        out.real = singleValue(data.f32(0));
        break;
    case coltype::Double:
        out.kind = Kind::Double;
        out.real = data.f64(0);
        break;
    case coltype::DateTime: {
        const double d = data.f64(0);
        char buf[kDateChars + 2];
        if (const std::size_t n = oleDateChars(d, buf)) {
            out.kind = Kind::Date;
            out.text.assign(buf, n);
        } else { // outside the calendar Jet accepts: keep the number
            out.kind = Kind::Double;
            out.real = d;
        }
        break;
    }
    case coltype::ExtDateTime: {
        // Dates in Jet's calendar (years 100 to 9999) are dates; earlier
        // ones keep their day number, as an old date outside it does.
        std::string t;
        double days = 0;
        if (extDateText(data.data(), data.size(), t) && t.compare(0, 4, "0100") >= 0) {
            out.kind = Kind::Date;
            out.text = std::move(t);
        } else if (extDateOleDays(data.data(), data.size(), days)) {
            out.kind = Kind::Double;
            out.real = days;
        } else { // not a date after all: its stored text, rather than nothing
            out.kind = Kind::Text;
            out.text.assign(reinterpret_cast<const char*>(data.data()),
                            strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
        }
        break;
    }
    case coltype::Guid:
        data.need(0, 16, "GUID");
        out.kind = Kind::Text;
        out.text = guidText(data.data());
        break;
    case coltype::Numeric:
        data.need(0, 17, "数值");
        other(numericValue(data.data(), c.scale));
        break;
    case coltype::Text:
        setText(data.data(), data.size());
        break;
    case coltype::Memo: {
        // A memo kept inside the row is read where it lies.
        if (data.size() >= 12 && (data.u32(0) & 0xC0000000u) == 0x80000000u) {
            const std::uint32_t length = data.u32(0) & 0x3FFFFFFFu;
            if (length > fileSize)
                corrupt(path, "备注或 OLE 字段声明的长度 " + num(length) + " 大于整个文件");
            ByteView inRow = data.sub(12, length);
            setText(inRow.data(), inRow.size());
            break;
        }
        std::vector<std::uint8_t> b = longValue(data);
        setText(b.data(), b.size());
        break;
    }
    case coltype::Ole:
        other(Value(longValue(data)));
        break;
    default:
        other(Value(data.copy()));
        break;
    }
}

Value Cell::take() {
    switch (kind) {
    case Kind::Null:
        return Value::null();
    case Kind::Boolean:
        return Value(integer != 0);
    case Kind::Integer:
        return Value(integer);
    case Kind::Double:
        return Value(real);
    case Kind::Currency:
        return Value::currency(integer);
    case Kind::Text:
        return Value(std::move(text));
    case Kind::Date:
        return Value::date(std::move(text));
    case Kind::Other:
        return std::move(other);
    }
    return Value::null();
}

std::vector<Value> JetState::decodeRow(const TableDef& def, const ByteView& row, bool complexKeys) {
    RowLayout l;
    parseRow(def, row, l);
    std::vector<Value> out;
    out.reserve(def.columns.size());
    Cell cell;
    for (const auto& c : def.columns) {
        decodeCell(def, l, c, cell, complexKeys);
        out.push_back(cell.take());
    }
    return out;
}

RowCursor::RowCursor(std::shared_ptr<JetState> state, TableDef def)
    : state_(std::move(state)), def_(std::move(def)) {
    pages_ = state_->usageMapPages(def_.usageMap);
}

bool RowCursor::next(std::vector<Value>& row) {
    JetState& s = *state_;
    while (pageIndex_ < pages_.size()) {
        const std::uint32_t pageNo = pages_[pageIndex_];
        Page p = s.page(pageNo);
        ByteView pv = s.view(p);
        // The map may list pages that were since given to another table.
        if (pv.u8(0) != kPageData || pv.u32(4) != def_.tdefPage) {
            ++pageIndex_;
            slot_ = 0;
            continue;
        }
        const int rows = pv.u16(s.layout.rowCountOffset);
        if (slot_ >= rows) {
            ++pageIndex_;
            slot_ = 0;
            continue;
        }
        const int slot = slot_++;
        std::size_t start = 0, end = 0;
        bool deleted = false, overflow = false;
        if (!s.rowBounds(pv, slot, start, end, deleted, overflow)) continue;
        Page target = p;
        if (overflow && !s.locateRow(pageNo, slot, target, start, end)) continue;
        row = s.decodeRow(def_, s.view(target).sub(start, end - start));
        current_ = {pageNo, static_cast<std::uint16_t>(slot)};
        return true;
    }
    return false;
}

RowCursor JetFile::cursor(const std::string& name) const {
    return JetState::makeCursor(state_, table(name));
}

void JetFile::forEachRow(const std::string& name,
                         const std::function<bool(const std::vector<Value>&)>& onRow) const {
    RowCursor c = cursor(name);
    std::vector<Value> row;
    while (c.next(row))
        if (!onRow(row)) break;
}

std::vector<Value> JetFile::readRow(const TableDef& def, RowId id) const {
    JetState& s = *state_;
    Page home = s.page(id.page);
    ByteView hv = s.view(home);
    if (hv.u8(0) != kPageData || hv.u32(4) != def.tdefPage)
        engine::msg::raise(engine::msg::BadArgument, {"记录位置不属于表“" + def.name + "”"});
    Page p;
    std::size_t start = 0, end = 0;
    if (!s.locateRow(id.page, id.slot, p, start, end)) engine::msg::raise(engine::msg::RowDeleted);
    return s.decodeRow(def, s.view(p).sub(start, end - start));
}

} // namespace engine::jet

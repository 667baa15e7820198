#include "Catalog.h"

#include "core/Database.h"
#include "engine/base/Messages.h"
#include "schema/TableMeta.h"
#include "sqlite/SqliteDb.h"

namespace engine {

template <class T> T& NamedCollection<T>::operator[](int index) {
    if (index < 0 || index >= Count()) msg::raise(msg::FieldNotFound, {std::to_string(index)});
    return items_[static_cast<std::size_t>(index)];
}

template <class T> const T* NamedCollection<T>::find(const std::string& name) const {
    for (const auto& item : items_)
        if (sameName(item.Name(), name)) return &item;
    return nullptr;
}

template <class T> T& NamedCollection<T>::operator[](const std::string& name) {
    for (auto& item : items_)
        if (sameName(item.Name(), name)) return item;
    msg::raise(msg::FieldNotFound, {name});
}

template class NamedCollection<CatalogColumn>;
template class NamedCollection<CatalogKey>;
template class NamedCollection<CatalogIndex>;
template class NamedCollection<CatalogTable>;

void CatalogColumn::SetName(const std::string& newName) {
    db_->renameColumn(table_, name_, newName);
    name_ = newName;
}

Value CatalogColumn::PropertyValue(const std::string& name) const {
    for (const auto& p : properties_)
        if (p.Name == name) return p.Value;
    return {};
}

void CatalogTable::SetName(const std::string& newName) {
    if (type_ != "TABLE") msg::raise(msg::UnknownTable, {name_});
    db_->renameTable(name_, newName);
    name_ = newName;
    load();
}

void CatalogTable::load() {
    columns_.items_.clear();
    keys_.items_.clear();
    indexes_.items_.clear();
    if (type_ == "VIEW") return;
    auto meta = db_->table(name_);
    if (!meta) return;
    for (const auto& c : meta->columns) {
        CatalogColumn col;
        col.db_ = db_;
        col.table_ = meta->name;
        col.name_ = c.name;
        col.type_ = c.type.code;
        col.word_ = c.type.word;
        col.size_ = c.type.size;
        col.precision_ = c.type.precision;
        col.scale_ = c.type.scale;
        const bool hyperlink = sameName(c.type.word, "Hyperlink");
        const bool fixed = c.type.code == adtype::WChar;
        col.properties_ = {
            {"Autoincrement", Value(c.type.autoIncrement)},
            {"Default", c.defaultJet ? Value(*c.defaultJet) : Value()},
            {"Description", Value()},
            {"Nullable", Value(!c.required && !c.type.autoIncrement)},
            {"Fixed Length", Value(fixed)},
            {"Seed", Value(static_cast<std::int64_t>(c.type.seed))},
            {"Increment", Value(static_cast<std::int64_t>(c.type.increment))},
            {"Jet OLEDB:Allow Zero Length", Value(isTextCode(c.type.code))},
            {"Jet OLEDB:Compressed UNICODE Strings", Value(isTextCode(c.type.code))},
            {"Jet OLEDB:Hyperlink", Value(hyperlink)},
        };
        columns_.items_.push_back(std::move(col));
    }
    for (const auto& k : meta->keys) {
        CatalogIndex index;
        index.name_ = k.name;
        index.primary_ = k.type == KeyMeta::Primary;
        index.unique_ = k.unique;
        index.columns_ = k.columns;
        if (k.type != KeyMeta::Foreign) indexes_.items_.push_back(index);
        if (k.type == KeyMeta::Index) continue;
        CatalogKey key;
        key.name_ = k.name;
        key.type_ = k.type;
        key.columns_ = k.columns;
        key.relatedTable_ = k.refTable;
        keys_.items_.push_back(std::move(key));
    }
}

void CatalogTables::Refresh() {
    items_.clear();
    if (!db_) return;
    Recordset schema = db_->schemaTables();
    for (long i = 0; i < schema.RecordCount(); ++i) {
        CatalogTable t;
        t.db_ = db_;
        t.name_ = schema.valueAt(i, 2).text();
        t.type_ = schema.valueAt(i, 3).text();
        t.load();
        items_.push_back(std::move(t));
    }
}

void Catalog::SetActiveConnection(const Connection& connection) {
    auto db = connection.database();
    if (!db) msg::raise(msg::ConnectionClosed);
    connection_ = connection;
    tables_.db_ = db;
    tables_.Refresh();
}

} // namespace engine

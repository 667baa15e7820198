#pragma once

#include "Connection.h"
#include "engine/base/Value.h"

#include <string>
#include <vector>

namespace engine {

class Database;

struct Property {
    std::string Name;
    engine::Value Value;
};

class CatalogColumn {
public:
    const std::string& Name() const { return name_; }
    // Renames the column; saved queries that use it are rewritten.
    void SetName(const std::string& newName);
    int Type() const { return type_; }
    // The type word the column was created with ("Text(20)", "Counter").
    const std::string& TypeWord() const { return word_; }
    long DefinedSize() const { return size_; }
    int Precision() const { return precision_; }
    int NumericScale() const { return scale_; }
    // In a fixed order: Autoincrement, Default, Description, Nullable,
    // Fixed Length, Seed, Increment, Jet OLEDB:Allow Zero Length,
    // Jet OLEDB:Compressed UNICODE Strings, Jet OLEDB:Hyperlink.
    const std::vector<Property>& Properties() const { return properties_; }
    Value PropertyValue(const std::string& name) const; // empty when absent

private:
    friend class CatalogTable;
    std::shared_ptr<Database> db_;
    std::string table_, name_, word_;
    int type_ = 0;
    long size_ = 0;
    int precision_ = 0, scale_ = 0;
    std::vector<Property> properties_;
};

class CatalogKey {
public:
    const std::string& Name() const { return name_; }
    int Type() const { return type_; } // 1 primary, 2 unique, 3 foreign
    const std::vector<std::string>& Columns() const { return columns_; }
    const std::string& RelatedTable() const { return relatedTable_; }

private:
    friend class CatalogTable;
    std::string name_;
    int type_ = 0;
    std::vector<std::string> columns_;
    std::string relatedTable_;
};

class CatalogIndex {
public:
    const std::string& Name() const { return name_; }
    bool PrimaryKey() const { return primary_; }
    bool Unique() const { return unique_; }
    const std::vector<std::string>& Columns() const { return columns_; }

private:
    friend class CatalogTable;
    std::string name_;
    bool primary_ = false, unique_ = false;
    std::vector<std::string> columns_;
};

template <class T> class NamedCollection {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    T& operator[](int index);
    T& operator[](const std::string& name); // case-insensitive; throws when absent
    const T* find(const std::string& name) const;
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    std::vector<T> items_;
};

class CatalogTable {
public:
    const std::string& Name() const { return name_; }
    // Renames the table; saved queries that use it are rewritten.
    void SetName(const std::string& newName);
    const std::string& Type() const { return type_; } // "TABLE", "VIEW", "SYSTEM TABLE"
    NamedCollection<CatalogColumn>& Columns() { return columns_; }
    NamedCollection<CatalogKey>& Keys() { return keys_; }
    NamedCollection<CatalogIndex>& Indexes() { return indexes_; }

private:
    friend class Catalog;
    friend class CatalogTables;
    void load();
    std::shared_ptr<Database> db_;
    std::string name_, type_;
    NamedCollection<CatalogColumn> columns_;
    NamedCollection<CatalogKey> keys_;
    NamedCollection<CatalogIndex> indexes_;
};

class CatalogTables : public NamedCollection<CatalogTable> {
public:
    void Refresh();

private:
    friend class Catalog;
    std::shared_ptr<Database> db_;
};

// The catalogue of a database: its tables with their columns and keys, read
// when the connection is set and again on Tables().Refresh().
class Catalog {
public:
    void SetActiveConnection(const Connection& connection);
    const Connection& ActiveConnection() const { return connection_; }
    CatalogTables& Tables() { return tables_; }

private:
    Connection connection_;
    CatalogTables tables_;
};

} // namespace engine

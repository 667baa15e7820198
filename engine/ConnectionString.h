#pragma once

#include <map>
#include <string>
#include <string_view>

namespace engine {

// A connection string read the way OLE DB reads one: "key=value" pairs split
// on ';', keys compared case-insensitively, blanks around keys and values
// dropped, values optionally quoted with " or ' (a doubled quote inside
// stands for one), unknown keys kept but ignored.
class ConnectionString {
public:
    static ConnectionString parse(std::string_view text); // throws msg::BadConnectionString

    // Empty when the key is absent.
    std::string get(std::string_view key) const;
    bool has(std::string_view key) const;

    std::string provider() const { return get("Provider"); }
    std::string dataSource() const { return get("Data Source"); }
    std::string password() const { return get("Jet OLEDB:Database Password"); }

    // Quotes a value when it needs it (contains ';', a quote, or leading or
    // trailing blanks), so that parse() gives it back unchanged.
    static std::string quoteValue(std::string_view value);

private:
    std::map<std::string, std::string> values_; // keys lower-cased
};

} // namespace engine

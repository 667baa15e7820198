#include "Compact.h"

#include "FileReplace.h"

#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/JetEngine.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace frame {

namespace {

const std::string Provider = "Provider=Microsoft.Jet.OLEDB.4.0;";

std::string openString(const std::string& path, const std::string& password) {
    return Provider + "Data Source=" + engine::ConnectionString::quoteValue(path) +
           ";Jet OLEDB:Database Password=" + engine::ConnectionString::quoteValue(password) + ";";
}

std::string bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        if (c == ']')
            out += "]]";
        else
            out += c;
    }
    return out + "]";
}

// Tables with their row counts and saved queries of a database, to compare
// the compacted copy with the original.
std::map<std::string, long> contents(const std::string& path, const std::string& password) {
    engine::Connection c;
    c.Open(openString(path, password));
    std::map<std::string, long> found;
    std::vector<std::string> tables;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext()) {
        const std::string type = rs["TABLE_TYPE"].GetValue().toText();
        const std::string name = rs["TABLE_NAME"].GetValue().toText();
        if (type == "TABLE")
            tables.push_back(name);
        else if (type == "VIEW")
            found["view:" + name] = 0;
    }
    for (const std::string& t : tables) {
        auto rs = c.Execute("select count(*) from " + bracketed(t));
        found["table:" + t] = static_cast<long>(rs[0].GetValue().toInt());
    }
    c.Close();
    return found;
}

} // namespace

CompactStrings compactConnectionStrings(const std::string& path, const std::string& temporary,
                                        const std::string& oldPassword,
                                        const std::string& newPassword) {
    using engine::ConnectionString;
    return {Provider + "Data Source=" + ConnectionString::quoteValue(path) +
                ";Jet OLEDB:Database Password= " + ConnectionString::quoteValue(oldPassword),
            Provider + "Data Source= " + ConnectionString::quoteValue(temporary) +
                ";Jet OLEDB:Database Password= " + ConnectionString::quoteValue(newPassword)};
}

std::string compactTemporaryPath(const std::string& path) {
    return freshSibling(path, ".mdb");
}

void compactInPlace(const std::string& path, const std::string& oldPassword,
                    const std::string& newPassword) {
    const std::string temporary = compactTemporaryPath(path);
    const CompactStrings strings =
        compactConnectionStrings(path, temporary, oldPassword, newPassword);
    try {
        // The source is read first: a wrong old password fails here, before
        // anything is written.
        const auto before = contents(path, oldPassword);
        engine::JetEngine().CompactDatabase(strings.source, strings.destination);
        const auto after = contents(temporary, newPassword);
        if (after != before) {
            std::string which;
            for (const auto& [name, rows] : before) {
                auto it = after.find(name);
                if (it == after.end() || it->second != rows) {
                    which = name.substr(name.find(':') + 1);
                    break;
                }
            }
            throw std::runtime_error("压缩后的副本与原数据库不一致（" +
                                     (which.empty() ? std::string("多出对象") : "“" + which + "”") +
                                     "），原数据库未作改动。");
        }
        std::string why;
        if (!replaceFile(temporary, path, &why))
            throw std::runtime_error("无法用压缩后的副本替换原数据库：" + why +
                                     "。原数据库未作改动。");
    } catch (...) {
        removeQuietly(temporary);
        removeQuietly(temporary + "-journal");
        throw;
    }
}

} // namespace frame

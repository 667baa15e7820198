#pragma once

// Runs the mdbtools command-line readers as an independent second opinion on
// the sample files, and parses what they print.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace jetdiff {

// The full path of a program found on PATH, or "" when there is none.
inline std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::filesystem::path candidate =
            std::filesystem::path(dirs.substr(start, end - start)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return {};
}

struct Output {
    int status = -1; // exit code, -1 when the program could not run or was killed
    std::string out;
};

// Runs `args` (args[0] looked up on PATH) and collects its standard output;
// standard error goes to /dev/null.
inline Output run(const std::vector<std::string>& args) {
    Output result;
    int fds[2];
    if (::pipe(fds) != 0) return result;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        if (FILE* null = std::fopen("/dev/null", "w")) ::dup2(fileno(null), STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0)
            result.out.append(buf, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return result;
}

// One field of mdb-export's CSV: its text and whether it was quoted (text,
// dates and binary are; numbers and the null marker are not).
struct CsvField {
    std::string text;
    bool quoted = false;
};
using CsvRow = std::vector<CsvField>;

// Parses CSV with ',' between fields, '\n' between rows, '"' quotes doubled
// inside quoted fields. Quoted fields may hold any byte, newlines included.
inline std::vector<CsvRow> parseCsv(const std::string& s) {
    std::vector<CsvRow> rows;
    CsvRow row;
    CsvField field;
    bool any = false; // something was read on the current row
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"' && field.text.empty() && !field.quoted) {
            field.quoted = true;
            any = true;
            ++i;
            while (i < s.size()) {
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        field.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.text += s[i++];
            }
        } else if (c == ',') {
            row.push_back(std::move(field));
            field = {};
            any = true;
            ++i;
        } else if (c == '\n') {
            if (any || !field.text.empty()) row.push_back(std::move(field));
            rows.push_back(std::move(row));
            row = {};
            field = {};
            any = false;
            ++i;
        } else {
            field.text += c;
            any = true;
            ++i;
        }
    }
    if (any || !field.text.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

// A column as mdb-schema's default (Access) output writes it.
struct SchemaColumn {
    std::string name;
    std::string type; // "Text (50)", "Long Integer", "Numeric (18, 0)", ...
};

// The CREATE TABLE statements of mdb-schema's output, table by table.
inline std::vector<std::pair<std::string, std::vector<SchemaColumn>>>
parseSchema(const std::string& s) {
    std::vector<std::pair<std::string, std::vector<SchemaColumn>>> tables;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t end = s.find('\n', pos);
        if (end == std::string::npos) end = s.size();
        std::string line = s.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("CREATE TABLE [", 0) == 0) {
            tables.push_back({line.substr(14, line.rfind(']') - 14), {}});
        } else if (!tables.empty() && line.size() > 2 && line[0] == '\t' && line[1] == '[') {
            const std::size_t close = line.find("]\t");
            if (close == std::string::npos) continue;
            SchemaColumn col;
            col.name = line.substr(2, close - 2);
            std::string type = line.substr(close + 1);
            while (!type.empty() && (type.front() == '\t' || type.front() == ' '))
                type.erase(0, 1);
            while (!type.empty() && (type.back() == ',' || type.back() == ' '))
                type.pop_back();
            const std::string notNull = " NOT NULL";
            if (type.size() > notNull.size() &&
                type.compare(type.size() - notNull.size(), notNull.size(), notNull) == 0)
                type.resize(type.size() - notNull.size());
            col.type = type;
            tables.back().second.push_back(std::move(col));
        }
    }
    return tables;
}

inline std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t end = s.find('\n', pos);
        if (end == std::string::npos) end = s.size();
        if (end > pos) out.push_back(s.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

} // namespace jetdiff

#include "SqlText.h"

#include "engine/base/Ascii.h"
#include "engine/sql/JetSql.h"

#include <QByteArray>

namespace datawin {

QString beforeOrderBy(const QString& sql) {
    // The engine's tokenizer reads quoted texts, bracketed names and dates,
    // so the two words are found only where they are SQL.
    using engine::sql::Token;
    using engine::sql::TokenKind;
    const QByteArray utf8 = sql.toUtf8();
    const auto tokens =
        engine::sql::tokenizeLenient(std::string_view(utf8.constData(), utf8.size()));
    auto isWord = [](const Token& t, std::string_view word) {
        return t.kind == TokenKind::Word && engine::ascii::equalsNoCase(t.text, word);
    };
    int depth = 0;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == TokenKind::Punct && t.text == "(") {
            ++depth;
        } else if (t.kind == TokenKind::Punct && t.text == ")") {
            if (depth > 0) --depth;
        } else if (depth == 0 && isWord(t, "order") && isWord(tokens[i + 1], "by")) {
            return QString::fromUtf8(utf8.constData(), static_cast<qsizetype>(t.offset));
        }
    }
    return sql;
}

} // namespace datawin

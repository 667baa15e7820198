#include "SqlName.h"

#include "engine/sql/JetSql.h"

namespace dbconn {

QString StripQuerySuffix(const QString& entry) {
    QString name = entry;
    name.remove(QuerySuffix, Qt::CaseSensitive);
    return name;
}

QString SqlName(const QString& name) {
    // Already bracketed names pass through, so the helper can be applied twice.
    if (name.size() > 2 && name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        return name;
    return QString::fromStdString(engine::sql::quoteJetName(name.toStdString()));
}

QString SqlBracketedName(const QString& name) {
    return QString::fromStdString(engine::sql::quoteJetName(name.toStdString(), true));
}

QString SqlLiteral(const QString& text) {
    return QString::fromStdString(engine::sql::quoteJetString(text.toStdString()));
}

QString SelectAllFrom(const QString& name) {
    return QStringLiteral("select * from ") + SqlName(name);
}

} // namespace dbconn

#include "FieldTypes.h"

#include "engine/Catalog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace designer {

const QStringList& newColumnTypeWords() {
    static const QStringList words = {
        QStringLiteral("Text(20)"),     QStringLiteral("Text(50)"),     QStringLiteral("Memo"),
        QStringLiteral("Long"),         QStringLiteral("Single"),       QStringLiteral("Double"),
        QStringLiteral("Time"),         QStringLiteral("Money"),        QStringLiteral("Counter"),
        QStringLiteral("Binary"),       QStringLiteral("Byte"),         QStringLiteral("Bit"),
        QStringLiteral("NUMERIC(6,2)"), QStringLiteral("NUMERIC(6,6)"), QStringLiteral("Hyperlink"),
    };
    return words;
}

const QStringList& changedColumnTypeWords() {
    static const QStringList words = [] {
        QStringList w = newColumnTypeWords();
        w.removeAll(QStringLiteral("Counter"));
        w.removeAll(QStringLiteral("Hyperlink"));
        return w;
    }();
    return words;
}

namespace {

struct TypeRow {
    int code;
    const char* word;
    const char* label;
};

// ADOX type codes the designer names; every other code is listed as text.
constexpr TypeRow typeRows[] = {
    {203, "Memo", "备注"},     {3, "Long", "长整型"},    {4, "Single", "单精度"},
    {5, "Double", "双精度"},   {7, "Time", "时间/日期"}, {6, "Money", "货币"},
    {204, "Binary", "二进制"}, {17, "Byte", "字节"},     {11, "Bit", "是/否"},
    {131, "Numeric", "小数"},  {20, "BigInt", "大整数"},
};

const TypeRow* rowFor(int type) {
    for (const TypeRow& r : typeRows)
        if (r.code == type) return &r;
    return nullptr;
}

} // namespace

QString listWordForType(int type) {
    const TypeRow* r = rowFor(type);
    return r ? QString::fromUtf8(r->word) : QStringLiteral("text");
}

QString labelForType(int type) {
    const TypeRow* r = rowFor(type);
    return r ? QString::fromUtf8(r->label) : QStringLiteral("文本");
}

QString propertyDigest(const engine::CatalogColumn& column) {
    QString digest = listWordForType(column.Type());
    for (const engine::Property& p : column.Properties())
        digest += QString::fromStdString(p.Name) + QString::fromStdString(p.Value.toText());
    return digest;
}

QString fieldMarks(const QString& digest, bool primaryKeyColumn) {
    QString marks;
    if (digest.contains(QStringLiteral("NullableFalse"))) marks += QStringLiteral(" 必填");
    // An auto-number column is never shown as required as well.
    if (digest.contains(QStringLiteral("AutoincrementTrue"))) marks = QStringLiteral(" 自动编号");
    if (primaryKeyColumn) marks += QStringLiteral(" 主键");
    return marks;
}

QString fieldLine(const QString& name, const QString& listWord, const QString& marks) {
    return name + QLatin1Char('\t') + listWord + QLatin1Char('\t') + marks;
}

PrimaryKey primaryKeyOf(engine::CatalogTable& table) {
    PrimaryKey key;
    for (const engine::CatalogKey& k : table.Keys()) {
        if (k.Type() != 1 || k.Columns().empty()) continue;
        key.column = QString::fromStdString(k.Columns().front());
        key.name = QString::fromStdString(k.Name());
    }
    return key;
}

void readFieldLine(const QString& line, const ChangedColumnControls& c) {
    c.Ck1->setChecked(false);
    c.Ck2->setChecked(false);
    const QStringList pieces = line.split(QLatin1Char('\t'));
    const QString marks = pieces.value(2);
    c.T1->setText(pieces.value(0));
    c.cb1->setEditText(pieces.value(1));
    // Every text-like column comes back as the longer of the offered text
    // types, whatever its stored length.
    if (c.cb1->currentText().trimmed().left(4) == QLatin1String("text"))
        c.cb1->setEditText(QStringLiteral("Text(50)"));
    if (marks.contains(QStringLiteral("主键"))) c.Ck1->setChecked(true);
    if (marks.contains(QStringLiteral("必填"))) c.Ck2->setChecked(true);
    if (marks.contains(QStringLiteral("自动编号"))) c.cb1->setEditText(QStringLiteral("Counter"));
    for (QPushButton* b : c.buttons)
        if (b) b->setEnabled(true);
}

} // namespace designer

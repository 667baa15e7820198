#pragma once

#include <QString>
#include <QStringList>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace engine {
class CatalogColumn;
class CatalogTable;
} // namespace engine

namespace designer {

// The fixed items of the two type pickers, in order. The new-column picker
// offers everything; the changed-column picker leaves out "Counter" and
// "Hyperlink", which cannot be given to an existing column.
const QStringList& newColumnTypeWords();
const QStringList& changedColumnTypeWords();
inline const QString InitialTypeWord = QStringLiteral("Text(20)");

// The list word (a type word Jet accepts) and the Chinese label of a column's
// ADOX type code. Codes without a row of their own are text columns.
QString listWordForType(int type);
QString labelForType(int type);

// A column's property digest: its list word, then every property's name
// followed by its value as text, with nothing between the pieces.
QString propertyDigest(const engine::CatalogColumn& column);

// The marks shown after a column: " 必填" or " 自动编号", then " 主键" for
// the primary-key column.
QString fieldMarks(const QString& digest, bool primaryKeyColumn);

// One field line: name, TAB, list word, TAB, marks.
QString fieldLine(const QString& name, const QString& listWord, const QString& marks);

// The primary key of a table: the name of its first column and the key's
// own name; both empty when the table has none.
struct PrimaryKey {
    QString column;
    QString name;
};
PrimaryKey primaryKeyOf(engine::CatalogTable& table);

// The controls of the frame "修改（删除）所选字段" that a clicked field line
// fills, and the three column buttons it enables.
struct ChangedColumnControls {
    QLineEdit* T1 = nullptr;
    QComboBox* cb1 = nullptr;
    QCheckBox* Ck1 = nullptr; // "主键"
    QCheckBox* Ck2 = nullptr; // "必填"
    std::array<QPushButton*, 3> buttons{};
};

// Reads a field line back into the changed-column controls.
void readFieldLine(const QString& line, const ChangedColumnControls& controls);

} // namespace designer

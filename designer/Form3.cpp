#include "Form3.h"

#include "Operations.h"

#include "dbconn/Globals.h"
#include "dbconn/SqlName.h"
#include "engine/Catalog.h"
#include "home/start.h"
#include "platform/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

namespace designer {

namespace {

QString homeSelection() {
    home::start* h = home::homeWindow();
    return h ? h->SelectedEntry() : QString();
}

} // namespace

Form3::Form3(QWidget* parent) : ColumnDesigner(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("数据表"));
    setDesignedSize(9840, 8355);
    const QFont font = arialFont(9);

    Label1 = new QLabel(QStringLiteral("字段名称 数据类型  点击修改/删除"), this);
    Label1->setFont(font);
    Label1->setGeometry(twipsRect(120, 60, 9495, 255));

    // The field lines stay in a hidden list behind the list view; a click on
    // a row selects the same line there.
    List1 = new QListWidget(this);
    List1->setFont(font);
    List1->setGeometry(twipsRect(120, 360, 9495, 3975));
    List1->hide();
    LV = new QTreeWidget(this);
    LV->setFont(font);
    LV->setGeometry(twipsRect(120, 360, 9495, 3975));
    LV->setRootIsDecorated(false);
    LV->setAllColumnsShowFocus(true);
    LV->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV->setAlternatingRowColors(true);

    buildFieldFrames(QRect(120, 4440, 6975, 1935), QRect(120, 6480, 6975, 1815), arialFont(9));
    ReadOnlyLine->setGeometry(twipsRect(7200, 4500, 2520, 1800));

    // Enabled at creation: "增加新字段" only.
    C1[1]->setEnabled(false);
    C1[2]->setEnabled(false);

    connect(LV, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { LV_Click(LV->indexOfTopLevelItem(item)); });
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
}

QString Form3::changeQuestion() const {
    return QStringLiteral(
        "若字段类型可能和已有数据不匹配，若强行修改可能导致数据丢失或崩溃，且无法恢复");
}

bool Form3::showsOpenDatabase() const {
    return loadedDatabase_ == dbconn::globals().DbPath;
}

void Form3::Form_Load() {
    listFields();
    setReadOnly(databaseReadOnly());
}

void Form3::listFields() {
    const QString entry = homeSelection();
    const QString table = dbconn::StripQuerySuffix(entry).trimmed();
    FailureLog log;
    log.run([&] {
        engine::Catalog catalog;
        catalog.SetActiveConnection(sharedConnection());
        engine::CatalogTable& t = catalog.Tables()[table.toStdString()];
        loadedEntry_ = entry;
        listedTable_ = table;
        loadedDatabase_ = dbconn::globals().DbPath;

        primaryKeyColumn.clear();
        primaryKeyName.clear();
        List1->clear();
        LV->clear();
        LV->setColumnCount(4);
        LV->setHeaderLabels({QStringLiteral("序"), QStringLiteral("字段名称"),
                             QStringLiteral("数据类型"), QStringLiteral("说明")});
        const int widths[] = {500, 3000, 1500, 4000};
        for (int i = 0; i < 4; ++i)
            LV->setColumnWidth(i, platform::twipsToPixels(widths[i]));

        const PrimaryKey key = primaryKeyOf(t);
        primaryKeyColumn = key.column;
        primaryKeyName = key.name;
        int row = 0;
        for (const engine::CatalogColumn& c : t.Columns()) {
            const QString name = QString::fromStdString(c.Name());
            const bool isKey = !primaryKeyColumn.isEmpty() && name == primaryKeyColumn;
            const QString marks = fieldMarks(propertyDigest(c), isKey);
            List1->addItem(fieldLine(name, listWordForType(c.Type()), marks));
            new QTreeWidgetItem(LV, {QString::number(++row), name, labelForType(c.Type()), marks});
        }
        setWindowTitle(QStringLiteral("表：") + entry);
    });
}

void Form3::LV_Click(int row) {
    if (row < 0 || row >= List1->count()) return;
    List1->setCurrentRow(row);
    List1_Click();
}

} // namespace designer

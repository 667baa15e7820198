#include "Form2.h"

#include "Operations.h"

#include "dbconn/Database.h"
#include "engine/Catalog.h"
#include "home/start.h"
#include "platform/Services.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <optional>

namespace designer {

namespace {

const QString Caption = QStringLiteral("数据表字段视图");
const QString ChooseTable = QStringLiteral("请选择数据表");

QString selectedText(const QListWidget* list) {
    QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

} // namespace

Form2::Form2(QWidget* parent) : ColumnDesigner(parent) {
    setWindowTitle(Caption);
    setDesignedSize(12555, 8040);

    const QFont font = arialFont(9);
    QFont frameFont(QStringLiteral("宋体"));
    frameFont.setPointSize(9);
    frameFont.setBold(true);

    auto label = [&](const QString& text, QWidget* parent, int left, int top, int width) {
        auto* l = new QLabel(text, parent);
        l->setFont(font);
        l->setGeometry(twipsRect(left, top, width, 255));
        return l;
    };
    auto frame = [&](const QString& caption, int left, int top, int width, int height) {
        auto* g = new QGroupBox(caption, this);
        g->setFont(frameFont);
        g->setGeometry(twipsRect(left, top, width, height));
        return g;
    };
    auto button = [&](const QString& caption, QWidget* parent, int left, int top, int width) {
        auto* b = new QPushButton(caption, parent);
        b->setFont(font);
        b->setGeometry(twipsRect(left, top, width, 375));
        return b;
    };
    auto box = [&](QWidget* parent, int left, int top, int width) {
        auto* t = new QLineEdit(parent);
        t->setFont(font);
        t->setGeometry(twipsRect(left, top, width, 330));
        return t;
    };

    Label0 = label(QStringLiteral("数据表"), this, 240, 66, 2655);
    List0 = new QListWidget(this);
    List0->setFont(font);
    List0->setGeometry(twipsRect(240, 360, 2655, 2910));
    Label2 = label(QStringLiteral("存储过程"), this, 240, 3600, 2655);
    List2 = new QListWidget(this);
    List2->setFont(font);
    List2->setGeometry(twipsRect(240, 3866, 2655, 1230));

    TableFrame = frame(QStringLiteral("修改（删除）所选表"), 3000, 360, 2175, 1335);
    T0 = box(TableFrame, 120, 330, 1935);
    C0[1] = button(QStringLiteral("重命名"), TableFrame, 120, 810, 915);
    C0[2] = button(QStringLiteral("删除此表"), TableFrame, 1140, 810, 915);

    NewTableFrame = frame(QStringLiteral("新增表"), 3000, 1800, 2175, 1455);
    T00 = box(NewTableFrame, 120, 360, 1935);
    C0[3] = button(QStringLiteral("增加新表"), NewTableFrame, 120, 900, 1935);

    QueryDropFrame = frame(QStringLiteral("删除所选存储过程"), 3000, 3800, 2175, 1300);
    C2[1] = button(QStringLiteral("删除存储过程"), QueryDropFrame, 120, 480, 1935);

    FieldListLabel =
        label(QStringLiteral("字段列表(字段 类型 属性)，点击修改/删除"), this, 5520, 60, 4695);
    List1 = new QListWidget(this);
    List1->setFont(font);
    List1->setGeometry(twipsRect(5520, 360, 4695, 3870));

    buildFieldFrames(QRect(5520, 4440, 6975, 1335), QRect(5520, 5880, 6975, 1335), frameFont);
    ReadOnlyLine->setGeometry(twipsRect(5520, 7260, 6975, 660));

    QueryFrame = frame(QStringLiteral("修改存储过程"), 240, 5280, 4935, 2535);
    SqlLabel = label(QStringLiteral("存储过程SQL（标准SQL，不带@等特殊字符）"), QueryFrame, 120,
                     270, 4695);
    T2 = new QPlainTextEdit(QueryFrame);
    T2->setFont(font);
    T2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    T2->setGeometry(twipsRect(120, 540, 4695, 1335));
    NameLabel = label(QStringLiteral("名称"), QueryFrame, 120, 2010, 450);
    T22 = box(QueryFrame, 600, 1980, 1935);
    C2[3] = button(QStringLiteral("修改"), QueryFrame, 2640, 1980, 1035);
    C2[2] = button(QStringLiteral("新建"), QueryFrame, 3780, 1980, 1035);

    // Enabled at creation: "增加新表", "删除存储过程" and "新建" only.
    for (QPushButton* b : {C0[1], C0[2], C1[1], C1[2], C1[3], C2[3]})
        b->setEnabled(false);

    for (int i = 1; i <= 3; ++i) {
        connect(C0[i], &QPushButton::clicked, this, [this, i] { C0_Click(i); });
        connect(C2[i], &QPushButton::clicked, this, [this, i] { C2_Click(i); });
    }
    connect(List0, &QListWidget::itemClicked, this, [this] { List0_Click(); });
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
    connect(List2, &QListWidget::itemClicked, this, [this] { List2_Click(); });
}

QString Form2::changeQuestion() const {
    return QStringLiteral(
        "修改字段类型可能和已有数据不匹配，若强行修改可能导致数据丢失或崩溃，且无法恢复");
}

QString Form2::designTable() const {
    return selectedText(List0);
}

QString Form2::selectedQuery() const {
    return selectedText(List2);
}

void Form2::applyReadOnly() {
    ColumnDesigner::applyReadOnly();
    if (!readOnly()) return;
    for (QPushButton* b : {C0[1], C0[2], C0[3], C2[1], C2[2], C2[3]})
        b->setEnabled(false);
}

void Form2::Form_Load() {
    fillTableLists();
    const QString current = dbconn::globals().CurrentTable;
    if (!current.isEmpty()) {
        const QList<QListWidgetItem*> found = List0->findItems(current, Qt::MatchExactly);
        if (!found.isEmpty()) {
            List0->setCurrentItem(found.front());
            List0_Click();
        }
    }
    setReadOnly(databaseReadOnly());
}

void Form2::fillTableLists() {
    List0->clear();
    List2->clear();
    if (dbconn::FrameAccess* frame = dbconn::globals().Frame) {
        const QComboBox& chooser = frame->Chooser();
        for (int i = 0; i < chooser.count(); ++i)
            if (!chooser.itemText(i).contains(dbconn::QuerySuffix))
                List0->addItem(chooser.itemText(i));
        for (int i = 0; i < chooser.count(); ++i)
            if (chooser.itemText(i).contains(dbconn::QuerySuffix))
                List2->addItem(dbconn::StripQuerySuffix(chooser.itemText(i)));
    }
    if (home::start* h = home::homeWindow()) h->更新列表();
}

void Form2::List0_Click() {
    const QString table = selectedText(List0);
    if (table.isEmpty() || table == ChooseTable) return;
    listFields();
    C0[1]->setEnabled(true);
    C0[2]->setEnabled(true);
    C1[3]->setEnabled(true);
    T0->setText(table);
    applyReadOnly();
}

void Form2::listFields() {
    const QString table = dbconn::StripQuerySuffix(selectedText(List0)).trimmed();
    // A table the catalogue cannot open leaves the lists as they were; a
    // later failure leaves what was listed so far.
    FailureLog log;
    log.run([&] {
        engine::Catalog catalog;
        catalog.SetActiveConnection(sharedConnection());
        engine::CatalogTable& t = catalog.Tables()[table.toStdString()];
        primaryKeyColumn.clear();
        primaryKeyName.clear();
        List1->clear();
        const PrimaryKey key = primaryKeyOf(t);
        primaryKeyColumn = key.column;
        primaryKeyName = key.name;
        for (const engine::CatalogColumn& c : t.Columns()) {
            const QString name = QString::fromStdString(c.Name());
            const bool isKey = !primaryKeyColumn.isEmpty() && name == primaryKeyColumn;
            List1->addItem(
                fieldLine(name, listWordForType(c.Type()), fieldMarks(propertyDigest(c), isKey)));
        }
    });
}

void Form2::reloadCatalogue() {
    dbconn::LoadCatalogueOrReport();
    fillTableLists();
    setReadOnly(databaseReadOnly());
}

void Form2::C0_Click(int Index) {
    if (Index < 1 || Index > 3) return;
    platform::Services& ui = platform::services();
    if (readOnly()) {
        ui.MsgBox(ReadOnlyNote, platform::mb::OkOnly, QString());
        return;
    }
    FailureLog log;
    if (Index == 1) {
        const QString selected = selectedText(List0);
        if (selected.isEmpty()) {
            ui.MsgBox(NoTableSelected, platform::mb::OkOnly, QString());
            return;
        }
        {
            BusyCursor busy;
            // The same name again is no change (a rename rebuilds the table).
            if (selected.trimmed() != T0->text())
                log.run([&] { renameTable(selected, T0->text()); });
            reloadCatalogue();
        }
        // The lists are refilled either way; a refused name is said.
        if (log.failed()) ui.MsgBox(NotDone + log.lastText(), platform::mb::OkOnly, QString());
        return;
    }
    const QString statement = Index == 2 ? dropTableSql(T0->text()) : createTableSql(T00->text());
    std::optional<BusyCursor> busy(std::in_place);
    if (!log.run([&] { execute(statement); })) {
        busy.reset();
        ui.MsgBox(tableFailureMessage(log.lastText()), platform::mb::OkOnly, QString());
        return;
    }
    reloadCatalogue();
}

void Form2::List2_Click() {
    T2->clear();
    T22->clear();
    const QString name = selectedQuery();
    if (dbconn::globals().SysTableName.isEmpty() || name.isEmpty()) return;
    if (const auto query = lookupSavedQuery(name)) {
        T2->setPlainText(query->sql);
        T22->setText(query->name);
        C2[3]->setEnabled(!readOnly());
    }
}

void Form2::C2_Click(int Index) {
    if (Index < 1 || Index > 3) return;
    platform::Services& ui = platform::services();
    if (readOnly()) {
        ui.MsgBox(ReadOnlyNote, platform::mb::OkOnly, QString());
        return;
    }
    const QString selected = selectedQuery();
    const QString sql = T2->toPlainText();
    const QString name = T22->text();
    switch (Index) {
    case 1:
        if (selected.isEmpty()) return;
        deleteSavedQuery(selected);
        break;
    case 2:
    case 3: {
        // A saved query's name cannot be changed here.
        if (Index == 3 && (selected.isEmpty() || name != selected)) return;
        std::optional<BusyCursor> busy(std::in_place);
        std::optional<QString> refusal = checkQuery(sql);
        if (!refusal)
            refusal = Index == 2 ? createSavedQuery(name, sql) : changeSavedQuery(name, sql);
        busy.reset();
        if (refusal) {
            ui.MsgBox(*refusal + SqlRefused, platform::mb::OkOnly, QString());
            return;
        }
        break;
    }
    }
    reloadCatalogue();
    T2->clear();
    T22->clear();
    C2[3]->setEnabled(false);
}

} // namespace designer

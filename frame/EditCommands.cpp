#include "CommandSupport.h"
#include "Commands.h"
#include "MDI.h"

#include "datawin/Form1.h"
#include "datawin/TableLoader.h"
#include "dbconn/Database.h"
#include "engine/base/Messages.h"
#include "engine/sql/JetSql.h"
#include "home/ProgramFiles.h"
#include "home/start.h"

#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace frame::commands {

namespace {

dbconn::Globals& g() {
    return dbconn::globals();
}

// The data window the frame shows in front, or null.
datawin::Form1* activeDataWindow(MDI& mdi) {
    QMdiSubWindow* sub = mdi.Area->activeSubWindow();
    if (!sub) sub = mdi.Area->currentSubWindow();
    return sub ? qobject_cast<datawin::Form1*>(sub->widget()) : nullptr;
}

// The free-SQL window when its grid shows the shared result.
datawin::Form1* freeSqlShowingShared() {
    datawin::Form1* form = datawin::defaultForm1(false);
    if (!form) return nullptr;
    const auto& bound = form->DataGrid1->DataSource();
    return bound && bound->sameObject(g().SharedRs) ? form : nullptr;
}

bool sharedOpen() {
    if (g().SharedRs.State() != 0) return true;
    tell(NoData);
    return false;
}

void refresh(MDI& mdi) {
    datawin::Form1* form = activeDataWindow(mdi);
    if (!form) {
        tell(QStringLiteral("请先打开一个数据表窗口，再刷新数据。"));
        return;
    }
    if (!g().DbConn) {
        tell(NoDatabase);
        return;
    }
    // A row being typed is written first; a refused one stays as typed.
    if (!form->DataGrid1->leaveRow()) return;
    engine::Recordset fresh;
    fresh.Open(form->sql1.toStdString(), *g().DbConn, engine::cursor::Keyset,
               engine::lock::Optimistic, -1);
    form->DataGrid1->clearDataSource();
    form->DataGrid1->setDataSource(fresh);
    form->DataGrid1->Refresh();
}

void addRows() {
    tell(QStringLiteral("在末行填写合法数据后，可到标题栏或其他行点动鼠标，即可自行增加行"));
    if (!sharedOpen()) return;
    // The grid writes a new record when the user leaves its empty last row;
    // that row is made current so typing can start.
    if (datawin::Form1* form = freeSqlShowingShared()) {
        form->DataGrid1->setRow(static_cast<int>(form->DataGrid1->ApproxCount()));
        form->DataGrid1->setFocus();
    }
}

void updateRows() {
    tell(QStringLiteral("把鼠标移动至单元格，改写数据，即可更新"));
    if (!sharedOpen()) return;
    if (datawin::Form1* form = freeSqlShowingShared())
        if (!form->DataGrid1->leaveRow()) return;
    g().SharedRs.UpdateBatch(3);
}

void cancelChanges() {
    if (!sharedOpen()) return;
    g().SharedRs.CancelBatch(3);
    if (datawin::Form1* form = freeSqlShowingShared()) form->DataGrid1->Refresh();
}

void showSmartSearch(MDI& mdi) {
    if (mdi.Routes.ShowSmartSearch) mdi.Routes.ShowSmartSearch();
}

// The name of the table in use as it goes into a statement.
QString currentTableName() {
    return dbconn::SqlName(g().CurrentTable);
}

void deleteFirst(int rows) {
    engine::Recordset rs;
    rs.Open(QStringLiteral("select top %1 * from ").arg(rows).toStdString() +
                currentTableName().toStdString(),
            *g().DbConn, engine::cursor::Keyset, engine::lock::Optimistic, -1);
    while (!rs.Eof()) {
        rs.Delete(1);
        rs.MoveNext();
    }
    rs.Close();
}

// Statements that change data or structure and return no rows.
bool isAction(engine::sql::StatementKind kind) {
    using K = engine::sql::StatementKind;
    switch (kind) {
    case K::SelectInto:
    case K::Insert:
    case K::Update:
    case K::Delete:
    case K::CreateTable:
    case K::AlterTable:
    case K::DropTable:
    case K::CreateIndex:
    case K::DropIndex:
    case K::CreateProcedure:
    case K::DropProcedure:
        return true;
    default:
        return false;
    }
}

bool changesCatalogue(engine::sql::StatementKind kind) {
    using K = engine::sql::StatementKind;
    return kind == K::SelectInto || kind == K::CreateTable || kind == K::DropTable ||
           kind == K::AlterTable || kind == K::CreateProcedure || kind == K::DropProcedure;
}

void reportSqlFailure(const std::exception& e) {
    const auto* engineError = dynamic_cast<const engine::EngineError*>(&e);
    QString text = SqlFailure + QString::number(engineError ? engineError->number() : 0);
    // The engine's own words say which name or which part was wrong.
    if (const QString reason = QString::fromStdString(e.what()); !reason.isEmpty())
        text += QStringLiteral("\n") + reason;
    tell(text);
}

void freeSql() {
    const QString sql = platform::services().InputBox(SqlPrompt, SqlTitle, QString());
    g().CurrentSql = sql;
    try {
        engine::sql::StatementKind kind = engine::sql::StatementKind::Other;
        try {
            kind = engine::sql::classify(sql.toStdString());
        } catch (const std::exception&) {
            // Left to the engine, which says what is wrong.
        }
        if (!sql.trimmed().isEmpty() &&
            (isAction(kind) || kind == engine::sql::StatementKind::Execute)) {
            if (!g().DbConn) engine::msg::raise(engine::msg::ConnectionClosed);
            long affected = 0;
            engine::Recordset rows = g().DbConn->Execute(sql.toStdString(), &affected);
            if (rows.State() != 0) {
                // A saved query that returns rows: shown like any select.
                rows.Close();
                dbconn::ShowTable(sql, 0);
                return;
            }
            if (changesCatalogue(kind)) {
                tell(QStringLiteral("语句已执行。"), SqlTitle);
                dbconn::LoadCatalogueOrReport();
            } else {
                tell(QStringLiteral("语句已执行，已影响 ") + QString::number(affected) +
                         QStringLiteral(" 行。"),
                     SqlTitle);
                // The free-SQL window shows the changed rows.
                if (datawin::Form1* form = freeSqlShowingShared(); form && !form->sql1.isEmpty())
                    platform::ignoreFailures([&] { dbconn::ShowTable(form->sql1, 0); });
            }
            return;
        }
        dbconn::ShowTable(sql, 0);
    } catch (const std::exception& e) {
        reportSqlFailure(e);
    }
}

void pickList(MDI& mdi) {
    datawin::Form1* form = datawin::defaultForm1(true);
    if (!form) return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) sub->show();
    form->show();
    form->List1->setVisible(true);
    form->Com->setVisible(true);
    const QString entry = mdi.Combo0->currentText();
    if (entry == QStringLiteral("选择数据表") || entry.isEmpty() || !g().DbConn) return;
    // A saved query is listed with its suffix; its fields are those of the
    // query itself.
    engine::Recordset rs;
    rs.Open("select top 1 * from " + dbconn::SqlName(dbconn::StripQuerySuffix(entry)).toStdString(),
            *g().DbConn, engine::cursor::Keyset, engine::lock::Optimistic, -1);
    for (const engine::FieldInfo& f : rs.fieldInfo())
        form->List1->addItem(QString::fromStdString(f.name));
    rs.Close();
}

} // namespace

void edit(MDI& mdi, int Index) {
    switch (Index) {
    case 1:
        refresh(mdi);
        return;
    case 2:
        tell(QStringLiteral("点击字段可重新排序"));
        return;
    case 4:
        addRows();
        return;
    case 5:
        updateRows();
        return;
    case 6:
        return; // only opens its submenu
    case 7:
        cancelChanges();
        return;
    default:
        break;
    }

    const QString caption = mdi.edit.Caption(Index);
    home::start* home = home::homeWindow();
    if (caption == QStringLiteral("新增数据表")) {
        if (home) home->CQ_Click(0);
        return;
    }
    if (caption == QStringLiteral("删除数据表")) {
        if (home) home->CQ_Click(1);
        return;
    }
    if (caption.contains(QStringLiteral("数据表"))) mdi.SQ_Click(4);
    // The field items open the field-list editor, the command that edits
    // fields.
    if (caption.contains(QStringLiteral("字段"))) mdi.SQ_Click(4);
    if (caption.contains(QStringLiteral("查找数据"))) showSmartSearch(mdi);
}

void edit1(MDI& mdi, int Index) {
    const QString caption = mdi.edit1.Caption(Index);
    const bool all = caption.contains(QStringLiteral("全部"));
    const bool one = !all && caption.contains(QStringLiteral("一条"));
    int first = 0;
    if (!all && !one) {
        if (caption.contains(QStringLiteral("前100条")))
            first = 100;
        else if (caption.contains(QStringLiteral("前500条")))
            first = 500;
        else
            return;
    }
    if (one) {
        tell(QStringLiteral("选择要删除的记录,直接用[DEL]键删除"));
        return;
    }
    if (g().CurrentTable.isEmpty()) {
        tell(QStringLiteral("请先选择数据表。"));
        return;
    }
    if (!g().DbConn) {
        tell(NoDatabase);
        return;
    }
    // The bulk deletions ask nothing: choosing the item is the decision.
    if (all)
        g().DbConn->Execute("delete * from " + currentTableName().toStdString());
    else
        deleteFirst(first);
    dbconn::ShowTable(dbconn::SelectAllFrom(g().CurrentTable), 0);
}

void SQ(MDI& mdi, int Index) {
    // Every failure of the view commands is ignored; free SQL reports its
    // own.
    platform::ignoreFailures([&] {
        switch (Index) {
        case 1:
            freeSql();
            break;
        case 2:
            showSmartSearch(mdi);
            break;
        case 3:
            // The toolbar's "视图" and the home window reach the table
            // design view through this entry.
            mdi.SQ_Click(4);
            break;
        case 4: {
            // Reached only while the designer is not installed.
            home::start* home = home::homeWindow();
            if (!home || home->SelectedEntry().isEmpty()) tell(SelectTableFirst);
            break;
        }
        case 6:
            pickList(mdi);
            break;
        case 7:
            if (datawin::Form1* form = datawin::defaultForm1(true)) form->FormatWorl();
            break;
        default:
            break;
        }
    });
}

void H() {
    const QString page = home::helpPagePath();
    if (!QFileInfo(page).isFile()) {
        tell(QStringLiteral("找不到帮助文件：") + page);
        return;
    }
    if (!platform::services().Shell(QStringLiteral("explorer ") + page))
        tell(QStringLiteral("无法打开帮助页面：") + page);
}

void td() {
    tell(QStringLiteral("Tabelko 数据库管理器\r\n"
                        "为中文用户管理 Access（.mdb）数据库：浏览、编辑、设计与查询\r\n"
                        "由 Tabelko 开发团队编写与维护\r\n"
                        "问题与建议请通过项目主页反馈"),
         QStringLiteral("团队介绍"));
}

} // namespace frame::commands

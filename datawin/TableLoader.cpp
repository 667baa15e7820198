#include "TableLoader.h"

#include "Form1.h"

#include "dbconn/Globals.h"
#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "frame/MDI.h"
#include "platform/Services.h"
#include "platform/Twips.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace datawin {

namespace {

QPointer<Form1> theDefaultForm;

// Out-of-range slot, numbered as the subscript failure of the desktop
// runtime.

// Puts a new data window into the frame's child area (or on its own when
// there is no frame) and loads it; `opened`, when given, is the loader's
// result of the statement the window loads.
Form1* createWindow(const engine::Recordset* opened = nullptr) {
    auto* form = new Form1;
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (frame::MDI* mdi = frame::mainFrame()) {
        // The frame cascades it from the window opened before.
        QMdiSubWindow* sub = mdi->AddChild(form);
        sub->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (opened) form->offerFirstResult(*opened);
    form->Form_Load();
    return form;
}

QWidget* outerWindow(Form1* form) {
    auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    return sub ? static_cast<QWidget*>(sub) : form;
}

// Shows the window normal-sized and in front.
void bringForward(Form1* form) {
    QWidget* outer = outerWindow(form);
    outer->showNormal();
    form->show();
    outer->raise();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(outer))
        if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
    form->activateWindow();
}

} // namespace

Form1* defaultForm1(bool load) {
    if (!theDefaultForm && load) theDefaultForm = createWindow();
    return theDefaultForm.data();
}

Form1* tableWindow(int slot) {
    if (slot < FirstTableSlot || slot > LastTableSlot) return nullptr;
    return qobject_cast<Form1*>(
        dbconn::globals().TableWindows[static_cast<std::size_t>(slot)].data());
}

void UnloadFreeSqlWindow() {
    if (Form1* form = theDefaultForm.data()) {
        theDefaultForm.clear();
        delete outerWindow(form);
    }
}

void ShowTable(const QString& source, int slot) {
    dbconn::Globals& g = dbconn::globals();
    if (g.SharedRs.State() != 0) g.SharedRs.Close();
    // The free-SQL window loses its rows with the recordset; show that now
    // rather than when it next paints.
    if (Form1* form = theDefaultForm.data()) {
        const auto& bound = form->DataGrid1->DataSource();
        if (bound && bound->sameObject(g.SharedRs)) form->DataGrid1->Refresh();
    }

    if (source.isEmpty() || g.CurrentTable.isEmpty() ||
        g.CurrentTable == QStringLiteral("请选择数据表") ||
        g.CurrentTable == QStringLiteral("请选择并打开数据表"))
        return;
    if (slot < 0 || slot > LastTableSlot)
        engine::msg::raise(engine::msg::SubscriptOutOfRange,
                           {std::to_string(slot), std::to_string(LastTableSlot)});

    if (!g.DbConn) engine::msg::raise(engine::msg::ConnectionClosed);
    // A parameter query asks for each value it lacks, by the parameter's
    // name; Cancel opens nothing. The values stay with the connection, so
    // the window's own re-runs find them. A statement that cannot be read
    // says so when it is opened below.
    std::vector<std::pair<std::string, std::string>> parameters;
    try {
        parameters = g.DbConn->MissingParameters(source.toStdString());
    } catch (const engine::EngineError&) {
    }
    for (const auto& parameter : parameters) {
        const QString value = platform::services().InputBox(QString::fromStdString(parameter.first),
                                                            QStringLiteral("输入参数值"));
        if (value.isEmpty()) return;
        g.DbConn->SetParameter(parameter.first, value.toStdString());
    }
    // The shared result reads its keys only when something needs them all;
    // the status counts its rows with a plain count.
    g.SharedRs.Open(source.toStdString(), *g.DbConn, engine::cursor::Keyset,
                    engine::lock::Optimistic, engine::option::AsyncFetch);
    // An action statement was carried out and left nothing to count; this
    // raises the failure before any window is touched. A result of more than
    // its first rows is not counted here: the window paints its first rows
    // at once and its status takes the count when the rest is read.
    const long count = g.SharedRs.keysetComplete() ? g.SharedRs.readyCount() : -1;

    if (slot == 0) {
        Form1* form = defaultForm1(); // a first use loads it, with F still unset
        bringForward(form);
        form->F = 1;
        // The window re-queries and sorts what it shows.
        form->sql1 = source;
        form->SourceSql = source;
        form->TableName = g.CurrentTable;
        form->DbFile = g.DbPath;
        form->DataGrid1->setDataSource(g.SharedRs);
        form->showRecordCount(QStringLiteral("总条数："), count,
                              QStringLiteral(" - 位置：") + g.DbPath);
        outerWindow(form)->raise();
        form->Timer1->stop();
        form->setWindowTitle(source);
        return;
    }

    auto& entry = g.TableWindows[static_cast<std::size_t>(slot)];
    auto* form = qobject_cast<Form1*>(entry.data());
    if (!form) {
        // The window shows its own copy of the result just opened.
        form = createWindow(&g.SharedRs);
        entry = form;
    } else if (form->SourceSql != source || form->TableName != g.CurrentTable ||
               form->DatabaseGone()) {
        // The slot's window holds another table (the chooser's entries moved)
        // or rows of a database closed since: it takes the asked-for
        // statement, so caption, status and rows name the same table. A row
        // the user keeps editing leaves the window as it is.
        if (!form->WritePendingRow()) return;
        form->LoadStatement(source, g.CurrentTable);
    }
    bringForward(form);
    outerWindow(form)->update();
    form->showRecordCount(QStringLiteral(" 总条数："), count,
                          QStringLiteral(" 表：") + g.CurrentTable);
    if (g.Frame) g.Frame->SetItemEnabled(dbconn::Menu::SQ, 5, true);
}

void reportLoadFailure(const QString& what, const std::exception& failure) {
    platform::services().MsgBox(QStringLiteral("无法打开“") + what + QStringLiteral("”：") +
                                    QString::fromStdString(failure.what()),
                                platform::mb::OkOnly, QString());
}

void showPickedColumns(const QString& sql) {
    dbconn::Globals& g = dbconn::globals();
    try {
        // A window already open in the slot takes the narrower statement.
        ShowTable(sql, FirstTableSlot);
    } catch (const std::runtime_error& e) {
        reportLoadFailure(g.CurrentTable, e);
    }
}

void install() {
    dbconn::Hooks& h = dbconn::globals().hooks;
    h.ShowTable = [](const QString& source, int slot) { ShowTable(source, slot); };
    h.UnloadFreeSqlWindow = [] { UnloadFreeSqlWindow(); };
    h.CommitPendingEdits = [] { return CommitPendingEdits(); };
    h.DatabaseClosed = [](const QString& path) { DatabaseClosed(path); };
}

std::vector<Form1*> openWindows() {
    std::vector<Form1*> forms;
    if (Form1* form = theDefaultForm.data()) forms.push_back(form);
    for (int slot = FirstTableSlot; slot <= LastTableSlot; ++slot)
        if (Form1* form = tableWindow(slot)) forms.push_back(form);
    return forms;
}

bool CommitPendingEdits() {
    for (Form1* form : openWindows())
        if (!form->WritePendingRow()) return false;
    return true;
}

void DatabaseClosed(const QString&) {
    // With the shared connection gone, no table window shows an open
    // database any more, whichever file it came from.
    for (Form1* form : openWindows())
        if (form != theDefaultForm.data()) form->DatabaseClosed();
}

} // namespace datawin

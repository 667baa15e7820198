#include "Form4.h"

#include "dbconn/Database.h"
#include "dbconn/Globals.h"
#include "dbconn/SqlName.h"
#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "engine/sql/JetSql.h"
#include "frame/MDI.h"
#include "platform/Services.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace search {

namespace {

QPointer<Form4> theForm;

const QString EnterFragment = QStringLiteral("请输入查询内容");
const QString OpenDatabaseFirst = QStringLiteral("请先打开MDB数据库文件");
const QString AllColumns = QStringLiteral("全部");

void message(const QString& text) {
    platform::services().MsgBox(text, platform::mb::OkOnly, QString());
}

// Jet's pattern characters (% _ * ? # [) in brackets, so that each matches
// only itself.
QString likePattern(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '%':
        case '_':
        case '*':
        case '?':
        case '#':
        case '[':
            out += QLatin1Char('[');
            out += c;
            out += QLatin1Char(']');
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The literal '%fragment%' that finds the fragment anywhere in a text.
QString containsLiteral(const QString& fragment) {
    return dbconn::SqlLiteral(QLatin1Char('%') + likePattern(fragment) + QLatin1Char('%'));
}

// One condition of a search statement.
QString condition(const QString& field, const QString& fragment) {
    return dbconn::SqlBracketedName(field) + QStringLiteral(" like ") + containsLiteral(fragment);
}

QString selectFrom(const QString& table) {
    return QStringLiteral("select * from ") + dbconn::SqlBracketedName(table) +
           QStringLiteral(" where ");
}

QStringList chooserEntries() {
    QStringList entries;
    if (dbconn::FrameAccess* frame = dbconn::globals().Frame) {
        QComboBox& chooser = frame->Chooser();
        for (int i = 0; i < chooser.count(); ++i)
            entries << chooser.itemText(i);
    }
    return entries;
}

QStringList comboEntries(const QComboBox* box) {
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

// What a statement typed by the user does: shows rows, or changes the
// database and leaves nothing to show.
enum class Effect { Rows, RowsChanged, Structure, MaybeRows };

Effect effectOf(const QString& sql) {
    using K = engine::sql::StatementKind;
    K kind = K::Select;
    try {
        kind = engine::sql::classify(sql.toStdString());
    } catch (const std::exception&) {
        // An unterminated literal: the loader reports it as the engine sees it.
    }
    switch (kind) {
    case K::Select:
    case K::BareName:
    case K::Empty:
    case K::Other:
        return Effect::Rows;
    case K::SelectInto:
    case K::Insert:
    case K::Update:
    case K::Delete:
        return Effect::RowsChanged;
    case K::Execute:
        return Effect::MaybeRows;
    default:
        return Effect::Structure;
    }
}

} // namespace

QString LikeFragment(const QString& text) {
    const QString literal = containsLiteral(text);
    return literal.mid(2, literal.size() - 4); // without '% and %'
}

BusyIndicator::BusyIndicator(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("正在查询"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    Caption = new QLabel(QStringLiteral("正在查询，请稍候……"), this);
    Bar = new QProgressBar(this);
    // No end is known: the bar fills and starts again.
    Bar->setRange(0, 20);
    Bar->setTextVisible(false);
    Cancel = new QPushButton(QStringLiteral("取消"), this);
    layout->addWidget(Caption);
    layout->addWidget(Bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Cancel);
    layout->addLayout(row);
    setFixedWidth(280);
}

void BusyIndicator::Tick(qint64 elapsedMs) {
    Bar->setValue(static_cast<int>(elapsedMs / 100 % 21));
    Caption->setText(QStringLiteral("正在查询，请稍候……（已用 ") +
                     QString::number(elapsedMs / 1000) + QStringLiteral(" 秒）"));
}

Form4::Form4(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Tabelko查询：智能查找数据记录"));
    auto* layout = new QVBoxLayout(this);

    Label1 = new QLabel(QStringLiteral("在当前表中查找您的数据"), this);
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);
    Label2 = new QLabel(QStringLiteral("查询内容：匹配的一部分或全部文字："), this);
    Text1 = new QLineEdit(this);
    Label4 = new QLabel(QStringLiteral("在以下表中查找,默认为在当前表中查找："), this);
    cb1 = new QComboBox(this);
    cb1->setEditable(true);
    cb1->setInsertPolicy(QComboBox::NoInsert);
    Label3 = new QLabel(QStringLiteral("在以下列中查找,默认为在所有列中查找："), this);
    Cb2 = new QComboBox(this);
    Cb2->setEditable(true);
    Cb2->setInsertPolicy(QComboBox::NoInsert);
    C[0] = new QPushButton(QStringLiteral("立即查找"), this);
    SQLb = new QPlainTextEdit(QStringLiteral("请输入标准SQL"), this);
    SQLb->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SQLb->setMinimumHeight(120);
    C[1] = new QPushButton(QStringLiteral("SQL查询"), this);

    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, Text1, Label4, cb1, Label3,
                                                      Cb2, C[0], SQLb, C[1]})
        layout->addWidget(w);
    resize(420, 420);

    connect(cb1, &QComboBox::activated, this, [this](int) { cb1_Click(); });
    // Enter in the fragment box searches, as the search button does.
    connect(Text1, &QLineEdit::returnPressed, this, [this] { C_Click(0); });
    connect(Cb2, &QComboBox::activated, this, [this](int) { Cb2_Click(); });
    for (int i = 0; i < 2; ++i)
        connect(C[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { C_Click(i); });

    Busy = new BusyIndicator(this);
    connect(Busy->Cancel, &QPushButton::clicked, this, [this] { CancelRunning(); });
    connect(Busy, &QDialog::rejected, this, [this] { CancelRunning(); });
}

Form4::~Form4() = default;

void Form4::Form_Load() {
    if (dbconn::globals().DbPath.isEmpty()) {
        message(OpenDatabaseFirst);
        loaded_ = false;
        return;
    }
    loaded_ = true;
    cb1->clear();
    cb1->addItems(chooserEntries());
    cb1->setCurrentIndex(-1);
    show();
    raise();
    activateWindow();
}

void Form4::SyncTables() {
    const QStringList entries = chooserEntries();
    if (entries == comboEntries(cb1)) return;
    const QString text = cb1->currentText();
    cb1->clear();
    cb1->addItems(entries);
    cb1->setCurrentIndex(-1);
    cb1->setEditText(text);
}

QString Form4::chosenTable() const {
    // Saved queries are listed with their "(存储过程)" mark; the statement
    // needs the query's own name.
    return dbconn::StripQuerySuffix(cb1->currentText());
}

void Form4::cb1_Click() {
    if (Text1->text().isEmpty()) {
        message(EnterFragment);
        cb1->setEditText(QString());
        Cb2->setEditText(QString());
        return;
    }
    Cb2->clear();
    const QString table = chosenTable();
    QString statement;
    QStringList fields;
    const bool listed = platform::ignoreFailures([&] {
        dbconn::Globals& g = dbconn::globals();
        if (!g.DbConn) engine::msg::raise(engine::msg::ConnectionClosed);
        // Only the field names are needed, not the rows of a large table.
        engine::Recordset rs = g.DbConn->Execute(
            (QStringLiteral("select * from [") + table + QStringLiteral("] where 1=0"))
                .toStdString());
        const engine::Fields f = rs.GetFields();
        for (int i = 0; i < f.Count(); ++i) {
            const QString name = QString::fromStdString(f[i].Name());
            statement += i == 0 ? selectFrom(table) + condition(name, LastSearchText)
                                : QStringLiteral(" or ") + condition(name, LastSearchText);
            fields << name;
        }
    });
    if (listed && !fields.isEmpty()) {
        SearchSql = statement;
        AllColumnsSql = statement;
        searchFragment_ = allColumnsFragment_ = LastSearchText;
        Cb2->addItems(fields);
    }
    Cb2->addItem(AllColumns);
    Cb2->setCurrentIndex(-1);
    SQLb->setPlainText(SearchSql);
}

void Form4::Cb2_Click() {
    if (Text1->text().isEmpty()) {
        message(EnterFragment);
        cb1->setEditText(QString());
        Cb2->setEditText(QString());
        return;
    }
    if (Cb2->currentText() != AllColumns) {
        SearchSql = selectFrom(chosenTable()) + condition(Cb2->currentText(), Text1->text());
        searchFragment_ = Text1->text();
    } else {
        SearchSql = AllColumnsSql;
        searchFragment_ = allColumnsFragment_;
    }
    SQLb->setPlainText(SearchSql);
}

void Form4::C_Click(int Index) {
    if (running_) return; // one statement at a time
    dbconn::Globals& g = dbconn::globals();
    if (Index == 0) {
        const QString fragment = Text1->text();
        if (fragment.isEmpty()) {
            message(EnterFragment);
            return;
        }
        // The statement holds the fragment it was built with, escaped; the
        // new fragment takes its place in every condition.
        SearchSql.replace(containsLiteral(searchFragment_), containsLiteral(fragment));
        if (!SearchSql.isEmpty()) searchFragment_ = fragment;
        SQLb->setPlainText(SearchSql);
        g.CurrentTable = chosenTable();
        runStatement(SearchSql, false);
        LastSearchText = fragment;
    } else if (Index == 1) {
        const QString sql = SQLb->toPlainText();
        if (sql.isEmpty()) {
            message(EnterFragment);
            return;
        }
        g.CurrentTable = sql;
        g.CurrentSql = sql;
        runStatement(sql, true);
        LastSearchText = Text1->text();
    }
}

void Form4::CancelRunning() {
    if (running_) cancelRequested_ = true;
}

bool Form4::confirmDatabase() {
    const dbconn::Globals& g = dbconn::globals();
    if (g.DbConn && g.DbConn->State() == 1) return true;
    message(OpenDatabaseFirst);
    return false;
}

void Form4::runStatement(const QString& sql, bool typedByUser) {
    dbconn::Globals& g = dbconn::globals();
    // An empty statement, or no table chosen: the loader closes the shared
    // result and shows nothing.
    if (sql.isEmpty() || g.CurrentTable.isEmpty()) {
        platform::ignoreFailures([&] { dbconn::ShowTable(sql, 0); });
        return;
    }
    if (!confirmDatabase()) return;
    // The free-SQL window's rows are about to be replaced: a row being typed
    // there is written first (or the user chooses to keep editing).
    if (g.hooks.CommitPendingEdits && !g.hooks.CommitPendingEdits()) return;

    // While the statement runs, the engine calls back now and then: after a
    // moment the busy indicator appears and the user may cancel. Events are
    // handled only while the indicator, modal to the program, is up, and
    // timers wait, so no other window reaches the database meanwhile.
    engine::Connection connection = *g.DbConn;
    QElapsedTimer clock;
    clock.start();
    qint64 lastPump = 0;
    running_ = true;
    cancelRequested_ = false;
    connection.SetProgressHandler(
        [&] {
            const qint64 now = clock.elapsed();
            if (now >= BusyDelayMs) {
                if (!Busy->isVisible()) {
                    Busy->move(mapToGlobal(rect().center()) - Busy->rect().center());
                    Busy->show();
                    lastPump = now - 1000;
                }
                if (now - lastPump >= PumpIntervalMs) {
                    lastPump = now;
                    Busy->Tick(now);
                    QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                    QEventLoop::X11ExcludeTimers);
                }
            }
            return cancelRequested_;
        },
        4000);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    struct Finish {
        Form4* form;
        engine::Connection& connection;
        ~Finish() {
            QApplication::restoreOverrideCursor();
            if (connection.State() == 1) connection.SetProgressHandler({});
            form->Busy->hide();
            form->running_ = false;
        }
    } finish{this, connection};

    try {
        const Effect effect = typedByUser ? effectOf(sql) : Effect::Rows;
        if (effect == Effect::Rows) {
            dbconn::ShowTable(sql, 0);
            return;
        }
        // A statement that changes the database: carried out once, then
        // reported by what it did. The shared result is closed as the loader
        // would close it.
        if (g.SharedRs.State() != 0) g.SharedRs.Close();
        long affected = 0;
        engine::Recordset result = g.DbConn->Execute(sql.toStdString(), &affected);
        if (result.State() == 1) {
            // A saved select query run by name: show its rows.
            result.Close();
            dbconn::ShowTable(sql, 0);
            return;
        }
        if (effect == Effect::Structure)
            message(QStringLiteral("SQL语句已执行。"));
        else
            message(QStringLiteral("SQL语句已执行，共影响 ") + QString::number(affected) +
                    QStringLiteral(" 条记录。"));
    } catch (const engine::EngineError& e) {
        if (cancelRequested_) return; // the user stopped it: nothing to report
        message(QStringLiteral("SQL语法错误或字段不存在 ") + QString::number(e.number()));
    } catch (const std::exception&) {
        if (cancelRequested_) return;
        message(QStringLiteral("SQL语法错误或字段不存在 ") +
                QString::number(engine::msg::EngineFailure.number));
    }
}

Form4* smartSearchWindow() {
    return theForm.data();
}

void ShowSmartSearch() {
    if (theForm && theForm->Loaded()) {
        theForm->SyncTables();
        theForm->show();
        theForm->raise();
        theForm->activateWindow();
        return;
    }
    delete theForm.data();
    frame::MDI* mdi = frame::mainFrame();
    auto* form = new Form4(mdi);
    form->setAttribute(Qt::WA_DeleteOnClose);
    // Beside the frame's middle, where it hides the least of the data windows.
    if (mdi) {
        const QRect frameRect = mdi->frameGeometry();
        form->move(frameRect.x() + std::max(0, frameRect.width() - form->width() - 40),
                   frameRect.y() + std::max(0, (frameRect.height() - form->height()) / 2));
    }
    theForm = form;
    form->Form_Load();
    if (!form->Loaded()) delete form; // refused: no database open
}

void install() {
    if (frame::MDI* mdi = frame::mainFrame())
        mdi->Routes.ShowSmartSearch = [] { ShowSmartSearch(); };
}

} // namespace search

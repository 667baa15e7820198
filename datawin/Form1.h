#pragma once

#include "DataGrid1.h"

#include "engine/Recordset.h"

#include <QColor>
#include <QFont>
#include <QStatusBar>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QToolButton;

namespace datawin {

// A status bar that shows one text.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);
    QString SimpleText() const;
    void setSimpleText(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void fitToFont();
    QLabel* label_;
};

// The font dialog of a data window. Flags 259: screen and printer fonts,
// with effects.
struct FontDialog {
    int Flags = 259;
    QFont Font;
    QColor Color = Qt::black;
    // Shows the dialog; false when the user cancelled.
    bool ShowFont();
};

// The data window: the rows of one table, saved query or SQL statement in
// an editable grid, re-queried on demand and on a timer, sorted by a click
// on a column header.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

    // Timer intervals: at load, and once the shared result holds more than
    // 1000 and more than 9999 records.
    static constexpr int StartInterval = 33333;
    static constexpr int MediumInterval = 9999;
    static constexpr int LongInterval = 59999;

    // Public members.
    QVariant F;                           // 1 on the free-SQL window once the loader bound it
    QString sql1;                         // the query every re-query runs
    std::optional<engine::Recordset> rs1; // the window's own result, created on first use

    // Controls.
    QLineEdit* T = nullptr; // hidden: the row last clicked, as text
    DataGrid* DataGrid1 = nullptr;
    StatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QToolButton* rfs = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Com = nullptr;
    FontDialog CommonDialog1;

    // Re-binds the grid to a fresh result of `sql10`. Every failure is
    // ignored: a bad query leaves the grid empty.
    void rs10(const QString& sql10);
    // A result of the statement the window is about to load, opened a
    // moment ago by the table loader: the window's first rs10 of the same
    // statement shows a clone of it instead of running the statement again
    // (the window's rows stay when the loader's result is closed).
    void offerFirstResult(const engine::Recordset& opened);
    // The font dialog for the grid.
    void FormatWorl();

    // Handlers.
    void Form_Load();
    void Form_Resize();
    void DataGrid1_Click();
    void DataGrid1_HeadClick(int ColIndex);
    void DataGrid1_RowColChange() {}
    void rfs_Click();
    void Timer1_Timer();
    void Com_Click();
    void Form_Unload() {}

    bool Loaded() const { return loaded_; }

    // What the window was loaded with: the statement (before any sorting),
    // the table or saved query it shows, and the database file it belongs
    // to. Its status and caption name this table, whatever was chosen since.
    QString SourceSql;
    QString TableName;
    QString DbFile;

    // Loads another statement into the window, as a fresh load does: the
    // slot of the table loader is re-used for another table.
    void LoadStatement(const QString& sql, const QString& table);

    // Writes the row being typed. When the database refuses it, says why
    // and asks whether to let the change go; false when the user keeps
    // editing (the window is brought forward with the input in place).
    bool WritePendingRow();

    // The database this window's rows come from was closed: the rows go,
    // the re-query timer stops, and the status bar says so.
    void DatabaseClosed();
    bool ShowsClosedDatabase() const { return databaseClosed_; }
    // True when the window's file is no longer the open database.
    bool DatabaseGone() const;

    // The text "当前行：… 总数：… 当前表：…" for the current row.
    QString rowStatusText() const;

    // Shows `before` + the record count + `after` in the status bar. A
    // count not known yet (-1) is taken from the grid once its rows are all
    // read; until then the status says the count is being taken. The first
    // rows never wait for a count.
    void showRecordCount(const QString& before, long count, const QString& after);
    // Said in place of a count that is still being taken.
    static inline const QString CountPending = QStringLiteral("正在计数…");

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void selectStoredRow();
    void refreshRowStatus();
    void countKnown();
    // The status waiting for the count: its text, and the parts around the
    // count. Empty when no count is awaited.
    QString countWaiting_, countBefore_, countAfter_;
    std::optional<engine::Recordset> firstResult_; // see offerFirstResult
    bool loaded_ = false;
    bool resizing_ = false;
    bool databaseClosed_ = false;
};

} // namespace datawin

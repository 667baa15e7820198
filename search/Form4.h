#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace search {

// The fragment as it stands between the "'%" and "%'" of a Jet LIKE
// condition: single quotes doubled so the literal stays closed, and Jet's
// pattern characters (% _ * ? # [) put in brackets so they match only
// themselves. "50%" gives "50[%]", "O'Neil" gives "O''Neil".
QString LikeFragment(const QString& text);

// The small window shown while a statement runs for more than a moment: a
// moving bar and a cancel button. Modal to the whole program, so that
// nothing else reaches the database while the statement runs.
class BusyIndicator : public QDialog {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    // Moves the bar on and shows the time taken so far. The indicator is
    // driven by the running statement, since timers wait meanwhile.
    void Tick(qint64 elapsedMs);
    QLabel* Caption = nullptr;
    QProgressBar* Bar = nullptr;
    QPushButton* Cancel = nullptr;
};

// The smart search window: finds a fragment in one or all columns of a
// table by building a LIKE statement the user can read and change, and runs
// free SQL typed into its box. Results go to the free-SQL data window.
class Form4 : public QWidget {
    Q_OBJECT

public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;

    // Controls, top to bottom.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr; // the fragment to find
    QLabel* Label4 = nullptr;
    QComboBox* cb1 = nullptr; // the table chooser
    QLabel* Label3 = nullptr;
    QComboBox* Cb2 = nullptr;        // the column chooser
    std::array<QPushButton*, 2> C{}; // 0 "立即查找", 1 "SQL查询"
    QPlainTextEdit* SQLb = nullptr;  // the statement, editable

    // Window state.
    QString SearchSql;      // the statement the search button runs
    QString AllColumnsSql;  // the statement that searches every column of the chosen table
    QString LastSearchText; // the fragment of the previous search or SQL run

    // Handlers.
    void Form_Load(); // refuses without a database: the window is then not loaded
    void cb1_Click();
    void Cb2_Click();
    void C_Click(int Index);

    bool Loaded() const { return loaded_; }

    // Long statements: the busy indicator appears after this many
    // milliseconds; its cancel button stops the statement.
    int BusyDelayMs = 400;
    int PumpIntervalMs = 40; // how often the indicator answers the user meanwhile
    BusyIndicator* Busy = nullptr;
    bool Running() const { return running_; }
    void CancelRunning();

    // Copies the frame's table chooser into cb1 when its entries changed
    // since (another database was opened while this window stayed open).
    void SyncTables();

private:
    QString chosenTable() const;
    // Runs a statement into the free-SQL window (or, for an action
    // statement typed into the box, carries it out and says how many rows
    // it changed), reporting refusals to the user.
    void runStatement(const QString& sql, bool typedByUser);
    bool confirmDatabase();

    bool loaded_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;
    // The fragments written into SearchSql and AllColumnsSql; the search
    // button replaces the former, so it must be the one actually there.
    QString searchFragment_;
    QString allColumnsFragment_;
};

// The search window of the running program, or null while none is loaded.
Form4* smartSearchWindow();

// Loads the search window when needed (a refusal without a database leaves
// none), shows it and brings it to the front.
void ShowSmartSearch();

// Fills the frame's route for the search window. Called once at start-up.
void install();

} // namespace search

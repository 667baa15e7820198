#pragma once

#include "FieldTypes.h"

#include <QString>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace designer {

class FailureLog;

// What both designer windows share: the field list, the frames
// "修改（删除）所选字段" and "新增字段" with their three column buttons, the
// remembered primary key, and the column operations behind the buttons.
// Form2 and Form3 differ in where the table comes from, in the question
// before a change and in what their listing fills.
class ColumnDesigner : public QWidget {
    Q_OBJECT

public:
    explicit ColumnDesigner(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // The field list: one field line per column.
    QListWidget* List1 = nullptr;

    // Frame "修改（删除）所选字段".
    QGroupBox* ChangedFieldFrame = nullptr;
    QLineEdit* T1 = nullptr;
    QComboBox* cb1 = nullptr;
    QCheckBox* Ck1 = nullptr; // "主键"
    QCheckBox* Ck2 = nullptr; // "必填"
    // Frame "新增字段".
    QGroupBox* NewFieldFrame = nullptr;
    QLineEdit* T11 = nullptr;
    QComboBox* Cb2 = nullptr;
    QCheckBox* Ck11 = nullptr; // "主键"
    QCheckBox* ck22 = nullptr; // "必填"
    // 1 "修改所选字段", 2 "删除所选字段", 3 "增加新字段"; index 0 is unused.
    std::array<QPushButton*, 4> C1{};

    // Says why nothing can be changed when the database is read-only.
    QLabel* ReadOnlyLine = nullptr;

    // Renewed by every field listing, read by the column operations.
    QString primaryKeyColumn;
    QString primaryKeyName;

    // Handlers.
    void C1_Click(int Index);
    void List1_Click();

    // The designed client area.
    QSize sizeHint() const override { return designedSize_; }

    // Lists the current table's fields and renews the remembered key.
    virtual void listFields() = 0;
    // The table the column operations address.
    virtual QString designTable() const = 0;

protected:
    // The question asked before a column is changed.
    virtual QString changeQuestion() const = 0;
    // False when the fields shown belong to a database that is no longer the
    // open one; the column buttons then refuse rather than change a table of
    // the same name in the other file.
    virtual bool showsOpenDatabase() const { return true; }
    // Switches off every button that would change the database while it is
    // open read-only, and shows why.
    virtual void applyReadOnly();

    // Builds the two field frames at their designed places (twips).
    void buildFieldFrames(const QRect& changedFrame, const QRect& newFrame, const QFont& captions);
    ChangedColumnControls changedColumnControls() const;
    // The text of the field list's selected line; empty when none is selected.
    QString selectedFieldLine() const;
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    // Sets the designed client area (twips) and takes that size.
    void setDesignedSize(int widthTwips, int heightTwips);

private:
    void reportFailure(const FailureLog& log);
    bool readOnly_ = false;
    QSize designedSize_;
};

// Shows the wait cursor while a structure change runs: changing a column
// rebuilds its table, which takes a while on a large one.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A rectangle designed in twips, in pixels.
QRect twipsRect(int left, int top, int width, int height);
// The font of captions, boxes and lists: Arial at the given size.
QFont arialFont(double points);

} // namespace designer

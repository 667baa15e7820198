#include "ColumnDesigner.h"

#include "Operations.h"

#include "platform/Services.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <optional>

using platform::twipsToPixels;

namespace designer {

QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

QFont arialFont(double points) {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    // Set, not inherited: controls inside a frame with a bold caption stay
    // regular.
    f.setBold(false);
    return f;
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

ColumnDesigner::ColumnDesigner(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

void ColumnDesigner::buildFieldFrames(const QRect& changed, const QRect& added,
                                      const QFont& captions) {
    const QFont font = arialFont(9);
    auto frame = [&](const QString& caption, const QRect& r) {
        auto* g = new QGroupBox(caption, this);
        g->setFont(captions);
        g->setGeometry(twipsRect(r.x(), r.y(), r.width(), r.height()));
        return g;
    };
    auto place = [&](QWidget* w, int left, int top, int width, int height) {
        w->setFont(font);
        w->setGeometry(twipsRect(left, top, width, height));
        return w;
    };
    auto picker = [&](QWidget* parent, const QStringList& words) {
        auto* c = new QComboBox(parent);
        c->setEditable(true);
        c->addItems(words);
        c->setEditText(InitialTypeWord);
        return c;
    };

    ChangedFieldFrame = frame(QStringLiteral("修改（删除）所选字段"), changed);
    T1 = new QLineEdit(ChangedFieldFrame);
    place(T1, 120, 360, 2280, 330);
    cb1 = picker(ChangedFieldFrame, changedColumnTypeWords());
    place(cb1, 2520, 360, 1800, 330);
    Ck1 = new QCheckBox(QStringLiteral("主键"), ChangedFieldFrame);
    place(Ck1, 4440, 360, 900, 330);
    Ck2 = new QCheckBox(QStringLiteral("必填"), ChangedFieldFrame);
    place(Ck2, 5400, 360, 900, 330);
    C1[1] = new QPushButton(QStringLiteral("修改所选字段"), ChangedFieldFrame);
    place(C1[1], 120, 840, 1800, 375);
    C1[2] = new QPushButton(QStringLiteral("删除所选字段"), ChangedFieldFrame);
    place(C1[2], 2040, 840, 1800, 375);

    NewFieldFrame = frame(QStringLiteral("新增字段"), added);
    T11 = new QLineEdit(NewFieldFrame);
    place(T11, 120, 360, 2280, 330);
    Cb2 = picker(NewFieldFrame, newColumnTypeWords());
    place(Cb2, 2520, 360, 1800, 330);
    Ck11 = new QCheckBox(QStringLiteral("主键"), NewFieldFrame);
    place(Ck11, 4440, 360, 900, 330);
    ck22 = new QCheckBox(QStringLiteral("必填"), NewFieldFrame);
    place(ck22, 5400, 360, 900, 330);
    C1[3] = new QPushButton(QStringLiteral("增加新字段"), NewFieldFrame);
    place(C1[3], 120, 840, 1800, 375);

    for (int i = 1; i <= 3; ++i)
        connect(C1[i], &QPushButton::clicked, this, [this, i] { C1_Click(i); });

    ReadOnlyLine = new QLabel(ReadOnlyNote, this);
    ReadOnlyLine->setFont(font);
    ReadOnlyLine->setWordWrap(true);
    ReadOnlyLine->setStyleSheet(QStringLiteral("color: #a00000;"));
    ReadOnlyLine->hide();
}

ChangedColumnControls ColumnDesigner::changedColumnControls() const {
    return {T1, cb1, Ck1, Ck2, {C1[1], C1[2], C1[3]}};
}

QString ColumnDesigner::selectedFieldLine() const {
    QListWidgetItem* item = List1->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void ColumnDesigner::setDesignedSize(int widthTwips, int heightTwips) {
    designedSize_ = twipsRect(0, 0, widthTwips, heightTwips).size();
    resize(designedSize_);
}

void ColumnDesigner::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    applyReadOnly();
}

void ColumnDesigner::applyReadOnly() {
    ReadOnlyLine->setVisible(readOnly_);
    if (!readOnly_) return;
    for (int i = 1; i <= 3; ++i)
        C1[i]->setEnabled(false);
}

void ColumnDesigner::List1_Click() {
    const QString line = selectedFieldLine();
    if (line.isEmpty()) return;
    readFieldLine(line, changedColumnControls());
    applyReadOnly();
}

void ColumnDesigner::C1_Click(int Index) {
    if (Index < 1 || Index > 3) return;
    platform::Services& ui = platform::services();
    if (readOnly_) {
        ui.MsgBox(ReadOnlyNote, platform::mb::OkOnly, QString());
        return;
    }
    if (!showsOpenDatabase()) {
        ui.MsgBox(OtherDatabase, platform::mb::OkOnly, QString());
        return;
    }
    const QString table = designTable();
    FailureLog log;
    QString statement;
    std::optional<BusyCursor> busy;
    switch (Index) {
    case 1: {
        const QString line = selectedFieldLine();
        if (line.isEmpty()) {
            ui.MsgBox(NoFieldSelected, platform::mb::OkOnly, QString());
            return;
        }
        if (ui.MsgBox(changeQuestion(), platform::mb::YesNo, QString()) != platform::mb::Yes)
            return;
        const QString oldName = line.split(QLatin1Char('\t')).value(0).trimmed();
        // A rename the catalogue refuses (the new name belongs to another
        // column, an empty name) stops here: the statements below address the
        // column by its new name and would otherwise change that other column.
        busy.emplace();
        if (oldName != T1->text() && !log.run([&] { renameColumn(table, oldName, T1->text()); })) {
            reportFailure(log);
            listFields();
            return;
        }
        statement = changeColumnSql(table, T1->text(), cb1->currentText(), Ck1->isChecked());
        break;
    }
    case 2:
        if (List1->count() < 2) {
            ui.MsgBox(LastFieldLeft, platform::mb::OkOnly, QString());
            return;
        }
        statement = dropColumnSql(table, T1->text());
        break;
    case 3:
        statement = addColumnSql(table, T11->text(), Cb2->currentText(), Ck11->isChecked());
        break;
    }

    if (!busy) busy.emplace();
    log.run([&] { execute(statement); });

    // Clearing "主键" on the key column releases the key.
    if (!primaryKeyColumn.isEmpty() && !primaryKeyName.isEmpty() &&
        T1->text() == primaryKeyColumn && !Ck1->isChecked())
        log.run([&] { execute(releaseKeySql(table, primaryKeyName)); });

    busy.reset(); // the messages below wait for the user
    reportFailure(log);
    listFields();
}

void ColumnDesigner::reportFailure(const FailureLog& log) {
    if (!log.failed()) return;
    platform::Services& ui = platform::services();
    const QStringList messages =
        columnFailureMessages(log.lastText(), primaryKeyColumn, T1->text());
    for (const QString& m : messages)
        ui.MsgBox(m, platform::mb::OkOnly, QString());
    // Any other refusal is said too, so a change that did not happen is never
    // taken for one that did.
    if (messages.isEmpty()) ui.MsgBox(NotDone + log.lastText(), platform::mb::OkOnly, QString());
}

} // namespace designer

#pragma once

// The designer tests: a main frame with the home window and the designer
// installed, over real database files in a temporary folder.

#include "dbconn/TestDb.h"
#include "designer/Designer.h"
#include "designer/Form2.h"
#include "designer/Form3.h"
#include "designer/Operations.h"
#include "frame/MDI.h"
#include "home/start.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <memory>

namespace designertest {

inline dbconn::Globals& g() {
    return dbconn::globals();
}

class Designer : public testdb::Fixture {
public:
    Designer() {
        services->appPath = file(QStringLiteral("program"));
        mdi = std::make_unique<frame::MDI>();
        home = home::install();
        designer::install();
    }
    ~Designer() override {
        designer::UnloadStructureView();
        delete designer::fieldEditor();
        mdi.reset();
    }

    // A database file in the temporary folder, open as the current one.
    QString openDatabase(std::initializer_list<const char*> statements,
                         const QString& name = QStringLiteral("d.mdb")) {
        const QString path = file(name);
        testdb::createDatabase(path, QString(), statements);
        g().DbPath = path;
        dbconn::LoadCatalogue();
        home->更新列表();
        return path;
    }

    // Runs a statement on a separate connection to the current file and
    // returns the first value of its first row as text.
    QString value(const QString& sql) {
        engine::Connection c;
        c.Open(testdb::connectionString(g().DbPath, QString()));
        auto rs = c.Execute(sql.toStdString());
        return rs.Eof() ? QStringLiteral("<none>")
                        : QString::fromStdString(rs.GetFields()[0].GetValue().toText());
    }
    QStringList chooserEntries() {
        QStringList entries;
        for (int i = 0; i < mdi->Combo0->count(); ++i)
            entries << mdi->Combo0->itemText(i);
        return entries;
    }

    // Selects an entry of the home window's list, as a click on its row does.
    void selectInHome(const QString& entry) {
        const auto found = home->List0->findItems(entry, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << entry.toStdString();
        home->List0->setCurrentItem(found.front());
    }

    // Opens the structure view with the given table as the current one.
    designer::Form2& structureView(const QString& current = QString()) {
        g().CurrentTable = current;
        designer::ShowStructureView();
        return *designer::structureView();
    }
    designer::Form3& fieldEditor(const QString& entry) {
        selectInHome(entry);
        designer::ShowFieldEditor();
        return *designer::fieldEditor();
    }

    QStringList messages() { return services->messageTexts(); }
    void clearMessages() { services->messages.clear(); }

    std::unique_ptr<frame::MDI> mdi;
    home::start* home = nullptr;
};

inline QStringList lines(const QListWidget& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

inline void select(QListWidget& list, const QString& text) {
    const auto found = list.findItems(text, Qt::MatchStartsWith);
    ASSERT_FALSE(found.isEmpty()) << text.toStdString();
    list.setCurrentItem(found.front());
}

// Clicks the field line that starts with the column's name.
inline void clickField(designer::ColumnDesigner& w, const QString& column) {
    select(*w.List1, column + QLatin1Char('\t'));
    w.List1_Click();
}

} // namespace designertest

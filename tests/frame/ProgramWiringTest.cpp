// Every menu item and toolbar button of the frame, run on the windows built
// and wired as the program builds them.

#include "CommandTestSupport.h"

#include "dbconn/Database.h"
#include "frame/Commands.h"

#include <QAction>
#include <QFileInfo>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

#include <functional>

using namespace cmdtest;

namespace {

class Wiring : public Program {
protected:
    Wiring() {
        start();
        // The designer's and the search's windows are their own modules';
        // here it is enough to see them reached.
        mdi->Routes.ShowFieldEditor = [this] { log << QStringLiteral("design-view"); };
        mdi->Routes.ShowStructureView = [this] { log << QStringLiteral("field-editor"); };
        mdi->Routes.ShowSmartSearch = [this] { log << QStringLiteral("search"); };
    }

    // The database open, Orders shown in the free-SQL window, every
    // command enabled, the records of earlier steps cleared.
    void ready() {
        if (g().DbPath != shop || !g().DbConn) open(shop);
        mdi->Combo0->setCurrentIndex(0);
        showInFreeSqlWindow(QStringLiteral("Orders"));
        services->messages.clear();
        services->inputs.clear();
        services->fileDialogs.clear();
        services->shellCommands.clear();
        services->printed.clear();
        services->msgAnswers.clear();
        services->inputAnswers.clear();
        services->openAnswers.clear();
        services->saveAnswers.clear();
        services->fontAnswers.clear();
        services->exitRequests = 0;
        log.clear();
        for (auto* a : {&mdi->F, &mdi->edit, &mdi->edit1, &mdi->SQ, &mdi->TOOL})
            for (auto& [i, action] : a->items)
                action->setEnabled(true);
    }

    // What a command did that a user sees: messages, prompts, dialogs,
    // programs started, the end of the program, and the windows reached.
    QStringList effects() {
        QStringList seen = log;
        for (const auto& m : services->messages)
            seen << QStringLiteral("msg:") + m.prompt;
        for (const auto& i : services->inputs)
            seen << QStringLiteral("input:") + i.prompt;
        for (const QString& d : services->fileDialogs)
            seen << d.section(QLatin1Char(':'), 0, 0) + QLatin1Char(':');
        for (const QString& s : services->shellCommands)
            seen << QStringLiteral("shell:") + s;
        if (!services->printed.empty()) seen << QStringLiteral("print");
        if (services->exitRequests) seen << QStringLiteral("exit");
        return seen;
    }

    struct Step {
        QString name;
        std::function<void()> answers; // scripts the questions the command asks
        QString expected;              // the start of one of its effects
        std::function<bool()> check;   // or a state the command leaves
    };

    void run(const Step& step, const std::function<void()>& trigger) {
        SCOPED_TRACE(step.name.toStdString());
        ready();
        if (step.answers) step.answers();
        try {
            trigger();
        } catch (const platform::ProgramEnded&) {
        }
        const QStringList seen = effects();
        if (step.expected.isEmpty() && !step.check) {
            EXPECT_TRUE(seen.isEmpty()) << seen.join(QLatin1Char(' ')).toStdString();
            EXPECT_TRUE(g().DbConn.has_value());
            EXPECT_EQ(g().DbPath, shop);
            return;
        }
        if (step.check) {
            EXPECT_TRUE(step.check());
        }
        if (!step.expected.isEmpty()) {
            bool found = false;
            for (const QString& s : seen)
                found = found || s.startsWith(step.expected);
            EXPECT_TRUE(found) << "expected " << step.expected.toStdString() << ", saw "
                               << seen.join(QLatin1Char(' ')).toStdString();
        }
    }

    datawin::Form1* freeSql() const { return datawin::defaultForm1(false); }
    bool pickListShown() const {
        return freeSql() && !freeSql()->List1->isHidden() && freeSql()->List1->count() == 3;
    }

    // Refresh gives the front data window a fresh result.
    std::function<void()> refreshAnswers() {
        return [this] {
            bound.reset();
            if (freeSql()) bound = freeSql()->DataGrid1->DataSource();
        };
    }
    bool refreshed() const {
        const auto& now = freeSql()->DataGrid1->DataSource();
        return bound && now && !now->sameObject(*bound);
    }

    // The deletions act on a table of their own, three rows each time.
    std::function<void()> scratchRows() {
        return [] {
            try {
                g().DbConn->Execute("create table Scratch (n long)");
            } catch (const engine::EngineError&) {
            }
            for (int i = 1; i <= 3; ++i)
                g().DbConn->Execute("insert into Scratch values (" + std::to_string(i) + ")");
            g().CurrentTable = QStringLiteral("Scratch");
        };
    }
    bool scratchEmptied() const {
        return rowCount(shop, "Scratch") == 0 && freeSql() &&
               freeSql()->windowTitle() == QStringLiteral("select * from Scratch");
    }

    QStringList log;
    std::optional<engine::Recordset> bound;
};

using platform::mb::No;

} // namespace

TEST_F(Wiring, EveryMenuItemReachesItsCommand) {
    const QString copy = file(QStringLiteral("copy.mdb"));
    const std::vector<std::pair<QAction*, Step>> steps = {
        {mdi->F(0), {"新建", [this] { services->msgAnswers = {No}; }, "msg:该数据库没有表", {}}},
        {mdi->F(2), {"打开", [this] { services->openAnswers = {shop}; }, "open:", {}}},
        {mdi->F(3), {"保存", {}, {}, [] { return !g().DbConn.has_value(); }}},
        {mdi->F(4),
         {"另存为", [&] { services->saveAnswers = {copy}; },
          "save:", [&] { return QFileInfo::exists(copy); }}},
        {mdi->F(6), {"导出数据", {}, "shell:notepad ", {}}},
        {mdi->F(7), {"打印数据", [this] { services->msgAnswers = {No}; }, "msg:本次将打印", {}}},
        {mdi->edit(1), {"刷新数据", refreshAnswers(), {}, [this] { return refreshed(); }}},
        {mdi->edit(2), {"重新排序", {}, "msg:点击字段可重新排序", {}}},
        {mdi->edit(4), {"数据添加", {}, "msg:在末行填写合法数据后", {}}},
        {mdi->edit(5), {"数据修改", {}, "msg:把鼠标移动至单元格", {}}},
        {mdi->edit(7),
         {"撤销修改",
          [] {
              g().SharedRs.MoveFirst();
              g().SharedRs["item"].SetValue(engine::Value("x"));
          },
          {},
          [] { return !g().SharedRs.EditPending(); }}},
        {mdi->edit(9), {"新增字段", {}, "design-view", {}}},
        {mdi->edit(10), {"修改字段", {}, "design-view", {}}},
        {mdi->edit(11), {"删除字段", {}, "design-view", {}}},
        {mdi->edit(13),
         {"新增数据表", [this] { services->inputAnswers = {QString()}; }, "input:", {}}},
        {mdi->edit(14), {"修改数据表", {}, "design-view", {}}},
        {mdi->edit(15), {"删除数据表", [this] { services->msgAnswers = {No}; }, "msg:", {}}},
        {mdi->edit(17), {"查找数据", {}, "search", {}}},
        {mdi->edit1(0), {"删除选择的一条记录", {}, "msg:选择要删除的记录", {}}},
        {mdi->edit1(1), {"删除全部", scratchRows(), {}, [this] { return scratchEmptied(); }}},
        {mdi->edit1(2), {"删除前100条", scratchRows(), {}, [this] { return scratchEmptied(); }}},
        {mdi->edit1(3), {"删除前500条", scratchRows(), {}, [this] { return scratchEmptied(); }}},
        {mdi->SQ(1),
         {"SQL查询", [this] { services->inputAnswers = {QString()}; }, "input:请输入标准SQL", {}}},
        {mdi->SQ(2), {"智能查询", {}, "search", {}}},
        {mdi->SQ(4), {"表设计视图", {}, "design-view", {}}},
        {mdi->SQ(5), {"字段\\存储过程", {}, "field-editor", {}}},
        {mdi->SQ(6), {"自定义显示字段", {}, {}, [this] { return pickListShown(); }}},
        {mdi->SQ(7),
         {"字体及大小",
          [this] { services->fontAnswers = {std::nullopt}; },
          {},
          [this] { return services->fontAnswers.empty(); }}},
        {mdi->TOOL(0),
         {"转换当前表并导出TXT", [this] { services->saveAnswers = {QString()}; }, "save:", {}}},
        {mdi->TOOL(2),
         {"压缩与修复数据库",
          [this] {
              services->inputAnswers = {QString(), QString()};
          },
          "exit",
          {}}},
        {mdi->TOOL(4),
         {"设置数据库密码",
          [this] {
              services->inputAnswers = {QString(), QString()};
          },
          "input:请输入旧密码",
          {}}},
        {mdi->H, {"帮助", {}, "shell:explorer ", {}}},
        {mdi->td, {"团队介绍", {}, "msg:Tabelko", {}}},
        {mdi->F(9), {"全部关闭", {}, "exit", {}}},
    };
    for (const auto& [action, step] : steps) {
        ASSERT_TRUE(action) << step.name.toStdString();
        run(step, [action] { action->trigger(); });
    }

    // Separators and the delete submenu's own item do nothing.
    for (auto* a : {&mdi->F, &mdi->edit, &mdi->SQ, &mdi->TOOL})
        for (auto& [index, action] : a->items)
            if (action->isSeparator()) {
                run({QStringLiteral("separator %1").arg(index), {}, {}, {}},
                    [action] { action->trigger(); });
            }
    run({QStringLiteral("数据删除"), {}, {}, {}}, [this] { mdi->edit_Click(6); });
}

TEST_F(Wiring, EveryToolbarButtonReachesItsCommand) {
    const std::vector<std::pair<QString, Step>> steps = {
        {"新建",
         {"新建",
          [this] {
              services->msgAnswers = {No, No};
          },
          "msg:", [] { return g().DbPath.endsWith(QStringLiteral("我的MDB/db1.mdb")); }}},
        {"打开", {"打开", [this] { services->openAnswers = {shop}; }, "open:", {}}},
        {"保存", {"保存", {}, {}, {}}},
        {"转换", {"转换", [this] { services->saveAnswers = {QString()}; }, "save:", {}}},
        {"文字", {"文字", {}, {}, [this] { return pickListShown(); }}},
        {"压缩",
         {"压缩",
          [this] {
              services->inputAnswers = {QString(), QString()};
          },
          "exit",
          {}}},
        {"刷新", {"刷新", refreshAnswers(), {}, [this] { return refreshed(); }}},
        {"视图", {"视图", {}, "design-view", {}}},
        {"SQL", {"SQL", {}, "search", {}}},
        {"增加数据", {"增加数据", {}, "msg:在末行填写合法数据后", {}}},
        {"修改数据", {"修改数据", {}, "msg:把鼠标移动至单元格", {}}},
        {"删除数据", {"删除数据", {}, {}, {}}},
        {"取消", {"取消", {}, {}, {}}},
    };
    ASSERT_EQ(mdi->Buttons.size(), steps.size());
    for (const auto& [key, step] : steps) {
        QAction* button = mdi->Button(key);
        ASSERT_TRUE(button) << key.toStdString();
        run(step, [button] { button->trigger(); });
    }
}

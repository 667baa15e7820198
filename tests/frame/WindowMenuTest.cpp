// The frame's child windows: where new ones open, and the window menu.

#include "dbconn/TestDb.h"
#include "frame/MDI.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSet>

namespace {

class Windows : public testdb::Fixture {
protected:
    Windows() {
        mdi = std::make_unique<frame::MDI>();
        mdi->show();
        QApplication::processEvents();
    }
    ~Windows() override { mdi.reset(); }

    // A child as large as a data window, with a caption.
    QMdiSubWindow* open(const QString& caption) {
        auto* w = new QWidget;
        w->setWindowTitle(caption);
        w->resize(733, 413);
        QMdiSubWindow* sub = mdi->AddChild(w);
        sub->show();
        return sub;
    }
    QStringList windowEntries() const {
        QStringList list;
        for (QAction* a : mdi->WindowItems)
            if (!a->isSeparator())
                list << a->text() + (a->isChecked() ? QStringLiteral("*") : QString());
        return list;
    }

    std::unique_ptr<frame::MDI> mdi;
};

} // namespace

TEST_F(Windows, NewWindowsCascadeInsideTheAreaAndTheMenuListsThem) {
    const QSize area = mdi->Area->viewport()->size();
    std::vector<QMdiSubWindow*> subs;
    QSet<QPair<int, int>> places;
    for (int i = 1; i <= 10; ++i) {
        subs.push_back(open(QStringLiteral("数据表 - T%1").arg(i)));
        const QPoint p = subs.back()->pos();
        places.insert({p.x(), p.y()});
        // Title bar and first columns in view.
        EXPECT_GE(p.x(), 0);
        EXPECT_GE(p.y(), 0);
        EXPECT_LE(p.x() + 200, area.width()) << i;
        EXPECT_LE(p.y() + 120, area.height()) << i;
    }
    EXPECT_EQ(places.size(), 10); // ten distinct places
    EXPECT_EQ(subs[0]->pos(), QPoint(0, 0));
    const int step = subs[1]->x() - subs[0]->x();
    EXPECT_GE(step, 16);
    EXPECT_EQ(subs[1]->y() - subs[0]->y(), step);

    // 层叠, 平铺, then one entry per window, the active one checked.
    mdi->Area->setActiveSubWindow(subs[3]);
    emit mdi->WIN->aboutToShow();
    EXPECT_EQ(mdi->WIN->actions().value(0), mdi->Cascade);
    EXPECT_EQ(mdi->Cascade->text(), QStringLiteral("层叠"));
    EXPECT_EQ(mdi->Tile->text(), QStringLiteral("平铺"));
    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected << QStringLiteral("数据表 - T%1").arg(i) +
                        (i == 4 ? QStringLiteral("*") : QString());
    EXPECT_EQ(windowEntries(), expected);

    // 层叠 puts them back in a cascade and keeps their sizes.
    subs[2]->move(300, 200);
    subs[5]->showMaximized();
    mdi->Cascade->trigger();
    for (std::size_t i = 0; i < subs.size(); ++i) {
        EXPECT_EQ(subs[i]->size(), QSize(subs[0]->size())) << i;
        EXPECT_FALSE(subs[i]->isMaximized());
    }
    EXPECT_EQ(subs[0]->pos(), QPoint(0, 0));
    EXPECT_EQ(subs[2]->pos(), QPoint(2 * step, 2 * step));

    // 平铺 shares the area out among them, a fixed-size window keeping its size.
    auto* fixed = new QWidget;
    fixed->setFixedSize(460, 350);
    QMdiSubWindow* home = mdi->AddChild(fixed);
    home->show();
    const QSize homeSize = home->size();
    mdi->Tile->trigger();
    EXPECT_EQ(home->size(), homeSize);
    for (QMdiSubWindow* sub : subs)
        EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(sub->geometry())) << sub->geometry().x();
    home->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Choosing an entry activates its window; closed windows leave the list.
    mdi->WindowItems[7]->trigger(); // after the separator: the seventh window
    EXPECT_EQ(mdi->Area->activeSubWindow(), subs[6]);
    subs[9]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    emit mdi->WIN->aboutToShow();
    EXPECT_EQ(windowEntries().size(), 9);
    EXPECT_TRUE(windowEntries().contains(QStringLiteral("数据表 - T7*")));

    // Once every cascaded window is closed the next one starts at the top.
    for (QMdiSubWindow* sub : mdi->Area->subWindowList())
        sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(open(QStringLiteral("again"))->pos(), QPoint(0, 0));
}

TEST_F(Windows, FrameStaysOpenWhileARowIsKeptForEditing) {
    bool keep = true;
    dbconn::globals().hooks.CommitPendingEdits = [&] { return !keep; };
    EXPECT_FALSE(mdi->close());
    EXPECT_TRUE(mdi->isVisible());
    keep = false;
    EXPECT_TRUE(mdi->close());
}

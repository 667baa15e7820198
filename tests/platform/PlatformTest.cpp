#include "platform/QtServices.h"
#include "platform/ScriptedServices.h"
#include "platform/Twips.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace platform;

namespace {

// One QApplication for the test program, deleted after the last test while
// Qt's own statics are still alive.
QApplication* instance = nullptr;

QApplication& app() {
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    if (!instance) instance = new QApplication(argc, argv);
    return *instance;
}

class AppEnvironment : public ::testing::Environment {
    void TearDown() override {
        delete instance;
        instance = nullptr;
    }
};
::testing::Environment* const appEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// Runs `act` on the next modal dialog once it is up.
void onNextDialog(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* w = QApplication::activeModalWidget();
        if (w) act(w);
    });
}

} // namespace

TEST(Twips, ConvertsAtFifteenPerPixelRoundingToNearest) {
    EXPECT_EQ(twipsToPixels(9000), 600);
    EXPECT_EQ(twipsToPixels(5334), 356); // 355.6
    EXPECT_EQ(twipsToPixels(3666), 244); // 244.4
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_EQ(twipsToPixels(-8), -1);
    EXPECT_EQ(pixelsToTwips(356), 5340);
}

TEST(Filter, TurnsDialogFiltersIntoQtForm) {
    EXPECT_EQ(qtFilter(QStringLiteral("ACCESS (*.mdb)|*.mdb")), QStringLiteral("ACCESS (*.mdb)"));
    EXPECT_EQ(qtFilter(QStringLiteral("数据库|*.mdb;*.dxl|全部文件|*.*")),
              QStringLiteral("数据库 (*.mdb *.dxl);;全部文件 (*.*)"));
    // The patterns that follow win over those written in the description.
    EXPECT_EQ(qtFilter(QStringLiteral("文本 (*.txt)|*.txt;*.Text")),
              QStringLiteral("文本 (*.txt *.Text)"));
    EXPECT_EQ(qtFilter(QString()), QString());
    EXPECT_EQ(qtFilter(QStringLiteral("全部")), QStringLiteral("全部 (*)"));
}

TEST(Scripted, AnswersFromQueuesAndRecordsEveryRequest) {
    ScopedScriptedServices s;
    s->msgAnswers = {mb::No};
    s->inputAnswers = {QStringLiteral("abc"), QString()};

    EXPECT_EQ(services().MsgBox(QStringLiteral("提示"), mb::OkOnly, QString()), mb::Ok);
    EXPECT_EQ(services().MsgBox(QStringLiteral("是否？"), mb::YesNo + mb::SystemModal,
                                QStringLiteral("标题")),
              mb::No);
    EXPECT_EQ(services().InputBox(QStringLiteral("输入"), QString(), QString()),
              QStringLiteral("abc"));
    EXPECT_EQ(services().InputBox(QStringLiteral("输入"), QString(), QString()), QString());

    ASSERT_EQ(s->messages.size(), 2u);
    EXPECT_EQ(s->messages[1].title, QStringLiteral("标题"));
    EXPECT_EQ(s->messages[1].style, mb::YesNo + mb::SystemModal);
    EXPECT_EQ(s->inputs.size(), 2u);
}

TEST(Scripted, UnscriptedQuestionsFailInsteadOfGuessing) {
    ScopedScriptedServices s;
    EXPECT_THROW(services().MsgBox(QStringLiteral("是否？"), mb::YesNo, QString()),
                 UnscriptedQuestion);
    EXPECT_THROW(services().InputBox(QStringLiteral("密码"), QString(), QString()),
                 UnscriptedQuestion);
    QFont f;
    EXPECT_THROW(services().ChooseFont(f), UnscriptedQuestion);
    // The prompt that found no answer is still on record.
    ASSERT_EQ(s->inputs.size(), 1u);
    EXPECT_EQ(s->inputs[0].prompt, QStringLiteral("密码"));
}

TEST(Scripted, EndStopsTheCallerButIsNotIgnoredAsAFailure) {
    ScopedScriptedServices s;
    bool after = false;
    auto handler = [&] {
        ignoreFailures([] { throw std::runtime_error("ignored"); });
        ignoreFailures([] { services().End(); });
        after = true;
    };
    EXPECT_THROW(handler(), ProgramEnded);
    EXPECT_FALSE(after);
    EXPECT_EQ(s->exitRequests, 1);
}

// The Qt dialogs, driven on the offscreen platform: the standard buttons read
// in Chinese once Qt's own translation is loaded, Yes answers 6 and a
// cancelled input box gives empty text even with a default.
TEST(QtDialogs, MessageAndInputBoxesAnswerAsTheWindowsExpect) {
    app();
    QTranslator qtbase;
    ASSERT_TRUE(qtbase.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&qtbase);
    QtServices qt;

    QStringList buttonTexts;
    onNextDialog([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("新建数据库或空数据库"));
        for (QAbstractButton* b : box->buttons())
            buttonTexts << b->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(qt.MsgBox(QStringLiteral("该数据库没有表，是否现在创建新表？"), mb::YesNo,
                        QStringLiteral("新建数据库或空数据库")),
              mb::Yes);
    EXPECT_TRUE(buttonTexts.join(QLatin1Char(' ')).contains(QStringLiteral("是")))
        << buttonTexts.join(QLatin1Char(' ')).toStdString();

    onNextDialog([](QWidget* w) {
        auto* dialog = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->labelText(), QStringLiteral("请输入数据库密码，若要强制退出，请输入END"));
        dialog->reject();
    });
    EXPECT_EQ(qt.InputBox(QStringLiteral("请输入数据库密码，若要强制退出，请输入END"), QString(),
                          QStringLiteral("默认")),
              QString());

    onNextDialog([](QWidget* w) {
        auto* dialog = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue(QStringLiteral("a;b'c"));
        dialog->accept();
    });
    EXPECT_EQ(qt.InputBox(QStringLiteral("密码"), QString(), QString()), QStringLiteral("a;b'c"));
    QCoreApplication::removeTranslator(&qtbase);
}

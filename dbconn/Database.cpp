#include "Database.h"

#include "engine/ConnectionString.h"
#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "platform/Services.h"

#include <QComboBox>

namespace dbconn {

namespace {

std::string utf8(const QString& s) {
    return s.toStdString();
}
QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

QString quoted(const QString& value) {
    return fromUtf8(engine::ConnectionString::quoteValue(utf8(value)));
}

} // namespace

QString ConnectionString() {
    const Globals& g = globals();
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + quoted(g.DbPath) +
           QStringLiteral(";Persist Security Info=True;Jet OLEDB:Database Password=") +
           quoted(g.DbPassword) + QStringLiteral(";");
}

QString CreateSavedQueryTableSql() {
    return QStringLiteral("Create TABLE ") + globals().SysTableName +
           QStringLiteral("(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL)");
}

void OpenConnection() {
    Globals& g = globals();
    int emptyAnswers = 0; // cancelled (or empty) prompts in a row
    for (;;) {
        const std::string connectionString = utf8(ConnectionString());
        g.DbConn.emplace();
        g.DbConn->CursorLocation = 3;

        std::optional<engine::EngineError> failure;
        try {
            g.DbConn->Open(connectionString);
        } catch (const engine::EngineError& e) {
            failure = e;
        } catch (const std::exception& e) {
            failure.emplace(engine::msg::EngineFailure.number,
                            engine::msg::format(engine::msg::EngineFailure, {"-"}), e.what());
        }

        // The way out of the prompt: the attempt with END has been made.
        if (g.DbPassword == QLatin1String("END") || g.DbPassword == QLatin1String("end"))
            platform::services().End();

        // Ask again only for a password problem, decided by the failure's
        // number. An encrypted file cannot be told from a damaged one; a user
        // who cancels such a prompt twice in a row gives up, and the failure
        // ("密码不正确，或文件已损坏") stands, so a damaged file cannot keep the
        // prompt up forever.
        const bool passwordProblem =
            failure &&
            (failure->number() == engine::msg::WrongPassword.number ||
             (failure->number() == engine::msg::PasswordOrDamaged.number && emptyAnswers < 2));
        if (passwordProblem) {
            try {
                g.DbConn->Close();
            } catch (...) {
            }
            g.DbConn.reset();
            g.DbPassword = platform::services().InputBox(PasswordPrompt, PasswordTitle, QString());
            emptyAnswers = g.DbPassword.isEmpty() ? emptyAnswers + 1 : 0;
            continue;
        }
        g.LastOpenFailure = failure;
        return;
    }
}

bool CommitPendingEdits() {
    const Globals& g = globals();
    return !g.hooks.CommitPendingEdits || g.hooks.CommitPendingEdits();
}

bool CloseDatabase() {
    Globals& g = globals();
    // A row still being typed belongs to this database; it is written (or
    // let go by the user) before the connection goes.
    if (!CommitPendingEdits()) return false;
    const bool wasOpen = g.DbConn.has_value();
    g.DbConn.reset();
    if (wasOpen && g.hooks.DatabaseClosed) g.hooks.DatabaseClosed(g.DbPath);
    if (g.hooks.UnloadStructureView) g.hooks.UnloadStructureView();
    if (g.hooks.UnloadFreeSqlWindow) g.hooks.UnloadFreeSqlWindow();
    return true;
}

void LoadCatalogue() {
    Globals& g = globals();
    QComboBox* chooser = g.Frame ? &g.Frame->Chooser() : nullptr;
    if (chooser) {
        chooser->clear();
        chooser->setEditText(QString());
    }

    OpenConnection();

    if (!g.DbConn || g.DbConn->State() == 0) {
        if (g.LastOpenFailure) throw *g.LastOpenFailure;
        engine::msg::raise(engine::msg::ConnectionClosed);
    }
    // An unfinished change of a genuine file was undone on opening: said
    // once, before anything else is shown.
    const std::string notice = g.DbConn->OpenNotice();
    if (!notice.empty())
        platform::services().MsgBox(fromUtf8(notice), platform::mb::OkOnly, QString());

    int entries = 0;
    bool savedQueryTableFound = false;
    {
        engine::Recordset schema = g.DbConn->OpenSchema(20);
        for (; !schema.Eof(); schema.MoveNext()) {
            const QString type = fromUtf8(schema["TABLE_TYPE"].GetValue().toText()).toUpper();
            const QString name = fromUtf8(schema["TABLE_NAME"].GetValue().toText());
            g.SysTableName = SavedQueryTable;
            if (name.trimmed() == SavedQueryTable) savedQueryTableFound = true;
            if ((type == QLatin1String("TABLE") || type == QLatin1String("VIEW")) &&
                name != SavedQueryTable) {
                const QString entry = type == QLatin1String("VIEW") ? name + QuerySuffix : name;
                if (chooser) chooser->addItem(entry);
                ++entries;
            }
        }

        // Adding to an empty chooser selects the first entry; the loader
        // leaves none selected and the text empty.
        if (chooser) {
            chooser->setCurrentIndex(-1);
            chooser->setEditText(QString());
        }

        if (entries == 0) {
            const int answer = platform::services().MsgBox(EmptyDatabaseQuestion,
                                                           platform::mb::YesNo, EmptyDatabaseTitle);
            if (answer != platform::mb::Yes) return;
            if (g.hooks.NewTable) g.hooks.NewTable();
        }
        // The schema rowset is released here.
    }

    if (!g.DbPath.isEmpty() && g.Frame) {
        g.Frame->SetItemEnabled(Menu::F, 4, true);
        g.Frame->SetItemEnabled(Menu::F, 3, true);
        g.Frame->SetItemEnabled(Menu::TOOL, 0, true);
        g.Frame->SetItemEnabled(Menu::TOOL, 2, true);
        g.Frame->SetItemEnabled(Menu::TOOL, 4, true);
        g.Frame->SetItemEnabled(Menu::SQ, 1, true);
        g.Frame->SetItemEnabled(Menu::SQ, 3, true);
    }
    if (!g.DbPath.isEmpty() && g.hooks.EnableTableDesign) g.hooks.EnableTableDesign();

    if (!savedQueryTableFound) {
        // A file opened read-only, or one whose engine refuses the table,
        // simply stays without it.
        platform::ignoreFailures([&] {
            if (g.SysTableName.isEmpty())
                g.SysTableName = SavedQueryTable; // a schema without any rows
            g.CurrentSql = CreateSavedQueryTableSql();
            if (g.DbConn) g.DbConn->Execute(utf8(g.CurrentSql));
        });
    }
}

void ReportOpenFailure(const std::exception& failure) {
    const QString path = globals().DbPath;
    const QString reason = fromUtf8(failure.what());
    // Most reasons name the file already; the others get it in front.
    const QString text =
        path.isEmpty() || reason.contains(path)
            ? QStringLiteral("无法打开数据库：") + reason
            : QStringLiteral("无法打开数据库“") + path + QStringLiteral("”：") + reason;
    platform::services().MsgBox(text, platform::mb::OkOnly, QString());
}

bool LoadCatalogueOrReport() {
    try {
        LoadCatalogue();
        return true;
    } catch (const std::runtime_error& e) {
        // Engine failures only: questions a test left unanswered pass on.
        ReportOpenFailure(e);
        return false;
    }
}

void ShowTable(const QString& source, int slot) {
    if (globals().hooks.ShowTable) globals().hooks.ShowTable(source, slot);
}

} // namespace dbconn

#include "TestDb.h"

#include "engine/Recordset.h"

namespace {

// A table N of `rows` numbers, built by crossing a table of ten digits.
engine::Connection numbers(engine::Connection c, int rows) {
    c.Execute("create table D (d long)");
    for (int i = 0; i < 10; ++i)
        c.Execute("insert into D values (" + std::to_string(i) + ")");
    c.Execute("create table N (n long, t text(20))");
    c.Execute("insert into N (n, t) select a.d + b.d*10 + c.d*100 + e.d*1000 + f.d*10000, "
              "'x' & (a.d + b.d*10) from D as a, D as b, D as c, D as e, D as f where "
              "a.d + b.d*10 + c.d*100 + e.d*1000 + f.d*10000 < " +
              std::to_string(rows));
    return c;
}

class ProgressHandler : public TempDbTest {};

} // namespace

TEST_F(ProgressHandler, StopsARunningStatementAndThenLetsWorkGoOn) {
    auto c = numbers(create("p.mdb"), 20000);
    const std::string search = "select * from N where t like '%7%' or n like '%7%'";

    int calls = 0;
    c.SetProgressHandler([&] { return ++calls >= 3; }, 100);
    engine::Recordset rs;
    EXPECT_THROW(rs.Open(search, c), engine::EngineError);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(rs.State(), 0);

    // An action statement stopped midway changes nothing.
    calls = 0;
    EXPECT_THROW(c.Execute("update N set t = 'gone'"), engine::EngineError);
    c.SetProgressHandler(nullptr);
    EXPECT_EQ(c.Execute("select count(*) from N where t = 'gone'")[0].GetValue().toText(), "0");

    // A handler that lets the statement run is called along the way and
    // leaves the result whole; the same statement without one agrees.
    calls = 0;
    c.SetProgressHandler([&] { return ++calls < 0; }, 100);
    rs.Open(search, c);
    EXPECT_GT(calls, 0);
    const long withHandler = rs.RecordCount();
    rs.Close();
    c.SetProgressHandler({});
    calls = 0;
    rs.Open(search, c);
    EXPECT_EQ(rs.RecordCount(), withHandler);
    EXPECT_EQ(calls, 0);
}

TEST_F(ProgressHandler, AThrowingHandlerStopsTheStatementAndClosingDropsIt) {
    auto c = numbers(create("q.mdb"), 5000);
    c.SetProgressHandler([]() -> bool { throw std::runtime_error("boom"); }, 50);
    engine::Recordset rs;
    EXPECT_THROW(rs.Open("select * from N where t like '%5%'", c), engine::EngineError);

    // A recordset outlives its connection; its reads must not reach a
    // handler that went away with the connection.
    int calls = 0;
    c.SetProgressHandler([&] { return ++calls < 0; }, 1);
    rs.Open("select * from N order by t desc", c);
    c.Close();
    const int before = calls;
    rs.MoveLast();
    EXPECT_EQ(rs[0].GetValue().toText(), rs[0].GetValue().toText());
    EXPECT_EQ(calls, before);
    EXPECT_THROW(c.SetProgressHandler([] { return false; }), engine::EngineError);
}

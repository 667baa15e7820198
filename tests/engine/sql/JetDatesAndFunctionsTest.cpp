// Dates turned into text as Jet shows them, date literals in the forms Jet
// reads, and the VBA functions Access queries use, each with its argument
// rules; expected values are those of the VBA function reference.

#include "TestDb.h"

namespace {

class DatesAndFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec("CREATE TABLE 订单 (单号 INTEGER PRIMARY KEY, 日期 TEXT)");
        db.exec("INSERT INTO 订单 VALUES (1, '1994-08-04 00:00:00'), (2, '2024-12-25 09:05:00')");
    }
    TestDb db;
};

TEST_F(DatesAndFunctions, DatesBecomeShortDateText) {
    EXPECT_EQ(db.eval("#1994-08-04# & ''"), "1994/8/4");
    EXPECT_EQ(db.eval("'到货：' & #1994-08-04 10:30:00#"), "到货：1994/8/4 10:30:00");
    EXPECT_EQ(db.eval("CStr(#10:30:00#)"), "10:30:00");
    EXPECT_EQ(db.eval("Str(#1994-08-04#)"), "1994/8/4");
    EXPECT_EQ(db.eval("Len(#1994-08-04#)"), "8");
    EXPECT_EQ(db.column("SELECT 日期 & '' FROM 订单 ORDER BY 单号"), "1994/8/4|2024/12/25 9:05:00");
    EXPECT_EQ(db.eval("Left(DateSerial(2001, 2, 3), 6)"), "2001/2");
    // The same form as Format's Short Date; other text is left alone.
    EXPECT_EQ(db.eval("Format(#1994-08-04#, 'Short Date') = CStr(#1994-08-04#)"), "-1");
    EXPECT_EQ(db.eval("CStr('2024-01-01x')"), "2024-01-01x");
}

TEST_F(DatesAndFunctions, DateLiteralsInEveryForm) {
    for (const char* lit : {"#15-Jan-1997#", "#January 15, 1997#", "#1997/1/15#", "#1/15/97#",
                            "#15 January 1997#", "#Jan-15-1997#", "#1997-01-15#"})
        EXPECT_EQ(db.eval(std::string("CStr(") + lit + ")"), "1997/1/15") << lit;
    // Two-digit years: 00 to 29 are this century, 30 to 99 the last.
    EXPECT_EQ(db.eval("Year(#1/15/29#)"), "2029");
    EXPECT_EQ(db.eval("Year(#1/15/30#)"), "1930");
    EXPECT_EQ(db.eval("CStr(#Jan 15, 1997 2:30 PM#)"), "1997/1/15 14:30:00");
    EXPECT_EQ(db.eval("CStr(#15-Sept-1997 08:00#)"), "1997/9/15 8:00:00");
    EXPECT_THROW(db.eval("#Foo 15, 1997#"), std::exception);
    EXPECT_THROW(db.eval("#31-Feb-1997#"), std::exception);
}

TEST_F(DatesAndFunctions, WeekdayAndDateTimeNames) {
    EXPECT_EQ(db.eval("WeekdayName(1)"), "星期日");
    EXPECT_EQ(db.eval("WeekdayName(1, True, 2)"), "周一");
    EXPECT_EQ(db.eval("WeekdayName(7, False, 2)"), "星期日");
    EXPECT_EQ(db.eval("WeekdayName(Weekday(#2024-12-25#))"), "星期三");
    EXPECT_NE(db.evalError("WeekdayName(8)"), "<no error>");
    EXPECT_EQ(db.eval("WeekdayName(Null)"), "<null>");
    const std::string d = "#1994-08-04 13:05:09#";
    EXPECT_EQ(db.eval("FormatDateTime(" + d + ")"), "1994/8/4 13:05:09");
    EXPECT_EQ(db.eval("FormatDateTime(" + d + ", 1)"), "1994年8月4日");
    EXPECT_EQ(db.eval("FormatDateTime(" + d + ", 2)"), "1994/8/4");
    EXPECT_EQ(db.eval("FormatDateTime(" + d + ", 3)"), "13:05:09");
    EXPECT_EQ(db.eval("FormatDateTime(" + d + ", 4)"), "13:05");
    EXPECT_NE(db.evalError("FormatDateTime(" + d + ", 5)"), "<no error>");
}

TEST_F(DatesAndFunctions, NumberCurrencyAndPercentFormats) {
    EXPECT_EQ(db.eval("FormatNumber(1234.567)"), "1,234.57");
    EXPECT_EQ(db.eval("FormatNumber(1234.5, 2, -2, -2, 0)"), "1234.50");
    EXPECT_EQ(db.eval("FormatNumber(-0.5, 1, 0)"), "-.5");
    EXPECT_EQ(db.eval("FormatNumber(-3, 0, -2, -1)"), "(3)");
    EXPECT_EQ(db.eval("FormatCurrency(1234.5)"), "¥1,234.50");
    EXPECT_EQ(db.eval("FormatCurrency(-2)"), "¥-2.00");
    EXPECT_EQ(db.eval("FormatPercent(0.1234)"), "12.34%");
    EXPECT_EQ(db.eval("FormatPercent(0.5, 0)"), "50%");
    EXPECT_EQ(db.eval("FormatNumber(Null)"), "<null>");
    EXPECT_NE(db.evalError("FormatNumber('abc')"), "<no error>");
}

TEST_F(DatesAndFunctions, PartitionRanges) {
    EXPECT_EQ(db.eval("Partition(267, 0, 500, 50)"), "250:299");
    EXPECT_EQ(db.eval("Partition(5, 0, 99, 5)"), "  5:  9");
    EXPECT_EQ(db.eval("Partition(-1, 0, 99, 5)"), "   : -1");
    EXPECT_EQ(db.eval("Partition(120, 0, 99, 5)"), "100:   ");
    EXPECT_EQ(db.eval("Partition(1005, 100, 1010, 20)"), "1000:1010");
    EXPECT_EQ(db.eval("Partition(100, 0, 1000, 1)"), " 100: 100");
    EXPECT_EQ(db.eval("Partition(Null, 0, 1000, 1)"), "<null>");
    EXPECT_NE(db.evalError("Partition(5, 10, 10, 1)"), "<no error>");
    EXPECT_NE(db.evalError("Partition(5, 0, 10, 0)"), "<no error>");
}

TEST_F(DatesAndFunctions, AnnuityFunctions) {
    EXPECT_EQ(db.eval("Round(Pmt(0.1 / 12, 36, -10000), 2)"), "322.67");
    EXPECT_EQ(db.eval("Pmt(0, 10, 1000)"), "-100.0");
    EXPECT_EQ(db.eval("Round(FV(0.06 / 12, 10, -200, -500, 1), 2)"), "2581.4");
    EXPECT_EQ(db.eval("Round(PV(0.08 / 12, 240, 500), 2)"), "-59777.15");
    EXPECT_EQ(db.eval("FV(0, 12, -100)"), "1200.0");
    EXPECT_NE(db.evalError("Pmt(0, 0, 1000)"), "<no error>");
}

} // namespace

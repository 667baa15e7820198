// Jet's functions, called through translated Jet expressions.

#include "TestDb.h"

namespace {

class Functions : public ::testing::Test {
protected:
    TestDb db;
    std::string e(const std::string& expr) { return db.eval(expr); }
};

} // namespace

TEST_F(Functions, TextCountsCharactersNotBytes) {
    EXPECT_EQ(e("Left('中华人民共和国', 2)"), "中华");
    EXPECT_EQ(e("Right('中华人民共和国', 3)"), "共和国");
    EXPECT_EQ(e("Mid('中华人民共和国', 3, 2)"), "人民");
    EXPECT_EQ(e("Mid('中华人民', 3)"), "人民");
    EXPECT_EQ(e("Mid('abc', 10)"), "");
    EXPECT_EQ(e("Len('中华人民')"), "4");
    EXPECT_EQ(e("Len(12.5)"), "4");
    EXPECT_EQ(e("Left('abc', 10)"), "abc");
    EXPECT_EQ(e("InStr('中华人民', '人')"), "3");
    EXPECT_EQ(e("InStr(4, 'abcabc', 'B')"), "5");
    EXPECT_EQ(e("InStr(1, 'abcabc', 'B', 0)"), "0");
    EXPECT_EQ(e("InStr('abc', '')"), "1");
    EXPECT_EQ(e("InStrRev('a/b/c', '/')"), "4");
    EXPECT_EQ(e("UCase('abcÉé')"), "ABCÉÉ");
    EXPECT_EQ(e("LCase('ÀБC')"), "àбc");
    EXPECT_EQ(e("'[' & Trim('  a b  ') & ']'"), "[a b]");
    EXPECT_EQ(e("'[' & LTrim('\u3000 a ') & ']'"), "[a ]");
    EXPECT_EQ(e("'[' & RTrim(' a  ') & ']'"), "[ a]");
    EXPECT_EQ(e("Space(3) & 'x'"), "   x");
    EXPECT_EQ(e("String(3, '好的')"), "好好好");
    EXPECT_EQ(e("String(2, 65)"), "AA");
    EXPECT_EQ(e("Replace('aXbxc', 'x', '-')"), "a-b-c");
    EXPECT_EQ(e("Replace('aXbxc', 'x', '-', 1, -1, 0)"), "aXb-c");
    EXPECT_EQ(e("Replace('abcabc', 'b', '', 3)"), "cac");
    EXPECT_EQ(e("Replace('aaa', 'a', 'b', 1, 2)"), "bba");
    EXPECT_EQ(e("StrComp('abc', 'ABC')"), "0");
    EXPECT_EQ(e("StrComp('abc', 'ABC', 0)"), "1");
    EXPECT_EQ(e("StrComp('a', 'b')"), "-1");
    EXPECT_EQ(e("StrReverse('中国')"), "国中");
    EXPECT_EQ(e("Asc('A')"), "65");
    EXPECT_EQ(e("Asc('中')"), "20013");
    EXPECT_EQ(e("Chr(20013) & Chr(65)"), "中A");
    EXPECT_EQ(e("Hex(255)"), "FF");
}

TEST_F(Functions, NullGoesThroughMostFunctions) {
    for (const char* f : {"Left(Null, 1)", "Len(Null)", "UCase(Null)", "Trim(Null)", "Year(Null)",
                          "DateAdd('d', 1, Null)", "CInt(Null)", "Round(Null)", "Format(Null, '0')",
                          "Mid(Null, 1)", "InStr(Null, 'a')", "Abs(Null)", "Val(Null)"})
        EXPECT_EQ(e(f), "<null>") << f;
    EXPECT_EQ(e("Nz(Null, 5)"), "5");
    EXPECT_EQ(e("Nz(Null)"), "");
    EXPECT_EQ(e("IsNull(Null)"), "-1");
    EXPECT_EQ(e("IIf(IsNull(Null), 'a', 'b')"), "a");
    // The registered helpers behave as the inline forms.
    EXPECT_EQ(db.query("SELECT jet_iif(NULL, 1, 2), jet_nz(NULL, 3), jet_isnull(NULL)").rows[0],
              (std::vector<std::string>{"2", "3", "-1"}));
}

TEST_F(Functions, DatesAsStoredText) {
    EXPECT_EQ(e("Year(#5/17/2023 14:05:09#) & '-' & Month('2023-05-17 14:05:09') & '-' & "
                "Day('2023-05-17') & ' ' & Hour(#14:05:09#) & ':' & Minute('14:05:09') & ':' & "
                "Second(#14:05:09#)"),
              "2023-5-17 14:5:9");
    EXPECT_EQ(e("Weekday(#2024-01-07#)"), "1"); // a Sunday
    EXPECT_EQ(e("Weekday(#2024-01-07#, 2)"), "7");
    EXPECT_EQ(e("DateAdd('m', 1, #1/31/2024#)"), "2024-02-29 00:00:00");
    EXPECT_EQ(e("DateAdd('yyyy', -1, #2/29/2024#)"), "2023-02-28 00:00:00");
    EXPECT_EQ(e("DateAdd('d', 10, '2024-12-25 10:00:00')"), "2025-01-04 10:00:00");
    EXPECT_EQ(e("DateAdd('h', -11, #2024-01-01 10:00#)"), "2023-12-31 23:00:00");
    EXPECT_EQ(e("DateAdd('ww', 2, #2024-01-01#)"), "2024-01-15 00:00:00");
    EXPECT_EQ(e("DateAdd('q', 1, #2024-11-30#)"), "2025-02-28 00:00:00");
    EXPECT_EQ(e("DateDiff('d', #2024-01-01 23:00#, #2024-01-02 01:00#)"), "1");
    EXPECT_EQ(e("DateDiff('yyyy', #12/31/2023#, #1/1/2024#)"), "1");
    EXPECT_EQ(e("DateDiff('m', #2024-03-31#, #2024-01-01#)"), "-2");
    EXPECT_EQ(e("DateDiff('h', #2024-01-01 10:59#, #2024-01-01 11:00#)"), "1");
    EXPECT_EQ(e("DateDiff('ww', #2024-01-06#, #2024-01-07#)"), "1"); // Saturday to Sunday
    EXPECT_EQ(e("DateDiff('w', #2024-01-01#, #2024-01-14#)"), "1");
    EXPECT_EQ(e("DatePart('q', #2024-08-01#)"), "3");
    EXPECT_EQ(e("DatePart('y', #2024-03-01#)"), "61");
    EXPECT_EQ(e("DatePart('ww', #2024-01-06#)"), "1");
    EXPECT_EQ(e("DatePart('ww', #2024-01-07#)"), "2");
    EXPECT_EQ(e("DateSerial(2024, 13, 1)"), "2025-01-01 00:00:00");
    EXPECT_EQ(e("DateSerial(2024, 3, 0)"), "2024-02-29 00:00:00");
    EXPECT_EQ(e("DateSerial(99, 1, 1)"), "1999-01-01 00:00:00");
    EXPECT_EQ(e("TimeSerial(25, 0, 0)"), "1899-12-31 01:00:00");
    EXPECT_EQ(e("DateValue('2024/3/5 13:00')"), "2024-03-05 00:00:00");
    EXPECT_EQ(e("TimeValue('2024-03-05 13:04:05')"), "1899-12-30 13:04:05");
    EXPECT_EQ(e("CDate(45292)"), "2024-01-01 00:00:00");
    EXPECT_EQ(e("CDate(45292.75)"), "2024-01-01 18:00:00");
    EXPECT_EQ(e("CDbl(#2024-01-01 12:00#)"), "45292.5");
    EXPECT_EQ(e("CDate(-1.25)"), "1899-12-29 06:00:00");
    // Text functions read a date in its short form: no midnight time, and
    // a time of day alone.
    EXPECT_EQ(e("Right(Date(), 3) Like '*/#*'"), "-1");
    EXPECT_EQ(e("InStr(Time(), '1899')"), "0");
    EXPECT_EQ(e("Year(Now()) >= 2024"), "-1");
    EXPECT_EQ(e("MonthName(3)"), "三月");
    EXPECT_NE(db.evalError("DateAdd('x', 1, #2024-01-01#)").find("无效的过程调用"),
              std::string::npos);
    EXPECT_NE(db.evalError("Year('not a date')").find("数据类型不匹配"), std::string::npos);
    EXPECT_NE(db.evalError("DateAdd('yyyy', 9000, #2024-01-01#)").find("溢出"), std::string::npos);
}

TEST_F(Functions, ConversionsRoundAsVb) {
    EXPECT_EQ(e("CInt(2.5)"), "2");
    EXPECT_EQ(e("CInt(3.5)"), "4");
    EXPECT_EQ(e("CInt(-2.5)"), "-2");
    EXPECT_EQ(e("CInt('12')"), "12");
    EXPECT_EQ(e("CLng(123456.5)"), "123456");
    EXPECT_NE(db.evalError("CInt(40000)").find("溢出"), std::string::npos);
    EXPECT_NE(db.evalError("CLng('abc')").find("数据类型不匹配"), std::string::npos);
    EXPECT_EQ(e("Round(2.5)"), "2");
    EXPECT_EQ(e("Round(0.125, 2)"), "0.12");
    EXPECT_EQ(e("Round(1.2345, 3)"), "1.234");
    EXPECT_EQ(e("Round(-1.5)"), "-2");
    EXPECT_EQ(e("Round(7)"), "7");
    EXPECT_EQ(e("CCur(1.23456)"), "1.2346");
    EXPECT_EQ(e("CSng(1.23456789)"), "1.234568");
    EXPECT_EQ(e("CDbl('1,234.5')"), "1234.5");
    EXPECT_EQ(e("CBool(5) & CBool(0) & CBool('True')"), "-10-1");
    EXPECT_EQ(e("CStr(1.5) & CStr(10)"), "1.510");
    EXPECT_EQ(e("Str(5) & '|' & Str(-5)"), " 5|-5");
    EXPECT_EQ(e("Val('  12 34abc')"), "1234.0");
    EXPECT_EQ(e("Val('-1.5e2x')"), "-150.0");
    EXPECT_EQ(e("Val('&H10')"), "16");
    EXPECT_EQ(e("Val('abc')"), "0");
    EXPECT_EQ(e("IsNumeric('12.5') & IsNumeric('12a') & IsNumeric(3) & IsNumeric(Null)"), "-10-10");
    EXPECT_EQ(e("IsDate('2024-02-29') & IsDate('2023-02-29') & IsDate('x')"), "-100");
}

TEST_F(Functions, NumbersAndOperators) {
    EXPECT_EQ(e("Int(-2.5) & ' ' & Fix(-2.5) & ' ' & Int(2.5)"), "-3 -2 2");
    EXPECT_EQ(e("Abs(-3) & ' ' & Sgn(-0.5) & ' ' & Sgn(0)"), "3 -1 0");
    EXPECT_EQ(e("Sqr(16)"), "4.0");
    EXPECT_EQ(e("Round(Exp(1), 5)"), "2.71828");
    EXPECT_EQ(e("Round(Log(100) / Log(10), 10)"), "2.0");
    EXPECT_NE(db.evalError("Sqr(-1)").find("无效的过程调用"), std::string::npos);
    EXPECT_NE(db.evalError("Log(0)").find("无效的过程调用"), std::string::npos);
    EXPECT_EQ(e("Rnd() >= 0 And Rnd() < 1"), "-1");
    EXPECT_EQ(e("5.5 Mod 2"), "0"); // operands rounded first: 6 Mod 2
    EXPECT_EQ(e("-7 Mod 3"), "-1");
    EXPECT_EQ(e("7.6 \\ 2"), "4");
    EXPECT_NE(db.evalError("1 \\ 0").find("除数为零"), std::string::npos);
    EXPECT_EQ(e("'1' + '2'"), "12");
    EXPECT_EQ(e("'1' + 2"), "3");
    EXPECT_EQ(e("'10' - '4'"), "6");
    EXPECT_EQ(e("Nz(Null) + 1"), "1");
    EXPECT_NE(db.evalError("'a' + 1").find("数据类型不匹配"), std::string::npos);
}

TEST_F(Functions, FormatNamedAndCustom) {
    EXPECT_EQ(e("Format(1234.567, 'Currency')"), "¥1,234.57");
    EXPECT_EQ(e("Format(-1234.5, 'Currency')"), "¥-1,234.50");
    EXPECT_EQ(e("Format(1234.567, 'Fixed')"), "1234.57");
    EXPECT_EQ(e("Format(1234.567, 'Standard')"), "1,234.57");
    EXPECT_EQ(e("Format(0.256, 'Percent')"), "25.60%");
    EXPECT_EQ(e("Format(1234.5, 'General Number')"), "1234.5");
    EXPECT_EQ(e("Format(12345, 'Scientific')"), "1.23E+04");
    EXPECT_EQ(e("Format(True, 'Yes/No') & Format(0, 'True/False')"), "是False");
    EXPECT_EQ(e("Format(2.5, '0')"), "3");
    EXPECT_EQ(e("Format(5, '0.00')"), "5.00");
    EXPECT_EQ(e("Format(0.5, '#.##')"), ".5");
    EXPECT_EQ(e("Format(1234567, '#,##0')"), "1,234,567");
    EXPECT_EQ(e("Format(7, '000')"), "007");
    EXPECT_EQ(e("Format(-3, '0;(0)')"), "(3)");
    EXPECT_EQ(e("Format(0, '0;(0);零')"), "零");
    EXPECT_EQ(e("Format(3, '\"第\"0\"名\"')"), "第3名");
    const std::string d = "#2024-03-05 14:07:09#";
    EXPECT_EQ(e("Format(" + d + ", 'yyyy-mm-dd')"), "2024-03-05");
    EXPECT_EQ(e("Format(" + d + ", 'yyyy-mm-dd hh:nn:ss')"), "2024-03-05 14:07:09");
    EXPECT_EQ(e("Format(" + d + ", 'hh:mm')"), "14:07");
    EXPECT_EQ(e("Format(" + d + ", 'yy/m/d')"), "24/3/5");
    EXPECT_EQ(e("Format(" + d + ", 'h:nn AM/PM')"), "2:07 PM");
    EXPECT_EQ(e("Format(" + d + ", 'dddd mmmm q')"), "星期二 三月 1");
    EXPECT_EQ(e("Format(" + d + ", 'Short Date')"), "2024/3/5");
    EXPECT_EQ(e("Format(" + d + ", 'Long Date')"), "2024年3月5日");
    EXPECT_EQ(e("Format(" + d + ", 'Long Time')"), "14:07:09");
    EXPECT_EQ(e("Format(" + d + ", 'General Date')"), "2024/3/5 14:07:09");
    EXPECT_EQ(e("Format(" + d + ")"), "2024/3/5 14:07:09");
    EXPECT_EQ(e("Format('2024-03-05 00:00:00', 'yyyy\\年m\\月')"), "2024年3月");
    EXPECT_EQ(e("Format(45292, 'yyyy-mm-dd')"), "2024-01-01");
    EXPECT_EQ(e("Format(" + d + ", 'yyyy年mm月dd日 hh时nn分')"), "2024年03月05日 14时07分");
    EXPECT_EQ(e("Format('abc', '>')"), "ABC");
    EXPECT_EQ(e("Format('ab', '@@@@')"), "  ab");
    EXPECT_EQ(e("Format('text', '0.00')"), "text");
    EXPECT_EQ(e("Format(1.5, '0." + std::string(400, '0') + "')"),
              "1." + std::string(15, '0').replace(0, 1, "5"));
    EXPECT_EQ(e("Format(1e300 * 1e8, '#,##0.00')").substr(0, 2), "1E");
}

TEST_F(Functions, AggregatesPerGroup) {
    db.exec("CREATE TABLE 成绩 (班 TEXT, 分 REAL)");
    db.exec("INSERT INTO 成绩 VALUES ('甲', 80), ('甲', 90), ('乙', 70), ('甲', NULL), ('乙', 75)");
    EXPECT_EQ(db.column("SELECT 班, First(分), Last(分), Var(分), VarP(分), StDevP(分) FROM 成绩 "
                        "GROUP BY 班 ORDER BY 班",
                        1),
              "70.0|80.0");
    const auto r =
        db.jet("SELECT First(分), Last(分), Var(分), VarP(分) FROM 成绩 WHERE 班 = '甲'");
    EXPECT_EQ(r.rows[0], (std::vector<std::string>{"80.0", "<null>", "50.0", "25.0"}));
    EXPECT_EQ(db.scalar("SELECT StDev(分) FROM 成绩 WHERE 分 = 70"), "<null>");
}

TEST_F(Functions, JetTextCollationIgnoresCase) {
    db.exec("CREATE TABLE 人 (名 TEXT COLLATE JETTEXT PRIMARY KEY)");
    db.exec("INSERT INTO 人 VALUES ('smith'), ('Émile'), ('张三'), ('Brown')");
    EXPECT_EQ(db.column("SELECT 名 FROM 人 WHERE 名 = 'SMITH'"), "smith");
    EXPECT_EQ(db.column("SELECT 名 FROM 人 WHERE 名 = 'émile'"), "Émile");
    EXPECT_EQ(db.column("SELECT 名 FROM 人 ORDER BY 名"), "Brown|Émile|smith|张三");
    // The primary key refuses a value that differs only in case, as Jet does.
    EXPECT_THROW(db.exec("INSERT INTO 人 VALUES ('BROWN')"), std::runtime_error);
}

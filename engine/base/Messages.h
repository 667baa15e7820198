#pragma once

#include "EngineError.h"

#include <cstddef>
#include <initializer_list>
#include <string>

// The engine's failure texts, one place for all of them. The numbers follow
// the desktop Jet engine's error numbers where one exists, so users who look
// a number up find the same meaning.
//
// Windows search these texts for fixed substrings; the comments name the
// substrings each text must (or must not) carry. Tests check every one.
// "%1", "%2" are replaced by the names involved.
namespace engine::msg {

struct Message {
    int number;
    const char* text;
};

// Open. The password loop asks again on WrongPassword and PasswordOrDamaged,
// by number; both texts carry "密码", no other open failure does.
inline constexpr Message WrongPassword{3031, "不是有效的密码。"};
// An encrypted file cannot be told apart from random bytes: a wrong password
// and a damaged file look the same.
inline constexpr Message PasswordOrDamaged{3950, "密码不正确，或文件已损坏：“%1”。"};
inline constexpr Message EmptyPath{3044, "未指定数据库文件的路径。"};
inline constexpr Message FileNotFound{3024, "找不到文件“%1”。"};
inline constexpr Message NotADatabase{3343, "无法识别的数据库格式“%1”。"};
inline constexpr Message UnsupportedFormat{3951, "数据库“%1”的格式版本（%2）不受支持。"};
// An encrypted .accdb whose form of encryption the reader does not know;
// the password may well be right, so the text does not mention it.
inline constexpr Message UnsupportedEncryption{3970, "此文件使用了不支持的加密方式（%1）：“%2”。"};
// A pass-through query of a genuine file: its text is meant for the ODBC
// server it names and would do something else (or harm) if run here.
inline constexpr Message PassThroughQuery{
    3972, "“%1”是传递查询，它的语句要交给外部 ODBC 数据源执行，本程序不能运行它。"};
inline constexpr Message CannotOpen{
    3051, "无法打开文件“%1”。请确认该文件存在、没有被其他程序独占，并且您有读写它的权限。"};
inline constexpr Message BadConnectionString{3706, "连接字符串无效：%1"};
inline constexpr Message ConnectionClosed{3704, "对象关闭时，不允许操作。"};
inline constexpr Message Corrupt{
    3049, "数据库文件已损坏，无法读取：%1。请先复制一份该文件，再用“压缩数据库”从副本修复。"};
inline constexpr Message DamagedReadOnly{
    3952, "数据库文件“%1”没有通过完整性检查，已按只读方式打开，不能修改。"
          "请先复制一份该文件，再用“压缩数据库”从副本修复。"};
inline constexpr Message HotJournalReadOnly{
    3953, "数据库文件“%1”的上一次修改没有完成，而文件所在的位置是只读的，无法恢复。"
          "请把文件复制到可写的位置再打开，未完成的修改会自动撤销。"};
inline constexpr Message UnfinishedReadOnly{
    3971, "数据库文件“%1”的上一次修改没有完成，而文件所在的位置是只读的，无法在原处撤销这次修改。"
          "文件已按只读方式打开，显示的是这次修改之前的数据，不能修改。"
          "请把文件复制到可写的位置再打开，未完成的修改会自动撤销。"};
inline constexpr Message DatabaseBusy{
    3260, "数据库正被其他程序使用并锁定，暂时无法使用。请稍后再试，或关闭正在使用它的程序。"};
inline constexpr Message ReadOnlyFile{3027, "数据库文件“%1”是只读的，不能写入。"};
inline constexpr Message JetFileReadOnly{
    3954, "“%1”是原始 Jet 格式的 .mdb 文件，目前只能读取，不能修改。"};
// A genuine file's table that cannot be changed in place; %2 says why.
inline constexpr Message JetTableReadOnly{3980, "表“%1”不能在原处修改：%2。"};
// Genuine Jet files that are written in place: which format can be written,
// what cannot be changed yet, a second writer, a change undone on opening.
inline constexpr Message JetFormatReadOnly{
    3973, "“%1”是%2格式的文件，只能读取，不能修改。本程序只能修改 Access 2000–2003"
          "（Jet 4）格式的 .mdb 文件。"};
inline constexpr Message JetSchemaReadOnly{
    3974, "“%1”是原始 Jet 格式的 .mdb 文件，目前只能修改数据，不能修改表结构或保存的查询。"};
// Carries "在使用中" and the file's name.
inline constexpr Message JetFileInUse{
    3975, "数据库文件“%1”在使用中：另一个程序（或本程序的另一个窗口）正在修改它，"
          "所以这次只能读取，不能修改。请关闭正在使用它的程序后重新打开。"};
inline constexpr Message JetChangeUndone{
    3976, "数据库文件“%1”的上一次修改没有完成（程序意外退出或断电），已自动撤销，"
          "文件恢复到这次修改之前的样子。"};
inline constexpr Message JetJournalDamaged{
    3977,
    "数据库文件“%1”的上一次修改没有完成，而用来撤销它的日志文件“%2”已损坏，无法撤销。"
    "文件已按只读方式打开，不能修改。请先复制一份该文件和日志文件，再用“压缩数据库”从副本修复。"};
inline constexpr Message JetPageMapUnsupported{
    3978, "数据库文件“%1”的页面分配表无法识别（%2），不能在其中分配新页，修改没有保存。"};
inline constexpr Message DiskFull{
    3026, "磁盘空间不足，修改没有保存，数据库保持修改前的样子。删除记录同样需要少量磁盘空间"
          "（用来保证修改可以撤销），所以磁盘满时也无法删除记录。请先在该磁盘上删除或移走其他"
          "不需要的文件，释放空间后再试；之后可用“压缩数据库”让数据库文件变小。"};
inline constexpr Message OutOfMemory{3035, "系统资源不足（内存不够），操作没有完成。"};
inline constexpr Message IoError{3043, "读写磁盘时出错，操作没有完成。请检查磁盘或网络连接。"};

// Statements.
inline constexpr Message Syntax{3075, "SQL 语句语法错误：%1"};
inline constexpr Message UnknownTable{
    3078, "找不到输入表或查询“%1”。请确定它是否存在，以及名称是否拼写正确。"};
inline constexpr Message UnknownField{3061, "字段“%1”不存在，或参数不足。"};
// A column outside an aggregate function that GROUP BY does not name.
inline constexpr Message NotInAggregate{3122, "您的查询不包含作为聚合函数一部分的特定表达式“%1”。"};
inline constexpr Message GroupOnStar{3120, "不能对使用“*”选定的字段分组。"};
// Parameter queries: a parameter without a value, a value of the wrong kind.
inline constexpr Message ParameterMissing{3965, "参数不足：缺少参数“%1”的值。"};
inline constexpr Message BadParameterValue{3966, "参数“%1”的值“%2”无法转换为%3。"};
inline constexpr Message EngineFailure{3000,
                                       "数据库引擎出现意外错误（错误代码 %1），操作没有完成。"};
inline constexpr Message NotRowReturning{3065, "该语句不返回记录：%1"};
inline constexpr Message TooComplex{3360, "查询过于复杂：%1。请把它拆成几个较简单的查询。"};
inline constexpr Message TooBig{3955, "数据太大：单个值或单条记录超出了数据库能保存的大小。"};
inline constexpr Message Interrupted{3956, "操作已被取消。"};
// Failures inside expressions, numbered as the run-time's own.
inline constexpr Message DivisionByZero{11, "除数为零。"};
inline constexpr Message FunctionTypeMismatch{13, "数据类型不匹配：函数 %1 的参数无效。"};
inline constexpr Message BadCall{5, "无效的过程调用或参数：%1"};
inline constexpr Message Overflow{6, "数值溢出：%1"};
// The engine's own tables (MSysColumns, MSysKeys, MSysQueries) are read-only
// to SQL; a reserved name cannot be given to a user's table.
inline constexpr Message SystemTable{
    3957, "不能修改系统表“%1”：它保存数据库自身的结构信息，只能由数据库引擎修改。"};
inline constexpr Message ReservedName{
    3958, "“%1”是保留的名称：以 MSys 或 sqlite_ 开头的名称由数据库引擎自己使用，请换一个名称。"};
inline constexpr Message SelfReference{3102, "查询“%1”不能引用它自己（循环引用）。"};

// DDL. "已存在" is mapped by the designer to "该表已存在".
inline constexpr Message TableExists{3010, "表“%1”已存在。"};
inline constexpr Message DatabaseExists{3963, "数据库“%1”已存在。"};
inline constexpr Message FieldExists{3191, "字段“%1”已存在，不能重复定义。"};
inline constexpr Message QueryExists{3012, "对象“%1”已存在。"};
// Must contain "自动编号" and must not contain "主键".
inline constexpr Message SecondAutoNumber{
    3377, "一个表中只能有一个自动编号字段：“%1”中已有自动编号字段。"};
// Must contain "主控键" and must not contain "主键".
inline constexpr Message SecondPrimaryKey{3283, "表“%1”中已定义主控键，不能再定义第二个。"};
inline constexpr Message UnknownTypeWord{3259, "字段“%1”的数据类型“%2”无效。"};
inline constexpr Message BadName{
    3125, "“%1”不是有效的名称。请确定名称中没有无效字符或标点，且名称不太长。"};
inline constexpr Message UnknownConstraint{3372, "表“%1”中没有名为“%2”的索引或约束。"};
inline constexpr Message UnknownQuery{3011, "找不到查询“%1”。"};
inline constexpr Message ColumnInIndex{3280, "字段“%1”属于索引“%2”，不能删除；请先删除该索引。"};
inline constexpr Message LastColumn{3959, "不能删除表“%1”的最后一个字段。"};
inline constexpr Message ConvertFailed{3421, "数据类型转换错误：字段“%1”中的值“%2”无法转换为%3。"};

// Row values. The duplicate text carries "主键" as Jet's does.
inline constexpr Message Required{3314, "字段“%1”不能为空值，必须输入一个值。"};
inline constexpr Message TooLong{3163,
                                 "字段“%1”太小，不能接受所要添加的数据量（最多 %2 个字符）。"};
inline constexpr Message TypeMismatch{3464, "数据类型不匹配：“%2”不是字段“%1”可以接受的值。"};
inline constexpr Message NotADate{3960, "字段“%1”只能保存日期和时间：“%2”不是有效的日期。"};
inline constexpr Message OutOfRange{3349, "字段“%1”的数值溢出：“%2”超出了该类型的范围。"};
inline constexpr Message Duplicate{
    3022, "所做的更改不成功，因为它们会在索引、主键或关系中创建重复的值。"};
// Raised under Duplicate's number by the Jet index writer, naming the index;
// carries "重复".
inline constexpr Message DuplicateInIndex{
    3985, "所做的更改不成功，因为它们会在索引“%"
          "1”中创建重复的值。请修改数据，或重新定义该索引以允许重复的值。"};
// A genuine file's table whose text index uses a sort order whose keys
// cannot be built here; names the table, the index and the sort order.
inline constexpr Message UnsupportedSortOrder{
    3986,
    "表“%1”的索引“%2”按“%3”排序，本程序无法按这种排序次序维护索引，所以这个表只能读取，不能修改。"};
inline constexpr Message Constraint{3317, "字段“%1”中的值违反了该字段的有效性规则。"};

// Recordsets.
inline constexpr Message RowChanged{
    3197, "数据已被其他用户更改：该行自读取后已被修改，您的更改没有保存。请重新查询后再编辑。"};
inline constexpr Message RowDeleted{3167, "该记录已被删除。"};
inline constexpr Message ReadOnlyResult{3326,
                                        "不能更新。该结果来自联接、汇总或只读查询，是只读的。"};
inline constexpr Message NoCurrentRecord{
    3021, "BOF 或 EOF 中有一个为真，或者当前记录已被删除。该操作要求一个当前记录。"};
inline constexpr Message FieldNotFound{3265, "在集合中找不到字段“%1”。"};
inline constexpr Message BadArgument{
    3001, "参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突：%1"};
// A window slot outside 0..88, numbered as the run-time's subscript failure.
inline constexpr Message SubscriptOutOfRange{9, "下标越界：窗口编号 %1 不在 0 到 %2 之间。"};

// The database wizard's template file is missing.
inline constexpr Message TemplateNotFound{3964, "找不到模板文件：%1"};

// Compaction.
inline constexpr Message DestinationExists{3204, "目标文件“%1”已存在，不能压缩到该文件。"};
inline constexpr Message SameFile{3356, "源文件和目标文件不能相同：%1"};
inline constexpr Message CompactFailed{3962, "压缩没有完成，目标文件“%1”没有生成：%2"};

// Every message above, for the checks of the catalogue.
const Message* const* all(std::size_t& count);

// Replaces %1, %2, ... in the message text by the given arguments. Control
// bytes in the arguments are written visibly ("\0", "\x1B"), and bytes that
// are not UTF-8 as U+FFFD, so a message is always printable text.
std::string format(const Message& m, std::initializer_list<std::string> args = {});

[[noreturn]] void raise(const Message& m, std::initializer_list<std::string> args = {});
// The same, with a developer detail kept beside the text.
[[noreturn]] void raiseWithDetail(const Message& m, std::initializer_list<std::string> args,
                                  std::string detail);

} // namespace engine::msg

-- 帐单管理：账户、收支类别和帐单
-- 家庭或个人的记账本：每一笔收入和支出记在某个账户和类别下。

create table 账户 (账户ID Long primary key, 账户名称 Text(20) not null, 类型 Text(10), 开户行 Text(20), 期初余额 Money);

create table 类别 (类别ID Long primary key, 类别名称 Text(20) not null, 收支 Text(2) not null);

create table 帐单 (帐单ID Counter primary key, 日期 Time not null, 账户ID Long not null, 类别ID Long not null, 金额 Money not null, 对方 Text(50), 已核对 Bit, 备注 Memo);

-- 账户：20 行
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (1, '现金钱包', '现金', '', 500);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (2, '工资卡', '储蓄卡', '工商银行', 12000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (3, '信用卡', '信用卡', '招商银行', 0);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (4, '支付宝', '网络支付', '', 860);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (5, '微信钱包', '网络支付', '', 320);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (6, '定期存款', '定期', '建设银行', 50000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (7, '公积金', '公积金', '住房公积金中心', 23000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (8, '基金账户', '投资', '天天基金', 8000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (9, '股票账户', '投资', '华泰证券', 15000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (10, '交通卡', '储值卡', '', 100);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (11, '饭卡', '储值卡', '', 200);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (12, '外币账户', '储蓄卡', '中国银行', 3000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (13, '儿童储蓄', '储蓄卡', '农业银行', 6000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (14, '备用金', '现金', '', 1000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (15, '旅行基金', '储蓄卡', '交通银行', 4000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (16, '医疗账户', '医保', '医保中心', 1500);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (17, '房贷账户', '贷款', '建设银行', -350000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (18, '车贷账户', '贷款', '平安银行', -60000);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (19, '会员卡', '储值卡', '', 300);
insert into 账户 (账户ID, 账户名称, 类型, 开户行, 期初余额) values (20, '礼金', '现金', '', 2000);

-- 类别：20 行
insert into 类别 (类别ID, 类别名称, 收支) values (1, '工资', '收');
insert into 类别 (类别ID, 类别名称, 收支) values (2, '奖金', '收');
insert into 类别 (类别ID, 类别名称, 收支) values (3, '利息', '收');
insert into 类别 (类别ID, 类别名称, 收支) values (4, '报销', '收');
insert into 类别 (类别ID, 类别名称, 收支) values (5, '兼职', '收');
insert into 类别 (类别ID, 类别名称, 收支) values (6, '红包', '收');
insert into 类别 (类别ID, 类别名称, 收支) values (7, '餐饮', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (8, '交通', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (9, '购物', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (10, '房租', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (11, '水电燃气', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (12, '通讯', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (13, '医疗', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (14, '教育', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (15, '娱乐', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (16, '旅行', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (17, '人情往来', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (18, '保险', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (19, '还贷', '支');
insert into 类别 (类别ID, 类别名称, 收支) values (20, '日用品', '支');

-- 帐单：48 行
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-01-01#, 2, 10, 4500, '房东', True, '1月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-01-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-01-11#, 1, 17, 28, '亲友', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-02-01#, 2, 10, 4500, '房东', True, '2月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-02-03#, 5, 11, 35.8, '滴滴出行', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-02-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-02-17#, 4, 19, 128, '滴滴出行', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-03-01#, 2, 10, 4500, '房东', True, '3月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-03-06#, 5, 14, 99, '中国移动', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-03-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-03-11#, 3, 11, 388, '超市', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-03-27#, 4, 16, 35.8, '中国移动', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-04-01#, 2, 10, 4500, '房东', True, '4月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-04-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-04-29#, 3, 20, 388, '京东', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-05-01#, 2, 10, 4500, '房东', True, '5月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-05-06#, 1, 7, 66, '美团外卖', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-05-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-05-18#, 1, 8, 66, '美团外卖', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-05-25#, 5, 16, 388, '超市', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-06-01#, 2, 10, 4500, '房东', True, '6月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-06-07#, 3, 15, 388, '医院', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-06-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-06-22#, 1, 16, 388, '医院', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-07-01#, 2, 10, 4500, '房东', True, '7月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-07-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-07-25#, 1, 8, 28, '京东', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-08-01#, 2, 10, 4500, '房东', True, '8月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-08-01#, 4, 16, 12.5, '加油站', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-08-04#, 3, 14, 12.5, '超市', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-08-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-08-23#, 4, 19, 12.5, '滴滴出行', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-01#, 2, 10, 4500, '房东', True, '9月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-04#, 4, 19, 99, '超市', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-16#, 3, 9, 520, '中国移动', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-16#, 5, 12, 520, '超市', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-17#, 4, 14, 128, '电影院', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-09-30#, 1, 18, 1200, '电影院', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-10-01#, 2, 10, 4500, '房东', True, '10月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-10-03#, 4, 13, 256, '中国移动', False, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-10-09#, 5, 9, 388, '亲友', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-10-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-10-14#, 4, 11, 28, '亲友', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-11-01#, 2, 10, 4500, '房东', True, '11月房租');
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-11-01#, 3, 19, 256, '中国移动', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-11-07#, 1, 13, 1200, '美团外卖', True, Null);
insert into 帐单 (日期, 账户ID, 类别ID, 金额, 对方, 已核对, 备注) values (#2024-11-10#, 2, 1, 15800, '北京某科技有限公司', True, Null);

create proc 月度收支 as select year(帐单.日期) as 年, month(帐单.日期) as 月, sum(iif(类别.收支 = '收', 帐单.金额, 0)) as 收入, sum(iif(类别.收支 = '支', 帐单.金额, 0)) as 支出 from 帐单 inner join 类别 on 帐单.类别ID = 类别.类别ID group by year(帐单.日期), month(帐单.日期);

-- 存储过程的 SQL 文本副本，供“字段\存储过程”视图显示和修改
Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL);
insert into USys_SVZ (name, SqlStr) values ('月度收支', 'select year(帐单.日期) as 年, month(帐单.日期) as 月, sum(iif(类别.收支 = ''收'', 帐单.金额, 0)) as 收入, sum(iif(类别.收支 = ''支'', 帐单.金额, 0)) as 支出 from 帐单 inner join 类别 on 帐单.类别ID = 类别.类别ID group by year(帐单.日期), month(帐单.日期)');

-- 示范：部门、员工、项目和工时
-- 示范数据库：员工表用到表设计器提供的每一种字段类型，经典SQL语句大全里的例子都以它为准。

create table 部门 (部门ID Long primary key, 部门名称 Text(20) not null, 所在城市 Text(20), 年度预算 Double, 成立日期 Time);

-- 员工表的字段依次是：Counter、Text(20)、Text(50)、Memo、Long、Single、Double、Time、Money、Binary、Byte、Bit、NUMERIC(6,2)、NUMERIC(6,6)、Hyperlink
create table 员工 (员工ID Counter primary key, 姓名 Text(20) not null, 电子邮件 Text(50), 简介 Memo, 部门ID Long, 绩效系数 Single, 累计奖金 Double, 入职日期 Time, 月薪 Money, 照片 Binary, 年假天数 Byte, 在职 Bit, 考评分 NUMERIC(6,2), 出勤率 NUMERIC(6,6), 个人主页 Hyperlink);

create table 项目 (项目ID Long primary key, 项目名称 Text(50) not null, 部门ID Long, 负责人ID Long, 开始日期 Time, 结束日期 Time, 预算 Money, 已完成 Bit);

create table 工时 (工时ID Counter primary key, 员工ID Long not null, 项目ID Long not null, 日期 Time not null, 小时 Single);

-- 部门：20 行
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (1, '总经理办公室', '北京', 800000, #2018-05-29#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (2, '人事部', '北京', 1200000, #2008-09-21#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (3, '财务部', '北京', 800000, #2009-04-20#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (4, '市场部', '上海', 800000, #2013-07-13#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (5, '销售一部', '上海', 1200000, #2010-03-23#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (6, '销售二部', '广州', 800000, #2015-11-18#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (7, '研发一部', '深圳', 3500000, #2018-09-24#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (8, '研发二部', '杭州', 1200000, #2010-08-06#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (9, '测试部', '杭州', 2000000, #2008-11-05#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (10, '运维部', '成都', 800000, #2010-02-20#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (11, '客服部', '成都', 800000, #2010-04-28#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (12, '采购部', '南京', 3500000, #2010-08-08#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (13, '法务部', '北京', 1200000, #2009-01-31#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (14, '行政部', '北京', 3500000, #2006-08-24#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (15, '产品部', '深圳', 3500000, #2006-07-27#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (16, '设计部', '上海', 500000, #2013-12-09#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (17, '数据部', '杭州', 800000, #2016-07-09#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (18, '培训部', '武汉', 2000000, #2014-12-17#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (19, '质量部', '西安', 800000, #2018-07-30#);
insert into 部门 (部门ID, 部门名称, 所在城市, 年度预算, 成立日期) values (20, '物流部', '天津', 1200000, #2014-06-19#);

-- 员工：24 行
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('冯明', 'user01@example.com', Null, 6, 1.2, 8000, #2023-05-03#, 8800, Null, 10, True, 81.39, 0.967007, '主页#http://example.com/1#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('雷雨桐', 'user02@example.com', '负责华东区客户。', 13, 1.14, 3000, #2012-03-20#, 18500, Null, 7, True, 88.65, 0.936382, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('唐海燕', 'user03@example.com', '新员工，试用期内。', 15, 1.35, 0, #2020-11-24#, 18500, Null, 7, True, 81.99, 0.904267, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('冯秀英', 'user04@example.com', '负责华东区客户。', 3, 1.45, 12000, #2017-02-23#, 7800, Null, 10, True, 71.46, 0.978215, '主页#http://example.com/4#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('赵晓东', 'zhao05@example.com', '熟悉 SQL 和报表。', 6, 0.84, 3000, #2020-05-01#, 18500, Null, 7, True, 93.82, 0.979974, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('段伟', 'user06@example.com', '新员工，试用期内。', 5, 1.02, 8000, #2015-05-21#, 22000, Null, 10, False, 65.75, 0.940688, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('付建国', 'user07@example.com', '擅长数据分析。', 6, 1.1, 8000, #2012-07-17#, 8800, Null, 14, True, 90.19, 0.992449, '主页#http://example.com/7#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('徐涛', 'user08@example.com', '曾获年度优秀员工。', 2, 1.15, 4800.5, #2018-08-28#, 18500, Null, 9, True, 62.74, 0.912503, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('魏玉兰', 'user09@example.com', '曾获年度优秀员工。', 2, 1.33, 0, #2013-10-25#, 9500, Null, 8, True, 69.02, 0.962205, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('严强', 'user10@example.com', '熟悉 SQL 和报表。', 14, 1.23, 0, #2014-01-24#, 9500, Null, 8, True, 62.86, 0.975748, '主页#http://example.com/10#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('雷平', 'user11@example.com', '曾获年度优秀员工。', 13, 1.2, 4800.5, #2016-03-10#, 18500, Null, 15, True, 73.59, 0.942731, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('潘宇航', 'user12@example.com', '擅长数据分析。', 11, 1.42, 4800.5, #2019-07-17#, 9500, Null, 14, True, 90.62, 0.902037, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('朱明', 'user13@example.com', Null, 2, 0.87, 4800.5, #2021-04-30#, 7800, Null, 6, True, 73.56, 0.91894, '主页#http://example.com/13#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('朱晓东', 'user14@example.com', Null, 1, 1.1, 1500, #2022-11-10#, 15000, Null, 15, True, 64.5, 0.902466, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('汤志强', 'user15@example.com', '擅长数据分析。', 1, 1.25, 4800.5, #2015-09-18#, 18500, Null, 13, True, 60.37, 0.988361, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('杨静', 'yang16@example.com', '曾获年度优秀员工。', 5, 1.47, 8000, #2023-01-24#, 12000, Null, 7, True, 89.32, 0.907329, '主页#http://example.com/16#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('贾磊', 'user17@example.com', Null, 9, 0.92, 8000, #2015-08-16#, 18500, Null, 12, True, 87.28, 0.914626, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('孔勇', 'user18@example.com', '曾获年度优秀员工。', 6, 0.96, 12000, #2024-06-02#, 12000, Null, 13, False, 98.12, 0.976976, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('潘军', 'user19@example.com', '曾获年度优秀员工。', 16, 1.14, 4800.5, #2021-09-08#, 22000, Null, 10, True, 80.19, 0.934662, '主页#http://example.com/19#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('郑桂英', 'user20@example.com', '熟悉 SQL 和报表。', 9, 1.08, 4800.5, #2012-06-25#, 6500, Null, 9, True, 61.6, 0.998469, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('贺洋', 'user21@example.com', '曾获年度优秀员工。', 12, 1.33, 12000, #2022-02-04#, 15000, Null, 12, True, 69.37, 0.968768, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('龙志强', 'user22@example.com', '曾获年度优秀员工。', 1, 1.32, 8000, #2017-06-02#, 12000, Null, 10, True, 83.95, 0.907685, '主页#http://example.com/22#');
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('韩超', 'user23@example.com', '新员工，试用期内。', 2, 1.13, 12000, #2017-03-08#, 7800, Null, 11, True, 89.2, 0.908277, Null);
insert into 员工 (姓名, 电子邮件, 简介, 部门ID, 绩效系数, 累计奖金, 入职日期, 月薪, 照片, 年假天数, 在职, 考评分, 出勤率, 个人主页) values ('曾玉兰', 'user24@example.com', '曾获年度优秀员工。', 12, 1.36, 8000, #2015-09-30#, 15000, Null, 12, True, 70.35, 0.935421, Null);

-- 项目：20 行
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (1, '客户管理系统升级', 6, 4, #2024-05-08#, #2025-01-07#, 350000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (2, '官网改版', 18, 23, #2023-05-01#, #2024-02-12#, 50000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (3, '移动应用二期', 19, 7, #2023-04-26#, #2024-01-11#, 200000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (4, '数据仓库建设', 16, 17, #2024-04-05#, #2024-06-15#, 80000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (5, '年度审计', 15, 5, #2023-07-27#, #2024-01-30#, 50000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (6, '新员工培训', 9, 11, #2023-01-05#, #2023-05-28#, 350000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (7, '华南市场推广', 1, 3, #2024-06-17#, #2025-03-18#, 120000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (8, '供应链优化', 4, 4, #2023-12-02#, #2024-02-29#, 80000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (9, '办公网络改造', 6, 7, #2023-05-26#, #2023-09-02#, 50000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (10, '客服热线扩容', 19, 8, #2024-03-23#, #2024-11-19#, 50000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (11, '质量体系认证', 6, 4, #2023-01-10#, #2023-09-20#, 80000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (12, '产品发布会', 10, 15, #2023-12-23#, #2024-04-02#, 120000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (13, '财务系统迁移', 2, 23, #2023-09-04#, #2024-02-12#, 120000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (14, '招聘季', 6, 21, #2023-10-09#, #2024-07-14#, 120000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (15, '品牌设计', 16, 4, #2024-05-27#, #2024-12-10#, 120000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (16, '用户调研', 15, 4, #2024-05-27#, #2024-12-05#, 80000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (17, '安全加固', 5, 22, #2024-04-11#, #2024-08-16#, 350000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (18, '仓储自动化', 3, 15, #2023-01-18#, #2023-03-02#, 120000, False);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (19, '合同管理平台', 5, 5, #2023-04-24#, #2023-08-08#, 350000, True);
insert into 项目 (项目ID, 项目名称, 部门ID, 负责人ID, 开始日期, 结束日期, 预算, 已完成) values (20, '报表中心', 19, 20, #2023-10-15#, #2024-07-31#, 50000, False);

-- 工时：40 行
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (18, 6, #2024-09-29#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (17, 8, #2024-11-11#, 8);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (6, 4, #2024-09-16#, 4);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (19, 5, #2024-11-25#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (11, 16, #2024-09-03#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (19, 1, #2024-11-25#, 2);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (8, 19, #2024-09-30#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (17, 15, #2024-11-30#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (6, 7, #2024-09-23#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (23, 20, #2024-10-02#, 3);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (4, 6, #2024-09-10#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (24, 9, #2024-09-22#, 2);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (18, 4, #2024-09-03#, 8);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (14, 19, #2024-11-29#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (10, 11, #2024-10-12#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (24, 16, #2024-11-12#, 3);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (20, 2, #2024-11-05#, 3);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (22, 14, #2024-09-04#, 8);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (22, 19, #2024-10-13#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (23, 16, #2024-10-19#, 3);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (11, 5, #2024-11-05#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (20, 20, #2024-10-04#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (21, 19, #2024-11-08#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (12, 2, #2024-09-02#, 8);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (3, 9, #2024-10-01#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (10, 17, #2024-09-22#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (18, 19, #2024-10-04#, 4);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (17, 5, #2024-10-14#, 4);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (2, 11, #2024-10-28#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (5, 5, #2024-09-27#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (18, 13, #2024-11-22#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (15, 8, #2024-09-20#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (12, 6, #2024-09-13#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (3, 1, #2024-09-23#, 4);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (8, 4, #2024-10-24#, 2.5);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (7, 8, #2024-09-26#, 2);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (21, 20, #2024-09-07#, 6);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (16, 16, #2024-10-23#, 2);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (8, 11, #2024-10-12#, 1);
insert into 工时 (员工ID, 项目ID, 日期, 小时) values (14, 13, #2024-09-17#, 8);

create proc 员工名单 as select 员工.员工ID, 员工.姓名, 部门.部门名称, 员工.入职日期, 员工.月薪 from 员工 inner join 部门 on 员工.部门ID = 部门.部门ID;

create proc 部门工资 as select 部门.部门名称, count(员工.员工ID) as 人数, sum(员工.月薪) as 工资总额, avg(员工.月薪) as 平均工资 from 部门 inner join 员工 on 部门.部门ID = 员工.部门ID group by 部门.部门名称;

create proc 项目工时 as select 项目.项目名称, sum(工时.小时) as 总工时 from 项目 inner join 工时 on 项目.项目ID = 工时.项目ID group by 项目.项目名称;

-- 存储过程的 SQL 文本副本，供“字段\存储过程”视图显示和修改
Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL);
insert into USys_SVZ (name, SqlStr) values ('员工名单', 'select 员工.员工ID, 员工.姓名, 部门.部门名称, 员工.入职日期, 员工.月薪 from 员工 inner join 部门 on 员工.部门ID = 部门.部门ID');
insert into USys_SVZ (name, SqlStr) values ('部门工资', 'select 部门.部门名称, count(员工.员工ID) as 人数, sum(员工.月薪) as 工资总额, avg(员工.月薪) as 平均工资 from 部门 inner join 员工 on 部门.部门ID = 员工.部门ID group by 部门.部门名称');
insert into USys_SVZ (name, SqlStr) values ('项目工时', 'select 项目.项目名称, sum(工时.小时) as 总工时 from 项目 inner join 工时 on 项目.项目ID = 工时.项目ID group by 项目.项目名称');

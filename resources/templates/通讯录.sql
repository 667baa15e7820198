-- 通讯录：联系人、分组和纪念日
-- 个人通讯录：联系人按分组整理，记下电话、邮箱、地址和生日等纪念日。

create table 分组 (分组ID Long primary key, 分组名称 Text(20) not null);

create table 联系人 (联系人ID Counter primary key, 姓名 Text(20) not null, 分组ID Long, 手机 Text(20), 办公电话 Text(20), 电子邮件 Text(50), 单位 Text(50), 地址 Text(50), 生日 Time, 备注 Memo);

create table 纪念日 (纪念日ID Counter primary key, 联系人ID Long not null, 名称 Text(20), 日期 Time, 提前提醒天数 Byte);

-- 分组：20 行
insert into 分组 (分组ID, 分组名称) values (1, '家人');
insert into 分组 (分组ID, 分组名称) values (2, '亲戚');
insert into 分组 (分组ID, 分组名称) values (3, '同学');
insert into 分组 (分组ID, 分组名称) values (4, '大学同学');
insert into 分组 (分组ID, 分组名称) values (5, '同事');
insert into 分组 (分组ID, 分组名称) values (6, '前同事');
insert into 分组 (分组ID, 分组名称) values (7, '朋友');
insert into 分组 (分组ID, 分组名称) values (8, '邻居');
insert into 分组 (分组ID, 分组名称) values (9, '客户');
insert into 分组 (分组ID, 分组名称) values (10, '供应商');
insert into 分组 (分组ID, 分组名称) values (11, '医生');
insert into 分组 (分组ID, 分组名称) values (12, '老师');
insert into 分组 (分组ID, 分组名称) values (13, '物业');
insert into 分组 (分组ID, 分组名称) values (14, '快递');
insert into 分组 (分组ID, 分组名称) values (15, '维修');
insert into 分组 (分组ID, 分组名称) values (16, '银行');
insert into 分组 (分组ID, 分组名称) values (17, '保险');
insert into 分组 (分组ID, 分组名称) values (18, '律师');
insert into 分组 (分组ID, 分组名称) values (19, '驾校');
insert into 分组 (分组ID, 分组名称) values (20, '其他');

-- 联系人：25 行
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('宋静', 4, '13766136915', Null, 'zhang845@example.com', '市第一医院', '天津市和平区南京路272号', #1971-06-27#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('汪思远', 13, '18238017595', '010-81376888', 'zhao75@example.com', '自由职业', '杭州市西湖区文三路196号', #2005-11-01#, '老家在杭州');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('杨雨桐', 9, '13399181612', Null, 'zhao725@example.com', '市第一医院', '成都市武侯区人民南路207号', #2006-12-31#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('叶强', 4, '17808406466', Null, 'zhang161@example.com', '某某科技有限公司', '上海市浦东新区世纪大道32号', #1956-11-18#, '周末才方便联系');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('郭海燕', 2, '17065412142', '020-84678091', 'chen525@example.com', '某某科技有限公司', '青岛市市南区香港中路254号', #1959-12-27#, '老家在苏州');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('李超', 14, '18267245304', Null, 'yang753@example.com', '', '深圳市南山区科技园2号', #2009-02-24#, '老家在青岛');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('程军', 8, '13673927519', Null, 'yang744@example.com', '', '西安市雁塔区长安南路182号', #1999-05-13#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('熊军', 19, '17895026272', Null, 'wang150@example.com', '自由职业', '厦门市思明区中山路279号', #2005-07-08#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('蒋艳', 4, '18321842503', '029-74722953', 'chen745@example.com', '建设银行', '杭州市西湖区文三路43号', #1993-04-04#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('许杰', 1, '17785692243', '028-73016063', 'zhao279@example.com', '实验中学', '天津市和平区南京路256号', #1968-07-05#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('钱艳', 1, '18240906180', Null, 'wang701@example.com', '实验中学', '长沙市岳麓区麓山南路277号', #2009-01-02#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('余海燕', 1, '17208963227', Null, 'zhao396@example.com', '某某科技有限公司', '北京市朝阳区建国路209号', #1961-01-27#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('尹雪梅', 7, '15981453368', '010-86457726', 'zhang906@example.com', '市第一医院', '天津市和平区南京路106号', #2008-07-13#, '周末才方便联系');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('田磊', 17, '13586712784', Null, 'zhang297@example.com', '', '厦门市思明区中山路244号', #1972-05-08#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('高建国', 7, '13101378503', Null, 'yang462@example.com', '市第一医院', '青岛市市南区香港中路272号', #1981-07-25#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('闫娜', 6, '17562976098', Null, 'li166@example.com', '', '西安市雁塔区长安南路132号', #1958-10-29#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('任文', 9, '15202819827', '025-86020837', 'zhang185@example.com', '', '苏州市姑苏区观前街103号', #2000-07-26#, '老家在南京');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('黎梓萱', 11, '18084061502', '025-79766634', 'zhao373@example.com', '某某科技有限公司', '北京市朝阳区建国路5号', #1984-03-26#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('于俊杰', 2, '18988948912', '020-64274310', 'yang378@example.com', '市第一医院', '苏州市姑苏区观前街134号', #1980-10-27#, '老家在杭州');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('雷海燕', 12, '17281733445', '021-62357034', 'zhang541@example.com', '实验中学', '武汉市洪山区珞喻路4号', #1992-02-23#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('胡强', 9, '15319957799', '0571-80320413', 'chen628@example.com', '实验中学', '苏州市姑苏区观前街131号', #1979-09-21#, '老家在武汉');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('郝平', 16, '15316511205', Null, 'wang491@example.com', '某某科技有限公司', '西安市雁塔区长安南路65号', #1998-11-21#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('陆娜', 17, '15502333149', Null, 'zhao181@example.com', '自由职业', '西安市雁塔区长安南路289号', #1995-08-13#, '喜欢喝茶');
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('李华', 9, '13137590795', Null, 'zhao222@example.com', '', '武汉市洪山区珞喻路37号', #1971-08-31#, Null);
insert into 联系人 (姓名, 分组ID, 手机, 办公电话, 电子邮件, 单位, 地址, 生日, 备注) values ('丁雪梅', 1, '17276415037', '028-81405339', 'zhang644@example.com', '市第一医院', '天津市和平区南京路193号', #1963-12-16#, '喜欢喝茶');

-- 纪念日：30 行
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (1, '生日', #1971-06-27#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (2, '生日', #2005-11-01#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (3, '生日', #2006-12-31#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (4, '生日', #1956-11-18#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (5, '生日', #1959-12-27#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (6, '生日', #2009-02-24#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (7, '生日', #1999-05-13#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (8, '生日', #2005-07-08#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (9, '生日', #1993-04-04#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (10, '生日', #1968-07-05#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (11, '生日', #2009-01-02#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (12, '生日', #1961-01-27#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (13, '生日', #2008-07-13#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (14, '生日', #1972-05-08#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (15, '生日', #1981-07-25#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (16, '生日', #1958-10-29#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (17, '生日', #2000-07-26#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (18, '生日', #1984-03-26#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (19, '生日', #1980-10-27#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (20, '生日', #1992-02-23#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (21, '生日', #1979-09-21#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (22, '生日', #1998-11-21#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (23, '生日', #1995-08-13#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (24, '生日', #1971-08-31#, 3);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (25, '生日', #1963-12-16#, 1);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (20, '相识纪念日', #2007-03-30#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (7, '入职纪念日', #2002-01-13#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (2, '入职纪念日', #2009-10-19#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (12, '相识纪念日', #2007-01-11#, 7);
insert into 纪念日 (联系人ID, 名称, 日期, 提前提醒天数) values (17, '相识纪念日', #2018-04-13#, 7);

create proc 联系人名单 as select 联系人.姓名, 分组.分组名称, 联系人.手机, 联系人.电子邮件 from 联系人 inner join 分组 on 联系人.分组ID = 分组.分组ID;

create proc 本月生日 as select 姓名, 手机, 生日 from 联系人 where month(生日) = month(date());

-- 存储过程的 SQL 文本副本，供“字段\存储过程”视图显示和修改
Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL);
insert into USys_SVZ (name, SqlStr) values ('联系人名单', 'select 联系人.姓名, 分组.分组名称, 联系人.手机, 联系人.电子邮件 from 联系人 inner join 分组 on 联系人.分组ID = 分组.分组ID');
insert into USys_SVZ (name, SqlStr) values ('本月生日', 'select 姓名, 手机, 生日 from 联系人 where month(生日) = month(date())');

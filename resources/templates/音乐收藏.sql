-- 音乐收藏：歌手、专辑和曲目
-- 个人的唱片收藏：歌手、专辑、曲目和评分。

create table 歌手 (歌手ID Counter primary key, 姓名 Text(20) not null, 地区 Text(10), 类型 Text(10), 出道年份 Long);

create table 专辑 (专辑ID Counter primary key, 专辑名称 Text(50) not null, 歌手ID Long not null, 发行日期 Time, 唱片公司 Text(20), 介质 Text(10), 购入价格 Money);

create table 曲目 (曲目ID Counter primary key, 专辑ID Long not null, 序号 Byte, 歌名 Text(50) not null, 时长秒 Long, 评分 Byte, 收藏 Bit);

-- 歌手：20 行
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('林晓', '内地', '流行', 2005);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('陈雨', '香港', '流行', 1998);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('周星河', '台湾', '流行', 2001);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('王岚', '内地', '民谣', 2010);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('李默', '内地', '摇滚', 1995);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('赵乐', '内地', '民族', 1990);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('孙悦然', '台湾', '爵士', 2008);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('吴昊', '内地', '说唱', 2015);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('郑一', '香港', '流行', 1988);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('冯小月', '内地', '民谣', 2012);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('许云', '台湾', '流行', 2003);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('黄河乐队', '内地', '摇滚', 1993);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('邓清', '内地', '古典', 2000);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('曹阳', '内地', '电子', 2018);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('彭丽', '内地', '民族', 1985);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('青柠乐团', '台湾', '独立', 2011);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('沈默', '香港', '摇滚', 1999);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('白桦林组合', '内地', '民谣', 2007);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('韩雪', '内地', '流行', 2009);
insert into 歌手 (姓名, 地区, 类型, 出道年份) values ('江南丝竹团', '内地', '民族', 1980);

-- 专辑：22 行
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('大雪之旅', 1, #2013-12-04#, '长河音乐', '磁带', 68);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('少年情书', 2, #2012-06-03#, '金曲唱片', '磁带', 98);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('夜空情书', 3, #2017-10-03#, '独立发行', 'CD', 38);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('晚风物语', 4, #2004-12-31#, '独立发行', 'CD', 168);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('旅途序曲', 5, #2008-01-21#, '长河音乐', '数字', 168);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('灯火小夜曲', 6, #2000-07-21#, '金曲唱片', 'CD', 168);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('城市的歌', 7, #2023-08-12#, '独立发行', 'CD', 98);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('回忆再见', 8, #2008-07-03#, '金曲唱片', 'CD', 68);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('回忆日记', 9, #2015-04-09#, '长河音乐', 'CD', 38);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('星光物语', 10, #2011-03-02#, '金曲唱片', '数字', 98);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('星光之声', 11, #2017-04-16#, '金曲唱片', '黑胶', 45);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('河流日记', 12, #2020-09-20#, '长河音乐', 'CD', 45);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('少年序曲', 13, #2020-06-16#, '金曲唱片', 'CD', 45);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('雨巷之旅', 14, #2004-12-14#, '长河音乐', '黑胶', 38);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('雨巷之声', 15, #2005-01-30#, '金曲唱片', 'CD', 58);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('月亮之声', 16, #2019-09-19#, '海蓝文化', 'CD', 98);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('回忆再见', 17, #2006-09-07#, '海蓝文化', '黑胶', 58);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('雨巷心事', 18, #2017-05-31#, '独立发行', '黑胶', 168);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('夜空心事', 19, #2003-05-11#, '长河音乐', 'CD', 98);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('旅途序曲', 20, #2020-11-11#, '金曲唱片', 'CD', 38);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('时光的歌', 1, #2001-10-24#, '长河音乐', '黑胶', 45);
insert into 专辑 (专辑名称, 歌手ID, 发行日期, 唱片公司, 介质, 购入价格) values ('夜空小夜曲', 2, #2012-08-17#, '长河音乐', '黑胶', 168);

-- 曲目：47 行
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (1, 1, '城市的雨巷', 162, 1, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (1, 2, '旅途故乡', 182, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (1, 3, '海边的故乡', 175, 2, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (2, 1, '城市的灯火', 215, 2, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (3, 1, '月亮里的雨巷', 201, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (4, 1, '春风下的夜空', 321, 3, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (4, 2, '月亮下的少年', 310, 4, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (4, 3, '夜空下的少年', 249, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (5, 1, '城市里的春风', 181, 5, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (5, 2, '月亮下的春风', 241, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (5, 3, '月亮下的雨巷', 292, 4, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (6, 1, '草原旅途', 211, 4, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (6, 2, '草原下的樱花', 275, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (7, 1, '山谷里的时光', 314, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (7, 2, '月亮里的山谷', 246, 2, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (8, 1, '雨巷大雪', 150, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (9, 1, '远方的春风', 231, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (9, 2, '星光下的少年', 312, 1, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (10, 1, '夜空里的海边', 274, 4, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (10, 2, '大雪下的少年', 275, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (10, 3, '时光的星光', 224, 2, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (11, 1, '雨巷的夜空', 235, 1, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (12, 1, '樱花的春风', 303, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (12, 2, '草原的旅途', 246, 1, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (12, 3, '城市里的草原', 326, 1, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (13, 1, '雨巷里的时光', 242, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (14, 1, '星光下的晚风', 223, 1, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (14, 2, '大雪的樱花', 191, 1, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (15, 1, '河流里的雨巷', 199, 1, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (15, 2, '月亮里的灯火', 282, 5, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (15, 3, '山谷的大雪', 297, 4, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (16, 1, '星光里的樱花', 180, 5, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (16, 2, '河流河流', 266, 2, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (16, 3, '晚风的灯火', 262, 1, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (17, 1, '星光的海边', 305, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (17, 2, '晚风春风', 218, 2, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (18, 1, '回忆故乡', 317, 5, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (19, 1, '少年下的春风', 162, 1, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (19, 2, '大雪的海边', 260, 4, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (19, 3, '夜空的星光', 197, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (20, 1, '少年樱花', 270, 3, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (20, 2, '大雪的大雪', 257, 5, False);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (20, 3, '回忆里的月亮', 248, 1, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (21, 1, '草原里的夜空', 242, 5, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (21, 2, '大雪远方', 263, 3, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (22, 1, '山谷的星光', 235, 4, True);
insert into 曲目 (专辑ID, 序号, 歌名, 时长秒, 评分, 收藏) values (22, 2, '山谷的时光', 257, 4, True);

create proc 专辑曲目 as select 歌手.姓名, 专辑.专辑名称, 曲目.序号, 曲目.歌名, 曲目.时长秒 from (歌手 inner join 专辑 on 歌手.歌手ID = 专辑.歌手ID) inner join 曲目 on 专辑.专辑ID = 曲目.专辑ID;

create proc 五星曲目 as select 歌名, 时长秒 from 曲目 where 评分 = 5;

-- 存储过程的 SQL 文本副本，供“字段\存储过程”视图显示和修改
Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL);
insert into USys_SVZ (name, SqlStr) values ('专辑曲目', 'select 歌手.姓名, 专辑.专辑名称, 曲目.序号, 曲目.歌名, 曲目.时长秒 from (歌手 inner join 专辑 on 歌手.歌手ID = 专辑.歌手ID) inner join 曲目 on 专辑.专辑ID = 曲目.专辑ID');
insert into USys_SVZ (name, SqlStr) values ('五星曲目', 'select 歌名, 时长秒 from 曲目 where 评分 = 5');

create table 占位 (id long primary key);

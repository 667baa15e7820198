// Writes the small .accdb sample files the reader's tests use, through the
// Jet/ACE writer in jettool.jar, and prints what it wrote as JSON lines (the
// tests compare the reader's values with that listing).
//
//   CP=../shared/tools/jettool/jettool.jar:/usr/share/java/commons-lang3.jar:/usr/share/java/commons-logging.jar
//   javac -cp $CP -d /tmp/acesamples tests/engine/jet/tools/AceSamples.java
//   java -cp /tmp/acesamples:$CP AceSamples tests/engine/jet/data
//
// Files (each is refused when it exists already):
//   ace2007.accdb  Access 2007 format: text, numbers, dates, a zero-length binary
//   ace2010.accdb  Access 2010 format: calculated columns of text, long and double
//   ace2019.accdb  Access 2019 format: BigInt, Date/Time Extended, a calculated column

import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.DateTimeType;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.File;
import java.time.LocalDateTime;
import java.util.List;

public class AceSamples {
    static Database create(File dir, String name, Database.FileFormat format) throws Exception {
        File f = new File(dir, name);
        if (f.exists()) throw new IllegalStateException(f + " exists already");
        Database db = new DatabaseBuilder(f).setFileFormat(format).create();
        db.setDateTimeType(DateTimeType.LOCAL_DATE_TIME);
        return db;
    }

    static void dump(String file, Table t) throws Exception {
        for (Row r : t) {
            StringBuilder sb = new StringBuilder();
            sb.append(file).append('\t').append(t.getName());
            for (var c : t.getColumns()) {
                Object v = r.get(c.getName());
                sb.append('\t').append(c.getName()).append('=');
                if (v instanceof byte[] b) {
                    sb.append("bytes[").append(b.length).append(']');
                } else {
                    sb.append(v);
                }
            }
            System.out.println(sb);
        }
    }

    public static void main(String[] args) throws Exception {
        File dir = new File(args.length > 0 ? args[0] : ".");

        try (Database db = create(dir, "ace2007.accdb", Database.FileFormat.V2007)) {
            Table t = new TableBuilder("联系人")
                          .addColumn(new ColumnBuilder("ID", DataType.LONG).setAutoNumber(true))
                          .addColumn(new ColumnBuilder("姓名", DataType.TEXT).setLengthInUnits(100))
                          .addColumn(new ColumnBuilder("生日", DataType.SHORT_DATE_TIME))
                          .addColumn(new ColumnBuilder("余额", DataType.MONEY))
                          .addColumn(new ColumnBuilder("Data", DataType.BINARY).setLength(50))
                          .addColumn(new ColumnBuilder("Note", DataType.MEMO))
                          .setPrimaryKey("ID")
                          .toTable(db);
            t.addRow(null, "张三", LocalDateTime.of(1990, 5, 17, 0, 0), new java.math.BigDecimal("12.5"),
                     new byte[] {1, 2, 3}, "备注一");
            t.addRow(null, "Li Si", LocalDateTime.of(2001, 12, 31, 23, 59, 58), null, new byte[0], "");
            t.addRow(null, null, null, new java.math.BigDecimal("-3.25"), null, null);
            dump("ace2007.accdb", t);
        }

        try (Database db = create(dir, "ace2010.accdb", Database.FileFormat.V2010)) {
            Table t = new TableBuilder("People")
                          .addColumn(new ColumnBuilder("ID", DataType.LONG).setAutoNumber(true))
                          .addColumn(new ColumnBuilder("FirstName", DataType.TEXT).setLengthInUnits(50))
                          .addColumn(new ColumnBuilder("LastName", DataType.TEXT).setLengthInUnits(50))
                          .addColumn(new ColumnBuilder("Qty", DataType.LONG))
                          .addColumn(new ColumnBuilder("Price", DataType.DOUBLE))
                          .addColumn(new ColumnBuilder("AllNames", DataType.TEXT)
                                         .setLengthInUnits(50)
                                         .setCalculatedInfo("[FirstName] & \" \" & [LastName]"))
                          .addColumn(new ColumnBuilder("QtyTwice", DataType.LONG)
                                         .setCalculatedInfo("[Qty]*2"))
                          .addColumn(new ColumnBuilder("Total", DataType.DOUBLE)
                                         .setCalculatedInfo("[Qty]*[Price]"))
                          .addColumn(new ColumnBuilder("Bin", DataType.BINARY).setLength(20))
                          .addColumn(new ColumnBuilder("Summary", DataType.MEMO)
                                         .setCalculatedInfo("[FirstName] & \"：\" & [Qty]"))
                          .addColumn(new ColumnBuilder("IsBig", DataType.BOOLEAN)
                                         .setCalculatedInfo("[Qty]>5"))
                          .setPrimaryKey("ID")
                          .toTable(db);
            t.addRow(null, "Ada", "Lovelace", 3, 1.5, null, null, null, new byte[0], null, null);
            t.addRow(null, "王", "小明", 7, 2.25, null, null, null, new byte[] {(byte) 0xAB}, null,
                     null);
            t.addRow(null, "Solo", null, null, null, null, null, null, null, null, null);
            dump("ace2010.accdb", t);
        }

        try (Database db = create(dir, "ace2019.accdb", Database.FileFormat.V2019)) {
            Table t = new TableBuilder("Big")
                          .addColumn(new ColumnBuilder("ID", DataType.LONG).setAutoNumber(true))
                          .addColumn(new ColumnBuilder("Huge", DataType.BIG_INT))
                          .addColumn(new ColumnBuilder("When", DataType.EXT_DATE_TIME))
                          .addColumn(new ColumnBuilder("Label", DataType.TEXT).setLengthInUnits(40))
                          .addColumn(new ColumnBuilder("HugePlusOne", DataType.BIG_INT)
                                         .setCalculatedInfo("[Huge]+1"))
                          .setPrimaryKey("ID")
                          .toTable(db);
            t.addRow(null, 9007199254740993L, LocalDateTime.of(2024, 2, 29, 13, 45, 7, 123456700),
                     "闰日", null);
            t.addRow(null, -5L, LocalDateTime.of(1, 1, 1, 0, 0, 0), "first day", null);
            t.addRow(null, null, null, null, null);
            dump("ace2019.accdb", t);
        }
    }
}

// Writes the small .accdb sample files the reader's tests use, through the
// Jet/ACE writer in jettool.jar, and prints what it wrote as JSON lines (the
// tests compare the reader's values with that listing).
//
//   CP=../shared/tools/jettool/jettool.jar:/usr/share/java/commons-lang3.jar:/usr/share/java/commons-logging.jar
//   javac -cp $CP -d /tmp/acesamples tests/engine/jet/tools/AceSamples.java
//   java -cp /tmp/acesamples:$CP AceSamples tests/engine/jet/data
//
// Files (each is refused when it exists already):
//   ace2007.accdb  Access 2007 format: text, numbers, dates, a zero-length binary,
//                  a compaction log MSysCompactError
//   ace2010.accdb  Access 2010 format: calculated columns of text, long and double
//   ace2019.accdb  Access 2019 format: BigInt, Date/Time Extended, a calculated column
//   acecomplex.accdb  Access 2010 format: a multi-value and an attachment column
//
// The writer cannot create complex columns, so acecomplex.accdb is assembled
// the way Access lays them out (as the blank database's own attachment
// column MSysResources.Data shows): a hidden "flat" table per column holding
// the values, with the type table's columns plus a key and a link column, a
// row in MSysComplexColumns, and the column itself of type 0x12 carrying the
// complex id. The columns start as Long columns whose type and id are then
// set in the table definition; the writer then reopens the file, recognises
// them as complex columns and stores the values through its own API.

import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.DateTimeType;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import com.healthmarketscience.jackcess.Column;
import com.healthmarketscience.jackcess.Cursor;
import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.complex.Attachment;
import com.healthmarketscience.jackcess.complex.ComplexValueForeignKey;
import com.healthmarketscience.jackcess.complex.SingleValue;
import com.healthmarketscience.jackcess.impl.ColumnImpl;
import com.healthmarketscience.jackcess.impl.TableImpl;

import java.io.File;
import java.io.RandomAccessFile;
import java.nio.charset.StandardCharsets;
import java.util.Map;
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
            // The log a failed compaction leaves: an ordinary table by its
            // flags, a system table by its name.
            Table log = new TableBuilder("MSysCompactError")
                            .addColumn(new ColumnBuilder("ErrorCode", DataType.LONG))
                            .addColumn(new ColumnBuilder("ErrorDescription", DataType.MEMO))
                            .addColumn(new ColumnBuilder("ErrorRecid", DataType.BINARY).setLength(255))
                            .addColumn(new ColumnBuilder("ErrorTable", DataType.TEXT).setLengthInUnits(255))
                            .toTable(db);
            log.addRow(-1605, "记录已损坏。", new byte[0], "联系人");
            dump("ace2007.accdb", log);
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

        makeComplex(dir);
    }

    static int tableId(Database db, String name) throws Exception {
        Table t = db.getTable(name);
        if (t == null) t = db.getSystemTable(name);
        return ((TableImpl) t).getTableDefPageNumber();
    }

    // A flat table for `column` of table `owner` with the type table's columns.
    static void flatTable(Database db, String flatName, String owner, String column, String typeTable,
                          boolean setFlags) throws Exception {
        Table type = db.getSystemTable(typeTable);
        TableBuilder b = new TableBuilder(flatName)
                             .addColumn(new ColumnBuilder("_" + column, DataType.LONG));
        for (Column c : type.getColumns())
            b.addColumn(new ColumnBuilder(c.getName()).setFromColumn(c));
        b.addColumn(new ColumnBuilder(owner + "_" + column, DataType.LONG).setAutoNumber(true));
        b.addIndex(new com.healthmarketscience.jackcess.IndexBuilder("_" + column).addColumns("_" + column));
        b.toTable(db);
        // Hidden and owned by the engine, as Access marks its flat tables.
        Cursor objs = CursorBuilder.createCursor(db.getSystemTable("MSysObjects"));
        if (objs.findFirstRow(Map.of("Name", flatName)))
            objs.setCurrentRowValue(objs.getTable().getColumn("Flags"), 0x800a0000);
    }

    static void makeComplex(File dir) throws Exception {
        File f = new File(dir, "acecomplex.accdb");
        if (f.exists()) throw new IllegalStateException(f + " exists already");
        int itemsPage;
        short tagsNum, filesNum;
        try (Database db = new DatabaseBuilder(f).setFileFormat(Database.FileFormat.V2010).create()) {
            Table items = new TableBuilder("Items")
                              .addColumn(new ColumnBuilder("ID", DataType.LONG).setAutoNumber(true))
                              .addColumn(new ColumnBuilder("Name", DataType.TEXT).setLengthInUnits(50))
                              .addColumn(new ColumnBuilder("Tags", DataType.LONG))
                              .addColumn(new ColumnBuilder("Files", DataType.LONG))
                              .setPrimaryKey("ID")
                              .toTable(db);
            flatTable(db, "f_7A0C2B6E11D34E5FA1B2C3D4E5F60718_Tags", "Items", "Tags",
                      "MSysComplexType_Text", true);
            flatTable(db, "f_7A0C2B6E11D34E5FA1B2C3D4E5F60719_Files", "Items", "Files",
                      "MSysComplexType_Attachment", true);
            itemsPage = tableId(db, "Items");
            Table cc = db.getSystemTable("MSysComplexColumns");
            cc.addRow("Tags", tableId(db, "MSysComplexType_Text"),
                      tableId(db, "f_7A0C2B6E11D34E5FA1B2C3D4E5F60718_Tags"), itemsPage, 2);
            cc.addRow("Files", tableId(db, "MSysComplexType_Attachment"),
                      tableId(db, "f_7A0C2B6E11D34E5FA1B2C3D4E5F60719_Files"), itemsPage, 3);
            tagsNum = ((ColumnImpl) items.getColumn("Tags")).getColumnNumber();
            filesNum = ((ColumnImpl) items.getColumn("Files")).getColumnNumber();
            items.addRow(null, "空", 1, 1);
            items.addRow(null, "两个标签", 2, 2);
            items.addRow(null, "无", null, null);
        }
        // Turn the two Long columns into complex ones: type 0x12 at the start
        // of the column's entry, the complex id 11 bytes in.
        try (RandomAccessFile raf = new RandomAccessFile(f, "rw")) {
            byte[] page = new byte[4096];
            raf.seek((long) itemsPage * 4096);
            raf.readFully(page);
            java.nio.ByteBuffer bb = java.nio.ByteBuffer.wrap(page).order(java.nio.ByteOrder.LITTLE_ENDIAN);
            int numCols = bb.getShort(45) & 0xFFFF;
            int numRealIdx = bb.getInt(51);
            int pos = 63 + numRealIdx * 12;
            for (int i = 0; i < numCols; ++i, pos += 25) {
                short num = bb.getShort(pos + 5);
                if (num == tagsNum || num == filesNum) {
                    page[pos] = 0x12;
                    bb.putInt(pos + 11, num == tagsNum ? 2 : 3);
                }
            }
            raf.seek((long) itemsPage * 4096);
            raf.write(page);
        }
        try (Database db = new DatabaseBuilder(f).open()) {
            db.setDateTimeType(DateTimeType.LOCAL_DATE_TIME);
            Table items = db.getTable("Items");
            Column tags = items.getColumn("Tags"), files = items.getColumn("Files");
            for (Row r : items) {
                if (r.get("Tags") == null) continue;
                ComplexValueForeignKey t = (ComplexValueForeignKey) tags.getRowValue(r);
                ComplexValueForeignKey a = (ComplexValueForeignKey) files.getRowValue(r);
                if (t.get() == 2) {
                    t.addMultiValue("红色");
                    t.addMultiValue("blue");
                    a.addAttachment(null, "说明.txt", "txt",
                                    "第一行\nsecond line".getBytes(StandardCharsets.UTF_8),
                                    LocalDateTime.of(2023, 5, 6, 7, 8, 9), null);
                    a.addAttachment(null, "pic.png", "png", new byte[] {(byte) 0x89, 'P', 'N', 'G', 0, 1, 2},
                                    LocalDateTime.of(2023, 5, 6, 7, 8, 10), null);
                }
            }
            for (Row r : items) {
                StringBuilder sb = new StringBuilder("acecomplex.accdb\tItems\tName=" + r.get("Name"));
                Object tv = tags.getRowValue(r);
                if (tv instanceof ComplexValueForeignKey t) {
                    sb.append("\tTags=");
                    for (SingleValue v : t.getMultiValues()) sb.append(v.get()).append(';');
                    sb.append("\tFiles=");
                    for (Attachment at : ((ComplexValueForeignKey) files.getRowValue(r)).getAttachments())
                        sb.append(at.getFileName()).append('[').append(at.getFileData().length).append("];");
                } else {
                    sb.append("\tTags=").append(tv);
                }
                System.out.println(sb);
            }
        }
    }
}
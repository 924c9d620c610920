#include "jobs/database.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <climits>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using Span = std::pair<size_t, size_t>;  // offset in the file, length

struct RecordingBox : ErrorBox {
  std::vector<std::string> texts;
  void show(const std::string& title, const std::string& text) override {
    EXPECT_EQ(title, "Error");
    texts.push_back(text);
  }
};

// Where each field of each record lies, as shapelib (an independent reader) sees the table.
struct Layout {
  size_t header = 0, record = 0;
  int records = 0;
  std::map<std::string, Span> fields;  // offset in the record (past the mark), width
  Span span(int rec, const std::string& name) const {
    auto [offset, width] = fields.at(name);
    return {header + size_t(rec - 1) * record + offset, width};
  }
  std::string bytes(const std::string& file, int rec, const std::string& name) const {
    auto [at, width] = span(rec, name);
    return file.substr(at, width);
  }
};

Layout layout_of(const fs::path& path) {
  Layout l;
  DBFHandle h = DBFOpen(path.c_str(), "rb");
  l.header = size_t(h->nHeaderLength);
  l.record = size_t(h->nRecordLength);
  l.records = DBFGetRecordCount(h);
  for (int i = 0; i < DBFGetFieldCount(h); ++i) {
    char name[12];
    int width = 0;
    DBFGetFieldInfo(h, i, name, &width, nullptr);
    l.fields[name] = {size_t(h->panFieldOffset[i]), size_t(width)};
  }
  DBFClose(h);
  return l;
}

std::string shapelib_read(const fs::path& path, int rec, const char* field) {
  DBFHandle h = DBFOpen(path.c_str(), "rb");
  std::string value = DBFReadStringAttribute(h, rec - 1, DBFGetFieldIndex(h, field));
  DBFClose(h);
  return value;
}

void expect_same_outside(const std::string& before, const std::string& after, const std::vector<Span>& changed) {
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i) {
    bool inside = false;
    for (auto [start, length] : changed) inside = inside || (i >= start && i < start + length);
    ASSERT_TRUE(inside || before[i] == after[i]) << "byte " << i << " changed";
  }
}

fs::path copy_fixture(const test::TempFolder& folder, const std::string& name) {
  fs::path to = folder / name;
  fs::copy_file(fs::path(QZGSMS_FIXTURES_DIR) / "dbf" / name, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  return to;
}

std::string pad_left(const std::string& s, size_t width) { return std::string(width - s.size(), ' ') + s; }

class DatabaseFixture : public ::testing::TestWithParam<std::string> {
 protected:
  DatabaseFixture() : path(copy_fixture(folder, GetParam())), original(test::read_file(path)), layout(layout_of(path)) {
    EXPECT_EQ(db.Open(path.string()), 1);
  }
  test::TempFolder folder;
  fs::path path;
  std::string original;
  Layout layout;
  RecordingBox box;
  CDatabase db{&box};
};

TEST_P(DatabaseFixture, ReadsEveryFieldAsStoredWhateverTheCaseOfTheName) {
  ASSERT_EQ(layout.records, 5);
  for (int rec = 1; rec <= 5; ++rec) {
    ASSERT_EQ(db.Go(rec), 0);
    for (const auto& [name, where] : layout.fields) {
      std::string lower = name, value, raw = layout.bytes(original, rec, name);
      for (char& c : lower) c = char(c | 0x20);
      EXPECT_EQ(db.GetField(lower, value), 1);
      EXPECT_EQ(value, raw.substr(0, raw.find_last_not_of(' ') + 1)) << name << " of " << rec;
      EXPECT_EQ(size_t(db.FieldWidth(lower)), where.second);
    }
  }
  EXPECT_TRUE(box.texts.empty());
}

TEST_P(DatabaseFixture, ReportUpdateChangesOnlyItsFieldsAndIsVisibleAtOnce) {
  std::vector<Span> changed;
  for (int rec : {3, 5}) {  // a middle record, and the last (the VFP table ends without 0x1A)
    ASSERT_EQ(db.Go(rec), 0);
    EXPECT_EQ(db.Replace("STATUS", 8), 1);
    EXPECT_EQ(db.Replace("time", std::string("090507")), 1);
    EXPECT_EQ(db.Replace("TI2", std::string("101112")), 1);
    EXPECT_EQ(db.Replace("To2", 3), 1);
    for (const char* f : {"STATUS", "TIME", "TI2", "TO2"}) changed.push_back(layout.span(rec, f));
    EXPECT_EQ(shapelib_read(path, rec, "TIME"), "090507");  // while the table is still open
    EXPECT_EQ(shapelib_read(path, rec, "STATUS"), "8");
    int to2 = 0;
    EXPECT_EQ(db.GetField("TO2", to2), 1);
    EXPECT_EQ(to2, 3);
  }
  db.Close();
  std::string after = test::read_file(path);
  expect_same_outside(original, after, changed);
  size_t width = layout.fields["STATUS"].second;
  EXPECT_EQ(layout.bytes(after, 3, "STATUS") + layout.bytes(after, 5, "TO2"), pad_left("8", width) + pad_left("3", width));
  EXPECT_TRUE(box.texts.empty());
}

TEST_P(DatabaseFixture, FailedGoLeavesNoRecordToWriteInto) {
  for (int bad : {0, -1, 6, INT_MAX, INT_MIN}) {
    ASSERT_EQ(db.Go(2), 0);
    box.texts.clear();
    EXPECT_NE(db.Go(bad), 0);
    EXPECT_EQ(db.RecNo(), 0);
    std::string text;
    EXPECT_EQ(db.GetField("TIME", text), 0);
    EXPECT_EQ(db.Replace("STATUS", 8), 0);
    EXPECT_EQ(db.Replace("TIME", std::string("090507")), 0);
    EXPECT_EQ(db.Blank(), 0);
    EXPECT_EQ(db.Delete(), 0);
    EXPECT_EQ(db.Recall(), 0);
    EXPECT_EQ(db.Skip(1), 0);
    EXPECT_EQ(db.Find("TY1", std::string("SMS")), 0);
    EXPECT_EQ(box.texts, std::vector<std::string>{"CDatabase::Go"});  // nothing else boxes
  }
  EXPECT_EQ(db.CopyRecord(1, 9), 0);
  EXPECT_EQ(db.RecNo(), 0);
  db.Close();
  EXPECT_EQ(test::read_file(path), original);
}

TEST_P(DatabaseFixture, TextsAreCutAndPaddedNumbersRightAlignedOrMarkedAsOverflow) {
  db.Go(1);
  EXPECT_EQ(db.Replace("TIME", std::string("0905071234")), 1);
  EXPECT_EQ(db.Replace("NAME", std::string("Al")), 1);
  EXPECT_EQ(db.Replace("STATUS", std::string(" 7 ")), 1);
  EXPECT_EQ(db.Replace("TO1", -5), 1);
  EXPECT_EQ(db.Replace("TO2", 1000), 0);  // wider than any numeric field of the fixtures
  EXPECT_EQ(db.Replace("TO3", std::string("12345")), 0);
  EXPECT_EQ(box.texts, (std::vector<std::string>{"CDatabase::Replace", "CDatabase::Replace"}));
  EXPECT_EQ(db.Replace("NOSUCH", 1), 0);
  EXPECT_EQ(db.Replace("NOSUCH", std::string("x")), 0);
  EXPECT_EQ(db.FieldWidth("NOSUCH"), 0);
  EXPECT_FALSE(db.HasField("NOSUCH"));
  EXPECT_EQ(box.texts.size(), 2u);  // unknown fields are silent
  db.Close();

  std::string after = test::read_file(path);
  size_t w = layout.fields["TO1"].second;
  EXPECT_EQ(layout.bytes(after, 1, "TIME"), "090507");
  EXPECT_EQ(layout.bytes(after, 1, "NAME"), "Al" + std::string(28, ' '));
  EXPECT_EQ(layout.bytes(after, 1, "STATUS"), pad_left("7", w));
  EXPECT_EQ(layout.bytes(after, 1, "TO1"), pad_left("-5", w));
  EXPECT_EQ(layout.bytes(after, 1, "TO2"), std::string(w, '*'));
  EXPECT_EQ(layout.bytes(after, 1, "TO3"), std::string(w, '*'));
  std::vector<Span> changed;
  for (const char* f : {"TIME", "NAME", "STATUS", "TO1", "TO2", "TO3"}) changed.push_back(layout.span(1, f));
  expect_same_outside(original, after, changed);
}

TEST_P(DatabaseFixture, MovesFindsAndChangesWholeRecords) {
  EXPECT_EQ(db.RecNo(), 1);
  EXPECT_EQ(db.Bottom(), 0);
  EXPECT_EQ(db.RecNo(), 5);
  EXPECT_EQ(db.Skip(3), 5);
  EXPECT_EQ(db.Skip(-9), 1);
  EXPECT_EQ(db.Find("TY2", std::string("SMS ")), 2);  // the first with SMS in TY2 in every fixture
  EXPECT_EQ(db.Find("TY2", std::string("SMS")), 2);   // the current record counts
  std::string first_name;
  db.Go(1);
  ASSERT_EQ(db.GetField("NAME", first_name), 1);
  db.Go(3);
  EXPECT_EQ(db.Find("NAME", first_name), 0);  // never wraps round to record 1
  EXPECT_EQ(db.RecNo(), 5);
  ASSERT_EQ(db.Replace("STATUS", 8), 1);
  db.Top();
  EXPECT_EQ(db.Find("STATUS", 8), 5);

  ASSERT_EQ(db.CopyRecord(1, 4), 1);
  EXPECT_EQ(db.RecNo(), 4);
  EXPECT_EQ(db.Delete(), 1);
  db.Go(2);
  EXPECT_EQ(db.Blank(), 1);
  db.Close();

  std::string after = test::read_file(path);
  size_t r1 = layout.header, r2 = r1 + layout.record, r4 = r1 + 3 * layout.record, len = layout.record;
  EXPECT_EQ(after.substr(r4, len), "*" + original.substr(r1 + 1, len - 1));
  EXPECT_EQ(after.substr(r2, len), std::string(len, ' '));
  expect_same_outside(original, after, {{r2, len}, {r4, len}, layout.span(5, "STATUS")});
  EXPECT_TRUE(box.texts.empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DatabaseFixture,
                         ::testing::Values("gdal_report.dbf", "db3_report.dbf", "vfp_report.dbf"),
                         [](const auto& info) { return info.param.substr(0, info.param.find('_')); });

// Damaged copies of a good table: each is refused with a box naming the fault, left as it was,
// and the same object opens a sound table afterwards.
TEST(DatabaseDamaged, RefusedWithoutTouchingTheFile) {
  test::TempFolder folder;
  fs::path good = copy_fixture(folder, "vfp_report.dbf");
  const std::string bytes = test::read_file(good);
  std::string garbage(700, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919 + 13) % 251);
  auto with = [&](size_t at, std::string patch) { return std::string(bytes).replace(at, patch.size(), patch); };
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"", "shorter than a table header"},
      {garbage, ""},
      {"NAME;PHONE\nAnna;123\nBen;456\nCarla;789\n", "not a dBase table"},
      {bytes.substr(0, 400), "header longer than the file"},
      {with(8, "\xff\xff"), "header longer than the file"},
      {with(8, std::string("\x21\x00", 2)), "header too short for a field"},
      {with(4, "\x06"), "fewer records in the file"},
      {with(4, "\xff\xff\xff\xff"), "fewer records in the file"},
      {with(8, std::string("\x21\x02", 2)).replace(544, 1, "X"), "no terminator"},
      {with(8, std::string("\x20\x02", 2)), "no terminator"},
      {with(10, "\x10"), "fields longer than the record"},
      {with(32 + 16, std::string(1, '\0')), "has no width"},
      {with(32, std::string(11, '\0')), "field without a name"},
  };
  RecordingBox box;
  CDatabase db(&box);
  for (const auto& [content, reason] : damaged) {
    SCOPED_TRACE(reason);
    fs::path p = folder / "damaged.dbf";
    test::write_file(p, content);
    box.texts.clear();
    EXPECT_EQ(db.Open(p.string()), 0);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0].rfind("CDatabase::Open: ", 0), 0u) << box.texts[0];
    EXPECT_NE(box.texts[0].find(reason), std::string::npos) << box.texts[0];
    EXPECT_EQ(db.Replace("STATUS", 8), 0);
    EXPECT_EQ(test::read_file(p), content);
    EXPECT_EQ(db.Open(good.string()), 1);
  }
  // Cut short by another program while open: nothing is written past the new end.
  ASSERT_EQ(db.Open(good.string()), 1);
  fs::resize_file(good, bytes.size() - 50);
  ASSERT_EQ(db.Go(5), 0);
  box.texts.clear();
  EXPECT_EQ(db.Replace("TIME", std::string("120000")), 0);
  EXPECT_EQ(fs::file_size(good), bytes.size() - 50);
  EXPECT_EQ(box.texts, std::vector<std::string>{"CDatabase::Replace"});

  box.texts.clear();  // a table that is not there is the caller's to report
  EXPECT_EQ(db.Open((folder / "none.dbf").string()), 0);
  EXPECT_EQ(db.Open(folder.path().string()), 0);
  EXPECT_TRUE(box.texts.empty());
}

// Any single damaged header byte: the table is refused, or it works within the file's bounds.
TEST(DatabaseDamaged, NoHeaderByteLeadsOutsideTheFile) {
  test::TempFolder folder;
  for (const char* name : {"gdal_report.dbf", "vfp_report.dbf"}) {
    const std::string bytes = test::read_file(copy_fixture(folder, name));
    fs::path p = folder / "mutated.dbf";
    for (size_t at = 0; at < 64; ++at) {
      for (char value : {'\x00', '\x0d', '\x7f', '\xff'}) {
        std::string content = bytes;
        content[at] = value;
        test::write_file(p, content);
        CDatabase db;
        if (!db.Open(p.string())) continue;
        db.SetAutoFlush(0);  // bounds matter here, not durability
        std::string text;
        db.Bottom();
        db.GetField("NAME", text);
        db.Replace("TIME", text);
        db.Replace("STATUS", 8);
        db.CopyRecord(1, 2);
        db.Blank();
        db.Close();
        EXPECT_EQ(test::read_file(p).size(), content.size()) << name << " byte " << at;
      }
    }
  }
}

TEST(DatabaseLarge, UpdateNearTheEndOfAThousandRecords) {
  test::TempFolder folder;
  fs::path path = folder / "large.dbf";
  DBFHandle h = DBFCreate(path.c_str());
  DBFAddField(h, "ID", FTInteger, 6, 0);
  DBFAddField(h, "STATUS", FTInteger, 3, 0);
  DBFAddField(h, "TIME", FTString, 6, 0);
  for (int i = 0; i < 1000; ++i) {
    DBFWriteIntegerAttribute(h, i, 0, i + 1);
    DBFWriteIntegerAttribute(h, i, 1, 0);
    DBFWriteStringAttribute(h, i, 2, "000000");
  }
  DBFClose(h);
  const std::string original = test::read_file(path);
  const Layout layout = layout_of(path);

  RecordingBox box;
  CDatabase db(&box);
  ASSERT_EQ(db.Open(path.string()), 1);
  EXPECT_EQ(db.Find("id", 999), 999);
  EXPECT_EQ(db.Replace("STATUS", 3), 1);
  EXPECT_EQ(db.Replace("TIME", std::string("235959")), 1);
  EXPECT_NE(db.Go(1001), 0);
  EXPECT_EQ(db.Replace("STATUS", 8), 0);
  db.Close();

  std::string after = test::read_file(path);
  EXPECT_EQ(layout.bytes(after, 999, "STATUS") + layout.bytes(after, 999, "TIME"), "  3235959");
  expect_same_outside(original, after, {layout.span(999, "STATUS"), layout.span(999, "TIME")});
  EXPECT_EQ(box.texts, std::vector<std::string>{"CDatabase::Go"});
}

// shapelib is the independent writer: a table we make and fill is the file it makes from
// the same definitions and values, and it reads our rows back.
TEST(DatabaseCreate, MakesTheFileShapelibMakesAndShapelibReadsItsRows) {
  test::TempFolder folder;
  const std::vector<DbfFieldDef> fields = {
      {"NAME", 'C', 30, 0}, {"STATUS", 'N', 3, 0}, {"AMOUNT", 'N', 8, 2}, {"TIME", 'C', 6, 0}, {"NOTE", 'C', 4, 0}};
  auto name = [](int r) { return "Subscriber " + std::to_string(r + 1); };
  for (int rows : {0, 1, 7}) {
    SCOPED_TRACE(rows);
    const fs::path theirs = folder / ("shapelib" + std::to_string(rows) + ".dbf");
    DBFHandle h = DBFCreate(theirs.c_str());
    for (const auto& f : fields) DBFAddNativeFieldType(h, f.name.c_str(), f.type, f.width, f.decimals);
    for (int r = 0; r < rows; ++r) {
      DBFWriteStringAttribute(h, r, 0, name(r).c_str());
      DBFWriteIntegerAttribute(h, r, 1, r * 7);
      DBFWriteIntegerAttribute(h, r, 2, -r);
      DBFWriteStringAttribute(h, r, 3, "120000");  // NOTE is never written: blank
    }
    DBFClose(h);

    const fs::path ours = folder / ("ours" + std::to_string(rows) + ".dbf");
    CDatabase db;
    ASSERT_EQ(db.Create(ours.string(), fields), 1);
    for (int r = 0; r < rows; ++r) {
      ASSERT_EQ(db.Append(), 1);
      EXPECT_EQ(db.RecNo(), r + 1);
      EXPECT_EQ(db.Replace("NAME", name(r)) + db.Replace("STATUS", r * 7) + db.Replace("AMOUNT", -r) +
                    db.Replace("TIME", std::string("120000")),
                4);
    }
    db.Close();
    EXPECT_EQ(test::read_file(ours), test::read_file(theirs));

    DBFHandle read = DBFOpen(ours.c_str(), "rb");
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(DBFGetRecordCount(read), rows);
    for (int r = 0; r < rows; ++r) {
      EXPECT_EQ(std::string(DBFReadStringAttribute(read, r, 0)), name(r));
      EXPECT_EQ(DBFReadIntegerAttribute(read, r, 1), r * 7);
      EXPECT_EQ(DBFReadIntegerAttribute(read, r, 2), -r);
    }
    DBFClose(read);
  }
}

TEST(DatabaseCreate, CreatesAnEmptyTableOrRefusesBadDefinitions) {
  test::TempFolder folder;
  fs::path path = folder / "new.dbf";
  test::write_file(path, "old contents");
  RecordingBox box;
  CDatabase db(&box);
  ASSERT_EQ(db.Create(path.string(), {{"STATUS", 'N', 3, 0}, {"TIME", 'C', 6, 0}}), 1);
  EXPECT_TRUE(db.HasField("status"));
  EXPECT_EQ(db.FieldWidth("TIME"), 6);
  EXPECT_EQ(db.RecNo(), 0);
  EXPECT_NE(db.Top(), 0);
  EXPECT_EQ(db.Flush(), 1);
  db.Close();
  EXPECT_EQ(layout_of(path).records, 0);

  box.texts.clear();
  EXPECT_EQ(db.Create(path.string(), {}), 0);
  EXPECT_EQ(db.Create(path.string(), {{"TOOLONGNAME1", 'C', 3, 0}}), 0);
  EXPECT_EQ(db.Create(path.string(), {{"BIN", 'I', 4, 0}}), 0);
  EXPECT_EQ(db.Create((folder / "new.tbl").string(), {{"A", 'C', 3, 0}}), 0);
  EXPECT_EQ(box.texts, std::vector<std::string>(4, "CDatabase::Create"));
  EXPECT_TRUE(fs::exists(path));  // refused definitions leave the table alone
}

}  // namespace
}  // namespace qz

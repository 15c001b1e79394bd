// Archives that must not be restored: cut short, a bit changed, not a
// backup at all, records under another key, counts that do not match. Each
// is refused with its reason before anything in the folder changes.
#include <gmock/gmock.h>

#include <zip.h>

#include <functional>

#include "backup/make_backup.h"
#include "backup/manifest.h"
#include "backup/restore.h"
#include "backup/sha256.h"
#include "backup/zip_archive.h"
#include "backup_test_support.h"

namespace backuptest {
namespace {

using ::testing::HasSubstr;

class DamagedArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backup::BackupRequest request;
    request.folder = school_.path();
    request.destination = school_.beside("backups");
    backup::BackupReport made = backup::makeBackup(request);
    ASSERT_TRUE(made.ok) << made.why;
    archive_ = made.archive;
    manifest_ = made.manifest;
    // The folder has moved on since: a restore would change it.
    runSql(school_.database(), "DELETE FROM four");
    jxtest::TempFolder::write(school_.path() / "log.log", "today's log");
  }

  // Restores `damaged` and expects a refusal naming `reason`, with the
  // folder exactly as it was.
  void expectRefused(const fs::path& damaged, const std::string& reason) {
    const auto before = folderContents(school_.path());
    backup::RestoreRequest request;
    request.archive = damaged;
    request.folder = school_.path();
    backup::RestoreReport report = backup::restoreBackup(request);
    EXPECT_FALSE(report.ok);
    EXPECT_THAT(report.why, HasSubstr(reason));
    EXPECT_EQ(folderContents(school_.path()), before);
  }

  fs::path copyWith(const std::string& name, const std::function<void(std::string&)>& change) {
    std::string bytes = jxtest::TempFolder::read(archive_);
    change(bytes);
    fs::path damaged = school_.beside(name);
    jxtest::TempFolder::write(damaged, bytes);
    return damaged;
  }

  // An archive of these files whose manifest describes them truly, with the
  // counts given.
  fs::path archiveOf(const std::string& name, const std::vector<backup::EntrySource>& entries,
                     const backup::RowCounts& rows) {
    backup::Manifest manifest = manifest_;
    manifest.rows = rows;
    manifest.files.clear();
    for (const auto& entry : entries) {
      auto digest = backup::digestOfFile(entry.file);
      manifest.files.push_back({entry.name, digest->size, digest->sha256});
    }
    fs::path path = school_.beside(name);
    std::string why;
    EXPECT_TRUE(backup::writeArchive(path, entries, backup::manifestText(manifest), {}, &why)) << why;
    return path;
  }

  // A zip archive from elsewhere.
  fs::path foreignZip() {
    fs::path path = school_.beside("photos.zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    static const char kText[] = "a zip archive, but no backup";
    zip_source_t* source = zip_source_buffer(archive, kText, sizeof kText - 1, 0);
    EXPECT_GE(zip_file_add(archive, "readme.txt", source, 0), 0);
    EXPECT_EQ(zip_close(archive), 0);
    return path;
  }

  SchoolFolder school_;
  fs::path archive_;
  backup::Manifest manifest_;
};

TEST_F(DamagedArchiveTest, CutShortOrWithAChangedBitIsRefused) {
  expectRefused(copyWith("truncated.jxbak", [](std::string& bytes) { bytes.resize(bytes.size() / 2); }),
                "not a sound archive");
  expectRefused(copyWith("empty.jxbak", [](std::string& bytes) { bytes.clear(); }), "not a sound archive");
  // A bit in the middle of the stored records (the first entry).
  expectRefused(copyWith("flipped.jxbak", [](std::string& bytes) { bytes[bytes.size() / 3] ^= 0x10; }),
                "hj.mdb is damaged");
}

TEST_F(DamagedArchiveTest, SomethingElseThanABackupIsRefused) {
  expectRefused(copyWith("text.jxbak", [](std::string& bytes) { bytes = "not an archive at all\n"; }),
                "not a sound archive");
  expectRefused(foreignZip(), "holds no manifest.ini");
  fs::path notes = school_.beside("notes.txt");
  jxtest::TempFolder::write(notes, "some notes");
  expectRefused(archiveOf("foreign.jxbak", {{"notes.txt", notes, true}}, manifest_.rows), "a file no backup holds");
  // An archive of ours whose manifest another hand rewrote (a count).
  fs::path copy = school_.beside("hj.mdb");
  fs::copy_file(school_.database(), copy);
  backup::RowCounts wrongCounts = manifest_.rows;
  wrongCounts[0].second += 1;
  expectRefused(archiveOf("counts.jxbak", {{"hj.mdb", copy, false}}, wrongCounts), "other counts than its manifest");
}

TEST_F(DamagedArchiveTest, RecordsUnderAnotherKeyAreRefused) {
  fs::path foreign = school_.beside("hj.mdb");
  {
    std::string error;
    db::DatabaseHandle database = db::openDatabase(foreign.string(), "another key", db::OpenMode::kCreateNew, &error);
    ASSERT_TRUE(database && db::records::createSchema(database.get(), &error)) << error;
  }
  expectRefused(archiveOf("wrong-key.jxbak", {{"hj.mdb", foreign, false}}, manifest_.rows),
                "cannot be opened with the program's key");
}

TEST(ManifestTest, OnlyAManifestThisProgramWroteIsRead) {
  backup::Manifest manifest;
  manifest.time = "2024-05-01 08:30:00";
  manifest.folderName = "school";
  for (const auto& table : db::records::tables()) manifest.rows.emplace_back(table.name, 7);
  manifest.files = {{"hj.mdb", 4096, std::string(64, 'a')}};
  std::string text = backup::manifestText(manifest);
  std::string why;
  auto read = backup::parseManifest(text, &why);
  ASSERT_TRUE(read) << why;
  EXPECT_EQ(read->rows, manifest.rows);
  EXPECT_EQ(read->file("hj.mdb")->sha256, std::string(64, 'a'));

  auto refused = [&](const std::string& from, const std::string& to) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    return !backup::parseManifest(changed, &why).has_value();
  };
  EXPECT_TRUE(refused("格式=1", "格式=2"));
  EXPECT_TRUE(refused("four=7\n", ""));                              // a table without its count
  EXPECT_TRUE(refused("hj.mdb=", "../hj.mdb="));                     // a file no backup holds
  EXPECT_TRUE(refused("hj.mdb=4096", "log.log=4096"));               // no records
  EXPECT_TRUE(refused(std::string(64, 'a'), std::string(63, 'a')));  // not a SHA-256
  EXPECT_TRUE(refused("student=7", "student=-7"));
  EXPECT_TRUE(refused("one=7", "one=7\none=8"));
}

}  // namespace
}  // namespace backuptest

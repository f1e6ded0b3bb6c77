// The record beside a working file and the working file's own rules: what
// reads as a trustworthy record, locking, and moving to the final name.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lumora/download/resume_record.h"
#include "lumora/download/working_file.h"
#include "lumora/test_support/temp_folder.h"

namespace lumora {
namespace {

ResumeRecord sample() {
  ResumeRecord r;
  r.address = "http://127.0.0.1:8080/audio/1.mp3";
  r.size = 300000;
  r.etag = "\"abc\ndef\"";  // any bytes survive, a line break too
  r.last_modified = "Mon, 01 Jan 2024 10:00:00 GMT";
  r.segments = {{0, 100000, 100000}, {100000, 150000, 20480}, {250000, 50000, 0}};
  return r;
}

TEST(ResumeRecordTest, RoundTrip) {
  const ResumeRecord r = sample();
  const auto back = decode_record(encode_record(r));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->address, r.address);
  EXPECT_EQ(back->size, r.size);
  EXPECT_EQ(back->etag, r.etag);
  EXPECT_EQ(back->last_modified, r.last_modified);
  ASSERT_EQ(back->segments.size(), 3u);
  EXPECT_EQ(back->segments[1].received, 20480);
  EXPECT_EQ(back->received_total(), 120480);
}

TEST(ResumeRecordTest, TornOrDamagedRecordsReadAsNone) {
  const std::string good = encode_record(sample());
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(decode_record(good.substr(0, cut))) << "torn at " << cut;
  EXPECT_FALSE(decode_record(std::string(good.size(), '\0')));
  EXPECT_FALSE(decode_record(good + "x"));
  for (std::size_t at = 0; at < good.size(); at += 7) {
    std::string flipped = good;
    flipped[at] ^= 0x01;
    EXPECT_FALSE(decode_record(flipped)) << "flipped at " << at;
  }
}

TEST(ResumeRecordTest, InconsistentTablesReadAsNone) {
  struct Case {
    const char* what;
    std::vector<RecordedSegment> segments;
  };
  const Case cases[] = {
      {"gap", {{0, 100000, 0}, {100001, 199999, 0}}},
      {"overlap", {{0, 100001, 0}, {100000, 200000, 0}}},
      {"short of the size", {{0, 100000, 0}, {100000, 100000, 0}}},
      {"past the size", {{0, 100000, 0}, {100000, 200001, 0}}},
      {"more received than long", {{0, 100000, 100001}, {100000, 200000, 0}}},
      {"no segments", {}},
  };
  for (const Case& c : cases) {
    ResumeRecord r = sample();
    r.segments = c.segments;
    EXPECT_FALSE(decode_record(encode_record(r))) << c.what;
  }
  ResumeRecord unordered = sample();
  std::swap(unordered.segments[0], unordered.segments[2]);
  EXPECT_TRUE(decode_record(encode_record(unordered)));  // split pieces come last
}

class WorkingFileTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string read(const std::string& name) const { return test::read_file(path(name)); }
  test::TempFolder temp_{"lumora-working"};
  const std::string dir_ = temp_.string();
};

TEST_F(WorkingFileTest, RecordMustMatchTheFileSize) {
  WorkingFile w;
  ASSERT_EQ(w.take(path("a.mp3"), true), WorkingFile::Take::kTaken);
  ASSERT_TRUE(w.reserve_fresh(300000));
  ASSERT_TRUE(w.save_record(sample()));
  EXPECT_TRUE(w.load_record());
  ASSERT_TRUE(w.reserve_fresh(299999));  // a fresh start forgets the old record
  EXPECT_FALSE(w.load_record());
  ASSERT_TRUE(w.save_record(sample()));
  EXPECT_FALSE(w.load_record());  // claims 300000 bytes of a 299999-byte file
}

TEST_F(WorkingFileTest, AHeldFileIsBusyForEveryoneElse) {
  WorkingFile first, second;
  ASSERT_EQ(first.take(path("a.mp3"), true), WorkingFile::Take::kTaken);
  EXPECT_EQ(second.take(path("a.mp3"), true), WorkingFile::Take::kBusy);
  first.release();
  EXPECT_EQ(second.take(path("a.mp3"), true), WorkingFile::Take::kTaken);
  WorkingFile absent;
  EXPECT_EQ(absent.take(path("b.mp3"), false), WorkingFile::Take::kBusy);
  EXPECT_FALSE(std::filesystem::exists(path("b.mp3.part")));
}

TEST_F(WorkingFileTest, LinksAndOtherKindsAreNeverOpened) {
  std::ofstream(path("target")) << "keep";
  std::filesystem::create_symlink(path("target"), path("l.mp3.part"));
  std::filesystem::create_directory(path("d.mp3.part"));
  for (const char* name : {"l.mp3", "d.mp3"}) {
    WorkingFile w;
    EXPECT_NE(w.take(path(name), true), WorkingFile::Take::kTaken) << name;
  }
  EXPECT_EQ(read("target"), "keep");
}

TEST_F(WorkingFileTest, CompletionNeverReplacesAFile) {
  WorkingFile w;
  ASSERT_EQ(w.take(path("a.mp3"), true), WorkingFile::Take::kTaken);
  ASSERT_TRUE(w.reserve_fresh(4));
  ASSERT_TRUE(w.save_record(sample()));
  // The final name and its first number appeared while the task ran.
  std::ofstream(path("a.mp3")) << "old";
  std::ofstream(path("a(1).mp3")) << "older";
  const auto name = w.complete();
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, path("a(2).mp3"));
  EXPECT_FALSE(w.held());
  EXPECT_EQ(read("a.mp3"), "old");
  EXPECT_EQ(read("a(1).mp3"), "older");
  EXPECT_EQ(std::filesystem::file_size(path("a(2).mp3")), 4u);
  EXPECT_FALSE(std::filesystem::exists(path("a.mp3.part")));
  EXPECT_FALSE(std::filesystem::exists(path("a.mp3.part.rec")));
}

}  // namespace
}  // namespace lumora

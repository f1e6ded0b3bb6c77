// Who owns what beside a download's final name F while a task fetches it:
//
//   F + kWorkingSuffix   the working file: the bytes, at their offsets
//   F + kRecordSuffix    its record: what those bytes are (resume_record.h)
//
// A task owns both for exactly as long as its WorkingFile holds an exclusive
// flock on the working file. Only the holder writes, truncates, renames or
// removes either of them, and writes the record through kRecordTempSuffix
// plus a rename. A task that cannot take the lock at once never touches the
// pair and settles on another name. The lock belongs to the open file, so a
// crash or a kill frees it and leaves both files for a later resume. Both
// names are opened without following symbolic links, and only a regular file
// of the user running the program is ever written.
//
// One thread at a time (the task orders its calls). Paths are GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lumora/download/resume_record.h"
#include "lumora/text/text.h"

namespace lumora {

class WorkingFile {
 public:
  enum class Take { kTaken, kBusy, kFailed };

  WorkingFile() = default;
  ~WorkingFile();  // releases the lock, keeps the files
  WorkingFile(const WorkingFile&) = delete;
  WorkingFile& operator=(const WorkingFile&) = delete;

  // Opens and locks the working file for final name `final_path`, creating
  // it when `create`. kBusy when another holds it, when it is not a regular
  // file of this user, or (without `create`) when it does not exist;
  // kFailed when it cannot be made (a folder that cannot be written, say).
  Take take(std::string_view final_path, bool create);
  bool held() const { return fd_ >= 0; }
  const Text& final_path() const { return final_path_; }

  // The record beside the file, when it is trustworthy: whole, of this
  // version, checksum right, and its size that of the working file.
  std::optional<ResumeRecord> load_record() const;
  // Writes the record under its temporary name, flushes it, renames it over
  // the old one. The caller flushes the data it claims first.
  bool save_record(const ResumeRecord& record);

  // Empties the file and reserves `size` bytes, so a full disk fails here.
  bool reserve_fresh(std::int64_t size);
  // Reserves the blocks of a file being resumed (holes included).
  bool reserve_again(std::int64_t size);
  // A second descriptor of the same open file, for the data writer; the
  // caller closes it. -1 on failure.
  int duplicate();

  // Puts the file's data on disk (the data sync below), then moves it to its
  // final name without ever replacing a file (the next numbered name when
  // the final one appeared meanwhile), removes the record and lets go. The
  // name used, or nullopt (nothing moved: also when the sync failed, since
  // after a power cut the name would otherwise hold a file of zeros).
  std::optional<Text> complete();
  // Removes both files and lets go.
  void discard();
  // Lets go and keeps both files.
  void release();

  // The system's error (errno) of the last call here that failed; 0 when it
  // gave none (a sync replaced by set_data_sync, say).
  int error() const { return error_; }

 private:
  std::string working_name() const;
  std::string record_name() const;

  int fd_ = -1;
  Text final_path_;
  int error_ = 0;
};

// What complete() calls to put a working file's data on disk: fdatasync's
// shape and results. Tests put another in its place to see a failed sync
// fail the task; nullptr restores fdatasync. Any thread, any time.
using DataSync = int (*)(int fd);
void set_data_sync(DataSync sync);

// Renames `from` to `to` unless something exists at `to` (UTF-8 paths).
// False with errno EEXIST when it does.
bool rename_no_replace(const std::string& from, const std::string& to);

}  // namespace lumora

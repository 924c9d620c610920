// Files as the gateway uses them, alike on every platform: the job files, the journal, the
// report tables, the profile files and the logs all reach the disk through this header, and
// src/platform/<system>/ holds its one implementation per operating system.
//
// Errors: a call that fails returns false (an unopened File, nullopt, -1) and leaves the
// reason in errno as a POSIX code (ENOENT, EEXIST, ELOOP, EACCES, ...), which callers test
// and word with error_text() (core/system_error.h). An interrupted call is repeated inside.
//
// Every file is opened so that other programs may go on reading, writing, renaming and
// removing it meanwhile (the alarm application writes job files and tables while the
// gateway reads them), and never becomes the gateway's terminal. Unless asked otherwise an
// open does not wait: a FIFO or a device put where a file belongs cannot block the
// gateway. Handles are not inherited by the commands the gateway starts.
//
// Folders are listed with std::filesystem::directory_iterator; nothing here repeats it.
//
// Where Linux and Windows differ: a link is a symbolic link on Linux and any reparse point
// (symbolic link, junction) on Windows; mode bits and a file's owner exist on Linux only;
// a folder is synced with fsync on Linux and needs nothing on Windows, where NTFS journals
// its entries; an appending write on Windows holds a byte lock while it goes to the end,
// as Wine does not keep appending handles apart. What the two share (owning a handle,
// the temporaries, replace_file) is in files.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qz {

enum class FileKind { kRegular, kDirectory, kSymbolicLink, kOther };

// What the system says about one file.
struct FileInfo {
  FileKind kind = FileKind::kOther;
  // The file's identity: device and inode (Linux), volume serial number and file index
  // (Windows). Two names with the same identity are one file; a rename keeps it, and a
  // file written anew under an old name gets another one.
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;      // last change of the contents, in nanoseconds since 1970
  uint32_t permissions = 0;  // the mode's bits 07777 (Linux); 0 where there are none
};

enum class OpenFor { kRead, kWrite, kReadWrite };

enum class Create {
  kNo,         // the file must exist: ENOENT otherwise
  kNew,        // create-exclusive: EEXIST when anything (even a dangling link) is there
  kIfMissing,  // open it, or create it when there is none
  kTruncate,   // create it, or empty the one that is there
};

struct OpenOptions {
  OpenFor access = OpenFor::kRead;
  Create create = Create::kNo;
  // Every write lands whole at the end, even with other writers appending at once.
  bool append = false;
  // A symbolic link (Windows: any reparse point) at the path is refused with ELOOP,
  // never followed, so a link in a watched folder cannot send a read or a write elsewhere.
  bool no_follow = false;
  // Of a created file, before the umask (Linux); ignored where files have none.
  uint32_t permissions = 0600;
  // Opened as the system opens by default: a FIFO's open waits for its other end (Linux).
  // Only for the logs, where a writer that hangs is for the watchdog to see.
  bool may_wait = false;
};

// One open file, closed when the object goes.
class File {
 public:
  static File open(const std::filesystem::path& path, const OpenOptions& options);

  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  bool is_open() const { return handle_ != -1; }
  // False when the system says a write did not reach the file; closed either way.
  bool close();

  std::optional<FileInfo> info() const;
  // Up to `size` bytes from the current position: how many, 0 at the end, -1 on error.
  int64_t read(char* data, std::size_t size);
  // Exactly `size` bytes at `offset`, the position unchanged; false on an error or when
  // the file ends first.
  bool read_at(int64_t offset, char* data, std::size_t size) const;
  // All of `bytes` at the current position (the end with OpenOptions::append), or false.
  bool write(std::string_view bytes);
  // All of `bytes` at `offset`, the position unchanged, or false.
  bool write_at(int64_t offset, std::string_view bytes);
  // The contents and what is needed to find them again are on the disk when it returns
  // (fdatasync; Windows FlushFileBuffers): the journal's and the tables' records.
  bool sync_data();
  // The contents and every attribute are on the disk (fsync; FlushFileBuffers): a file
  // about to be renamed into place.
  bool sync();
  bool truncate(int64_t size);
  // The mode's bits 07777; true where files have none.
  bool set_permissions(uint32_t permissions);
  // Gives the file the owner and group of the file `like` replaces, where the system lets
  // us (Linux fchown; nothing elsewhere). Failing that, the file stays ours, as any
  // rewrite by its reader would make it.
  void keep_owner_of(const std::filesystem::path& like);

  // An int descriptor on Linux, a HANDLE on Windows; -1 when not open.
  intptr_t native_handle() const { return handle_; }

 private:
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = -1;
};

// About the entry at `path` itself: a symbolic link is described, not followed (lstat).
std::optional<FileInfo> entry_info(const std::filesystem::path& path);
// About what `path` names, symbolic links followed (stat): a folder's identity, as its
// lock sees it.
std::optional<FileInfo> target_info(const std::filesystem::path& path);
// Whether `a` and `b` name one file or folder by its identity, whatever their spelling
// (links, bind mounts, "." and ".."); false when either cannot be found.
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

// Renames `from` to `to` without ever replacing `to`: false with EEXIST when anything is
// there, a dangling link included. A link at `from` is moved itself. Where the file system
// has no atomic rename without replace, a hard link (Linux) or a look before the rename is
// used; the latter is sound because only one gateway files into a folder.
bool rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames `from` over `to` in one step: a reader finds the old file or the new one, never
// none and never a part (rename; MoveFileExW with MOVEFILE_REPLACE_EXISTING).
bool rename_replacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes the entry (a link itself, never what it points to); ENOENT when it is gone.
bool remove_file(const std::filesystem::path& path);

// Makes a change of the folder's entries (a file created, renamed or removed) durable:
// fsync of the folder on Linux; nothing where the file system journals its entries itself.
// The empty path is the current folder. Failures are not reported: the change itself
// happened.
void sync_folder(const std::filesystem::path& folder);

// A new hidden name beside `destination` for a file written before it is renamed there:
// ".qzgsms-" and 16 random hexadecimal digits, then ".part". Of fixed length, so it fits
// whatever the destination's name; random, so two writers never share one; of one
// pattern, so start-up removes those an end of the gateway left behind.
std::filesystem::path temporary_name_for(const std::filesystem::path& destination);
// Exactly that pattern: nothing the alarm application writes is taken for one.
bool is_temporary_name(const std::string& name);

struct ReplaceOptions {
  // The new file's mode bits 07777 (where files have them), whatever the umask.
  uint32_t permissions = 0600;
  // Give it the owner and group of the file it replaces (see File::keep_owner_of).
  bool keep_owner = false;
};

// Replaces `target` with a file holding `bytes`, so that a reader finds the old file or
// the new one, never none and never a part, and a crash leaves one of the two. The bytes
// go into a new temporary beside `target` (temporary_name_for), created exclusively: a
// link or a FIFO planted there is never followed nor opened, and no other writer shares
// it. It is synced, renamed over `target` and made durable with a sync of the folder.
// Whatever is at `target` is replaced itself: a symbolic link there is not followed.
// False (errno set) when it could not: `target` is then as it was, and no temporary is
// left behind.
bool replace_file(const std::filesystem::path& target, std::string_view bytes, const ReplaceOptions& options = {});

// The line end of the text files the gateway writes (the daily log, the status file, a new
// settings file): "\n" on Linux, "\r\n" on Windows, where Notepad and the batch files of
// an alarm application expect it.
std::string_view text_line_end();

// What --check asks of a path, as the running gateway will use it.
enum AccessWanted : int {
  kAccessRead = 1,
  kAccessWrite = 2,
  kAccessEnter = 4,  // search a folder (x on Linux)
};
// 0 when this process may use `path` so (any of AccessWanted, or-ed), else why not (errno).
int access_error(const std::filesystem::path& path, int wanted);

}  // namespace qz

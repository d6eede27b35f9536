#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <span>
#include <string>

#include "win/unique_any.h"

namespace velko::win {

// A file written under a temporary name beside its final one and then renamed into place. It is
// held open with no sharing from its creation to its rename, and renamed through that handle: a
// second writer of the same name fails at once instead of writing into it, and the file that
// gets the final name is exactly the file that was written and checked. A link standing at the
// temporary name is removed itself or refused, never written through. A file not renamed is
// deleted when the object goes away.
class TemporaryFile {
 public:
  // Removes a leftover at `path`: the entry itself, so a link goes and what it leads to stays.
  // Nothing there is no error. ERROR_CANT_RESOLVE_FILENAME when the entry can only be opened as
  // another file (as Wine opens its Unix links): it is left alone then. Otherwise the Windows
  // error code; see in_use_by_another.
  static std::expected<void, std::uint32_t> remove_leftover(const std::string& path);
  // Creates the file at `path`, which must be free (call remove_leftover first). The Windows
  // error code when it cannot; see in_use_by_another.
  static std::expected<TemporaryFile, std::uint32_t> create(const std::string& path);

  TemporaryFile(TemporaryFile&&) noexcept = default;
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  // Read and write access, for checking what was written; the file position is the caller's.
  HANDLE handle() const { return file_.get(); }
  std::expected<void, std::uint32_t> write(std::span<const std::uint8_t> bytes);
  std::expected<void, std::uint32_t> flush();
  // Gives the file the name `target` and lets go of it. With `replaceExisting` a file at
  // `target` (a link: the link itself) is replaced, otherwise an existing `target` fails the
  // rename. On failure the file stays held under its temporary name.
  std::expected<void, std::uint32_t> rename_to(const std::string& target, bool replaceExisting);

 private:
  explicit TemporaryFile(unique_file file) : file_(std::move(file)) {}
  unique_file file_;
};

// Judges a file just written, through its handle (read access; the file position is the
// checker's). The complete user text when the file must not be used.
using WrittenFileCheck = std::function<std::expected<void, std::string>(HANDLE)>;

// Where write_through_temporary stopped.
struct TemporaryWriteFailure {
  enum class Step {
    RemoveLeftover,  // see TemporaryFile::remove_leftover
    Create,
    Write,
    Flush,
    Check,    // the check refused the file: `text` says why
    Replace,  // the rename failed while a file stood at the target
    Rename,   // the rename failed with nothing at the target
  };
  Step step;
  std::uint32_t code = 0;  // the Windows error code of every step but Check
  std::string text;
};

// Puts `bytes` at `target` through the temporary sibling `temporaryPath`: a leftover there is
// removed, the file is created, written (a short write is an error), flushed, judged by `check`
// when one is given, and renamed over `target` (a file there is replaced; a link, the link
// itself). Everything happens through one handle that nobody shares, and a file that does not
// get its final name is deleted.
std::expected<void, TemporaryWriteFailure> write_through_temporary(const std::string& temporaryPath,
                                                                   const std::string& target,
                                                                   std::span<const std::uint8_t> bytes,
                                                                   const WrittenFileCheck& check = {});

// Renames the open file through its handle (which needs DELETE access): the file renamed is the
// one held, whatever the name names by now. With `replaceExisting` a file at `target` is replaced.
std::expected<void, std::uint32_t> rename_open_file(HANDLE file, const std::string& target, bool replaceExisting);

// Marks a file this process holds (with DELETE access) for removal when its last handle closes.
// Through the handle, so nobody else's file that took its name is ever removed.
bool delete_when_closed(HANDLE file);

// Does this error of TemporaryFile::remove_leftover or ::create mean that another writer holds the name right now?
bool in_use_by_another(std::uint32_t createError);

}  // namespace velko::win

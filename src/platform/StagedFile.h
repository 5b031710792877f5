#pragma once
// The program's one way of writing a file that takes the place of another: the bytes go
// to a hidden temporary file beside the target, which gets the target's name only once
// it is whole, so a writer that fails or dies halfway leaves the target as it was.
//
// A durable file (a batch result, a result's rewritten metadata: the only copy of what
// the user made) is synced to disk before it takes its name, and its folder after, so a
// crash or a power cut leaves the old file or the new one, never an empty or torn one.
// A cache entry, made again whenever it is missing, skips the syncs.

#include <sys/types.h>

#include <string>

#include "platform/FileIO.h"

namespace quorvane {

enum class Durability { Durable, Cache };

// An empty hidden temporary file ".<name>.quorvane-XXXXXX<suffix>" beside `target`, for a
// writer's scratch copies (the caller removes it); "" with errno set when none could be
// made.
std::string MakeTemporaryFile(const std::string& target, const std::string& suffix);

class StagedFile {
 public:
  // Creates the empty temporary file ".<name without extension>.quorvane-XXXXXX<suffix>"
  // in the folder of `target`, with `mode` less the umask. Ok() tells whether it worked
  // (errno set when not).
  StagedFile(const std::string& target, const std::string& suffix, mode_t mode,
             Durability durability);
  // Removes the temporary file unless it took a name.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool Ok() const { return fd_.Ok(); }
  // The temporary file, for writers that open it by name (another process among them).
  const std::string& Path() const { return temp_; }
  // The temporary file, open for reading and writing.
  int Fd() const { return fd_.Get(); }

  // Gives the file the name `target`, replacing what has it: 0 or an errno value.
  int Replace();
  // Gives the file the name `name` only while no entry has it: 0, EEXIST or an errno
  // value. `name` lies in the target's folder.
  int PlaceNew(const std::string& name);

 private:
  // Syncs the file's bytes when durable: 0 or an errno value.
  int SettleBytes();
  // Syncs the folder's entries when durable: 0 or an errno value.
  int SettleName() const;

  std::string target_, temp_;
  Durability durability_;
  UniqueFd fd_;
  bool placed_ = false;
};

}  // namespace quorvane

#pragma once
// What a tree copy made, entry by entry, so that it can be undone or finished exactly:
// taking a copy back removes only the entries the copy made itself (a file someone put
// into a new folder meanwhile stays, and so does its folder), and finishing a move
// removes only the sources that were copied and are still as they were then (a file
// that appeared in a source folder meanwhile, or changed, stays).

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace quorvane {

struct CopiedEntry {
  std::string source;  // its name in the source folder
  std::string copy;    // its name in the target folder
  mode_t type = 0;     // S_IFREG, S_IFDIR or S_IFLNK
  // The source as it was copied (a folder: its identity only).
  dev_t sourceDev = 0;
  ino_t sourceIno = 0;
  off_t sourceSize = 0;
  struct timespec sourceTime {};
  ino_t copyIno = 0;                  // the entry the copy made; 0 until it exists
  std::vector<CopiedEntry> children;  // of a folder

  bool Made() const { return copyIno != 0; }
  // Notes the source's identity, size and modification time.
  void NoteSource(const struct stat& st);
};

// Takes back what `entry` made in the folder `dir`: files and links are removed when they
// are still the ones the copy made, folders when nothing else is in them.
void RemoveCopy(int dir, const CopiedEntry& entry);

// After a complete copy: removes from the folder `dir` (spelled `dirPath`) the sources the
// copy holds, deepest first, each only while it is the same file, unchanged since it was
// copied. Each folder that keeps entries the copy does not hold is added to `kept` (a
// folder whose own sub-folder kept something is not named again). False, with `error`,
// when a removal fails.
bool RemoveCopiedSources(int dir, const std::string& dirPath, const CopiedEntry& entry,
                         std::vector<std::string>& kept, std::string& error);

}  // namespace quorvane

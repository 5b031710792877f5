#include "platform/StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/FileNames.h"
#include "platform/PathAccess.h"

namespace quorvane {

namespace {

// The process's file creation mask, read without changing it.
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    const mode_t m = umask(022);
    umask(m);
    return m;
  }();
  return mask;
}

std::string FolderOf(const std::string& path) {
  const std::string folder = ExtractFileDir(path);
  return folder.empty() ? "." : folder;
}

// Creates ".<name without extension>.quorvane-XXXXXX<suffix>" beside `target`; the
// descriptor, with `path` set to the name made.
UniqueFd CreateTemporary(const std::string& target, const std::string& suffix,
                         std::string& path) {
  const std::string name = ExtractFileName(target);
  const std::string base = CutName(name.substr(0, name.size() - ExtractFileExt(name).size()), 120);
  const std::string kept = suffix.size() <= 16 ? suffix : std::string();
  std::string tmpl = JoinPath(FolderOf(target), "." + base + ".quorvane-XXXXXX" + kept);
  UniqueFd fd(::mkostemps(tmpl.data(), int(kept.size()), O_CLOEXEC));
  if (fd.Ok()) path = tmpl;
  return fd;
}

}  // namespace

std::string MakeTemporaryFile(const std::string& target, const std::string& suffix) {
  std::string path;
  CreateTemporary(target, suffix, path);
  return path;
}

StagedFile::StagedFile(const std::string& target, const std::string& suffix, mode_t mode,
                       Durability durability)
    : target_(target), durability_(durability) {
  fd_ = CreateTemporary(target, suffix, temp_);
  if (!fd_.Ok()) return;
  ::fchmod(fd_.Get(), mode & ~CurrentUmask());
}

StagedFile::~StagedFile() {
  if (!temp_.empty() && !placed_) ::unlink(temp_.c_str());
}

int StagedFile::SettleBytes() {
  if (durability_ == Durability::Cache) return 0;
  // By name: a writer in another process may have written through its own descriptor.
  const UniqueFd fd(::open(temp_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  return fd.Ok() && ::fsync(fd.Get()) == 0 ? 0 : errno;
}

int StagedFile::SettleName() const {
  if (durability_ == Durability::Cache) return 0;
  const UniqueFd folder(::open(FolderOf(target_).c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC));
  return folder.Ok() && ::fsync(folder.Get()) == 0 ? 0 : errno;
}

int StagedFile::Replace() {
  if (!Ok() || placed_) return EINVAL;
  if (const int error = SettleBytes()) return error;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return errno;
  placed_ = true;
  return SettleName();
}

int StagedFile::PlaceNew(const std::string& name) {
  if (!Ok() || placed_) return EINVAL;
  if (const int error = SettleBytes()) return error;
  if (::link(temp_.c_str(), name.c_str()) == 0) {
    ::unlink(temp_.c_str());
  } else {
    // link() refuses an existing name; file systems without hard links rename.
    if (errno == EEXIST) return EEXIST;
    if (const int error = RenameNoReplace(temp_, name)) return error;
  }
  placed_ = true;
  return SettleName();
}

}  // namespace quorvane

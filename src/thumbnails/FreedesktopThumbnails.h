#pragma once
// The thumbnail cache that Linux programs share (the Thumbnail Managing Standard):
// $XDG_CACHE_HOME/thumbnails/normal (pictures up to 128 pixels) and large (up to 256),
// one PNG per file, named by the MD5 of the file's URI, with the text chunks
// "Thumb::URI" and "Thumb::MTime" (the file's modification time in whole seconds; an
// entry whose time differs is stale). Files that cannot be read get an empty entry
// under fail/quorvane-<version>/, so they are not tried again until they change.
// Entries are written under a temporary name in their folder and renamed into place,
// files with mode 0600, folders 0700. Stateless: safe to use from several threads.

#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/Bitmap.h"
#include "imaging/RgbColor.h"

namespace quorvane {

class FreedesktopThumbnails {
 public:
  // `root` is the "thumbnails" folder; empty: DefaultRoot().
  explicit FreedesktopThumbnails(std::string root = {});

  // $XDG_CACHE_HOME/thumbnails, else $HOME/.cache/thumbnails ("" without either).
  static std::string DefaultRoot();
  // "file://" and the absolute path, its bytes escaped as GLib escapes them (letters,
  // digits and "!$&'()*+,-./:=@_~" stay), so that other programs find our entries.
  static std::string CanonicalUri(std::string_view absolutePath);
  // Lower-case hex MD5 of the bytes.
  static std::string Md5Hex(std::string_view bytes);
  // The size folder for a box: "normal" up to 128, "large" up to 256, "" beyond.
  static const char* SizeFolder(int width, int height);
  // Its side: 128, 256 (0 for "").
  static int FolderSide(const char* folder);

  const std::string& Root() const { return root_; }
  // root/folder/<md5 of the URI>.png
  std::string EntryPath(const std::string& path, const char* folder) const;
  // root/fail/quorvane-<version>/<md5 of the URI>.png
  std::string FailPath(const std::string& path) const;

  enum class Found { kNone, kPicture, kFailed };
  struct Entry {
    Bitmap picture;
    int sourceWidth = 0, sourceHeight = 0;  // 0 when the entry does not say
  };
  // Looks a file up for a box: its picture (the normal entry, else the large one;
  // transparency laid over `background`), or the failure entry of this program. An
  // entry of another URI or another modification time is not taken, nor another
  // program's entry (its Software not this program) of a file whose header tells of a
  // colour profile or primaries other than sRGB's (ColourHeader.h): that program may
  // not have converted its colours, so this program makes its own.
  Found Read(const std::string& path, int64_t mtime, int width, int height, RgbColor background,
             Entry& entry) const;
  // Stores a picture already fitted to the folder's side. False when it could not be
  // written (nothing is left behind).
  bool Write(const std::string& path, int64_t mtime, const char* folder, const Bitmap& picture,
             int sourceWidth, int sourceHeight) const;
  // Records that the file cannot be read.
  bool WriteFailure(const std::string& path, int64_t mtime) const;

 private:
  bool WriteEntry(const std::string& target, const std::string& path, int64_t mtime,
                  const Bitmap& picture, int sourceWidth, int sourceHeight) const;
  std::string root_;
};

}  // namespace quorvane

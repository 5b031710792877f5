#pragma once
// The file lists that Linux file managers exchange through the clipboard and drag and
// drop: "text/uri-list" (RFC 2483: one file URI per line, CR LF separated, "#"
// comments) and "x-special/gnome-copied-files" (a first line "copy" or "cut", then one
// URI per line). Only local files travel: a URI of another scheme or host is skipped.

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// "file:///a%20b.jpg" for "/a b.jpg": every byte but letters, digits, "-._~/" escaped.
std::string FileUriFromPath(std::string_view path);
// The local path of a "file:" URI (host empty or "localhost"); "" for anything else,
// for a relative path and for a broken escape or an escaped NUL.
std::string PathFromFileUri(std::string_view uri);

std::string EncodeUriList(const std::vector<std::string>& paths);
std::vector<std::string> DecodeUriList(std::string_view text);

// What a copy or a cut put on the clipboard.
struct CopiedFiles {
  bool cut = false;
  std::vector<std::string> paths;
};
std::string EncodeGnomeCopiedFiles(const CopiedFiles& files);
// False when the text is not such a list (no "copy"/"cut" line).
bool DecodeGnomeCopiedFiles(std::string_view text, CopiedFiles& files);

}  // namespace quorvane

#pragma once
// Path helpers. Paths are UTF-8 with "/" as separator.

#include <string>
#include <string_view>

namespace quorvane {

// The extension with its dot, as written ("" when the name has none). Only the last
// path component counts: "/a.b/c" has none.
std::string ExtractFileExt(std::string_view path);
// The last path component.
std::string ExtractFileName(std::string_view path);
// Everything before the last "/" ("/" for a file in the root, "" without a "/").
std::string ExtractFileDir(std::string_view path);
// ASCII lower case; other bytes (UTF-8 sequences) unchanged.
std::string LowerAscii(std::string_view text);
// Lower-cased extension with its dot.
inline std::string LowerFileExt(std::string_view path) { return LowerAscii(ExtractFileExt(path)); }
// The path without trailing "/" (the root stays "/").
std::string WithoutTrailingSlash(std::string path);
// dir + "/" + name, without doubling the "/" of the root.
std::string JoinPath(std::string_view dir, std::string_view name);

// Cuts a name to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& name, size_t limit);

}  // namespace quorvane

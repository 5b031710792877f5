#pragma once
// The picture formats the program reads, by file extension.

#include <array>
#include <string_view>

namespace quorvane {

// The extensions the program treats as images, in this order; the first
// CodecOnlyExtensionCount are read only by the codec library, the last five by the
// built-in JPEG, BMP and GIF readers.
inline constexpr int CodecExtensionCount = 19;
inline constexpr int CodecOnlyExtensionCount = CodecExtensionCount - 5;
inline constexpr std::array<std::string_view, CodecExtensionCount> CodecExtensions = {
    ".pnm", ".cut", ".dds", ".mng", ".pcd", ".pcx", ".png", ".tga", ".tif", ".tiff",
    ".sgi", ".bw",  ".rgb", ".rgba", ".jpe", ".jpeg", ".jpg", ".bmp", ".gif"};

// Index in CodecExtensions of a lower-case extension with its dot, or -1.
int CodecExtensionIndex(std::string_view lowerExt);

}  // namespace quorvane

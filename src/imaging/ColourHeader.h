#pragma once
// Whether a picture file says, in its header, that its colours are other than plain
// sRGB: an embedded colour profile (a JPEG's ICC_PROFILE segment, PNG's iCCP chunk, the
// TIFF ICC tag, WebP's ICC flag, a HEIF/AVIF "prof" or "rICC" colour), or HEIF/AVIF nclx
// primaries other than sRGB's (BT.709; "unspecified" counts as sRGB). Only the
// structure before the pixels is walked, a bounded number of steps, nothing decoded, so
// it is safe and cheap on any file. A JPEG XL file, whose colour is told deep inside its
// bit stream, counts as saying so. Other formats, and files that cannot be read, say
// nothing.

#include <string>

namespace quorvane {

bool HeaderDeclaresOtherThanSrgb(const std::string& path);

}  // namespace quorvane

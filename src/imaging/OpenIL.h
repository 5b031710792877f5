#pragma once
// The codec library binding (DevIL: IL core and ILUT toolkit), bound at run time with
// dlopen/dlsym, and the small codec interface the rest of the program uses.
//
// Callers never reach the library's entry points: they read and save through
// CodecInit, CodecLoad and CodecSave only. The library runs in a helper process
// (quorvane-codec, see CodecClient.h): a damaged file that crashes it or makes it loop
// fails that one call, and the next call starts a fresh helper. The functions below
// talk to the process-wide helper; the in-process implementation that the helper runs
// is the same set of functions in namespace `local`.
//
// Threads: DevIL keeps one current image for the whole process and has no lock. The
// calls below are serialised, so one caller at a time owns the helper's current image.
// BindCodecLibrary and UnbindCodecLibrary run on the main thread before and after
// every other use.

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

// The library files, by bare name (normal library search order).
inline constexpr const char* kCodecCoreLibrary = "libIL.so.1";
inline constexpr const char* kCodecToolkitLibrary = "libILUT.so.1";
// When set, this environment variable replaces the core library's name at binding; it
// exists so that the start-up failure can be exercised end to end.
inline constexpr const char* kCodecLibraryEnv = "QUORVANE_CODEC_LIBRARY";

// The codec library files are installed with the system package on Linux, so there is
// nothing to write beside the program: this does nothing.
void ExtractCodecLibraries();

// Starts the codec helper, which binds the library as described below; true when the
// helper runs with the library bound. False also when the helper program is missing.
bool BindCodecLibrary();
// Ends the codec helper.
void UnbindCodecLibrary();
// True between a successful BindCodecLibrary and UnbindCodecLibrary.
bool CodecIsBound();
// Why the last binding failed ("" after a success).
std::string CodecBindFailure();
// Replaces the library names the helper binds at its next start (tests only).
void SetCodecLibraryNames(const std::string& core, const std::string& toolkit);

// Type codes of the library's savers.
inline constexpr int kCodecTypePng = 0x042A;
inline constexpr int kCodecTypePnm = 0x042B;
inline constexpr int kCodecTypeSgi = 0x042C;
inline constexpr int kCodecTypeTga = 0x042D;
inline constexpr int kCodecTypeTif = 0x042E;

// Where a load puts its pixels: answers the first row of a picture of the given size.
using CodecPixelTarget = std::function<uint8_t*(int width, int height)>;

struct CodecSaveRequest {
  int type = 0;              // one of the kCodecType codes; 0 = library's choice
  bool byExtension = false;  // save with ilSaveImage (format from the path's extension)
  int jpegQuality = -1;      // when >= 0, set as option 0x0711 before saving
  int sgiRle = -1;           // when >= 0, set as option 0x0715 before saving
};

// What a load asks of the helper beyond the plain picture.
struct CodecLoadRequest {
  uint32_t flags = 0;  // kCodecLoad* below
  // kCodecLoadThumbnail: the box the thumbnail is fitted into, and how (a FitKind).
  int32_t boxWidth = 0;
  int32_t boxHeight = 0;
  int32_t fitMode = 0;
};
// Shown on screen: a picture with a colour profile is converted to sRGB.
inline constexpr uint32_t kCodecLoadForDisplay = 1;
// A thumbnail: the picture may come smaller (from a thumbnail or preview stored in the
// file, or a scaled decode) as long as it still covers the box.
inline constexpr uint32_t kCodecLoadThumbnail = 2;
// A PNG file that ends early gives the rows that could be read, the rest grey.
inline constexpr uint32_t kCodecLoadPartial = 4;

// What a load tells besides the pixels.
struct CodecLoadResult {
  int32_t fullWidth = 0;  // the picture's own size (a thumbnail may be smaller)
  int32_t fullHeight = 0;
  uint32_t fromEmbedded = 0;  // 1 when a thumbnail or preview stored in the file served
};

// These run in the helper, as the in-process versions below describe. A call that
// crashes the helper or runs past its time limit answers false.
bool CodecInit();
bool CodecLoad(const std::string& path, Bitmap& out);
bool CodecLoad(const std::string& path, Bitmap& out, const CodecLoadRequest& request,
               CodecLoadResult* result = nullptr);
bool CodecSave(const std::string& path, const Bitmap& bmp, const CodecSaveRequest& req);

namespace local {

// Loads the core, resolves its entry points (ilInit, ilConvertImage, ilLoadImage,
// ilSaveImage, ilSave, ilGetError, ilSetInteger, ilEnable, then the helpers
// ilGetInteger, ilGetData, ilTexImage, ilOriginFunc); the first missing one fails the
// binding and the toolkit is then not tried. Then loads the toolkit and resolves
// ilutInit. True only when everything was found. Any failure leaves the handles that
// were opened for UnbindCodecLibrary.
bool BindCodecLibrary();
// Releases each library handle that is open and clears the function table.
void UnbindCodecLibrary();
// True between a successful BindCodecLibrary and UnbindCodecLibrary.
bool CodecIsBound();
// Why the last binding failed ("" after a success), e.g. "ilInit not found in libm.so.6".
std::string CodecBindFailure();
// Replaces the library names used by the next BindCodecLibrary (tests only); empty
// strings restore the defaults. The environment variable above still wins for the core.
void SetCodecLibraryNames(const std::string& core, const std::string& toolkit);

// ilInit, then ilutInit, then top-row-first delivery of loaded images (origin set,
// upper left). False when the library is not bound or reported an error.
bool CodecInit();

// Loads a file through the library and copies it into `out` as B, G, R, top row first,
// whatever the file's own origin (volumes and animations: the first slice/frame).
// ".pnm", ".tif" and ".tiff" files go to the program's own readers instead (PnmReader.h,
// TiffReader.h: a TIFF picture comes as stored, its Orientation tag not applied).
// True exactly when the library reported no error; `out` is unchanged on failure.
bool CodecLoad(const std::string& path, Bitmap& out);
// The same load delivered into memory that `target` provides for the picture's size
// (rows Bitmap::StrideFor(width) bytes apart, padding zeroed; null refuses, and so may
// an exception). The codec helper loads straight into the memory it shares with the
// program. True as for CodecLoad; on failure the target's memory may hold anything.
bool CodecLoadInto(const std::string& path, const CodecPixelTarget& target);

// Makes `bmp` the library's current image and saves it to exactly `path` (an existing
// file there is replaced: callers that must not overwrite save to a fresh name and
// rename). True when the library saved without error.
bool CodecSave(const std::string& path, const Bitmap& bmp, const CodecSaveRequest& req);

}  // namespace local

}  // namespace quorvane

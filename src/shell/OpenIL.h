#pragma once
// The codec library binding (DevIL: IL core and ILUT toolkit), bound at run time with
// dlopen/dlsym, and the small codec interface the rest of the program uses.
//
// Callers never reach the library's entry points: they read and save through
// CodecInit, CodecLoad and CodecSave only, so that the codec can later move into a
// separate process without touching them.
//
// Threads: DevIL keeps one current image for the whole process and has no lock. The
// binding is used from one side at a time: the thumbnail threads are paused and the
// busy flag is set around every batch and every showing of the viewer. Never call
// these functions from two threads at once. BindCodecLibrary and UnbindCodecLibrary
// run on the main thread before and after every other use.

#include <string>

#include "shell/Bitmap.h"

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
// True exactly when the library reported no error; `out` is unchanged on failure.
bool CodecLoad(const std::string& path, Bitmap& out);

// Type codes of the library's savers.
inline constexpr int kCodecTypePng = 0x042A;
inline constexpr int kCodecTypePnm = 0x042B;
inline constexpr int kCodecTypeSgi = 0x042C;
inline constexpr int kCodecTypeTga = 0x042D;
inline constexpr int kCodecTypeTif = 0x042E;

struct CodecSaveRequest {
  int type = 0;              // one of the kCodecType codes; 0 = library's choice
  bool byExtension = false;  // save with ilSaveImage (format from the path's extension)
  int jpegQuality = -1;      // when >= 0, set as option 0x0711 before saving
  int sgiRle = -1;           // when >= 0, set as option 0x0715 before saving
};

// Makes `bmp` the library's current image and saves it to exactly `path` (an existing
// file there is replaced: callers that must not overwrite save to a fresh name and
// rename). True when the library saved without error.
bool CodecSave(const std::string& path, const Bitmap& bmp, const CodecSaveRequest& req);

}  // namespace quorvane

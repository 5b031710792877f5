#include "imaging/OpenIL.h"

#include <IL/il.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/FileIO.h"
#include "imaging/AlphaBlend.h"
#include "imaging/PnmReader.h"
#include "imaging/TgaReader.h"
#include "imaging/TiffReader.h"
#include "imaging/ImageFormats.h"
#include "platform/FileNames.h"
#include "platform/HandedFiles.h"

namespace quorvane {

namespace {

// The function table: two library handles and the entry points, filled once by
// BindCodecLibrary on the main thread and only read afterwards.
struct CodecTable {
  void* core = nullptr;
  void* toolkit = nullptr;
  bool bound = false;
  std::string failure;
  std::string coreName;
  std::string toolkitName;

  // The eight core entry points, in order of resolution.
  void (*ilInit)() = nullptr;
  ILboolean (*ilConvertImage)(ILenum, ILenum) = nullptr;
  ILboolean (*ilLoadImage)(ILconst_string) = nullptr;
  ILboolean (*ilSaveImage)(ILconst_string) = nullptr;
  ILboolean (*ilSave)(ILenum, ILconst_string) = nullptr;
  ILenum (*ilGetError)() = nullptr;
  void (*ilSetInteger)(ILenum, ILint) = nullptr;
  ILboolean (*ilEnable)(ILenum) = nullptr;
  // Core helpers that stand in for the toolkit's device-bitmap functions, which ILUT
  // does not have on Linux: the image's size, origin and pixel memory (ilGetInteger,
  // ilGetData), a fresh current image (ilTexImage) and the origin that loaders deliver
  // (ilOriginFunc).
  ILint (*ilGetInteger)(ILenum) = nullptr;
  ILubyte* (*ilGetData)() = nullptr;
  ILboolean (*ilTexImage)(ILuint, ILuint, ILuint, ILubyte, ILenum, ILenum, void*) = nullptr;
  ILboolean (*ilOriginFunc)(ILenum) = nullptr;
  // Optional: loading as a given type, for files whose name says another format.
  ILboolean (*ilLoad)(ILenum, ILconst_string) = nullptr;
  // Optional: the library's file reading and writing functions, replaced so that it
  // opens nothing by name (in the helper it gets what the program opened).
  void (*ilSetRead)(fOpenRProc, fCloseRProc, fEofProc, fGetcProc, fReadProc, fSeekRProc,
                    fTellRProc) = nullptr;
  void (*ilSetWrite)(fOpenWProc, fCloseWProc, fPutcProc, fSeekWProc, fTellWProc,
                     fWriteProc) = nullptr;
  // The toolkit.
  void (*ilutInit)() = nullptr;
};

CodecTable& Table() {
  static CodecTable table;
  return table;
}

template <typename Fn>
bool Resolve(void* handle, const char* libName, const char* symbol, Fn& slot,
             std::string& failure) {
  dlerror();
  void* address = dlsym(handle, symbol);
  if (!address) {
    failure = std::string(symbol) + " not found in " + libName;
    return false;
  }
  slot = reinterpret_cast<Fn>(address);
  return true;
}

bool BindCore(CodecTable& t, const char* name) {
  t.core = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (!t.core) {
    t.failure = std::string("cannot load ") + name;
    return false;
  }
  std::string& f = t.failure;
  return Resolve(t.core, name, "ilInit", t.ilInit, f) &&
         Resolve(t.core, name, "ilConvertImage", t.ilConvertImage, f) &&
         Resolve(t.core, name, "ilLoadImage", t.ilLoadImage, f) &&
         Resolve(t.core, name, "ilSaveImage", t.ilSaveImage, f) &&
         Resolve(t.core, name, "ilSave", t.ilSave, f) &&
         Resolve(t.core, name, "ilGetError", t.ilGetError, f) &&
         Resolve(t.core, name, "ilSetInteger", t.ilSetInteger, f) &&
         Resolve(t.core, name, "ilEnable", t.ilEnable, f) &&
         Resolve(t.core, name, "ilGetInteger", t.ilGetInteger, f) &&
         Resolve(t.core, name, "ilGetData", t.ilGetData, f) &&
         Resolve(t.core, name, "ilTexImage", t.ilTexImage, f) &&
         Resolve(t.core, name, "ilOriginFunc", t.ilOriginFunc, f) &&
         (t.ilLoad = reinterpret_cast<decltype(t.ilLoad)>(dlsym(t.core, "ilLoad")), true) &&
         (t.ilSetRead = reinterpret_cast<decltype(t.ilSetRead)>(dlsym(t.core, "ilSetRead")),
          true) &&
         (t.ilSetWrite = reinterpret_cast<decltype(t.ilSetWrite)>(dlsym(t.core, "ilSetWrite")),
          true);
}

// The library's files, opened through HandedFiles.h: in the helper the descriptor the
// program handed, elsewhere the file by name. The rest is what the library does itself
// with a FILE.
FILE* OpenFileAs(ILconst_string name, int flags, const char* mode) {
  UniqueFd fd = OpenHandedOrByName(name, flags);
  if (!fd.Ok() || ((flags & O_TRUNC) && ::ftruncate(fd.Get(), 0) != 0)) return nullptr;
  FILE* file = ::fdopen(fd.Get(), mode);
  if (file) fd.Release();
  return file;
}
ILHANDLE OpenForReading(ILconst_string name) { return OpenFileAs(name, O_RDONLY, "rb"); }
ILHANDLE OpenForWriting(ILconst_string name) {
  return OpenFileAs(name, O_RDWR | O_CREAT | O_TRUNC, "wb");
}
void CloseFile(ILHANDLE h) { std::fclose(static_cast<FILE*>(h)); }
ILboolean AtEnd(ILHANDLE h) { return std::feof(static_cast<FILE*>(h)) ? IL_TRUE : IL_FALSE; }
ILint GetByte(ILHANDLE h) { return std::getc(static_cast<FILE*>(h)); }
ILint ReadItems(void* to, ILuint size, ILuint count, ILHANDLE h) {
  return ILint(std::fread(to, size, count, static_cast<FILE*>(h)));
}
ILint SeekTo(ILHANDLE h, ILint offset, ILint whence) {
  return std::fseek(static_cast<FILE*>(h), offset, whence);
}
ILint Tell(ILHANDLE h) { return ILint(std::ftell(static_cast<FILE*>(h))); }
ILint PutByte(ILubyte c, ILHANDLE h) { return std::fputc(c, static_cast<FILE*>(h)); }
ILint WriteItems(const void* from, ILuint size, ILuint count, ILHANDLE h) {
  return ILint(std::fwrite(from, size, count, static_cast<FILE*>(h)));
}

void UseOurFiles(const CodecTable& t) {
  if (t.ilSetRead) t.ilSetRead(OpenForReading, CloseFile, AtEnd, GetByte, ReadItems, SeekTo, Tell);
  if (t.ilSetWrite) t.ilSetWrite(OpenForWriting, CloseFile, PutByte, SeekTo, Tell, WriteItems);
}

// The library's loader for a PNG file whose name says another format (the library
// picks its loader by the extension); 0: by the name.
ILenum LoaderTypeForContents(const std::string& path) {
  return FormatOfFile(path) == PictureFormat::Png && LowerFileExt(path) != ".png" ? IL_PNG : 0;
}

bool BindToolkit(CodecTable& t, const char* name) {
  t.toolkit = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (!t.toolkit) {
    t.failure = std::string("cannot load ") + name;
    return false;
  }
  return Resolve(t.toolkit, name, "ilutInit", t.ilutInit, t.failure);
}

// The library keeps a stack of errors; reading one pops it. Clearing it before a call
// keeps an old error from failing the next load. The stack is short; the bound only
// guards against a library that never answers "no error".
void ClearErrors(const CodecTable& t) {
  for (int i = 0; i < 64 && t.ilGetError() != IL_NO_ERROR; ++i) {
  }
}

// True when the library's current image carries transparency: an alpha channel, or a
// palette with one.
bool HasAlpha(const CodecTable& t) {
  switch (t.ilGetInteger(IL_IMAGE_FORMAT)) {
    case IL_RGBA:
    case IL_BGRA:
    case IL_LUMINANCE_ALPHA:
      return true;
    case IL_COLOUR_INDEX: {
      const ILint palette = t.ilGetInteger(IL_PALETTE_TYPE);
      return palette == IL_PAL_RGBA32 || palette == IL_PAL_BGRA32;
    }
    default:
      return false;
  }
}

// Copies the library's current image (already converted to unsigned bytes, B, G, R when
// `channels` is 3, B, G, R, A over white when 4) into the rows that `target` provides,
// top row first whatever the image's origin (`flip` turns the order round once more).
// Volumes give their first slice. False when the image is not what the conversion
// promised, too large, or refused.
bool ilutConvertToHBitmap(const CodecTable& t, const CodecPixelTarget& target, bool flip,
                          int channels) {
  const ILint width = t.ilGetInteger(IL_IMAGE_WIDTH);
  const ILint height = t.ilGetInteger(IL_IMAGE_HEIGHT);
  if (t.ilGetInteger(IL_IMAGE_FORMAT) != (channels == 4 ? IL_BGRA : IL_BGR) ||
      t.ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE || t.ilGetInteger(IL_IMAGE_BPP) != channels)
    return false;
  if (width <= 0 || height <= 0 || !Bitmap::SizeAllowed(width, height)) return false;
  const size_t rowBytes = size_t(width) * 3;
  const size_t sourceRowBytes = size_t(width) * size_t(channels);
  const ILint dataSize = t.ilGetInteger(IL_IMAGE_SIZE_OF_DATA);
  if (dataSize < 0 || size_t(dataSize) < sourceRowBytes * size_t(height)) return false;
  const ILubyte* data = t.ilGetData();
  if (!data) return false;
  const bool blend = channels == 4 && !AlphaAllZero(data, size_t(width) * size_t(height));
  const bool bottomUp = (t.ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT) != flip;
  uint8_t* rows = target(width, height);
  if (!rows) return false;
  const size_t stride = Bitmap::StrideFor(width);
  for (int y = 0; y < height; ++y) {
    const size_t sourceRow = size_t(bottomUp ? height - 1 - y : y);
    const ILubyte* in = data + sourceRow * sourceRowBytes;
    uint8_t* row = rows + size_t(y) * stride;
    if (channels == 3) {
      std::memcpy(row, in, rowBytes);
    } else if (blend) {
      BgraRowOverWhite(in, row, size_t(width));
    } else {
      for (ILint x = 0; x < width; ++x) std::memcpy(row + size_t(x) * 3, in + size_t(x) * 4, 3);
    }
    std::memset(row + rowBytes, 0, stride - rowBytes);
  }
  return true;
}

// Makes a copy of `bmp` the library's current image (B, G, R unsigned bytes), in the
// row order that the new image's origin calls for.
bool ilutSetHBitmap(const CodecTable& t, const Bitmap& bmp) {
  const int width = bmp.Width();
  const int height = bmp.Height();
  if (!t.ilTexImage(ILuint(width), ILuint(height), 1, 3, IL_BGR, IL_UNSIGNED_BYTE, nullptr))
    return false;
  ILubyte* data = t.ilGetData();
  if (!data || t.ilGetInteger(IL_IMAGE_WIDTH) != width || t.ilGetInteger(IL_IMAGE_HEIGHT) != height)
    return false;
  const bool bottomUp = t.ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT;
  const size_t rowBytes = size_t(width) * 3;
  for (int y = 0; y < height; ++y) {
    const size_t targetRow = size_t(bottomUp ? height - 1 - y : y);
    std::memcpy(data + targetRow * rowBytes, bmp.ScanLine(y), rowBytes);
  }
  return true;
}

// The library's PNG loader never returns from a file that ends inside a chunk (its
// read callback ignores short reads). A PNG file is handed to it only when its chunks
// are complete up to IEND; other files pass unchecked.
bool PngChunksComplete(const std::string& path) {
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const UniqueFd in = UniqueFd::OpenRead(path);
  unsigned char head[8] = {};
  if (!in.Ok() || !ReadFullyAt(in.Get(), 0, head, 8) || std::memcmp(head, kSignature, 8) != 0)
    return true;
  const uint64_t size = uint64_t(in.Size());
  uint64_t pos = 8;
  while (pos + 12 <= size) {
    unsigned char chunk[8];
    if (!ReadFullyAt(in.Get(), int64_t(pos), chunk, 8)) return false;
    const uint64_t length = (uint64_t(chunk[0]) << 24) | (uint64_t(chunk[1]) << 16) |
                            (uint64_t(chunk[2]) << 8) | uint64_t(chunk[3]);
    if (length > 0x7FFFFFFF) return false;
    pos += 12 + length;
    if (pos > size) return false;
    if (std::memcmp(chunk + 4, "IEND", 4) == 0) return true;
  }
  return false;
}

}  // namespace

void ExtractCodecLibraries() {}

// The in-process implementation: runs inside the codec helper program.
namespace local {

void SetCodecLibraryNames(const std::string& core, const std::string& toolkit) {
  Table().coreName = core;
  Table().toolkitName = toolkit;
}

bool BindCodecLibrary() {
  CodecTable& t = Table();
  if (t.bound) return true;
  try {
    t.failure.clear();
    const char* fromEnv = std::getenv(kCodecLibraryEnv);
    const std::string coreName = (fromEnv && *fromEnv) ? fromEnv
                                 : t.coreName.empty()  ? kCodecCoreLibrary
                                                       : t.coreName;
    const std::string toolkitName = t.toolkitName.empty() ? kCodecToolkitLibrary : t.toolkitName;
    if (!BindCore(t, coreName.c_str())) return false;
    if (!BindToolkit(t, toolkitName.c_str())) return false;
    t.bound = true;
    return true;
  } catch (const std::exception& e) {
    t.failure = e.what();
    return false;
  }
}

void UnbindCodecLibrary() {
  CodecTable& t = Table();
  if (t.toolkit) dlclose(t.toolkit);
  if (t.core) dlclose(t.core);
  // Keep the names chosen for tests and the last failure; clear everything else.
  CodecTable fresh;
  fresh.failure = std::move(t.failure);
  fresh.coreName = std::move(t.coreName);
  fresh.toolkitName = std::move(t.toolkitName);
  t = std::move(fresh);
}

bool CodecIsBound() { return Table().bound; }

std::string CodecBindFailure() { return Table().failure; }

bool CodecInit() {
  const CodecTable& t = Table();
  if (!t.bound) return false;
  t.ilInit();
  t.ilutInit();
  UseOurFiles(t);
  t.ilEnable(IL_ORIGIN_SET);
  t.ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
  const bool ok = t.ilGetError() == IL_NO_ERROR;
  ClearErrors(t);
  return ok;
}

bool CodecLoad(const std::string& path, Bitmap& out) {
  Bitmap picture;
  auto target = [&picture](int width, int height) {
    picture.SetSize(width, height);
    return picture.Bits();
  };
  if (!CodecLoadInto(path, target)) return false;
  out.Swap(picture);
  return true;
}

bool CodecLoadInto(const std::string& path, const CodecPixelTarget& target) {
  const CodecTable& t = Table();
  if (!t.bound) return false;
  // The library opens files with a blocking open: a pipe would stop it for good.
  if (!IsReadableRegularFile(path)) return false;
  // Netpbm, TIFF and TGA files have readers of their own (PnmReader.h, TiffReader.h,
  // TgaReader.h), chosen by the file's contents (TGA, which has no signature, by its
  // name); a TIFF picture comes as stored, its orientation applied by the caller
  // (Orient.h).
  const std::string ext = LowerFileExt(path);
  const PictureFormat format = FormatOfFile(path);
  if (format == PictureFormat::Pnm) return ReadPnmFile(path, target);
  if (format == PictureFormat::Tiff) return ReadTiffFile(path, target);
  if (format == PictureFormat::Tga) {
    const UniqueFd file = UniqueFd::OpenRead(path);
    return file.Ok() && ReadTgaFile(file.Get(), target);
  }
  if (!PngChunksComplete(path)) return false;
  ClearErrors(t);
  // The library's Photo CD loader delivers its rows bottom-up whatever the origin
  // setting says (it picks that loader by the extension alone).
  const bool flip = ext == ".pcd";
  bool copied = false;
  const ILenum type = t.ilLoad ? LoaderTypeForContents(path) : 0;
  const bool loaded =
      (type ? t.ilLoad(type, path.c_str()) : t.ilLoadImage(path.c_str())) != IL_FALSE;
  // Transparent pictures are composited over white as they are copied out.
  const int channels = loaded && HasAlpha(t) ? 4 : 3;
  if (loaded && t.ilConvertImage(channels == 4 ? IL_BGRA : IL_BGR, IL_UNSIGNED_BYTE)) {
    try {
      copied = ilutConvertToHBitmap(t, target, flip, channels);
    } catch (const std::exception&) {
      copied = false;
    }
  }
  const bool noError = t.ilGetError() == IL_NO_ERROR;
  ClearErrors(t);
  // A failed load is a failure even when the library left no error behind.
  return loaded && copied && noError;
}

bool CodecSave(const std::string& path, const Bitmap& bmp, const CodecSaveRequest& req) {
  const CodecTable& t = Table();
  if (!t.bound || bmp.Empty()) return false;
  ClearErrors(t);
  if (!ilutSetHBitmap(t, bmp)) {
    ClearErrors(t);
    return false;
  }
  if (req.jpegQuality >= 0) t.ilSetInteger(IL_JPG_QUALITY, req.jpegQuality);
  if (req.sgiRle >= 0) t.ilSetInteger(IL_SGI_RLE, req.sgiRle);
  t.ilEnable(IL_FILE_OVERWRITE);
  const bool saved = req.byExtension ? t.ilSaveImage(path.c_str()) != IL_FALSE
                                     : t.ilSave(ILenum(req.type), path.c_str()) != IL_FALSE;
  const bool noError = t.ilGetError() == IL_NO_ERROR;
  ClearErrors(t);
  return saved && noError;
}

}  // namespace local

}  // namespace quorvane

#pragma once
// The program's raster: 24 bits per pixel, bytes blue, green, red, row 0 at the top,
// each row padded to a multiple of 4 bytes (the layout of a device-independent bitmap).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "imaging/RgbColor.h"

namespace quorvane {

class BitmapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Bitmap {
 public:
  // Limits checked before any allocation: a picture with a larger side or more pixels
  // is refused (readers turn the refusal into a failed read).
  static constexpr int kMaxSide = 65535;
  static constexpr int64_t kMaxPixels = int64_t(1) << 28;

  Bitmap() = default;
  Bitmap(int width, int height) { SetSize(width, height); }
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap() = default;

  // True when a picture of this size may be allocated.
  static bool SizeAllowed(int64_t width, int64_t height);
  // Bytes per row for a width: 3 bytes a pixel, padded to 4.
  static size_t StrideFor(int width) { return (size_t(width) * 3 + 3) & ~size_t(3); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  size_t Stride() const { return stride_; }
  size_t ByteSize() const { return stride_ * size_t(height_); }

  // Reallocates to width x height with every byte zero (black). Zero sizes give an
  // empty bitmap. Throws BitmapError for negative sizes or sizes beyond the limits;
  // the bitmap is then unchanged.
  void SetSize(int width, int height);
  // Like SetSize, but keeps the pixels of the overlapping top-left area; new area is
  // filled with `fill`.
  void Resize(int width, int height, RgbColor fill);
  // Frees the pixel memory; the bitmap becomes empty.
  void Release();
  void Fill(RgbColor color);
  void Swap(Bitmap& other) noexcept;

  uint8_t* ScanLine(int y) { return bits_.get() + size_t(y) * stride_; }
  const uint8_t* ScanLine(int y) const { return bits_.get() + size_t(y) * stride_; }
  uint8_t* Bits() { return bits_.get(); }
  const uint8_t* Bits() const { return bits_.get(); }

  RgbColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, RgbColor color);

  // Same size and same visible pixels (padding bytes are ignored).
  bool SamePixels(const Bitmap& other) const;

 private:
  struct FreeDeleter {
    void operator()(uint8_t* p) const noexcept;
  };
  std::unique_ptr<uint8_t[], FreeDeleter> bits_;
  int width_ = 0;
  int height_ = 0;
  size_t stride_ = 0;
};

}  // namespace quorvane

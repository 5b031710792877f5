#include "imaging/Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quorvane {

void Bitmap::FreeDeleter::operator()(uint8_t* p) const noexcept { std::free(p); }

bool Bitmap::SizeAllowed(int64_t width, int64_t height) {
  if (width < 0 || height < 0) return false;
  if (width > kMaxSide || height > kMaxSide) return false;
  return width * height <= kMaxPixels;
}

Bitmap::Bitmap(const Bitmap& other) { *this = other; }

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this == &other) return *this;
  Bitmap copy;
  copy.SetSize(other.width_, other.height_);
  if (other.ByteSize() > 0) std::memcpy(copy.bits_.get(), other.bits_.get(), other.ByteSize());
  Swap(copy);
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept { Swap(other); }

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this != &other) {
    Release();
    Swap(other);
  }
  return *this;
}

void Bitmap::Swap(Bitmap& other) noexcept {
  std::swap(bits_, other.bits_);
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(stride_, other.stride_);
}

void Bitmap::SetSize(int width, int height) {
  if (!SizeAllowed(width, height))
    throw BitmapError("picture size " + std::to_string(width) + " x " + std::to_string(height) +
                      " is out of range");
  if (width == 0 || height == 0) {
    Release();
    width_ = width;
    height_ = height;
    return;
  }
  const size_t stride = StrideFor(width);
  // calloc: large blocks come as fresh zero pages, so clearing costs nothing.
  auto* p = static_cast<uint8_t*>(std::calloc(stride * size_t(height), 1));
  if (!p) throw BitmapError("out of memory for a picture of " + std::to_string(width) + " x " +
                            std::to_string(height));
  bits_.reset(p);
  width_ = width;
  height_ = height;
  stride_ = stride;
}

void Bitmap::Resize(int width, int height, RgbColor fill) {
  Bitmap next(width, height);
  next.Fill(fill);
  const int w = std::min(width, width_), h = std::min(height, height_);
  for (int y = 0; y < h; ++y) std::memcpy(next.ScanLine(y), ScanLine(y), size_t(w) * 3);
  Swap(next);
}

void Bitmap::Release() {
  bits_.reset();
  width_ = height_ = 0;
  stride_ = 0;
}

void Bitmap::Fill(RgbColor color) {
  if (Empty()) return;
  const uint8_t b = GetBValue(color), g = GetGValue(color), r = GetRValue(color);
  uint8_t* row0 = ScanLine(0);
  for (int x = 0; x < width_; ++x) {
    row0[x * 3] = b;
    row0[x * 3 + 1] = g;
    row0[x * 3 + 2] = r;
  }
  for (int y = 1; y < height_; ++y) std::memcpy(ScanLine(y), row0, size_t(width_) * 3);
}

RgbColor Bitmap::Pixel(int x, int y) const {
  const uint8_t* p = ScanLine(y) + size_t(x) * 3;
  return RGB(p[2], p[1], p[0]);
}

void Bitmap::SetPixel(int x, int y, RgbColor color) {
  uint8_t* p = ScanLine(y) + size_t(x) * 3;
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
}

bool Bitmap::SamePixels(const Bitmap& other) const {
  if (width_ != other.width_ || height_ != other.height_) return false;
  for (int y = 0; y < height_; ++y)
    if (std::memcmp(ScanLine(y), other.ScanLine(y), size_t(width_) * 3) != 0) return false;
  return true;
}

}  // namespace quorvane

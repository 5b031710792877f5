#include "processing/GIFCodeStream.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quorvane {

namespace {

int64_t IntegerSqrt(int64_t r) {
  auto n = int64_t(std::sqrt(double(r)));
  while (n > 0 && n * n > r) --n;
  while ((n + 1) * (n + 1) <= r) ++n;
  return n;
}

// Smallest n with n (n + 1) >= 2r, for r below a bound: the short runs of busy pictures
// ask for it at every run.
struct SmallTriangles {
  static constexpr int kCount = 4096;
  uint8_t n[kCount];
  constexpr SmallTriangles() : n() {
    int k = 0;
    for (int r = 0; r < kCount; ++r) {
      while (k * (k + 1) < 2 * r) ++k;
      n[r] = uint8_t(k);
    }
  }
};
constexpr SmallTriangles kSmallTriangles;

}  // namespace

RleEncoder::RleEncoder(int bitsPerPixel) {
  if (bitsPerPixel < 1 || bitsPerPixel > 8)
    throw std::invalid_argument("GIF colour tables have 1 to 8 bits per pixel");
  codeSize_ = std::max(bitsPerPixel, 2);
  clearCode_ = 1 << codeSize_;
  endCode_ = clearCode_ + 1;
  baseCode_ = clearCode_ + 2;
  maxCodes_ = 4095 - baseCode_;
  outBumpInit_ = clearCode_ - 1;
  outClearInit_ = codeSize_ > 3 ? clearCode_ - 2 : 9;
}

int64_t RleEncoder::Triangle(int64_t c) const {
  // One whole triangle always exceeds the table's range (MaxCodes is at least 3837).
  if (c < SmallTriangles::kCount) return kSmallTriangles.n[c];
  const int64_t m = maxCodes_;
  const int64_t whole = m * (m + 1) / 2;
  int64_t cost = (c / whole) * m;
  const int64_t r = c % whole;
  if (r > 0) {
    int64_t n = IntegerSqrt(r);
    while (n * (n + 1) < 2 * r) ++n;
    cost += n;
  }
  return cost;
}

void RleEncoder::Emit(int code) {
  bitBuffer_ |= uint64_t(code) << bitCount_;
  bitCount_ += codeWidth_;
  if (bitCount_ >= 32) {
    if (codesUsed_ + 4 > codes_.size()) codes_.resize(codes_.size() * 2 + 64);
    uint8_t* p = codes_.data() + codesUsed_;
    p[0] = uint8_t(bitBuffer_);
    p[1] = uint8_t(bitBuffer_ >> 8);
    p[2] = uint8_t(bitBuffer_ >> 16);
    p[3] = uint8_t(bitBuffer_ >> 24);
    codesUsed_ += 4;
    bitBuffer_ >>= 32;
    bitCount_ -= 32;
  }
}

void RleEncoder::FinishBits() {
  codes_.resize(codesUsed_);
  for (; bitCount_ > 0; bitCount_ -= 8, bitBuffer_ >>= 8) codes_.push_back(uint8_t(bitBuffer_));
  bitBuffer_ = 0;
  bitCount_ = 0;
  codesUsed_ = codes_.size();
}

void RleEncoder::OutputPlain(int code) {
  justCleared_ = false;
  Emit(code);
  ++outCount_;
  if (outCount_ >= outBump_) {
    outBump_ += 1 << codeWidth_;
    ++codeWidth_;
  }
  if (outCount_ >= outClear_) Clear();
}

void RleEncoder::Clear() {
  outBump_ = outBumpInit_;
  outClear_ = outClearInit_;
  outCount_ = 0;
  runLengthTableMax_ = 0;
  justCleared_ = true;
  Emit(clearCode_);
  codeWidth_ = codeSize_ + 1;
}

void RleEncoder::ResetOutClear() {
  outClear_ = outClearInit_;
  if (outCount_ >= outClear_) Clear();
}

void RleEncoder::FlushFromClear(int64_t count) {
  outClear_ = maxCodes_;
  runLengthTablePixel_ = pixel_;
  int64_t n = 1;
  while (count > 0) {
    if (n == 1) {
      runLengthTableMax_ = 1;
      OutputPlain(pixel_);
      count -= 1;
    } else if (count >= n) {
      runLengthTableMax_ = n;
      OutputPlain(int(baseCode_ + n - 2));
      count -= n;
    } else if (count == 1) {
      ++runLengthTableMax_;
      OutputPlain(pixel_);
      count = 0;
    } else {
      ++runLengthTableMax_;
      OutputPlain(int(baseCode_ + count - 2));
      count = 0;
    }
    n = outCount_ == 0 ? 1 : n + 1;
  }
  ResetOutClear();
}

void RleEncoder::FlushWithTable(int64_t count) {
  const int64_t tableMax = runLengthTableMax_;
  int64_t repeats = count / tableMax;
  int64_t rest = count % tableMax;
  int64_t extra = rest > 0 ? 1 : 0;
  if (outCount_ + repeats + extra > maxCodes_) {
    repeats = maxCodes_ - outCount_;
    rest = count - repeats * tableMax;
    extra = 1 + Triangle(rest);
  }
  if (1 + Triangle(count) < repeats + extra) {
    Clear();
    FlushFromClear(count);
    return;
  }
  outClear_ = maxCodes_;
  const int runCode = int(baseCode_ + tableMax - 2);
  for (int64_t i = 0; i < repeats; ++i) OutputPlain(runCode);
  if (justCleared_)
    FlushFromClear(rest);
  else if (rest == 1)
    OutputPlain(pixel_);
  else if (rest > 1)
    OutputPlain(int(baseCode_ + rest - 2));
  ResetOutClear();
}

void RleEncoder::FlushRun(int pixel, int64_t count) {
  pixel_ = pixel;
  if (count == 1) {
    OutputPlain(pixel);
  } else if (justCleared_) {
    FlushFromClear(count);
  } else if (runLengthTablePixel_ == pixel && runLengthTableMax_ > 1) {
    FlushWithTable(count);
  } else if (1 + Triangle(count) < count) {
    Clear();
    FlushFromClear(count);
  } else {
    for (int64_t i = 0; i < count; ++i) OutputPlain(pixel);
  }
}

void RleEncoder::Reset() {
  codeWidth_ = codeSize_ + 1;
  outCount_ = 0;
  outBump_ = outBumpInit_;
  outClear_ = outClearInit_;
  runLengthTableMax_ = 0;
  runLengthTablePixel_ = -1;
  justCleared_ = false;
  pixel_ = 0;
  bitBuffer_ = 0;
  bitCount_ = 0;
  codes_.clear();
  codesUsed_ = 0;
}

void RleEncoder::Encode(const uint8_t* pixels, size_t count, int colorCount,
                         std::vector<uint8_t>& out) {
  Reset();
  // Most pictures need about one 9-bit code per pixel or far fewer.
  codes_.resize(count + count / 4 + 64);
  out.push_back(uint8_t(codeSize_));
  Clear();  // the stream starts with a clear
  if (count > 0) {
    int run = pixels[0];
    if (run >= colorCount) throw GIFError("Color not in color table");
    int64_t length = 1;
    for (size_t i = 1; i < count; ++i) {
      const int p = pixels[i];
      if (p == run) {
        ++length;
        continue;
      }
      if (p >= colorCount) throw GIFError("Color not in color table");
      if (length == 1)
        OutputPlain(run);  // the common case of busy pictures
      else
        FlushRun(run, length);
      run = p;
      length = 1;
    }
    FlushRun(run, length);
  }
  // The end code goes out at the current width; it is no counted code.
  Emit(endCode_);
  FinishBits();

  // Data sub-blocks: full blocks of 255 bytes, the last one shorter, then a zero block.
  const size_t blocks = (codes_.size() + 254) / 255;
  out.reserve(out.size() + codes_.size() + blocks + 1);
  for (size_t at = 0; at < codes_.size(); at += 255) {
    const size_t n = std::min<size_t>(255, codes_.size() - at);
    out.push_back(uint8_t(n));
    out.insert(out.end(), codes_.begin() + std::ptrdiff_t(at),
               codes_.begin() + std::ptrdiff_t(at + n));
  }
  out.push_back(0);
  codes_ = std::vector<uint8_t>();
  codesUsed_ = 0;
}

}  // namespace quorvane

#pragma once
// The GIF image data of the writer: a code stream in GIF's variable-width code format that
// any GIF decoder reads, made by a run-length coder instead of LZW dictionary compression.
//
// After a clear code the decoder's table is rebuilt by the codes that follow; sending one
// pixel and then the codes base, base + 1, ... makes the table hold runs of 2, 3, ... of
// that pixel, so a run of c pixels costs about sqrt(2c) codes. Other pixels go out as
// plain codes, with clears often enough to keep the codes 9 bits wide.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace quorvane {

// Failures of the GIF writer ("Unsupported GIF version", "Color not in color table").
class GIFError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RleEncoder {
 public:
  // bitsPerPixel: of the colour table (1..8); the minimum code size is at least 2.
  explicit RleEncoder(int bitsPerPixel);

  // Appends the image data of count pixel indices, taken as one sequence (runs continue
  // across row ends): the minimum code size byte, the codes in data sub-blocks of 255
  // bytes (the last one shorter) and the zero-length block. An index not below colorCount
  // throws GIFError "Color not in color table"; out then holds a partial stream.
  void Encode(const uint8_t* pixels, size_t count, int colorCount, std::vector<uint8_t>& out);

  // The number of codes that send c pixels of one colour from a fresh table with at most
  // MaxCodes codes between clears.
  int64_t Triangle(int64_t c) const;

  int CodeSize() const { return codeSize_; }
  int MaxCodes() const { return maxCodes_; }

 private:
  void Reset();
  void Emit(int code);  // at the current width, no bookkeeping
  void OutputPlain(int code);
  void Clear();
  void ResetOutClear();
  void FlushRun(int pixel, int64_t count);
  void FlushFromClear(int64_t count);
  void FlushWithTable(int64_t count);
  void FinishBits();

  int codeSize_;
  int clearCode_;
  int endCode_;
  int baseCode_;
  int maxCodes_;
  int outBumpInit_;
  int outClearInit_;

  int codeWidth_ = 0;
  int outCount_ = 0;
  int outBump_ = 0;
  int outClear_ = 0;
  int64_t runLengthTableMax_ = 0;
  int runLengthTablePixel_ = -1;
  bool justCleared_ = false;
  int pixel_ = 0;

  uint64_t bitBuffer_ = 0;
  int bitCount_ = 0;
  std::vector<uint8_t> codes_;  // packed code bytes before they are cut into sub-blocks
  size_t codesUsed_ = 0;
};

}  // namespace quorvane

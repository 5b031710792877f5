#pragma once
// Reading fields out of an EXIF block in its TIFF structure (as the metadata helper
// hands it over): texts, numbers and rationals of the first folder, the Exif folder and
// the GPS folder, every offset checked against the block's end; and the description of
// an ICC colour profile.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

class ExifBlock {
 public:
  // The block is borrowed: it must outlive this.
  explicit ExifBlock(const std::vector<uint8_t>& tiff);
  bool Valid() const { return first_ != 0; }
  // The folders: 0 when the block has none.
  size_t First() const { return first_; }
  size_t Exif() const { return exif_; }
  size_t Gps() const { return gps_; }

  // An ASCII value up to its first zero byte; "" when absent.
  std::string Text(size_t ifd, uint16_t tag) const;
  // A BYTE, SHORT or LONG value (the `index`th of it).
  bool Integer(size_t ifd, uint16_t tag, uint32_t& out, uint32_t index = 0) const;
  // A RATIONAL or SRATIONAL value (the `index`th of it); false for a zero denominator.
  bool Rational(size_t ifd, uint16_t tag, double& out, uint32_t index = 0) const;

 private:
  uint32_t Number(size_t at, int bytes) const;
  // Where the value of `tag` lies, with its type and count; 0 when absent.
  size_t Entry(size_t ifd, uint16_t tag, uint32_t& type, uint32_t& count) const;

  const std::vector<uint8_t>& t_;
  bool little_ = true;
  size_t first_ = 0, exif_ = 0, gps_ = 0;
};

// The description ('desc' tag) of an ICC profile, "" when it has none.
std::string IccDescription(const std::vector<uint8_t>& icc);

}  // namespace quorvane

// The EXIF block reader in the program's own process (the bytes come from the metadata
// helper, yet are read here): fields of both byte orders, the date taken with its
// offset, GPS south and west, and damaged blocks read without harm.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "imaging/DateTaken.h"
#include "imaging/ExifFields.h"
#include "support/ExifSamples.h"
#include "viewer/PictureDetails.h"

using namespace quorvane;

namespace {

// A TIFF structure with an Exif and a GPS folder, in either byte order.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool little) : little_(little) {}
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> value;
  };
  std::vector<Entry> first, exif, gps;

  Entry Ascii(uint16_t tag, const std::string& text) {
    std::vector<uint8_t> v(text.begin(), text.end());
    v.push_back(0);
    return {tag, 2, uint32_t(v.size()), v};
  }
  Entry Rationals(uint16_t tag, std::vector<std::pair<uint32_t, uint32_t>> values) {
    std::vector<uint8_t> v;
    for (auto [n, d] : values) Put(v, n, 4), Put(v, d, 4);
    return {tag, 5, uint32_t(values.size()), v};
  }
  Entry Short(uint16_t tag, uint16_t value) {
    std::vector<uint8_t> v;
    Put(v, value, 2);
    return {tag, 3, 1, v};
  }

  std::vector<uint8_t> Build() {
    std::vector<uint8_t> t = little_ ? std::vector<uint8_t>{'I', 'I', 42, 0}
                                     : std::vector<uint8_t>{'M', 'M', 0, 42};
    Put(t, 8, 4);
    // The folders one after another, each value past its folder.
    auto folder = [&](std::vector<Entry> entries, size_t pointerSlot) {
      const size_t at = t.size();
      if (pointerSlot) Patch(t, pointerSlot, uint32_t(at));
      Put(t, uint32_t(entries.size()), 2);
      std::vector<size_t> slots;
      for (const Entry& e : entries) {
        Put(t, e.tag, 2), Put(t, e.type, 2), Put(t, e.count, 4);
        slots.push_back(t.size());
        std::vector<uint8_t> inline4 = e.value;
        inline4.resize(4);
        t.insert(t.end(), inline4.begin(), inline4.end());
      }
      Put(t, 0, 4);
      std::vector<size_t> pointers;
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].value.size() > 4) {
          Patch(t, slots[i], uint32_t(t.size()));
          t.insert(t.end(), entries[i].value.begin(), entries[i].value.end());
        }
        pointers.push_back(slots[i]);
      }
      return pointers;
    };
    first.push_back({0x8769, 4, 1, {0, 0, 0, 0}});
    first.push_back({0x8825, 4, 1, {0, 0, 0, 0}});
    const auto slots = folder(first, 0);
    folder(exif, slots[slots.size() - 2]);
    folder(gps, slots[slots.size() - 1]);
    return t;
  }

 private:
  void Put(std::vector<uint8_t>& v, uint32_t value, int bytes) const {
    for (int k = 0; k < bytes; ++k)
      v.push_back(uint8_t(value >> (8 * (little_ ? k : bytes - 1 - k))));
  }
  void Patch(std::vector<uint8_t>& v, size_t at, uint32_t value) const {
    for (int k = 0; k < 4; ++k) v[at + size_t(k)] = uint8_t(value >> (8 * (little_ ? k : 3 - k)));
  }
  bool little_;
};

std::vector<uint8_t> Sample(bool little) {
  TiffBuilder b(little);
  b.first = {b.Ascii(0x010F, "Quorvane"), b.Ascii(0x0132, "2019:01:01 00:00:00")};
  b.exif = {b.Ascii(0x9003, "2024:05:01 10:22:33"), b.Ascii(0x9011, "-03:30"),
            b.Rationals(0x829A, {{1, 250}}), b.Short(0x8827, 400)};
  b.gps = {b.Ascii(1, "S"), b.Rationals(2, {{33, 1}, {51, 1}, {3564, 100}}), b.Ascii(3, "W"),
           b.Rationals(4, {{70, 1}, {30, 1}, {0, 1}})};
  return b.Build();
}

TEST(ExifFields, ReadsFieldsDateAndPositionInBothByteOrders) {
  for (bool little : {true, false}) {
    SCOPED_TRACE(little ? "II" : "MM");
    const std::vector<uint8_t> tiff = Sample(little);
    const ExifBlock block(tiff);
    ASSERT_TRUE(block.Valid());
    EXPECT_EQ(block.Text(block.First(), 0x010F), "Quorvane");
    double exposure = 0;
    ASSERT_TRUE(block.Rational(block.Exif(), 0x829A, exposure));
    EXPECT_DOUBLE_EQ(exposure, 0.004);
    uint32_t iso = 0;
    ASSERT_TRUE(block.Integer(block.Exif(), 0x8827, iso));
    EXPECT_EQ(iso, 400u);
    // DateTimeOriginal wins over DateTime, with its own offset.
    std::string offset;
    EXPECT_EQ(TiffDate(tiff, &offset), "2024:05:01 10:22:33");
    EXPECT_EQ(offset, "-03:30");
    DateTaken taken;
    ASSERT_TRUE(ParseDate(TiffDate(tiff), taken.local));
    ASSERT_TRUE(ParseOffset(offset, taken.offsetMinutes));
    taken.hasOffset = true;
    EXPECT_EQ(DateTakenSeconds(taken), 1714558953 + 3 * 3600 + 30 * 60);  // 13:52:33 UTC
    double seconds = 0;
    ASSERT_TRUE(block.Rational(block.Gps(), 2, seconds, 2));
    EXPECT_DOUBLE_EQ(seconds, 35.64);
    EXPECT_EQ(block.Text(block.Gps(), 3), "W");
  }
  EXPECT_EQ(DegreesText(-33.8599, -70.5), "33.859900° S, 70.500000° W");
  EXPECT_EQ(GeoUri(-33.8599, -70.5), "geo:-33.859900,-70.500000");
}

// Damaged blocks, every truncation of a sound one and random byte changes: answers or
// nothing, never a read past the end (the build's sanitizer run watches for it).
TEST(ExifFields, DamagedBlocksAreReadSafely) {
  std::vector<std::vector<uint8_t>> blocks = test::MalformedExifBlocks();
  const std::vector<uint8_t> sound = Sample(true);
  for (size_t n = 0; n < sound.size(); ++n) blocks.emplace_back(sound.begin(), sound.begin() + long(n));
  std::mt19937 random(39);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> b = sound;
    for (int k = 0; k < 4; ++k) b[random() % b.size()] = uint8_t(random());
    blocks.push_back(std::move(b));
  }
  int dated = 0;
  for (const std::vector<uint8_t>& b : blocks) {
    const ExifBlock block(b);
    double v = 0;
    uint32_t n = 0;
    block.Text(block.First(), 0x010F);
    block.Rational(block.Gps(), 2, v, 2);
    block.Integer(block.Exif(), 0x8827, n);
    std::string offset;
    std::tm t{};
    dated += ParseDate(TiffDate(b, &offset), t);
    IccDescription(b);
  }
  EXPECT_GT(dated, 0);  // the sound block's lengths past the date still date
  // An ICC header that points its 'desc' tag past the end.
  std::vector<uint8_t> icc(160, 0);
  icc[131] = 1;
  std::memcpy(icc.data() + 132, "desc", 4);
  icc[138] = 0x7F;  // offset far away
  EXPECT_EQ(IccDescription(icc), "");
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/JpegCodec.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::MaxDifference;
using quorvane::test::TestDir;

namespace {

Bitmap Gradient(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y, RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), 128));
  return b;
}

}  // namespace

TEST(JpegCodec, RoundTripKeepsColoursInBgrOrder) {
  const Bitmap source = Gradient(64, 48);
  const auto stream = EncodeJpeg(source, 95);
  JpegReader reader(stream);
  EXPECT_EQ(reader.Width(), 64);
  EXPECT_EQ(reader.Height(), 48);
  Bitmap decoded;
  reader.Decode(decoded);
  ASSERT_EQ(decoded.Width(), 64);
  EXPECT_LE(MaxDifference(source, decoded), 12);
}

TEST(JpegCodec, ScaledDecodeSizesRoundUp) {
  const auto stream = EncodeJpeg(Gradient(100, 75), 80, JpegPerformance::jpBestSpeed);
  JpegReader reader(stream);
  Bitmap out;
  reader.Decode(out, 8, JpegPerformance::jpBestSpeed);
  EXPECT_EQ(out.Width(), 13);
  EXPECT_EQ(out.Height(), 10);
  reader.Decode(out, 2);
  EXPECT_EQ(out.Width(), 50);
  EXPECT_THROW(reader.Decode(out, 3), JpegError);
}

TEST(JpegCodec, BadStreamsThrowAndLeaveTheBitmapAlone) {
  auto stream = EncodeJpeg(Gradient(300, 200), 80);
  Bitmap keep(2, 2);
  keep.Fill(clRed);

  EXPECT_THROW(JpegReader(std::vector<uint8_t>{}), JpegError);
  EXPECT_THROW(JpegReader(std::vector<uint8_t>{0xFF, 0xD8, 0xFF}), JpegError);
  std::vector<uint8_t> garbage(500, 0x5A);
  EXPECT_THROW(JpegReader{garbage}, JpegError);

  std::vector<uint8_t> truncated(stream.begin(), stream.begin() + long(stream.size() / 2));
  JpegReader half(truncated);  // the header is intact
  EXPECT_THROW(half.Decode(keep), JpegError);
  EXPECT_EQ(keep.Width(), 2);
  EXPECT_EQ(keep.Pixel(1, 1), clRed);

  EXPECT_THROW(ReadJpegFile("/nonexistent/none.jpg", keep), JpegError);
}

TEST(JpegCodec, ReadsGreyFilesAndKoreanNames) {
  TestDir dir;
  const std::string path = dir.file("회색 사진.jpg");
  ASSERT_EQ(test::RunCommand("convert -size 16x8 gradient:black-white -colorspace Gray " +
                             test::ShellQuote(path)),
            0);
  Bitmap out;
  ReadJpegFile(path, out);
  ASSERT_EQ(out.Width(), 16);
  ASSERT_EQ(out.Height(), 8);
  const uint8_t* top = out.ScanLine(0);
  EXPECT_EQ(top[0], top[1]);
  EXPECT_EQ(top[1], top[2]);
  EXPECT_LT(out.ScanLine(0)[0], out.ScanLine(7)[0]);  // black at the top, white below
}

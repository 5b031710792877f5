#pragma once
// What the viewer's details panel lists of a picture: the file (name, folder, size,
// date), the picture (pixels, format, bit depth, colour profile), the camera (make,
// model, lens, date taken, exposure time, f-number, ISO, focal length, flash) and the
// GPS position, the metadata read through the metadata helper.

#include <string>
#include <vector>

namespace quorvane {

struct DetailRow {
  std::string label;
  std::string value;
};

struct DetailSection {
  std::string title;
  std::vector<DetailRow> rows;
};

struct PictureDetails {
  std::vector<DetailSection> sections;  // 파일, 그림, then 카메라 and 위치 when known
  bool hasMetadata = false;  // EXIF or a colour profile was found
  bool hasGps = false;
  double latitude = 0, longitude = 0;  // degrees, north and east positive
};

// The details of the picture of `path`, shown at `width` x `height` pixels.
PictureDetails ReadPictureDetails(const std::string& path, int width, int height);
// "37.566500° N, 126.978000° E".
std::string DegreesText(double latitude, double longitude);
// "geo:37.5665,126.978" (RFC 5870).
std::string GeoUri(double latitude, double longitude);

}  // namespace quorvane

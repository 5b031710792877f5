#pragma once
// Output names from a pattern: "{name}_web", "{date:%Y-%m-%d}_{n:03}". Fields:
//   {name}    the source's name without its extension
//   {ext}     the source's extension, without the dot
//   {parent}  the name of the source's folder
//   {n}       a counter in the batch's file order, from the first number given;
//             {n:03} pads it with zeros to 3 digits (1..9 digits)
//   {date}    when the picture was taken (EXIF DateTimeOriginal, else the file's
//             modification time), as %Y-%m-%d; {date:FORMAT} in strftime's terms
//   {w} {h}   the result's width and height
// "{{" and "}}" stand for the braces themselves. The result's extension follows the
// pattern's text.

#include <ctime>
#include <stdexcept>
#include <string>

namespace quorvane {

class NameTemplateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws NameTemplateError, saying why, for an empty pattern, an unknown field, a
// brace left open or unmatched, a bad counter width, or a "/".
void CheckNameTemplate(const std::string& pattern);

// True when the pattern uses the field (`name`, `date`, `w`, ...).
bool TemplateUses(const std::string& pattern, const std::string& field);

struct NameFields {
  std::string source;    // the source's path
  long long number = 0;  // {n}
  int width = 0;         // {w}
  int height = 0;        // {h}
  std::tm date{};        // {date}
};

// The name (without the result's extension) the pattern gives; a checked pattern.
// A "/" a date format writes becomes "-".
std::string ExpandNameTemplate(const std::string& pattern, const NameFields& fields);

// When the picture of `path` was taken: its EXIF DateTimeOriginal (or DateTime), else
// its modification time, in local time.
std::tm PictureDate(const std::string& path);

}  // namespace quorvane

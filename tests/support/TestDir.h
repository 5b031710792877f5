#pragma once
// A fresh temporary folder per test, removed with everything in it at the end.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane::test {

class TestDir {
 public:
  TestDir();
  ~TestDir();
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;
  // Writes bytes to path()/name and answers the full path.
  std::string write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Reads a whole file as bytes ("" when it cannot be read).
std::string ReadFileBytes(const std::string& path);
// A picture whose every pixel differs from its neighbours: (x * 7 + y * 3, x * 13, y * 5).
Bitmap PatternBitmap(int width, int height);
// The largest difference of one colour byte between two pictures of the same size.
int MaxDifference(const Bitmap& a, const Bitmap& b);
// Runs a shell command and answers its exit status.
int RunCommand(const std::string& command);
// Quotes text for a POSIX shell.
std::string ShellQuote(const std::string& text);

}  // namespace quorvane::test

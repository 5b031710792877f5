#include "processing/OutputFolder.h"

#include "platform/FileNames.h"

namespace quorvane {

namespace {

std::string TrimRight(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  return text;
}

}  // namespace

std::string OutputFolderFor(const std::string& source, const std::string& chosenText) {
  std::string chosen = TrimRight(chosenText);
  if (chosen.empty()) chosen = source;
  chosen = WithoutTrailingSlash(chosen);
  const std::string from = WithoutTrailingSlash(source);
  if (chosen != from) return chosen;
  return JoinPath(from, kDefaultOutputFolderName);
}

}  // namespace quorvane

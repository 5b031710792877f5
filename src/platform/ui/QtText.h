#pragma once
// The program's texts and file names (UTF-8 bytes in std::string, as Linux file names
// are) as Qt's strings, and back.

#include <QString>
#include <string>
#include <string_view>

namespace quorvane {

QString FromNative(std::string_view text);
std::string ToNative(const QString& text);

}  // namespace quorvane

#include "platform/ui/QtText.h"

#include <QFile>

namespace quorvane {

QString FromNative(std::string_view text) {
  return QFile::decodeName(QByteArray(text.data(), qsizetype(text.size())));
}

std::string ToNative(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace quorvane

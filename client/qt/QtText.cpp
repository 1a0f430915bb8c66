#include "client/qt/QtText.h"

namespace zk::client {

QString Qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace zk::client

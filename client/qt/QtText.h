#pragma once
// UTF-8 text for Qt and back.
#include <QString>

#include <string>
#include <string_view>

namespace zk::client {

QString Qs(std::string_view text);
std::string Utf8(const QString& text);

}  // namespace zk::client

#include "ui/dialogs/gateway_text.h"

#include <QList>

namespace qz::ui {

std::string ToGatewayText(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  // A surrogate pair is one character; a lone surrogate is foreign like any other.
  for (const char32_t code : text.toUcs4())
    bytes.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
  return bytes;
}

std::string CutToCapacity(std::string text, std::size_t capacity) {
  if (capacity > 0 && text.size() > capacity - 1) text.resize(capacity - 1);
  return text;
}

std::string ToGatewayText(const QString& text, std::size_t capacity) {
  return CutToCapacity(ToGatewayText(text), capacity);
}

QString FromGatewayText(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace qz::ui

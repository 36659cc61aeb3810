#include "gateway/form_data.h"

namespace gateway {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string decodeFormText(std::string_view encoded) {
  std::string out;
  out.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < encoded.size() && hexValue(encoded[i + 1]) >= 0 &&
               hexValue(encoded[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(encoded[i + 1]) * 16 + hexValue(encoded[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

FormData::FormData(std::string_view encoded) {
  while (!encoded.empty()) {
    const std::size_t amp = encoded.find('&');
    const std::string_view field = encoded.substr(0, amp);
    encoded.remove_prefix(amp == std::string_view::npos ? encoded.size() : amp + 1);
    if (field.empty()) continue;
    const std::size_t eq = field.find('=');
    if (eq == std::string_view::npos) {
      fields_.emplace_back(decodeFormText(field), std::string());
    } else {
      fields_.emplace_back(decodeFormText(field.substr(0, eq)),
                           decodeFormText(field.substr(eq + 1)));
    }
  }
}

std::optional<std::string> FormData::last(std::string_view name) const {
  for (auto it = fields_.rbegin(); it != fields_.rend(); ++it) {
    if (it->first == name) return it->second;
  }
  return std::nullopt;
}

}  // namespace gateway

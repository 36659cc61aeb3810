#include "kel/html_read/entities.h"

namespace kel::html_read {

namespace {

// The entity for a byte, or null when the byte is copied as it is.
const char* entityFor(unsigned char c) {
  switch (c) {
    case 0xE4:
      return "&auml;";
    case 0xF6:
      return "&ouml;";
    case 0xFC:
      return "&uuml;";
    case 0xC4:
      return "&Auml;";
    case 0xD6:
      return "&Ouml;";
    case 0xDC:
      return "&Uuml;";
    case 0xDF:
      return "&szlig;";
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    // "&acute;" would be the accent, not the apostrophe.
    case '\'':
      return "&#39;";
    default:
      return nullptr;
  }
}

std::string_view upToNul(std::string_view text) {
  const auto nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

std::string encodeEntities(std::string_view text) {
  text = upToNul(text);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    if (const char* entity = entityFor(static_cast<unsigned char>(c)))
      out += entity;
    else
      out += c;
  }
  return out;
}

std::string escapeSpaces(std::string_view text) {
  text = upToNul(text);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == ' ')
      out += "%20";
    else
      out += c;
  }
  return out;
}

}  // namespace kel::html_read

#include "kel/html_read/charset.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

namespace kel::html_read {

namespace {

enum class Encoding { utf8, utf16, other };

struct Label {
  std::string_view name;
  Encoding encoding;
};

// Every label of the web's encodings, in byte order, so that a label is found by binary search.
// A meta naming none of them does not end the scan.
// clang-format off
constexpr Label kLabels[] = {
    {"866", Encoding::other}, {"ansi_x3.4-1968", Encoding::other}, {"arabic", Encoding::other},
    {"ascii", Encoding::other}, {"asmo-708", Encoding::other}, {"big5", Encoding::other},
    {"big5-hkscs", Encoding::other}, {"chinese", Encoding::other}, {"cn-big5", Encoding::other},
    {"cp1250", Encoding::other}, {"cp1251", Encoding::other}, {"cp1252", Encoding::other},
    {"cp1253", Encoding::other}, {"cp1254", Encoding::other}, {"cp1255", Encoding::other},
    {"cp1256", Encoding::other}, {"cp1257", Encoding::other}, {"cp1258", Encoding::other},
    {"cp819", Encoding::other}, {"cp866", Encoding::other}, {"csbig5", Encoding::other},
    {"cseuckr", Encoding::other}, {"cseucpkdfmtjapanese", Encoding::other},
    {"csgb2312", Encoding::other}, {"csibm866", Encoding::other},
    {"csiso2022jp", Encoding::other}, {"csiso2022kr", Encoding::other},
    {"csiso58gb231280", Encoding::other}, {"csiso88596e", Encoding::other},
    {"csiso88596i", Encoding::other}, {"csiso88598e", Encoding::other},
    {"csiso88598i", Encoding::other}, {"csisolatin1", Encoding::other},
    {"csisolatin2", Encoding::other}, {"csisolatin3", Encoding::other},
    {"csisolatin4", Encoding::other}, {"csisolatin5", Encoding::other},
    {"csisolatin6", Encoding::other}, {"csisolatin9", Encoding::other},
    {"csisolatinarabic", Encoding::other}, {"csisolatincyrillic", Encoding::other},
    {"csisolatingreek", Encoding::other}, {"csisolatinhebrew", Encoding::other},
    {"cskoi8r", Encoding::other}, {"csksc56011987", Encoding::other},
    {"csmacintosh", Encoding::other}, {"csshiftjis", Encoding::other},
    {"csunicode", Encoding::utf16}, {"cyrillic", Encoding::other}, {"dos-874", Encoding::other},
    {"ecma-114", Encoding::other}, {"ecma-118", Encoding::other}, {"elot_928", Encoding::other},
    {"euc-jp", Encoding::other}, {"euc-kr", Encoding::other}, {"gb18030", Encoding::other},
    {"gb2312", Encoding::other}, {"gb_2312", Encoding::other}, {"gb_2312-80", Encoding::other},
    {"gbk", Encoding::other}, {"greek", Encoding::other}, {"greek8", Encoding::other},
    {"hebrew", Encoding::other}, {"hz-gb-2312", Encoding::other}, {"ibm819", Encoding::other},
    {"ibm866", Encoding::other}, {"iso-10646-ucs-2", Encoding::utf16},
    {"iso-2022-cn", Encoding::other}, {"iso-2022-cn-ext", Encoding::other},
    {"iso-2022-jp", Encoding::other}, {"iso-2022-kr", Encoding::other},
    {"iso-8859-1", Encoding::other}, {"iso-8859-10", Encoding::other},
    {"iso-8859-11", Encoding::other}, {"iso-8859-13", Encoding::other},
    {"iso-8859-14", Encoding::other}, {"iso-8859-15", Encoding::other},
    {"iso-8859-16", Encoding::other}, {"iso-8859-2", Encoding::other},
    {"iso-8859-3", Encoding::other}, {"iso-8859-4", Encoding::other},
    {"iso-8859-5", Encoding::other}, {"iso-8859-6", Encoding::other},
    {"iso-8859-6-e", Encoding::other}, {"iso-8859-6-i", Encoding::other},
    {"iso-8859-7", Encoding::other}, {"iso-8859-8", Encoding::other},
    {"iso-8859-8-e", Encoding::other}, {"iso-8859-8-i", Encoding::other},
    {"iso-8859-9", Encoding::other}, {"iso-ir-100", Encoding::other},
    {"iso-ir-101", Encoding::other}, {"iso-ir-109", Encoding::other},
    {"iso-ir-110", Encoding::other}, {"iso-ir-126", Encoding::other},
    {"iso-ir-127", Encoding::other}, {"iso-ir-138", Encoding::other},
    {"iso-ir-144", Encoding::other}, {"iso-ir-148", Encoding::other},
    {"iso-ir-149", Encoding::other}, {"iso-ir-157", Encoding::other},
    {"iso-ir-58", Encoding::other}, {"iso8859-1", Encoding::other},
    {"iso8859-10", Encoding::other}, {"iso8859-11", Encoding::other},
    {"iso8859-13", Encoding::other}, {"iso8859-14", Encoding::other},
    {"iso8859-15", Encoding::other}, {"iso8859-2", Encoding::other},
    {"iso8859-3", Encoding::other}, {"iso8859-4", Encoding::other},
    {"iso8859-5", Encoding::other}, {"iso8859-6", Encoding::other},
    {"iso8859-7", Encoding::other}, {"iso8859-8", Encoding::other},
    {"iso8859-9", Encoding::other}, {"iso88591", Encoding::other},
    {"iso885910", Encoding::other}, {"iso885911", Encoding::other},
    {"iso885913", Encoding::other}, {"iso885914", Encoding::other},
    {"iso885915", Encoding::other}, {"iso88592", Encoding::other},
    {"iso88593", Encoding::other}, {"iso88594", Encoding::other}, {"iso88595", Encoding::other},
    {"iso88596", Encoding::other}, {"iso88597", Encoding::other}, {"iso88598", Encoding::other},
    {"iso88599", Encoding::other}, {"iso_8859-1", Encoding::other},
    {"iso_8859-15", Encoding::other}, {"iso_8859-1:1987", Encoding::other},
    {"iso_8859-2", Encoding::other}, {"iso_8859-2:1987", Encoding::other},
    {"iso_8859-3", Encoding::other}, {"iso_8859-3:1988", Encoding::other},
    {"iso_8859-4", Encoding::other}, {"iso_8859-4:1988", Encoding::other},
    {"iso_8859-5", Encoding::other}, {"iso_8859-5:1988", Encoding::other},
    {"iso_8859-6", Encoding::other}, {"iso_8859-6:1987", Encoding::other},
    {"iso_8859-7", Encoding::other}, {"iso_8859-7:1987", Encoding::other},
    {"iso_8859-8", Encoding::other}, {"iso_8859-8:1988", Encoding::other},
    {"iso_8859-9", Encoding::other}, {"iso_8859-9:1989", Encoding::other},
    {"koi", Encoding::other}, {"koi8", Encoding::other}, {"koi8-r", Encoding::other},
    {"koi8-ru", Encoding::other}, {"koi8-u", Encoding::other}, {"koi8_r", Encoding::other},
    {"korean", Encoding::other}, {"ks_c_5601-1987", Encoding::other},
    {"ks_c_5601-1989", Encoding::other}, {"ksc5601", Encoding::other},
    {"ksc_5601", Encoding::other}, {"l1", Encoding::other}, {"l2", Encoding::other},
    {"l3", Encoding::other}, {"l4", Encoding::other}, {"l5", Encoding::other},
    {"l6", Encoding::other}, {"l9", Encoding::other}, {"latin1", Encoding::other},
    {"latin2", Encoding::other}, {"latin3", Encoding::other}, {"latin4", Encoding::other},
    {"latin5", Encoding::other}, {"latin6", Encoding::other}, {"logical", Encoding::other},
    {"mac", Encoding::other}, {"macintosh", Encoding::other}, {"ms932", Encoding::other},
    {"ms_kanji", Encoding::other}, {"shift-jis", Encoding::other},
    {"shift_jis", Encoding::other}, {"sjis", Encoding::other}, {"sun_eu_greek", Encoding::other},
    {"tis-620", Encoding::other}, {"ucs-2", Encoding::utf16}, {"unicode", Encoding::utf16},
    {"unicode-1-1-utf-8", Encoding::utf8}, {"unicode11utf8", Encoding::utf8},
    {"unicode20utf8", Encoding::utf8}, {"unicodefeff", Encoding::utf16},
    {"unicodefffe", Encoding::utf16}, {"us-ascii", Encoding::other},
    {"utf-16", Encoding::utf16}, {"utf-16be", Encoding::utf16}, {"utf-16le", Encoding::utf16},
    {"utf-8", Encoding::utf8}, {"utf8", Encoding::utf8}, {"visual", Encoding::other},
    {"windows-1250", Encoding::other}, {"windows-1251", Encoding::other},
    {"windows-1252", Encoding::other}, {"windows-1253", Encoding::other},
    {"windows-1254", Encoding::other}, {"windows-1255", Encoding::other},
    {"windows-1256", Encoding::other}, {"windows-1257", Encoding::other},
    {"windows-1258", Encoding::other}, {"windows-31j", Encoding::other},
    {"windows-874", Encoding::other}, {"windows-949", Encoding::other},
    {"x-cp1250", Encoding::other}, {"x-cp1251", Encoding::other}, {"x-cp1252", Encoding::other},
    {"x-cp1253", Encoding::other}, {"x-cp1254", Encoding::other}, {"x-cp1255", Encoding::other},
    {"x-cp1256", Encoding::other}, {"x-cp1257", Encoding::other}, {"x-cp1258", Encoding::other},
    {"x-euc-jp", Encoding::other}, {"x-gbk", Encoding::other},
    {"x-mac-cyrillic", Encoding::other}, {"x-mac-roman", Encoding::other},
    {"x-mac-ukrainian", Encoding::other}, {"x-sjis", Encoding::other},
    {"x-unicode20utf8", Encoding::utf8}, {"x-user-defined", Encoding::other},
    {"x-x-big5", Encoding::other},
};
// clang-format on

bool isSpace(unsigned char c) {
  return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

char toLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The encoding a label names, or none for a text that is no label.
std::optional<Encoding> encodingOf(std::string_view label) {
  while (!label.empty() && isSpace(label.front())) label.remove_prefix(1);
  while (!label.empty() && isSpace(label.back())) label.remove_suffix(1);
  std::string folded(label);
  for (char& c : folded) c = toLower(c);
  const auto* const end = std::end(kLabels);
  const auto* const it =
      std::lower_bound(std::begin(kLabels), end, folded,
                       [](const Label& l, const std::string& name) { return l.name < name; });
  if (it == end || it->name != folded) return std::nullopt;
  return it->encoding;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (toLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// The label in the content attribute of a meta: what follows the first "charset" that is followed
// by '=' (white space allowed around it), quoted or up to white space or ';'.
std::optional<std::string> charsetInContent(std::string_view content) {
  std::size_t p = 0;
  for (;;) {
    std::size_t at = std::string_view::npos;
    for (std::size_t i = p; i + 7 <= content.size(); ++i) {
      if (startsWithNoCase(content.substr(i), "charset")) {
        at = i;
        break;
      }
    }
    if (at == std::string_view::npos) return std::nullopt;
    p = at + 7;
    while (p < content.size() && isSpace(content[p])) ++p;
    if (p < content.size() && content[p] == '=') break;
  }
  ++p;
  while (p < content.size() && isSpace(content[p])) ++p;
  if (p == content.size()) return std::nullopt;
  const char c = content[p];
  if (c == '"' || c == '\'') {
    const std::size_t close = content.find(c, p + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(content.substr(p + 1, close - p - 1));
  }
  std::size_t end = p;
  while (end < content.size() && !isSpace(content[end]) && content[end] != ';') ++end;
  return std::string(content.substr(p, end - p));
}

// Walks the start of a page as a browser's prescan does. Running out of bytes anywhere ends the
// scan without an answer.
class Prescan {
 public:
  explicit Prescan(std::string_view bytes) : b_(bytes) {}

  // The encoding of the first meta that names one, or none.
  std::optional<Encoding> run() {
    while (pos_ < b_.size()) {
      // Only a '<' starts anything the scan looks at.
      const std::size_t lt = b_.find('<', pos_);
      if (lt == std::string_view::npos) return std::nullopt;
      pos_ = lt;
      const std::string_view rest = b_.substr(pos_);
      if (rest.substr(0, 4) == "<!--") {
        const std::size_t end = b_.find("-->", pos_ + 2);
        if (end == std::string_view::npos) return std::nullopt;
        pos_ = end + 2;
      } else if (startsWithNoCase(rest, "<meta") && rest.size() > 5 &&
                 (isSpace(rest[5]) || rest[5] == '/')) {
        pos_ += 6;
        bool atEnd = false;
        const std::optional<Encoding> found = meta(atEnd);
        if (atEnd) return std::nullopt;
        if (found) return found;
        // The meta names no encoding: the scan goes on at the byte that ended it.
      } else if (rest.size() >= 2 && rest[0] == '<' &&
                 (isLetter(rest[1]) || (rest[1] == '/' && rest.size() >= 3 && isLetter(rest[2])))) {
        while (pos_ < b_.size() && !isSpace(b_[pos_]) && b_[pos_] != '>') ++pos_;
        bool atEnd = false;
        while (attribute(name_, value_, atEnd)) {
        }
        if (atEnd) return std::nullopt;
      } else if (rest.size() >= 2 && rest[0] == '<' &&
                 (rest[1] == '!' || rest[1] == '/' || rest[1] == '?')) {
        const std::size_t gt = b_.find('>', pos_ + 2);
        if (gt == std::string_view::npos) return std::nullopt;
        pos_ = gt;
      }
      ++pos_;
    }
    return std::nullopt;
  }

 private:
  static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

  // The attributes of a meta tag, up to its '>'. Returns the encoding it names, or none; atEnd
  // tells that the bytes ran out first.
  std::optional<Encoding> meta(bool& atEnd) {
    // Of equally named attributes only the first counts; only these three names matter.
    bool seenHttpEquiv = false, seenContent = false, seenCharset = false;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<Encoding> charset;
    while (attribute(name_, value_, atEnd)) {
      if (name_ == "http-equiv") {
        if (std::exchange(seenHttpEquiv, true)) continue;
        if (value_ == "content-type") gotPragma = true;
      } else if (name_ == "content") {
        if (std::exchange(seenContent, true) || charset) continue;
        if (const std::optional<std::string> label = charsetInContent(value_)) {
          if (const std::optional<Encoding> e = encodingOf(*label)) {
            charset = e;
            needPragma = true;
          }
        }
      } else if (name_ == "charset") {
        if (std::exchange(seenCharset, true)) continue;
        charset = encodingOf(value_);
        needPragma = false;
      }
    }
    if (atEnd || !needPragma || (*needPragma && !gotPragma) || !charset) return std::nullopt;
    return charset;
  }

  // Reads the next attribute of a tag into name and value (both folded to lower case) and returns
  // true; returns false at the tag's '>' or when the bytes run out (atEnd).
  bool attribute(std::string& name, std::string& value, bool& atEnd) {
    value.clear();
    while (pos_ < b_.size() && (isSpace(b_[pos_]) || b_[pos_] == '/')) ++pos_;
    if (pos_ == b_.size()) return !(atEnd = true);
    if (b_[pos_] == '>') return false;
    // The name runs up to white space, '/' or '>', or up to a '=' that is not its first byte.
    const std::size_t start = pos_;
    while (pos_ < b_.size() && !isSpace(b_[pos_]) && b_[pos_] != '/' && b_[pos_] != '>' &&
           !(b_[pos_] == '=' && pos_ > start)) {
      ++pos_;
    }
    if (pos_ == b_.size()) return !(atEnd = true);
    assignFolded(name, start, pos_);
    const char c = b_[pos_];
    if (c == '/' || c == '>') return true;
    if (c != '=') {
      while (pos_ < b_.size() && isSpace(b_[pos_])) ++pos_;
      if (pos_ == b_.size()) return !(atEnd = true);
      if (b_[pos_] != '=') return true;
    }
    ++pos_;
    return attributeValue(value, atEnd);
  }

  bool attributeValue(std::string& value, bool& atEnd) {
    while (pos_ < b_.size() && isSpace(b_[pos_])) ++pos_;
    if (pos_ == b_.size()) return !(atEnd = true);
    const char quote = b_[pos_];
    if (quote == '"' || quote == '\'') {
      const std::size_t close = b_.find(quote, pos_ + 1);
      if (close == std::string_view::npos) return !(atEnd = true);
      assignFolded(value, pos_ + 1, close);
      pos_ = close + 1;
      return true;
    }
    if (quote == '>') return true;
    const std::size_t start = pos_;
    while (pos_ < b_.size() && !isSpace(b_[pos_]) && b_[pos_] != '>') ++pos_;
    if (pos_ == b_.size()) return !(atEnd = true);
    assignFolded(value, start, pos_);
    return true;
  }

  void assignFolded(std::string& to, std::size_t from, std::size_t end) const {
    to.assign(b_.data() + from, end - from);
    for (char& c : to) c = toLower(c);
  }

  const std::string_view b_;
  std::size_t pos_ = 0;
  std::string name_, value_;  // the attribute last read, reused
};

// The encoding an XML declaration at byte 0 names, or none.
std::optional<Encoding> xmlDeclaration(std::string_view b) {
  if (b.substr(0, 5) != "<?xml") return std::nullopt;
  const std::size_t end = b.find('>');
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view declaration = b.substr(0, end);
  std::size_t p = declaration.find("encoding");
  if (p == std::string_view::npos) return std::nullopt;
  p += 8;
  while (p < end && static_cast<unsigned char>(declaration[p]) <= 0x20) ++p;
  if (p == end || declaration[p] != '=') return std::nullopt;
  ++p;
  while (p < end && static_cast<unsigned char>(declaration[p]) <= 0x20) ++p;
  if (p == end || (declaration[p] != '"' && declaration[p] != '\'')) return std::nullopt;
  const std::size_t close = declaration.find(declaration[p], p + 1);
  if (close == std::string_view::npos) return std::nullopt;
  return encodingOf(declaration.substr(p + 1, close - p - 1));
}

// False when no label of UTF-8 or UTF-16 can occur in bytes: every one of them holds "utf",
// "ucs" or "unicode". Most pages are told apart by this alone, without a scan of their tags.
bool mayNameUnicode(std::string_view bytes) {
  for (const char u : {'u', 'U'}) {
    for (std::size_t i = bytes.find(u); i != std::string_view::npos; i = bytes.find(u, i + 1)) {
      const std::string_view rest = bytes.substr(i + 1);
      if (startsWithNoCase(rest, "tf") || startsWithNoCase(rest, "cs") ||
          startsWithNoCase(rest, "nicode")) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

bool declaresUtf8(std::string_view start) {
  start = start.substr(0, kCharsetScanLength);
  if (start.substr(0, 3) == "\xEF\xBB\xBF") return true;
  if (!mayNameUnicode(start)) return false;
  std::optional<Encoding> found = Prescan(start).run();
  if (!found) found = xmlDeclaration(start);
  return found && *found != Encoding::other;
}

}  // namespace kel::html_read

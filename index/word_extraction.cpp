#include "index/word_extraction.h"

#include <array>
#include <cstring>
#include <string_view>

#include "kel/html_read/html_eater.h"

const std::string wordCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789"
    "\xE4\xF6\xFC\xC4\xD6\xDC\xDF";

namespace {

// One flag per byte value, so cutting words costs one table look-up per byte.
using ByteSet = std::array<bool, 256>;

ByteSet makeByteSet(const std::string* chars) {
  ByteSet set{};
  if (chars) {
    for (const char c : *chars) set[static_cast<unsigned char>(c)] = true;
  }
  return set;
}

const ByteSet& wordCharacterSet() {
  static const ByteSet set = makeByteSet(&wordCharacters);
  return set;
}

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool acceptWord(std::string_view word) {
  if (word.size() < 3) return false;
  std::size_t letters = 0;
  for (const char c : word) letters += isAsciiLetter(static_cast<unsigned char>(c));
  return 2 * letters >= word.size();
}

// The replacement of an entity name: an umlaut, sharp s, or nothing (0).
char entityReplacement(std::string_view name) {
  if (name.size() >= 4 && name.compare(1, 3, "uml") == 0) {
    switch (name[0]) {
      case 'A': return '\xC4';
      case 'O': return '\xD6';
      case 'U': return '\xDC';
      case 'a': return '\xE4';
      case 'o': return '\xF6';
      case 'u': return '\xFC';
      default: return 0;
    }
  }
  return name == "szlig" ? '\xDF' : 0;
}

// Inserts the accepted runs of word characters of text into words; word is a reused buffer so
// that only words new to the set allocate.
void insertWords(std::set<std::string>& words, std::string_view text, std::string& word) {
  const ByteSet& isWordChar = wordCharacterSet();
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    while (i < n && !isWordChar[static_cast<unsigned char>(text[i])]) ++i;
    const std::size_t begin = i;
    while (i < n && isWordChar[static_cast<unsigned char>(text[i])]) ++i;
    if (i > begin && acceptWord(text.substr(begin, i - begin))) {
      word.assign(text.data() + begin, i - begin);
      words.insert(word);
    }
  }
}

}  // namespace

void decodeEntities(std::string& text) {
  // One pass from text into out. The rule "resume one after the entity's start" means: after an
  // entity replaced by a character, go on behind the ';'; after one removed without trace, the
  // character behind the ';' now stands at the entity's start and is taken over literally.
  const std::string_view in(text);
  std::size_t amp = in.find('&');
  if (amp == std::string_view::npos) return;
  std::string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (amp != std::string_view::npos) {
    const std::size_t semicolon = in.find(';', amp + 1);
    if (semicolon == std::string_view::npos) break;
    const std::size_t last = in.substr(amp, semicolon - amp).rfind('&');
    amp += last;
    out.append(in.data() + i, amp - i);
    const char replacement = entityReplacement(in.substr(amp + 1, semicolon - amp - 1));
    i = semicolon + 1;
    if (replacement) {
      out.push_back(replacement);
    } else if (i < in.size()) {
      out.push_back(in[i]);
      ++i;
    }
    amp = in.find('&', i);
  }
  out.append(in.data() + i, in.size() - i);
  text.swap(out);
}

void splitWords(std::list<std::string>& out, const std::string& text, const std::string* wordChars,
                const std::string* separators) {
  ByteSet inRun;
  if (wordChars) {
    inRun = makeByteSet(wordChars);
  } else {
    inRun = makeByteSet(separators);
    for (bool& b : inRun) b = !b;
  }
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    while (i < n && !inRun[static_cast<unsigned char>(text[i])]) ++i;
    const std::size_t begin = i;
    while (i < n && inRun[static_cast<unsigned char>(text[i])]) ++i;
    if (i > begin) out.emplace_back(text, begin, i - begin);
  }
}

bool isIndexWord(const std::string& word) { return acceptWord(word); }

void addPageText(std::set<std::string>& words, std::string text) {
  decodeEntities(text);
  std::string word;
  insertWords(words, text, word);
}

void addFileWords(std::set<std::string>& words, const std::string& fileName) {
  kel::html_read::HTML_Eater eater(fileName, true);
  std::string tag;
  std::string attributes;
  bool inBody = false;
  while (!inBody) {
    if (!eater.nextTag(tag, attributes)) return;
    inBody = tag == "body";
  }
  std::string word;
  while (eater.nextTag(tag, attributes)) {
    if (eater.textBefore.empty()) continue;
    decodeEntities(eater.textBefore);
    insertWords(words, eater.textBefore, word);
  }
}

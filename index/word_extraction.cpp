#include "index/word_extraction.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "index/word_hash.h"
#include "kel/html_read/char_refs.h"
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

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The acceptance rule of index words, from a word's length and its number of ASCII letters:
// at least 3 characters, at least half of them letters.
constexpr bool acceptsWord(std::size_t length, std::size_t letters) {
  return length >= 3 && 2 * letters >= length;
}

bool acceptWord(std::string_view word) {
  std::size_t letters = 0;
  for (const char c : word) letters += isAsciiLetter(static_cast<unsigned char>(c));
  return acceptsWord(word.size(), letters);
}

// The replacement of an entity name: an umlaut, sharp s, or nothing (0).
char entityReplacement(std::string_view name) {
  if (name.size() >= 4 && name.compare(1, 3, "uml") == 0) {
    switch (name[0]) {
      case 'A':
        return '\xC4';
      case 'O':
        return '\xD6';
      case 'U':
        return '\xDC';
      case 'a':
        return '\xE4';
      case 'o':
        return '\xF6';
      case 'u':
        return '\xFC';
      default:
        return 0;
    }
  }
  return name == "szlig" ? '\xDF' : 0;
}

// What becomes of an entity that gives no umlaut or sharp s.
enum class OtherEntities { remove, keep };

// Writes text with its entities resolved to out and returns true; returns false, out untouched,
// when text holds no '&' and so stays as it is. The rule "resume one after the entity's start"
// means: after an entity replaced by a character, go on behind the ';'; after one removed without
// trace, the character behind the ';' now stands at the entity's start and is taken over
// literally. Kept entities are passed over exactly as removed ones are, so keeping them changes
// nothing else in the text.
bool decodeInto(std::string_view in, std::string& out, OtherEntities others) {
  std::size_t amp = in.find('&');
  if (amp == std::string_view::npos) return false;
  out.clear();
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
    } else {
      if (others == OtherEntities::keep) out.append(in.data() + amp, i - amp);
      if (i < in.size()) {
        out.push_back(in[i]);
        ++i;
      }
    }
    amp = in.find('&', i);
  }
  out.append(in.data() + i, in.size() - i);
  return true;
}

// The class of every byte value: 0 separates words, 1 is a word character, 2 a word character
// that is an ASCII letter.
using ByteClasses = std::array<unsigned char, 256>;

const ByteClasses& byteClasses() {
  static const ByteClasses classes = [] {
    ByteClasses c{};
    for (const char w : wordCharacters) {
      c[static_cast<unsigned char>(w)] = isAsciiLetter(static_cast<unsigned char>(w)) ? 2 : 1;
    }
    return c;
  }();
  return classes;
}

// The first 8 bytes of a word as a number that orders like the bytes, from its head.
std::uint64_t orderedPrefix(std::uint64_t head) { return __builtin_bswap64(head); }

// Calls take(word, available) for every run of word characters of text that isIndexWord
// accepts, in text order; available is the number of bytes readable from the word's start.
// REQUIRES: readable >= text.size() + 1 bytes may be read from text.data(), and the byte after
// the text is no word character (as the NUL after the characters of every std::string): one pass
// over each run finds its end and counts its letters, and that byte ends the last run.
template <typename Take>
void forEachIndexWord(std::string_view text, std::size_t readable, Take take) {
  const ByteClasses& classes = byteClasses();
  const unsigned char* const data = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = data + text.size();
  const unsigned char* const limit = data + readable;
  const unsigned char* p = data;
  for (;;) {
    while (p < end && classes[*p] == 0) ++p;
    if (p == end) return;
    const unsigned char* const begin = p;
    std::size_t letters = 0;
    unsigned char cls;
    while ((cls = classes[*p]) != 0) {
      letters += cls >> 1;
      ++p;
    }
    const auto length = static_cast<std::size_t>(p - begin);
    if (acceptsWord(length, letters)) {
      take(std::string_view(reinterpret_cast<const char*>(begin), length),
           static_cast<std::size_t>(limit - begin));
    }
  }
}

// The distinct words of one page, gathered in an open-addressing hash table over one arena of
// bytes: a page repeats most of its words many times, and a hash probe is much cheaper than a
// search of the ordered set. The table, the arena and the sorting buffers are kept from page to
// page, so reading thousands of pages allocates almost nothing after the first ones.
class DistinctWords {
 public:
  DistinctWords() : slots_(4096) {}

  // Forgets the words of the previous page; costs in proportion to their number.
  void clear() {
    for (const std::uint32_t i : filled_) slots_[i] = Slot{};
    filled_.clear();
    arena_.clear();
    huge_.clear();
  }

  // available: the bytes readable from word.data(), at least its size.
  void add(std::string_view word, std::size_t available) {
    if (word.size() > kMaxSlotLength) {
      huge_.emplace_back(word);
      return;
    }
    const WordKey key = wordKey(word, available);
    const auto hash = static_cast<std::uint32_t>(key.hash);
    const auto length = static_cast<std::uint32_t>(word.size());
    std::size_t i = hash & (slots_.size() - 1);
    while (slots_[i].length != 0) {
      const Slot& slot = slots_[i];
      // Equal heads settle words of up to 8 bytes; only longer ones compare their rest.
      if (slot.hash == hash && slot.length == length && slot.head == key.head &&
          (length <= 8 ||
           std::memcmp(arena_.data() + slot.offset + 8, word.data() + 8, length - 8) == 0)) {
        return;
      }
      i = (i + 1) & (slots_.size() - 1);
    }
    slots_[i] = Slot{hash, length, key.head, arena_.size()};
    filled_.push_back(static_cast<std::uint32_t>(i));
    arena_.append(word);
    if (filled_.size() * 2 > slots_.size()) grow();
  }

  // The distinct words in ascending unsigned byte order, as views into this object that stay
  // valid until the next clear() or add().
  const std::vector<std::string_view>& sorted() {
    entries_.clear();
    entries_.reserve(filled_.size());
    for (const std::uint32_t i : filled_) {
      const Slot& slot = slots_[i];
      entries_.push_back(Entry{orderedPrefix(slot.head),
                               std::string_view(arena_.data() + slot.offset, slot.length)});
    }
    sortEntries();
    words_.clear();
    for (const Entry& entry : entries_) words_.push_back(entry.word);
    if (!huge_.empty()) {
      // Words of 4 GB or more: never in practice, so a plain sort of everything is good enough.
      for (const std::string& word : huge_) words_.push_back(word);
      std::sort(words_.begin(), words_.end());
      words_.erase(std::unique(words_.begin(), words_.end()), words_.end());
    }
    return words_;
  }

  void moveTo(std::set<std::string>& words) {
    // Ascending order: each insertion lands right at the end of a set that started empty.
    for (const std::string_view word : sorted()) words.emplace_hint(words.end(), word);
  }

 private:
  struct Entry {
    std::uint64_t prefix;  // the first 8 bytes, most significant first, zero-padded
    std::string_view word;
  };

  // Sorts entries_ by byte order: one counting pass distributes them by their first byte, then
  // each of these small groups is sorted by prefix, and words with equal prefixes (possible only
  // among words of more than 8 bytes that agree in their first 8, as words hold no NUL byte) by
  // their whole bytes.
  void sortEntries() {
    scratch_.resize(entries_.size());
    std::size_t starts[257] = {};
    for (const Entry& e : entries_) ++starts[(e.prefix >> 56) + 1];
    for (int b = 0; b < 256; ++b) starts[b + 1] += starts[b];
    std::size_t next[256];
    std::copy(starts, starts + 256, next);
    for (const Entry& e : entries_) scratch_[next[e.prefix >> 56]++] = e;
    entries_.swap(scratch_);
    const auto less = [](const Entry& a, const Entry& b) {
      return a.prefix != b.prefix ? a.prefix < b.prefix : a.word < b.word;
    };
    for (int b = 0; b < 256; ++b) {
      if (starts[b + 1] - starts[b] > 1) {
        std::sort(entries_.begin() + static_cast<std::ptrdiff_t>(starts[b]),
                  entries_.begin() + static_cast<std::ptrdiff_t>(starts[b + 1]), less);
      }
    }
  }

  // Small slots keep the table in the faster caches; words too long for them (4 GB) go aside.
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t length = 0;  // 0: the slot is free (words are never empty)
    std::uint64_t head = 0;    // as wordKey gives it
    std::size_t offset = 0;
  };
  static constexpr std::size_t kMaxSlotLength = 0xFFFFFFFFu;

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (std::uint32_t& filled : filled_) {
      const Slot& slot = old[filled];
      std::size_t i = slot.hash & (slots_.size() - 1);
      while (slots_[i].length != 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = slot;
      filled = static_cast<std::uint32_t>(i);
    }
  }

  std::string arena_;
  std::vector<Slot> slots_;            // a power of two in size, at most half full
  std::vector<std::uint32_t> filled_;  // the indices of the filled slots, in insertion order
  std::vector<std::string> huge_;
  std::vector<Entry> entries_;
  std::vector<Entry> scratch_;
  std::vector<std::string_view> words_;
};

}  // namespace

void decodeEntities(std::string& text) {
  std::string out;
  if (decodeInto(text, out, OtherEntities::remove)) text.swap(out);
}

bool decodeUmlautEntities(std::string_view text, std::string& out) {
  return decodeInto(text, out, OtherEntities::keep);
}

bool decodePageText(const kel::html_read::HTML_Eater& eater, std::string& out, PageTextUse use) {
  return decodePageText(eater.textBefore, eater.utf8(), out, use);
}

bool decodePageText(std::string_view text, bool utf8, std::string& out, PageTextUse use) {
  // A page in UTF-8 resolves its references as browsers do; any other keeps the old rule, so
  // indexes of Latin-1 sites stay as they are.
  const bool words = use == PageTextUse::words;
  if (utf8) {
    return kel::html_read::resolveCharRefs(
        text, out,
        words ? kel::html_read::BeyondLatin1::separator : kel::html_read::BeyondLatin1::reference);
  }
  return decodeInto(text, out, words ? OtherEntities::remove : OtherEntities::keep);
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
  std::string buffer;  // reused, so only words new to the set allocate
  forEachIndexWord(text, text.size() + 1, [&](std::string_view word, std::size_t) {
    buffer.assign(word.data(), word.size());
    words.insert(buffer);
  });
}

namespace {

// Hands the index words of fileName's body to distinct; see addFileWords.
void collectFileWords(DistinctWords& distinct, const std::string& fileName) {
  kel::html_read::HTML_Eater eater(fileName, true, kel::html_read::BeyondLatin1::separator);
  std::string_view tag;
  std::string_view attributes;
  bool inBody = false;
  while (!inBody) {
    if (!eater.nextTag(tag, attributes)) return;
    inBody = tag == "body";
  }
  std::string decoded;  // reused for every text that holds entities
  const auto add = [&distinct](std::string_view word, std::size_t available) {
    distinct.add(word, available);
  };
  while (eater.nextTag(tag, attributes)) {
    if (eater.textBefore.empty()) continue;
    const bool changed = decodePageText(eater, decoded, PageTextUse::words);
    if (changed) {
      forEachIndexWord(decoded, decoded.size() + 1, add);
    } else {
      forEachIndexWord(eater.textBefore, eater.textReadable(), add);
    }
  }
}

}  // namespace

void addFileWords(std::set<std::string>& words, const std::string& fileName) {
  DistinctWords distinct;
  try {
    collectFileWords(distinct, fileName);
  } catch (...) {
    // Whatever was read before the failure still belongs to the page.
    distinct.moveTo(words);
    throw;
  }
  distinct.moveTo(words);
}

struct PageWords::Table {
  DistinctWords distinct;
};

PageWords::PageWords() : table_(std::make_unique<Table>()) {}

PageWords::~PageWords() = default;

const std::vector<std::string_view>& PageWords::read(const std::string& fileName) {
  table_->distinct.clear();
  try {
    collectFileWords(table_->distinct, fileName);
  } catch (...) {
    table_->distinct.clear();
    throw;
  }
  return table_->distinct.sorted();
}

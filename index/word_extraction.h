// What a word of an HTML page is: entity decoding, word cutting, the acceptance test and the
// collection of a page's distinct words.
//
// Words are byte strings in ISO 8859-1 (Latin-1) of ASCII letters, digits, the underscore and the
// umlauts and sharp s, kept exactly as they stand in the page (case is not folded). A page's words
// form a std::set<std::string>, ordered by unsigned byte comparison.
#ifndef CORVEX_INDEX_WORD_EXTRACTION_H
#define CORVEX_INDEX_WORD_EXTRACTION_H

#include <list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kel::html_read {
class HTML_Eater;
}

// The 70 word characters: a-z, A-Z, '_', 0-9, then the Latin-1 bytes E4 F6 FC C4 D6 DC DF
// (ae, oe, ue, Ae, Oe, Ue, sharp s). Every other byte separates words.
extern const std::string wordCharacters;

// Resolves character entities in place. An entity runs from an '&' to the next ';'; when more
// '&' stand in between, the last of them starts it. Names whose characters 2 to 4 are "uml" give
// the umlaut of their first character (A O U a o u; any other first character gives nothing),
// "szlig" gives sharp s; every other entity, named or numeric, is removed without trace. After
// each entity the search resumes one character after the entity's start, so the character that
// directly followed a removed entity never starts another one. An '&' without a later ';' stays.
void decodeEntities(std::string& text);

// Writes text to out with exactly the entities that decodeEntities turns into an umlaut or sharp
// s turned into that byte, every other entity left as written, so text shown to readers keeps
// its other entities while its words are those the index holds. Returns false, out untouched,
// when text holds no '&' and so stays as it is.
bool decodeUmlautEntities(std::string_view text, std::string& out);

// What the text of a page is read for: its words (entities the index does not read as letters
// vanish, and characters beyond Latin-1 separate words) or showing it (they stay as written).
enum class PageTextUse { words, display };

// Writes to out the text in front of eater's last tag (textBefore) with its entities resolved as
// the index reads them: in a page that declares UTF-8 every character reference by HTML's rules
// (resolveCharRefs), in any other page by the rule of decodeEntities (for display only the
// umlauts and sharp s, as decodeUmlautEntities). The reader and the index both read page text
// through this, so the words a result shows are the words the index holds. Returns false, out
// untouched, when the text stays as it is, as it always does when it holds no '&'.
bool decodePageText(const kel::html_read::HTML_Eater& eater, std::string& out, PageTextUse use);
// The same for text from a page that declares UTF-8 when utf8.
bool decodePageText(std::string_view text, bool utf8, std::string& out, PageTextUse use);

// Appends the maximal runs of text to out, in text order: with wordChars given, the runs of
// characters from *wordChars; otherwise the runs of characters not in *separators (with neither
// given, the whole text). Empty runs are never appended.
void splitWords(std::list<std::string>& out, const std::string& text, const std::string* wordChars,
                const std::string* separators);

// True when word has at least 3 characters and at least half of them are ASCII letters (digits,
// '_', umlauts and sharp s are not letters).
bool isIndexWord(const std::string& word);

// Decodes the entities of text, cuts it into runs of word characters and inserts every run that
// isIndexWord accepts into words.
void addPageText(std::set<std::string>& words, std::string text);

// The words of an HTML file: the text in front of every tag that follows the first tag named
// exactly "body" (after folding to lower case), each piece through addPageText. Text before that
// tag, text after the last tag and attribute values are not read; a file without such a tag has
// no words. A page that declares UTF-8 is read as Latin-1 with every character beyond Latin-1 a
// separator, and its character references are resolved by HTML's rules instead of
// decodeEntities (a reference beyond Latin-1 separating words too). Throws what
// kel::html_read::HTML_Eater throws; words then holds what was read so far.
void addFileWords(std::set<std::string>& words, const std::string& fileName);

// Reads the words of page after page as addFileWords does, keeping its buffers from one page to
// the next, so that reading many pages allocates almost nothing per page.
class PageWords {
 public:
  PageWords();
  ~PageWords();
  PageWords(const PageWords&) = delete;
  PageWords& operator=(const PageWords&) = delete;

  // The words of fileName, each once, in ascending unsigned byte order; the views stay valid
  // until the next read. Throws what addFileWords throws; the words read so far are then
  // dropped.
  const std::vector<std::string_view>& read(const std::string& fileName);

 private:
  struct Table;
  std::unique_ptr<Table> table_;
};

#endif

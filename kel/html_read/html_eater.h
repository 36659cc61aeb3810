// Reads an HTML file as a stream of tags, with the plain text in front of each tag.
#ifndef CORVEX_KEL_HTML_READ_HTML_EATER_H
#define CORVEX_KEL_HTML_READ_HTML_EATER_H

#include <memory>
#include <string>
#include <string_view>

#include "kel/html_read/page_lines.h"
#include "kel/html_read/utf8.h"

namespace kel::html_read {

// Delivers the tags of one HTML file in order. The reader knows no HTML vocabulary: any "<...>"
// is a tag, "<!-- ... -->" comments vanish (the text on both sides becomes adjacent), a '>'
// inside double quotes does not end a tag, and lines are joined with one blank (empty lines add
// nothing). Text after the last tag, and a tag left open at the end of the file, are never
// delivered. Memory stays bounded by the text since the previous tag plus the lines read while
// looking for the end of the current tag or comment.
//
// The lines are those PageLines hands out: a page that declares UTF-8 is read as Latin-1 text,
// turned so line by line before its tags are looked for.
class HTML_Eater {
 public:
  // Opens fileName and reads its first lines. lowerCaseTags selects how tag names are folded
  // (ASCII letters only): to lower case when true, to upper case when false. beyond says what
  // a character beyond Latin-1 of a UTF-8 page becomes.
  // Throws kel::err::IOError when the file cannot be opened, and kel::err::Error
  // "Error in <file> (#0): HTML-File without content" when the file is empty.
  explicit HTML_Eater(const std::string& fileName, bool lowerCaseTags = true,
                      BeyondLatin1 beyond = BeyondLatin1::separator);
  // The same for a page opened already, from the lines that lines has not handed out yet.
  // REQUIRES: lines outlives the reader and is read by nothing else meanwhile.
  HTML_Eater(PageLines& lines, bool lowerCaseTags);
  virtual ~HTML_Eater();

  HTML_Eater(const HTML_Eater&) = delete;
  HTML_Eater& operator=(const HTML_Eater&) = delete;

  // Finds the next tag. On true, tag holds the folded tag name (the tag text up to its first
  // blank), attributes the unchanged rest after that blank (empty without one), and textBefore
  // the text between the previous tag (or the start of the file) and this one; all three are
  // views into the reader, valid until the next call. On false the file has ended; tag and
  // attributes are unchanged.
  // Throws kel::err::Error "Error in <file> (#<lines read>): Unclosed comment" when a comment is
  // still open at the end of the file.
  bool nextTag(std::string_view& tag, std::string_view& attributes);
  // The same with tag and attributes copied.
  bool nextTag(std::string& tag, std::string& attributes);

  // True when the page declares UTF-8 and is read as described above; its text then holds
  // character references to be resolved by HTML's rules (resolveCharRefs).
  bool utf8() const { return lines_.utf8(); }

  // The size of the file as it was when opened (InputFile::statedSize).
  std::uint64_t fileSize() const { return lines_.fileSize(); }

  // The text in front of the tag most recently returned by nextTag (see there). The byte right
  // after it is the tag's '<' or a NUL, and textReadable() bytes, at least its size + 1, may be
  // read from its start.
  std::string_view textBefore;
  std::size_t textReadable() const { return textReadable_; }

 private:
  // Appends the next lines of the file to buffer; false at the end of the file.
  bool appendLines();
  // True when buffer[from, to) holds a '\n'. REQUIRES: from ascends from call to call (the
  // consumed front dropped counts as no change), so no byte is looked at twice.
  bool hasLineBreak(std::string::size_type from, std::string::size_type to);
  bool bufferEmpty() const { return pending.empty() && start == buffer.size(); }

  std::unique_ptr<PageLines> owned_;  // the lines of a page the reader opened itself
  PageLines& lines_;
  // Text read but not consumed is pending + buffer[start..]. buffer holds the lines as the file
  // has them, each ended by a '\n', which become blanks only in the text and tags delivered.
  // pending holds text that stood in front of a removed comment, with its lines joined, so a
  // comment costs no shift of the rest of the buffer; consumed tags only advance start, and the
  // consumed front is dropped when it dominates the buffer.
  std::string buffer;
  std::string pending;
  std::string assembled_;  // pending and the text after it, when textBefore needs both
  std::string::size_type start = 0;
  std::string::size_type searchPos = 0;  // absolute index in buffer, never below start
  std::string::size_type nextBreak_ = std::string::npos;  // a '\n' in buffer, or npos
  std::size_t textReadable_ = 1;
  const bool lowerCaseTags;
};

}  // namespace kel::html_read

#endif

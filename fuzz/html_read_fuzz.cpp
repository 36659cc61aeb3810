// The HTML reader and word extraction over arbitrary bytes.
//
// Properties: the line reader, cutting as the program has it cut pages, gives the file back byte
// for byte through its lines, and every piece it cuts is at most 160 bytes long, ends with '>'
// and is followed by a piece that begins with '<'; the tag reader delivers folded tag names
// without blanks and texts without '<', or one of its two documented errors, whichever way a
// page that declares UTF-8 treats characters beyond Latin-1; the page reader that
// is reused from page to page finds exactly the words of addFileWords, each an index word made of
// word characters, in ascending order; the page text a search shows (title, body, anchors, or the
// error) is what reading the tags one by one gives.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "index/word_extraction.h"
#include "kel/err/error.h"
#include "kel/file/input_file.h"
#include "kel/html_read/html_eater.h"
#include "kel/html_read/utf8.h"
#include "search/page_text.h"
#include "search/result_text.h"

namespace {

constexpr unsigned kCutWidth = 160;

void checkLines(const std::string& path, const std::string& page) {
  kel::file::InputFile input(path, 2048);
  input.setWrap(kCutWidth, "><", 1);
  std::string line;
  std::string back;
  unsigned newlines = 0;
  bool afterCut = false;
  while (input.getLine(line)) {
    if (afterCut)
      fuzz::check(!line.empty() && line.front() == '<', "a cut piece is followed by '<'");
    back += line;
    if (input.lineCount() != newlines) {
      newlines = input.lineCount();
      back += '\n';
      afterCut = false;
      continue;
    }
    // A piece without its '\n' is a cut piece, unless it is the last line of the file.
    afterCut = back.size() < page.size();
    if (afterCut) {
      fuzz::check(!line.empty() && line.size() <= kCutWidth && line.back() == '>',
                  "a cut piece is at most 160 bytes and ends with '>'", fuzz::quoted(line));
    }
  }
  fuzz::check(back == page, "the lines give the file back byte for byte",
              fuzz::quoted(back) + " instead of " + fuzz::quoted(page));
}

std::string describe(const PageText& page) {
  std::string anchors;
  for (const NamedAnchor& a : page.anchors)
    anchors += a.name + "@" + std::to_string(a.offset) + " ";
  return std::to_string(static_cast<int>(page.headEnd)) + "|" + page.title + "|" + page.body + "|" +
         anchors;
}

bool isReaderError(const kel::err::Error& e, const std::string& path) {
  const std::string what = e.what();
  const std::string head = "Error in " + path + " (#";
  return what.compare(0, head.size(), head) == 0 &&
         (what.find("): HTML-File without content") != std::string::npos ||
          what.find("): Unclosed comment") != std::string::npos);
}

void checkTags(const std::string& path, kel::html_read::BeyondLatin1 beyond) {
  try {
    kel::html_read::HTML_Eater eater(path, true, beyond);
    std::string tag;
    std::string attributes;
    while (eater.nextTag(tag, attributes)) {
      for (const char c : tag) {
        fuzz::check(!(c >= 'A' && c <= 'Z') && c != ' ', "tag names are folded, without blanks",
                    fuzz::quoted(tag));
      }
      fuzz::check(eater.textBefore.find('<') == std::string::npos, "a text holds no '<'",
                  fuzz::quoted(eater.textBefore));
      bool quoted = false;
      for (const char c : tag + ' ' + attributes) {
        if (c == '"') quoted = !quoted;
        fuzz::check(c != '>' || quoted, "a tag ends at its first '>' outside double quotes",
                    fuzz::quoted(tag + ' ' + attributes));
      }
    }
  } catch (const kel::err::Error& e) {
    fuzz::check(isReaderError(e, path), "the reader fails only with its documented errors",
                e.what());
  }
}

void checkWords(const std::string& path) {
  static PageWords page;  // reused, as the word-list builder reuses it
  std::string pageError = "none";
  std::vector<std::string> fromPage;
  try {
    for (const std::string_view w : page.read(path)) fromPage.emplace_back(w);
  } catch (const kel::err::Error& e) {
    pageError = e.what();
  }
  std::string fileError = "none";
  std::set<std::string> fromFile;
  try {
    addFileWords(fromFile, path);
  } catch (const kel::err::Error& e) {
    fileError = e.what();
  }
  fuzz::check(pageError == fileError, "both word readers fail alike",
              pageError + " / " + fileError);
  if (pageError != "none") return;
  fuzz::check(std::vector<std::string>(fromFile.begin(), fromFile.end()) == fromPage,
              "the reused page reader finds the words of addFileWords");
  for (const std::string& w : fromPage) {
    fuzz::check(isIndexWord(w) && w.find_first_not_of(wordCharacters) == std::string::npos,
                "every word is an index word of word characters", fuzz::quoted(w));
  }
}

// The page text as the tags give it, one by one: the reference for readPageText.
std::string pageTextFromTags(const std::string& path, bool titleOnly) {
  PageText page;
  page.title = "none";
  try {
    kel::html_read::HTML_Eater eater(path, true, kel::html_read::BeyondLatin1::reference);
    std::string scratch;
    const auto shown = [&eater, &scratch]() -> std::string_view {
      return decodePageText(eater, scratch, PageTextUse::display) ? std::string_view(scratch)
                                                                  : eater.textBefore;
    };
    std::string_view tag;
    std::string_view attributes;
    while (page.headEnd == HeadEnd::end && eater.nextTag(tag, attributes)) {
      if (tag == "body") {
        page.headEnd = HeadEnd::body;
      } else if (tag == "title") {
        page.title.clear();
        while (eater.nextTag(tag, attributes)) {
          if (!eater.textBefore.empty()) page.title += ' ' + std::string(shown());
          if (tag == "/title" || tag == "/head") break;
        }
        collapseSpaces(page.title);
        if (titleOnly) page.headEnd = HeadEnd::title;
      }
    }
    while (page.headEnd == HeadEnd::body && !titleOnly && eater.nextTag(tag, attributes)) {
      if (!eater.textBefore.empty()) {
        page.body += ' ';
        appendCollapsed(page.body, shown());
      }
      if (tag == "/body") break;
      std::string name;
      if (tag == "a" && anchorName(attributes, name)) {
        page.anchors.push_back({name, static_cast<unsigned>(page.body.size())});
      }
    }
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return describe(page);
}

void checkPageText(const std::string& path) {
  for (const bool titleOnly : {false, true}) {
    std::string read;
    try {
      kel::html_read::PageLines lines(path, kel::html_read::BeyondLatin1::reference);
      PageText page;
      page.title = "none";
      readPageText(lines, titleOnly, page);
      read = describe(page);
    } catch (const kel::err::Error& e) {
      read = e.what();
    }
    const std::string reference = pageTextFromTags(path, titleOnly);
    fuzz::check(read == reference, "the page text is what the tags give one by one",
                fuzz::quoted(read) + " instead of " + fuzz::quoted(reference));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::writeScratchFile("page.html", page);
  checkLines(path, page);
  checkTags(path, kel::html_read::BeyondLatin1::separator);
  checkTags(path, kel::html_read::BeyondLatin1::reference);
  checkWords(path);
  checkPageText(path);
  return 0;
}

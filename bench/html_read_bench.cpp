// Throughput of reading HTML pages: the tag reader alone, and the tag reader with the word
// extraction of a page's body, over a few hundred megabytes of generated pages in temporary files.
// Prints MB/s (bytes of HTML per second) for each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "index/word_extraction.h"
#include "kel/html_read/html_eater.h"
#include "search/page_text.h"

namespace {

// A small deterministic generator, so every run reads the same pages.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint32_t next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }

 private:
  std::uint64_t state_;
};

std::vector<std::string> makeVocabulary(Random& random, std::size_t size) {
  static const char* const syllables[] = {
      "haus",       "ber",    "ge",   "schaft", "ung",  "stra", "in",   "ver",  "ma",
      "ter",        "kon",    "zept", "da",     "ten",  "bank", "netz", "werk", "the",
      "ory",        "ing",    "tion", "pro",    "gram", "ent",  "wick", "lung", "s\374d",
      "gr\xF6\xDF", "m\344d", "chen", "x",      "2",    "_"};
  const std::size_t count = sizeof syllables / sizeof syllables[0];
  std::vector<std::string> words;
  words.reserve(size);
  for (std::size_t k = 0; k < size; ++k) {
    std::string word;
    const std::uint32_t parts = 1 + random.below(4);
    for (std::uint32_t p = 0; p < parts; ++p) word += syllables[random.below(count)];
    if (random.below(5) == 0) word[0] = static_cast<char>(word[0] & ~0x20);
    words.push_back(word);
  }
  return words;
}

// Word choice after Zipf's law: the k-th most common word comes up about 1/k as often as the
// most common one, as in natural text.
const std::string& zipfWord(Random& random, const std::vector<std::string>& vocabulary) {
  const double u = random.below(1u << 30) / double(1u << 30);
  const auto k = static_cast<std::size_t>(std::exp(u * std::log(double(vocabulary.size()))));
  return vocabulary[std::min(k, vocabulary.size()) - 1];
}

// A run of prose: words with blanks, punctuation and now and then an entity or inline markup.
void addProse(std::string& page, Random& random, const std::vector<std::string>& vocabulary,
              std::uint32_t words, bool markup) {
  for (std::uint32_t w = 0; w < words; ++w) {
    page += zipfWord(random, vocabulary);
    switch (random.below(markup ? 40 : 20)) {
      case 0:
        page += "&nbsp;";
        break;
      case 1:
        page += " &auml;";
        break;
      case 2:
        page += ", ";
        break;
      case 3:
        page += ". ";
        break;
      case 4:
        page += " <!-- ";
        page += zipfWord(random, vocabulary);
        page += " --> ";
        break;
      case 5:
        page += " <a href=\"/bereich/seite-";
        page += std::to_string(random.below(500));
        page += ".html\" class=\"intern\">";
        page += zipfWord(random, vocabulary);
        page += "</a> ";
        break;
      case 6:
        page += " <em>";
        page += zipfWord(random, vocabulary);
        page += "</em> ";
        break;
      case 7:
        page += " <strong class=\"hervor\">";
        page += zipfWord(random, vocabulary);
        page += "</strong> ";
        break;
      default:
        page += ' ';
    }
  }
}

enum PageKind { kPlain = 0, kMinified = 1, kProse = 2, kUtf8 = 3 };
constexpr int kKinds = 4;

// One page of about size bytes. kPlain: a site page with head, navigation, headed sections of
// paragraphs, tables and footer, in lines of some 80 characters (a bit under half of the bytes
// are text). kMinified: the same without any line break. kProse: nearly all text, few tags, the
// hardest case for the word extraction. kUtf8: a site page as kPlain, declared and written in
// UTF-8, with a dash beyond Latin-1 after every sentence.
std::string makePage(Random& random, const std::vector<std::string>& vocabulary, std::size_t size,
                     PageKind kind) {
  std::string page;
  page.reserve(size + 4096);
  page += "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"iso-8859-1\">\n<title>";
  addProse(page, random, vocabulary, 5, false);
  page += "</title>\n<meta name=\"description\" content=\"";
  addProse(page, random, vocabulary, 12, false);
  page +=
      "\">\n<link rel=\"stylesheet\" href=\"/css/site.css\" type=\"text/css\">\n"
      "<style>body { margin: 0; font-family: Verdana, sans-serif; }\n"
      "#nav li { display: inline; padding: 0 1em; }\n.content p { line-height: 1.4; }</style>\n"
      "<script type=\"text/javascript\">function zeige(id) {"
      " var e = document.getElementById(id);"
      "\n if (e) { e.style.display = 'block'; } }</script>\n</head>\n";
  if (kind == kProse) {
    page += "<body>\n";
    while (page.size() < size) {
      page += "<p>";
      addProse(page, random, vocabulary, 40 + random.below(80), false);
      page += "</p>\n";
    }
  } else {
    page += "<body class=\"seite\" onload=\"zeige('inhalt')\">\n<div id=\"kopf\"><ul id=\"nav\">\n";
    for (int k = 0; k < 12; ++k) {
      const std::string& w = vocabulary[random.below(200)];
      page += "<li class=\"nav-item\"><a href=\"/bereich/" + w + ".html\" title=\"" + w + "\">" +
              w + "</a></li>\n";
    }
    page += "</ul></div>\n<div id=\"inhalt\" class=\"content\">\n";
    int section = 0;
    while (page.size() < size) {
      page += "<h2 id=\"abschnitt" + std::to_string(++section) + "\">";
      addProse(page, random, vocabulary, 2 + random.below(4), false);
      page += "</h2>\n";
      const std::uint32_t paragraphs = 1 + random.below(3);
      for (std::uint32_t k = 0; k < paragraphs; ++k) {
        page += "<div class=\"absatz\"><p class=\"text\">";
        addProse(page, random, vocabulary, 10 + random.below(50), true);
        page += "</p></div>\n";
      }
      if (random.below(3) == 0) {
        page += "<table class=\"daten\" cellspacing=\"0\" cellpadding=\"2\">\n";
        for (int row = 0; row < 4; ++row) {
          page += "<tr>";
          for (int col = 0; col < 3; ++col) {
            page += "<td class=\"zelle\" align=\"left\">";
            addProse(page, random, vocabulary, 1 + random.below(2), false);
            page += "</td>";
          }
          page += "</tr>\n";
        }
        page += "</table>\n";
      }
    }
    page +=
        "</div>\n<div id=\"fuss\"><p>&copy; 2002 <a href=\"mailto:web@example.org\">"
        "Webmaster</a> | <a href=\"/impressum.html\">Impressum</a></p></div>\n";
  }
  page += "</body></html>\n";
  if (kind == kUtf8) {
    std::string utf8;
    utf8.reserve(page.size() + page.size() / 8);
    for (const char c : page) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) {
        utf8 += static_cast<char>(0xC0 | byte >> 6);
        utf8 += static_cast<char>(0x80 | (byte & 0x3F));
      } else if (c == '.') {
        utf8 += ". \xE2\x80\x94";
      } else {
        utf8 += c;
      }
    }
    const std::string declared = "charset=\"iso-8859-1\"";
    utf8.replace(utf8.find(declared), declared.size(), "charset=\"utf-8\"");
    page.swap(utf8);
  }
  // Break the text into lines of some 80 characters, at blanks; or remove every line break.
  std::string out;
  out.reserve(page.size());
  std::size_t column = 0;
  for (const char c : page) {
    if (c == '\n') {
      if (kind != kMinified) out += c;
      column = 0;
    } else if (c == ' ' && column > 80 && kind != kMinified) {
      out += '\n';
      column = 0;
    } else {
      out += c;
      ++column;
    }
  }
  return out;
}

// The generated pages, written once per process into a temporary directory.
class Pages {
 public:
  static const Pages& get() {
    static const Pages pages;
    return pages;
  }
  const std::vector<std::string>& files(int kind) const { return files_[kind]; }
  std::int64_t bytes(int kind) const { return bytes_[kind]; }
  ~Pages() {
    if (!std::getenv("KEEP_PAGES")) std::filesystem::remove_all(dir_);
  }

 private:
  Pages() {
    char pattern[] = "/tmp/corvex-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir_ = pattern;
    Random random(2002);
    const std::vector<std::string> vocabulary = makeVocabulary(random, 20000);
    // 64 KB pages: 256 MB of site pages, 64 MB each of minified ones, prose and UTF-8 pages.
    write(random, vocabulary, 4096, kPlain);
    write(random, vocabulary, 1024, kMinified);
    write(random, vocabulary, 1024, kProse);
    write(random, vocabulary, 1024, kUtf8);
  }

  void write(Random& random, const std::vector<std::string>& vocabulary, int count, PageKind kind) {
    for (int k = 0; k < count; ++k) {
      const std::string page = makePage(random, vocabulary, 64 * 1024, kind);
      const std::string name =
          dir_ + "/" + std::to_string(kind) + "_" + std::to_string(k) + ".html";
      std::ofstream(name, std::ios::binary) << page;
      files_[kind].push_back(name);
      bytes_[kind] += static_cast<std::int64_t>(page.size());
    }
  }

  std::string dir_;
  std::vector<std::string> files_[kKinds];
  std::int64_t bytes_[kKinds] = {};
};

void report(benchmark::State& state, std::int64_t bytes) {
  state.SetBytesProcessed(bytes * state.iterations());
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
}

// The tag reader alone: every tag and the text in front of it.
void BM_HtmlEater(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const Pages& pages = Pages::get();
  std::string tag, attributes;
  std::size_t textBytes = 0;
  for (auto _ : state) {
    for (const std::string& file : pages.files(kind)) {
      kel::html_read::HTML_Eater eater(file);
      while (eater.nextTag(tag, attributes)) textBytes += eater.textBefore.size();
    }
  }
  benchmark::DoNotOptimize(textBytes);
  report(state, pages.bytes(kind));
}

// What indexing does per page: the distinct words of the body.
void BM_PageWords(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const Pages& pages = Pages::get();
  std::size_t words = 0;
  for (auto _ : state) {
    for (const std::string& file : pages.files(kind)) {
      std::set<std::string> set;
      addFileWords(set, file);
      words += set.size();
    }
  }
  const double pagesRead = static_cast<double>(state.iterations()) * pages.files(kind).size();
  state.counters["words/page"] = static_cast<double>(words) / pagesRead;
  report(state, pages.bytes(kind));
}

// The same through one PageWords reused for every page, as the word-list builder reads them.
void BM_PageWordsReused(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const Pages& pages = Pages::get();
  PageWords page;
  std::size_t words = 0;
  for (auto _ : state) {
    for (const std::string& file : pages.files(kind)) words += page.read(file).size();
  }
  const double pagesRead = static_cast<double>(state.iterations()) * pages.files(kind).size();
  state.counters["words/page"] = static_cast<double>(words) / pagesRead;
  report(state, pages.bytes(kind));
}

// What a search reads of each candidate before it looks for hits: title, body text and anchors.
void BM_PageText(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const Pages& pages = Pages::get();
  std::size_t bodyBytes = 0;
  for (auto _ : state) {
    for (const std::string& file : pages.files(kind)) {
      kel::html_read::PageLines lines(file, kel::html_read::BeyondLatin1::reference);
      PageText page;
      readPageText(lines, false, page);
      bodyBytes += page.body.size();
    }
  }
  benchmark::DoNotOptimize(bodyBytes);
  report(state, pages.bytes(kind));
}

// Argument: 0 site pages, 1 minified site pages, 2 prose pages, 3 site pages in UTF-8.
BENCHMARK(BM_PageText)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlEater)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageWords)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageWordsReused)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

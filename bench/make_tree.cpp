// Writes a deterministic synthetic tree of HTML pages for the index benchmarks.
//
//   make_tree <output dir> [pages=20000] [page bytes=5000] [pages per directory=25]
//
// Pages hold Latin-1 German and English words drawn from a Zipf distribution over a vocabulary
// of about 60,000 words (umlauts and sharp s both as bytes and as entities), in directories two
// levels deep. The same arguments always give the same bytes. Prints the number of pages and
// bytes written.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A small deterministic generator (xorshift64*), the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
  std::uint64_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
  double unit() { return (next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  std::uint64_t state_;
};

const char* const syllables[] = {
    "haus",  "bau",     "ber",   "ein",  "ung",    "keit", "lich",  "schaft", "stra",  "\337e",
    "m\xFC", "ller",    "k\xF6", "nig",  "gr\xF6", "\xDF", "t\xFC", "r",      "b\xE4", "ren",
    "wald",  "feld",    "berg",  "land", "zeit",   "weg",  "the",   "ing",    "tion",  "ment",
    "er",    "con",     "pro",   "ver",  "ge",     "an",   "in",    "al",     "ly",    "ness",
    "ter",   "ster",    "ar",    "ia",   "son",    "ford", "ham",   "wick",   "ton",   "\304r",
    "\326l", "\334ber", "sch",   "ach",  "ig",     "en",   "chen",  "lein",   "dorf",  "heim",
    "nach",  "vor",     "auf",   "ab",   "zu",     "mit",  "data",  "file",   "web",   "net",
    "work",  "page",    "link",
};
constexpr unsigned syllableCount = sizeof(syllables) / sizeof(syllables[0]);

std::vector<std::string> makeVocabulary(Random& random, unsigned size) {
  std::vector<std::string> words;
  words.reserve(size);
  const char* const common[] = {"der",   "die",  "und",  "the",  "and",  "mit",  "f\xFCr", "that",
                                "nicht", "with", "sich", "this", "auch", "from", "eine",   "have"};
  for (const char* w : common) words.emplace_back(w);
  while (words.size() < size) {
    std::string w;
    const unsigned parts = 1 + random.below(4);
    for (unsigned i = 0; i < parts; ++i) w += syllables[random.below(syllableCount)];
    if (random.below(4) == 0 && w[0] >= 'a' && w[0] <= 'z') w[0] = static_cast<char>(w[0] - 32);
    if (w.size() >= 3) words.push_back(w);
  }
  return words;
}

// Word as it stands in a page: some umlauts written as entities.
std::string inPage(const std::string& word, Random& random) {
  if (random.below(8) != 0) return word;
  std::string out;
  for (const char c : word) {
    switch (static_cast<unsigned char>(c)) {
      case 0xE4:
        out += "&auml;";
        break;
      case 0xF6:
        out += "&ouml;";
        break;
      case 0xFC:
        out += "&uuml;";
        break;
      case 0xDF:
        out += "&szlig;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void makeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: make_tree <output dir> [pages] [page bytes] [pages per directory]\n");
    return 2;
  }
  const std::string root = argv[1];
  const unsigned pages = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20000;
  const unsigned pageBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 5000;
  const unsigned perDirectory = std::max(1ul, argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 25ul);

  Random random(20021206);
  const std::vector<std::string> vocabulary = makeVocabulary(random, 60000);
  // Zipf with exponent 1: P(rank r) proportional to 1 / r.
  std::vector<double> cumulative(vocabulary.size());
  double sum = 0;
  for (std::size_t r = 0; r < vocabulary.size(); ++r) cumulative[r] = sum += 1.0 / double(r + 1);
  auto drawWord = [&]() -> const std::string& {
    const double x = random.unit() * sum;
    const auto it = std::lower_bound(cumulative.begin(), cumulative.end(), x);
    return vocabulary[std::min<std::size_t>(it - cumulative.begin(), vocabulary.size() - 1)];
  };

  makeDirectory(root);
  unsigned long long total = 0;
  const unsigned directories = (pages + perDirectory - 1) / perDirectory;
  const unsigned groups = std::max(1u, static_cast<unsigned>(std::sqrt(double(directories))));
  for (unsigned p = 0; p < pages; ++p) {
    const unsigned d = p / perDirectory;
    char dir[64];
    std::snprintf(dir, sizeof dir, "/g%03u", d % groups);
    makeDirectory(root + dir);
    char sub[64];
    std::snprintf(sub, sizeof sub, "/d%05u", d);
    const std::string path = root + dir + sub;
    if (p % perDirectory == 0) makeDirectory(path);

    std::string page = "<html>\n<head>\n<title>";
    for (int i = 0; i < 4; ++i) page += drawWord() + " ";
    page +=
        "</title>\n<meta name=\"keywords\" content=\"bench\">\n</head>\n<body "
        "bgcolor=\"#ffffff\">\n";
    page += "<h1>" + drawWord() + " " + drawWord() + "</h1>\n<p>";
    unsigned column = 0;
    while (page.size() < pageBytes) {
      const std::string word = inPage(drawWord(), random);
      page += word;
      column += word.size() + 1;
      const unsigned mark = random.below(40);
      if (mark == 0) {
        page += ".</p>\n<p>";
        column = 0;
      } else if (mark == 1) {
        page += " <a href=\"x.html\">" + drawWord() + "</a>";
      } else if (mark == 2) {
        page += ", ";
      } else if (column > 70) {
        page += '\n';
        column = 0;
      } else {
        page += ' ';
      }
    }
    page += "</p>\n</body>\n</html>\n";
    char name[32];
    std::snprintf(name, sizeof name, "/p%05u.html", p);
    const std::string file = path + name;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out || std::fwrite(page.data(), 1, page.size(), out) != page.size() ||
        std::fclose(out) != 0) {
      std::perror(file.c_str());
      return 1;
    }
    total += page.size();
  }
  std::printf("%u pages, %llu bytes\n", pages, total);
  return 0;
}

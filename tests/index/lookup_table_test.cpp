#include "index/lookup_table.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "index/global_index.h"
#include "index/lookup.h"
#include "kel/file/binary_file.h"
#include "kel/file/directory.h"
#include "test_util.h"

namespace {

bool acceptHtml(const std::string&, const char* name, const struct stat&) {
  const std::string n(name);
  return n.size() > 5 && n.substr(n.size() - 5) == ".html";
}

// A random tree indexed into <tmp>/<index>: its global index comes with a lookup table.
class LookupTableTest : public ::testing::Test {
 protected:
  void buildIndex(const std::string& index, std::mt19937& random, int pages) {
    const char* const syllables[] = {"haus", "bau", "ber", "ung", "k\xFC", "ch", "e",
                                     "Gar",  "ten", "mit", "see", "SEE",   "x",  "1"};
    for (int p = 0; p < pages; ++p) {
      std::string text = "<body>";
      for (unsigned w = random() % 30; w > 0; --w) {
        for (unsigned s = 1 + random() % 3; s > 0; --s) text += syllables[random() % 14];
        text += ' ';
      }
      testutil::writeFile(
          tmp / ("r/d" + std::to_string(p % 7) + "/p" + std::to_string(p) + ".html"),
          text + "</body>\n");
    }
    std::map<std::string, kel::file::Directory> dirs;
    kel::file::scanDirectory(dirs, tmp / "r", true, false, acceptHtml, nullptr);
    testutil::writeFile(tmp / (index + "/keep"), "");
    {
      kel::file::BinaryFile file(tmp / (index + "/files"), 1);
      kel::file::storeDirectories(dirs, file);
      file.close();
    }
    updateGlobalIndex(tmp / (index + "/files"), tmp / index, tmp / (index + "/global_index"), false,
                      IndexBuild::full);
  }

  // Files, report and verbose lines of a lookup; the line about a missing table goes to note.
  std::string lookup(const std::string& index, const std::string& search, unsigned flags,
                     std::string* note = nullptr) {
    std::ostringstream report, verbose;
    std::string out;
    try {
      const LookupResult r = lookupTerms(index, search, flags, {}, &verbose, report);
      for (const std::string& path : r.candidates.paths()) out += path + ";";
    } catch (const kel::err::Error& e) {
      out += std::string("error: ") + e.what();
    }
    std::string lines = verbose.str();
    const std::size_t at = lines.find("Lookup table ");
    if (note)
      *note = at == std::string::npos ? "" : lines.substr(at, lines.find('\n', at) + 1 - at);
    if (at != std::string::npos) lines.erase(at, lines.find('\n', at) + 1 - at);
    return out + "|" + report.str() + "|" + lines;
  }

  testutil::TempDir tmp;
};

// Through the table a lookup finds what reading the whole index finds, with the same report and
// progress lines, for plain terms, beginnings, other expressions and case folding.
TEST_F(LookupTableTest, FindsWhatTheWholeIndexGives) {
  std::mt19937 random(5);
  buildIndex("idx", random, 300);
  const std::string index = tmp / "idx/global_index";
  const std::string table = index + ".lookup";
  const std::string bytes = testutil::readFile(table);
  const char* const pieces[] = {"haus",      "Gar",  "ten", "k\xFC", "see", "SEE",  ".", ".*",
                                "(bau|ber)", "[eu]", "ung", "x",     "1",   "|mit", "e?"};
  for (int i = 0; i < 400; ++i) {
    std::string search;
    for (unsigned terms = 1 + random() % 2; terms > 0; --terms) {
      for (unsigned n = 1 + random() % 3; n > 0; --n) search += pieces[random() % 15];
      search += ' ';
    }
    const unsigned flags = random() % 4 == 0 ? static_cast<unsigned>(boost::regex::icase) : 0u;
    std::string note;
    const std::string throughTable = lookup(index, search, flags, &note);
    EXPECT_EQ(note, "") << search;
    std::remove(table.c_str());
    EXPECT_EQ(lookup(index, search, flags, &note), throughTable) << search;
    EXPECT_EQ(note, "Lookup table " + table + " missing: reading the whole global index\n");
    testutil::writeFile(table, bytes);
  }
}

// A table that does not belong to the index at hand is not used: damaged, left from an earlier
// index, from another index directory, or beside an index rewritten in place.
TEST_F(LookupTableTest, ReadsTheWholeIndexWithoutATableOfItsOwn) {
  std::mt19937 random(9);
  buildIndex("other", random, 50);
  buildIndex("idx", random, 80);
  const std::string index = tmp / "idx/global_index";
  const std::string table = index + ".lookup";
  const std::string good = testutil::readFile(table);
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x20;
  const std::string expected = lookup(index, "haus.* ten", 0);
  const struct {
    const char* what;
    std::string table;
    const char* why;
  } cases[] = {
      {"damaged", flipped, "damaged"},
      {"cut short", good.substr(0, good.size() - 1), "damaged"},
      {"of another index directory", testutil::readFile(tmp / "other/global_index.lookup"),
       "of another global index"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(table, c.table);
    std::string note;
    EXPECT_EQ(lookup(index, "haus.* ten", 0, &note), expected) << c.what;
    EXPECT_EQ(note, "Lookup table " + table + " " + c.why + ": reading the whole global index\n");
  }

  // The index rewritten in place with the bytes of another, and with its own again.
  testutil::writeFile(table, good);
  const std::string bytes = testutil::readFile(index);
  testutil::writeFile(index, testutil::readFile(tmp / "other/global_index"));
  std::string note;
  const std::string other = lookup(index, "haus.* ten", 0, &note);
  EXPECT_EQ(other, lookup(tmp / "other/global_index", "haus.* ten", 0));
  EXPECT_EQ(note,
            "Lookup table " + table + " of another global index: reading the whole global index\n");
  testutil::writeFile(index, bytes);
  EXPECT_EQ(lookup(index, "haus.* ten", 0, &note), expected);
  EXPECT_NE(note, "");  // same bytes, but a new time: the table no longer vouches for them

  // A rewrite in place that keeps the size and the time changes the bytes at the index's ends.
  buildIndex("idx", random, 80);
  struct stat before;
  ASSERT_EQ(::stat(index.c_str(), &before), 0);
  std::string changed = testutil::readFile(index);
  changed[changed.find("/p") + 2] ^= 0x01;  // a digit of the first path
  testutil::writeFile(index, changed);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, index.c_str(), times, 0), 0);
  lookup(index, "haus", 0, &note);
  EXPECT_EQ(note,
            "Lookup table " + table + " of another global index: reading the whole global index\n");
}

}  // namespace

#include "index/word_list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "kel/file/directory.h"
#include "test_util.h"

using kel::file::Directory;

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s += static_cast<char>(v);
  return s;
}

Directory makeDirectory(const std::string& path, std::initializer_list<const char*> files,
                        time_t newest = 1000) {
  Directory dir;
  dir.path = path;
  for (const char* f : files) dir.add(f, newest);
  return dir;
}

bool acceptHtml(const std::string&, const char* name, const struct stat&) {
  const std::string n(name);
  return n.size() > 5 && n.substr(n.size() - 5) == ".html";
}

// The directory table of the HTML files directly in each of paths, as a scan records it.
std::map<std::string, Directory> scanned(const std::vector<std::string>& paths) {
  std::map<std::string, Directory> dirs;
  for (const std::string& p : paths) kel::file::scanDirectory(dirs, p, false, false, acceptHtml, nullptr);
  return dirs;
}

// Records what a consumer is handed, in a compact text: "w" before the records of a word list
// written by the update, "r" before one that was reused.
struct Recorder : WordListConsumer {
  std::string log;
  bool wantRecords = true;
  bool beginDirectory(const Directory&, bool written, const struct timespec& time) override {
    log += written ? "w" : "r";
    if (!written && time.tv_sec == 0) log += "(no time)";
    return wantRecords;
  }
  void file(const Directory&, std::string_view name) override { log += "[" + std::string(name) + "]"; }
  void word(std::string_view word) override { log += " " + std::string(word); }
  void endDirectory(const Directory& dir) override { log += " <" + dir.path + ">\n"; }
};

const std::string pageA = "<html><head><title>Titel</title></head><body>mit Haus mit</body></html>\n";

TEST(WordList, NamesMangleTheDirectoryPath) {
  const struct {
    std::string path;
    unsigned files;
    bool distinct;
    std::string name;
  } cases[] = {
      {"/srv/web/docs", 12, false, "12__srv_web_docs.index"},
      {"C:\\web\\docs", 12, false, "12_C__web_docs.index"},
      {"a b-c:d.e", 0, false, "0_a_b_c_d_e.index"},
      {"Ä_x", 3, false, "3_Ä_x.index"},
      {"x/a-b", 2, true, "2_x_a_b.sh.index"},
      {"x/a.b", 2, true, "2_x_a_b.sd.index"},
      {"x/a_b", 2, true, "2_x_a_b.su.index"},
      {"C:\\a b", 1, true, "1_C__a_b.cbw.index"},
      {"plain", 1, true, "1_plain..index"},
  };
  for (const auto& c : cases) {
    Directory dir;
    dir.path = c.path;
    for (unsigned i = 0; i < c.files; ++i) dir.files.insert(std::to_string(i));
    EXPECT_EQ(wordListName(dir, c.distinct), c.name) << c.path;
  }
}

TEST(WordList, OnlyCollidingDirectoriesGetDistinctNames) {
  std::map<std::string, Directory> dirs;
  for (const char* p : {"x/a-b", "x/a.b", "x/c", "y/a-b"}) dirs[p] = makeDirectory(p, {"i.html"});
  const WordListNames names(dirs);
  EXPECT_EQ(names.name(dirs["x/a-b"]), "1_x_a_b.sh.index");
  EXPECT_EQ(names.name(dirs["x/a.b"]), "1_x_a_b.sd.index");
  EXPECT_EQ(names.name(dirs["x/c"]), "1_x_c.index");
  EXPECT_EQ(names.name(dirs["y/a-b"]), "1_y_a_b.index");

  // A directory known only from another index's file list counts as well; the same path twice
  // is no collision.
  std::map<std::string, Directory> one{{"x/a-b", dirs["x/a-b"]}};
  EXPECT_FALSE(WordListNames(one, {"x/a-b", "x/c"}).isDistinct(dirs["x/a-b"]));
  EXPECT_TRUE(WordListNames(one, {"x/a b"}).isDistinct(dirs["x/a-b"]));
}

TEST(WordList, RecordsEveryFileInNameOrder) {
  testutil::TempDir tmp;
  testutil::writeFile(tmp / "d/a.html", pageA);
  testutil::writeFile(tmp / "d/b.html", "");
  Directory dir = makeDirectory(tmp / "d", {"b.html", "a.html"});
  EXPECT_EQ(buildWordList(dir, nullptr),
            bytes({0x01, 0x0C}) + "a.html" + bytes({0x02, 0x08}) + "Haus" + bytes({0x06}) + "mit" +
                bytes({0x01, 0x0C}) + "b.html" + bytes({0x00, 0x00}));

  // Pages that cannot be read, are empty or have an unclosed comment get no words; the
  // directory goes on; upper-case names sort first.
  testutil::writeFile(tmp / "e/B.html", "<body>Unclosed <!-- comment\n");
  testutil::writeFile(tmp / "e/c.html", "<body>Katze</body>\n");
  dir = makeDirectory(tmp / "e", {"c.html", "B.html", "missing.html"});
  std::ostringstream log;
  EXPECT_EQ(buildWordList(dir, &log),
            bytes({0x01, 0x0C}) + "B.html" + bytes({0x00}) + bytes({0x01, 0x0C}) + "c.html" +
                bytes({0x01, 0x0A}) + "Katze" + bytes({0x01, 0x18}) + "missing.html" +
                bytes({0x00, 0x00}));
  EXPECT_EQ(log.str(), "Scanning 'B.html' (1/3)\nScanning 'c.html' (2/3)\nScanning 'missing.html' (3/3)\n");
}

TEST(WordList, AcceptsOnlyCompleteListsOfTheCurrentFiles) {
  const Directory dir = makeDirectory("d", {"a.html", "b.html"});
  const std::string good = bytes({0x01, 0x0C}) + "a.html" + bytes({0x01, 0x08}) + "Haus" +
                           bytes({0x01, 0x0C}) + "b.html" + bytes({0x00, 0x00});
  const struct {
    const char* what;
    std::string data;
    bool valid;
  } cases[] = {
      {"complete", good, true},
      {"cut before the end byte", good.substr(0, good.size() - 1), false},
      {"cut inside a word", good.substr(0, 12), false},
      {"empty", "", false},
      {"trailing bytes", good + "x", false},
      {"renamed file", bytes({0x01, 0x0C}) + "a.html" + bytes({0x00}) + bytes({0x01, 0x0C}) +
                           "c.html" + bytes({0x00, 0x00}), false},
      {"one record missing", bytes({0x01, 0x0C}) + "a.html" + bytes({0x00, 0x00}), false},
      {"one record too many", good.substr(0, good.size() - 1) + bytes({0x01, 0x0C}) + "c.html" +
                                  bytes({0x00, 0x00}), false},
      {"negative length", bytes({0x01, 0x0D}) + "a.html" + bytes({0x00, 0x01, 0x0C}) + "b.html" +
                              bytes({0x00, 0x00}), false},
      {"overlong word count", bytes({0x01, 0x0C}) + "a.html" + bytes({0xF0, 0xFF, 0xFF, 0xFF, 0xFF}) +
                                  bytes({0x00}), false},
  };
  for (const auto& c : cases) EXPECT_EQ(isWordListOf(c.data, dir), c.valid) << c.what;
  Recorder recorder;
  feedWordList(good, dir, recorder);
  EXPECT_EQ(recorder.log, "[a.html] Haus[b.html]");
}

class WordListUpdate : public ::testing::Test {
 protected:
  WordListUpdate() {
    testutil::writeFile(tmp / "idx/keep.txt", "x");
    testutil::writeFile(tmp / "d/a.html", pageA);
    testutil::writeFile(tmp / "d/b.html", "<body>Garten</body>\n");
    testutil::setFileTime(tmp / "d/a.html", 1000000);
    testutil::setFileTime(tmp / "d/b.html", 1000000);
  }
  std::string index() const { return tmp / "idx"; }
  std::string listName(unsigned count) const { return std::to_string(count) + "_" + mangled + ".index"; }
  std::string listPath(unsigned count) const { return tmp / ("idx/" + listName(count)); }
  unsigned update(const std::vector<std::string>& paths, Recorder* recorder = nullptr) {
    return updateWordLists(index(), scanned(paths), false, recorder);
  }

  testutil::TempDir tmp;
  const std::string mangled = mangleDirectoryName(tmp / "d");
  const std::string expected = bytes({0x01, 0x0C}) + "a.html" + bytes({0x02, 0x08}) + "Haus" +
                               bytes({0x06}) + "mit" + bytes({0x01, 0x0C}) + "b.html" +
                               bytes({0x01, 0x0C}) + "Garten" + bytes({0x00});
};

TEST_F(WordListUpdate, BuildsMissingListsAndHandsThemOn) {
  Recorder recorder;
  EXPECT_EQ(update({tmp / "d"}, &recorder), 2u);
  EXPECT_EQ(testutil::readFile(listPath(2)), expected);
  EXPECT_EQ(recorder.log, "w[a.html] Haus mit[b.html] Garten <" + tmp / "d" + ">\n");
  EXPECT_EQ(testutil::listDirectory(index()), (std::vector<std::string>{listName(2), "keep.txt"}));

  // A consumer that has the records already skips them.
  Recorder skipping;
  skipping.wantRecords = false;
  EXPECT_EQ(update({tmp / "d"}, &skipping), 2u);
  EXPECT_EQ(skipping.log, "r <" + tmp / "d" + ">\n");
}

TEST_F(WordListUpdate, RebuildsOnlyWhenOlderThanTheNewestPage) {
  update({tmp / "d"});
  // A list as new as its pages is used as it stands (its pages are not read).
  const std::string marked = bytes({0x01, 0x0C}) + "a.html" + bytes({0x00, 0x01, 0x0C}) + "b.html" +
                             bytes({0x01, 0x06}) + "Alt" + bytes({0x00});
  testutil::writeFile(listPath(2), marked);
  testutil::setFileTime(listPath(2), 1000000);
  Recorder recorder;
  update({tmp / "d"}, &recorder);
  EXPECT_EQ(testutil::readFile(listPath(2)), marked);
  EXPECT_EQ(recorder.log, "r[a.html][b.html] Alt <" + tmp / "d" + ">\n");

  // One page newer than the list: the whole directory is read again.
  testutil::setFileTime(tmp / "d/b.html", 1000001);
  update({tmp / "d"});
  EXPECT_EQ(testutil::readFile(listPath(2)), expected);
}

TEST_F(WordListUpdate, RebuildsListsThatDoNotMatchTheFiles) {
  // Damaged lists and lists naming other files are rebuilt even though they look fresh.
  const std::string damaged[] = {
      expected.substr(0, expected.size() - 1),
      expected.substr(0, 9),
      bytes({0x01, 0x0C}) + "a.html" + bytes({0x00, 0x01, 0x0C}) + "c.html" + bytes({0x00, 0x00}),
      bytes({0x01, 0x0C}) + "a.html" + bytes({0xF0, 0x7F, 0xFF, 0xFF, 0xFF, 0x00}),
  };
  for (const std::string& content : damaged) {
    testutil::writeFile(listPath(2), content);
    testutil::setFileTime(listPath(2), 2000000);
    Recorder recorder;
    EXPECT_EQ(update({tmp / "d"}, &recorder), 2u);
    EXPECT_EQ(testutil::readFile(listPath(2)), expected);
    EXPECT_EQ(recorder.log, "w[a.html] Haus mit[b.html] Garten <" + tmp / "d" + ">\n");
  }
}

TEST_F(WordListUpdate, RenamesTheListWhenTheFileCountChanges) {
  update({tmp / "d"});
  testutil::writeFile(tmp / "d/c.html", "<body>Neu</body>\n");
  // Temporaries of an interrupted write are never taken for word lists, nor removed.
  testutil::writeFile(tmp / ("idx/" + listName(3) + ".tmp.77.0"), "torn");
  testutil::writeFile(tmp / ("idx/3_" + mangled + "_x.index"), "another directory's list");
  EXPECT_EQ(update({tmp / "d"}), 3u);
  EXPECT_EQ(testutil::listDirectory(index()),
            (std::vector<std::string>{listName(3), listName(3) + ".tmp.77.0", "3_" + mangled + "_x.index",
                                      "keep.txt"}));

  // A directory that lost all its files loses all its lists and gets no new one.
  testutil::writeFile(listPath(7), "older list");
  testutil::writeFile(listPath(0), "");
  for (const char* f : {"a.html", "b.html", "c.html"}) std::remove((tmp / "d/" + f).c_str());
  EXPECT_EQ(update({tmp / "d"}), 0u);
  EXPECT_EQ(testutil::listDirectory(index()),
            (std::vector<std::string>{listName(3) + ".tmp.77.0", "3_" + mangled + "_x.index", "keep.txt"}));
}

TEST_F(WordListUpdate, CollidingDirectoriesKeepTheirOwnLists) {
  testutil::writeFile(tmp / "x/a-b/i.html", "<body>Hund</body>\n");
  testutil::writeFile(tmp / "x/a.b/i.html", "<body>Katze</body>\n");
  testutil::writeFile(tmp / "x/a.b/j.html", "<body>Maus</body>\n");
  const std::string m = mangleDirectoryName(tmp / "x/a-b");
  // A list under the plain name (from a time without the collision) is left alone.
  testutil::writeFile(tmp / ("idx/1_" + m + ".index"), "plain");

  Recorder recorder;
  EXPECT_EQ(update({tmp / "x/a-b", tmp / "x/a.b"}, &recorder), 3u);
  const std::string hyphen = wordListName(makeDirectory(tmp / "x/a-b", {"i.html"}), true);
  const std::string dot = wordListName(makeDirectory(tmp / "x/a.b", {"i.html", "j.html"}), true);
  EXPECT_EQ(hyphen.substr(hyphen.size() - 8), "sh.index");
  EXPECT_EQ(testutil::listDirectory(index()),
            (std::vector<std::string>{"1_" + m + ".index", hyphen, dot, "keep.txt"}));
  EXPECT_EQ(testutil::readFile(tmp / ("idx/1_" + m + ".index")), "plain");
  EXPECT_EQ(recorder.log, "w[i.html] Hund <" + tmp / "x/a-b" + ">\nw[i.html] Katze[j.html] Maus <" +
                              tmp / "x/a.b" + ">\n");

  // x/a.b now gets one file too: the two lists have equal counts and stay apart; neither
  // directory removes the other's list.
  std::remove((tmp / "x/a.b/j.html").c_str());
  Recorder again;
  EXPECT_EQ(update({tmp / "x/a-b", tmp / "x/a.b"}, &again), 2u);
  EXPECT_EQ(again.log, "r[i.html] Hund <" + tmp / "x/a-b" + ">\nw[i.html] Katze <" + tmp / "x/a.b" + ">\n");
  const std::string dotNow = wordListName(makeDirectory(tmp / "x/a.b", {"i.html"}), true);
  EXPECT_EQ(testutil::listDirectory(index()),
            (std::vector<std::string>{"1_" + m + ".index", dotNow, hyphen, "keep.txt"}));
}

}  // namespace

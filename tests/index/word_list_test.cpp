#include "index/word_list.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "kel/file/directory.h"
#include "test_util.h"

using kel::file::Directory;

namespace {

using testutil::bytes;
using testutil::str;

Directory makeDirectory(const std::string& path, std::initializer_list<const char*> files) {
  Directory dir;
  dir.path = path;
  for (const char* f : files) dir.add(f, 1000);
  return dir;
}

bool acceptHtml(const std::string&, const char* name, const struct stat&) {
  const std::string n(name);
  return n.size() > 5 && n.substr(n.size() - 5) == ".html";
}

// Records what a consumer is handed: "w" before a word list the update wrote, "r" before one
// it reused, then the records.
struct Recorder : WordListConsumer {
  std::string log;
  bool beginDirectory(const Directory&, bool written, std::string_view) override {
    log += written ? "w" : "r";
    return true;
  }
  void file(const Directory&, std::string_view name) override {
    log += "[" + std::string(name) + "]";
  }
  void word(std::string_view word) override { log += " " + std::string(word); }
  void endDirectory(const Directory&) override { log += ";"; }
};

TEST(WordList, AcceptsOnlyCompleteListsOfTheCurrentFiles) {
  const Directory dir = makeDirectory("d", {"a.html", "b.html"});
  const std::string good = bytes({0x01}) + str("a.html") + bytes({0x01}) + str("Haus") +
                           bytes({0x01}) + str("b.html") + bytes({0x00, 0x00});
  const struct {
    const char* what;
    std::string data;
    bool valid;
  } cases[] = {
      {"complete", good, true},
      {"cut before the end byte", good.substr(0, good.size() - 1), false},
      {"cut inside a word", good.substr(0, 12), false},
      {"trailing bytes", good + "x", false},
      {"renamed file",
       bytes({0x01}) + str("a.html") + bytes({0x00, 0x01}) + str("c.html") + bytes({0x00, 0x00}),
       false},
      {"one record missing", bytes({0x01}) + str("a.html") + bytes({0x00, 0x00}), false},
      {"one record too many",
       good.substr(0, good.size() - 1) + bytes({0x01}) + str("c.html") + bytes({0x00, 0x00}),
       false},
      {"negative length",
       bytes({0x01, 0x0D}) + "a.html" + bytes({0x00, 0x01}) + str("b.html") + bytes({0x00, 0x00}),
       false},
      {"overlong word count",
       bytes({0x01}) + str("a.html") + bytes({0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}), false},
  };
  for (const auto& c : cases) EXPECT_EQ(isWordListOf(c.data, dir), c.valid) << c.what;
  Recorder recorder;
  feedWordList(good, dir, recorder);
  EXPECT_EQ(recorder.log, "[a.html] Haus[b.html]");
}

class WordListUpdate : public ::testing::Test {
 protected:
  WordListUpdate() {
    testutil::writeFile(tmp / "idx/keep", "");
    testutil::writeFile(tmp / "d/a.html", "<title>x</title><body>mit Haus mit</body>\n");
    testutil::writeFile(tmp / "d/b.html", "");
    for (const char* f : {"d/a.html", "d/b.html"}) testutil::setFileTime(tmp / f, 1000000);
  }
  std::string list(unsigned count) const {
    return std::to_string(count) + "_" + mangleDirectoryName(tmp / "d") + ".index";
  }
  std::string update(const std::vector<std::string>& paths) {
    std::map<std::string, Directory> dirs;
    for (const std::string& p : paths)
      kel::file::scanDirectory(dirs, p, false, false, acceptHtml, nullptr);
    Recorder recorder;
    updateWordLists(tmp / "idx", dirs, false, &recorder);
    return recorder.log;
  }

  testutil::TempDir tmp;
  const std::string expected = bytes({0x01}) + str("a.html") + bytes({0x02}) + str("Haus") +
                               str("mit") + bytes({0x01}) + str("b.html") + bytes({0x00, 0x00});
};

TEST_F(WordListUpdate, RebuildsListsThatAreOldDamagedOrOfOtherFiles) {
  EXPECT_EQ(update({tmp / "d"}), "w[a.html] Haus mit[b.html];");
  EXPECT_EQ(testutil::readFile(tmp / ("idx/" + list(2))), expected);
  const struct {
    std::string content;
    long time;
    std::string log;
  } cases[] = {
      // A list as new as its pages is used as it stands.
      {bytes({0x01}) + str("a.html") + bytes({0x00, 0x01}) + str("b.html") + bytes({0x01}) +
           str("Alt") + bytes({0x00}),
       1000000, "r[a.html][b.html] Alt;"},
      {expected, 999999, "w[a.html] Haus mit[b.html];"},  // older than a page
      {expected.substr(0, expected.size() - 1), 2000000, "w[a.html] Haus mit[b.html];"},
      {bytes({0x01}) + str("a.html") + bytes({0x00, 0x01}) + str("c.html") + bytes({0x00, 0x00}),
       2000000, "w[a.html] Haus mit[b.html];"},  // a page renamed
  };
  for (const auto& c : cases) {
    testutil::writeFile(tmp / ("idx/" + list(2)), c.content);
    testutil::setFileTime(tmp / ("idx/" + list(2)), c.time);
    EXPECT_EQ(update({tmp / "d"}), c.log);
  }
}

TEST_F(WordListUpdate, RemovesOnlyTheDirectorysOwnOlderLists) {
  update({tmp / "d"});
  testutil::writeFile(tmp / "d/c.html", "<body>Neu</body>\n");
  // Temporaries are never taken for word lists; those of killed runs are removed, those of live
  // writers stay, and so do other names.
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string temporary = list(3) + ".tmp." + std::to_string(getpid()) + ".0";
  const std::string other = "3_" + mangleDirectoryName(tmp / "d") + "_x.index";
  testutil::writeFile(tmp / ("idx/" + temporary), "being written");
  testutil::writeFile(tmp / ("idx/global_index.tmp." + std::to_string(dead) + ".3"), "torn");
  testutil::writeFile(tmp / ("idx/" + other), "another directory's list");
  EXPECT_EQ(update({tmp / "d"}), "w[a.html] Haus mit[b.html][c.html] Neu;");
  EXPECT_EQ(testutil::listDirectory(tmp / "idx"),
            (std::vector<std::string>{list(3), temporary, other, "keep"}));
  // A directory that lost all its pages loses all its lists.
  testutil::writeFile(tmp / ("idx/" + list(0)), "");
  for (const char* f : {"a.html", "b.html", "c.html"}) std::remove((tmp / "d/" + f).c_str());
  EXPECT_EQ(update({tmp / "d"}), "");
  EXPECT_EQ(testutil::listDirectory(tmp / "idx"),
            (std::vector<std::string>{temporary, other, "keep"}));
}

TEST_F(WordListUpdate, CollidingDirectoriesKeepTheirOwnLists) {
  testutil::writeFile(tmp / "x/a-b/i.html", "<body>Hund</body>\n");
  testutil::writeFile(tmp / "x/a.b/i.html", "<body>Katze</body>\n");
  const std::string plain = "1_" + mangleDirectoryName(tmp / "x/a-b") + ".index";
  testutil::writeFile(tmp / ("idx/" + plain), "from a time without the collision");
  EXPECT_EQ(update({tmp / "x/a-b", tmp / "x/a.b"}), "w[i.html] Hund;w[i.html] Katze;");
  EXPECT_EQ(update({tmp / "x/a-b", tmp / "x/a.b"}), "r[i.html] Hund;r[i.html] Katze;");
  const std::string hyphen = wordListName(makeDirectory(tmp / "x/a-b", {"i.html"}), true);
  const std::string dot = wordListName(makeDirectory(tmp / "x/a.b", {"i.html"}), true);
  EXPECT_EQ(testutil::listDirectory(tmp / "idx"),
            (std::vector<std::string>{plain, dot, hyphen, "keep"}));
}

}  // namespace

#include "index/global_index.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "index/fingerprints.h"
#include "index/word_list.h"
#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/directory.h"
#include "kel/file/fingerprint.h"
#include "test_util.h"

using kel::file::Directory;

namespace {

using testutil::bytes;
using testutil::str;

bool acceptHtml(const std::string&, const char* name, const struct stat&) {
  const std::string n(name);
  return n.size() > 5 && n.substr(n.size() - 5) == ".html";
}

class GlobalIndex : public ::testing::Test {
 protected:
  GlobalIndex() {
    testutil::writeFile(tmp / "idx/keep", "");
    testutil::writeFile(tmp / "r/d1/a.html", "<title>mit</title><body>Haus mit haus Haus</body>\n");
    testutil::writeFile(tmp / "r/d1/b.html", "");
    testutil::writeFile(tmp / "r/d2/c.html", "<body><p>Haus Garten</p></body>\n");
  }
  void storeFileList(const std::vector<std::string>& paths, bool recursive = false) {
    std::map<std::string, Directory> dirs;
    for (const std::string& p : paths)
      kel::file::scanDirectory(dirs, p, recursive, false, acceptHtml, nullptr);
    kel::file::BinaryFile file(fileList, 1);
    kel::file::storeDirectories(dirs, file);
    file.close();
  }
  // "" or the error; with words, the verbose run's "words = " lines go there.
  std::string update(const std::string& path, IndexBuild build = IndexBuild::incremental,
                     std::string* words = nullptr) {
    testing::internal::CaptureStderr();
    try {
      updateGlobalIndex(fileList, tmp / "idx", path, words != nullptr, build);
    } catch (const kel::err::Error& e) {
      testing::internal::GetCapturedStderr();
      return std::string("error: ") + e.what();
    }
    const std::string log = testing::internal::GetCapturedStderr();
    if (words) {
      words->clear();
      for (std::size_t at = log.find("words = "); at != std::string::npos;
           at = log.find("words = ", at + 1)) {
        *words += log.substr(at, log.find('\n', at) + 1 - at);
      }
    }
    return "";
  }

  testutil::TempDir tmp;
  const std::string fileList = tmp / "idx/files";
  const std::string globalIndex = tmp / "idx/global_index";
};

// An update that starts from the previous global index must write exactly the bytes and the
// progress lines of a build from all word lists, through any sequence of changes, and must not
// build on a previous index that is damaged.
TEST_F(GlobalIndex, StartingFromThePreviousIndexGivesTheSameBytes) {
  std::mt19937 random(11);
  const char* const words[] = {"Haus", "haus", "Garten", "M\xFCller", "mit",
                               "und",  "Baum", "Wald",   "Feld",      "Zeit"};
  const std::string full = tmp / "idx/full_global_index";
  storeFileList({});
  ASSERT_EQ(update(globalIndex), "");
  EXPECT_EQ(testutil::readFile(globalIndex), bytes({0x00, 0x00}));  // an index over no files
  for (const char* f : {"r/d1/a.html", "r/d1/b.html", "r/d2/c.html"})
    testutil::setFileTime(tmp / f, 1000000000);
  for (int round = 0; round < 40; ++round) {
    for (unsigned changes = round == 0 ? 30 : random() % 4; changes > 0; --changes) {
      const std::string dir = tmp / ("r/e" + std::to_string(random() % 8));
      const std::string page = dir + "/p" + std::to_string(random() % 6) + ".html";
      const unsigned kind = random() % 4;
      if (kind == 0 || round == 0) {  // a new or changed page
        std::string text = "<body>";
        for (unsigned i = random() % 6; i > 0; --i) text += std::string(words[random() % 10]) + " ";
        testutil::writeFile(page, text + "</body>\n");
        if (round > 0) testutil::setFileTime(page, time(nullptr) + 10 + round);
      } else if (kind == 1) {
        std::remove(page.c_str());
      } else if (kind == 2) {  // renamed, keeping its time
        std::rename(page.c_str(), (dir + "/q" + std::to_string(random() % 6) + ".html").c_str());
      }
    }
    storeFileList({tmp / "r"}, true);
    std::string incrementalWords, fullWords;
    ASSERT_EQ(update(globalIndex, IndexBuild::incremental, &incrementalWords), "");
    ASSERT_EQ(update(full, IndexBuild::full, &fullWords), "");
    ASSERT_EQ(testutil::readFile(globalIndex), testutil::readFile(full)) << "round " << round;
    ASSERT_EQ(incrementalWords, fullWords) << "round " << round;
  }

  // Damaged previous indices; the word lists are older than them, so a trusted one would be used.
  const std::string good = testutil::readFile(globalIndex);
  const std::string a = str(tmp / "r/d1/a.html");
  const std::string damaged[] = {
      good.substr(0, good.size() - 1),
      bytes({0x02}) + a + a + bytes({0x01}) + str("Baum") + bytes({0x01, 0x01}),  // a path twice
      bytes({0x01}) + a + bytes({0x01}) + str("Baum") + bytes({0x01, 0x02}),      // no such file
      bytes({0x01}) + a + bytes({0x02}) + str("mit") + bytes({0x01, 0x00}) + str("Baum") +
          bytes({0x01, 0x00}),
      bytes({0x01}) + a + bytes({0x01}) + str("Baum") + bytes({0x00}),  // no file
      bytes({0x01}) + a + bytes({0x01, 0x08}) + std::string("Ba\0m", 4) + bytes({0x01, 0x00}),
  };
  for (const std::string& content : damaged) {
    for (const std::string& name : testutil::listDirectory(tmp / "idx")) {
      if (name.find(".index") != std::string::npos)
        testutil::setFileTime(tmp / ("idx/" + name), time(nullptr) - 5);
    }
    testutil::writeFile(globalIndex, content);
    testutil::setFileTime(globalIndex, time(nullptr) + 5);  // later than the word lists' changes
    ASSERT_EQ(update(globalIndex), "");
    EXPECT_EQ(testutil::readFile(globalIndex), good) << content.size();
  }
}

// Whatever replaced the previous index or its word lists, an update writes the bytes of a full
// build. The word lists are dated before everything else, as if nothing had touched them.
TEST_F(GlobalIndex, AnUpdateOverAReplacedIndexGivesTheBytesOfAFullBuild) {
  for (const char* f : {"r/d1/a.html", "r/d1/b.html", "r/d2/c.html"})
    testutil::setFileTime(tmp / f, 1000000000);
  storeFileList({tmp / "r/d1", tmp / "r/d2"});
  ASSERT_EQ(update(globalIndex), "");
  const std::string fingerprints = globalIndex + ".fingerprints";
  const std::string backup = testutil::readFile(globalIndex);
  const std::string backupFingerprints = testutil::readFile(fingerprints);
  // The record names the index by the fingerprint of the bytes written.
  Fingerprints record;
  ASSERT_TRUE(record.load(fingerprints));
  EXPECT_EQ(record.index(), kel::file::fingerprintOf(backup));
  const std::string wordList = tmp / ("idx/1_" + mangleDirectoryName(tmp / "r/d2") + ".index");
  const std::string oldWordList = testutil::readFile(wordList);

  // Another index directory over d1 alone, and one over the same tree.
  const std::string other = tmp / "other/global_index";
  testutil::writeFile(tmp / "other/keep", "");
  {
    std::map<std::string, Directory> dirs;
    kel::file::scanDirectory(dirs, tmp / "r/d1", false, false, acceptHtml, nullptr);
    kel::file::BinaryFile file(tmp / "other/files", 1);
    kel::file::storeDirectories(dirs, file);
    file.close();
    updateGlobalIndex(tmp / "other/files", tmp / "other", other, false, IndexBuild::incremental);
  }
  const std::string same = tmp / "same/global_index";
  testutil::writeFile(tmp / "same/keep", "");
  updateGlobalIndex(fileList, tmp / "same", same, false, IndexBuild::incremental);

  // A new word on a page of d2.
  testutil::writeFile(tmp / "r/d2/c.html", "<body><p>Haus Garten Baum</p></body>\n");
  testutil::setFileTime(tmp / "r/d2/c.html", 1000000100);
  testutil::setFileTime(wordList, 1000000050);
  storeFileList({tmp / "r/d1", tmp / "r/d2"});
  ASSERT_EQ(update(globalIndex), "");
  const std::string current = testutil::readFile(globalIndex);
  const std::string currentFingerprints = testutil::readFile(fingerprints);

  const struct {
    const char* what;
    std::string index, fingerprints, wordList;  // empty: as the last update left it
  } cases[] = {
      {"index restored from a backup", backup, "", ""},
      {"index and fingerprints restored from a backup", backup, backupFingerprints, ""},
      {"index copied in from another index directory", testutil::readFile(other), "", ""},
      {"index and fingerprints of another index directory", testutil::readFile(other),
       testutil::readFile(other + ".fingerprints"), ""},
      {"index and fingerprints of an index directory over the same tree", testutil::readFile(same),
       testutil::readFile(same + ".fingerprints"), ""},
      {"index cut short", current.substr(0, current.size() - 1), "", ""},
      {"word list replaced by an older copy", "", "", oldWordList},
  };
  for (const auto& c : cases) {
    testutil::writeFile(globalIndex, c.index.empty() ? current : c.index);
    testutil::writeFile(fingerprints,
                        c.fingerprints.empty() ? currentFingerprints : c.fingerprints);
    if (!c.wordList.empty()) testutil::writeFile(wordList, c.wordList);
    for (const std::string& name : testutil::listDirectory(tmp / "idx")) {
      if (name.find(".index") != std::string::npos)
        testutil::setFileTime(tmp / ("idx/" + name), 1000000200);
    }
    ASSERT_EQ(update(globalIndex), "") << c.what;
    const std::string full = tmp / "idx/full_global_index";
    std::remove(full.c_str());
    std::remove((full + ".fingerprints").c_str());
    ASSERT_EQ(update(full, IndexBuild::full), "") << c.what;
    EXPECT_EQ(testutil::readFile(globalIndex), testutil::readFile(full)) << c.what;
    EXPECT_EQ(testutil::readFile(fingerprints), testutil::readFile(full + ".fingerprints"))
        << c.what;
    EXPECT_EQ(testutil::readFile(full).find("Baum") != std::string::npos, c.wordList.empty())
        << c.what;
  }
}

}  // namespace

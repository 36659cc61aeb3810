#include "index/global_index.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "index/word_list.h"
#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/directory.h"
#include "test_util.h"

using kel::file::Directory;

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s += static_cast<char>(v);
  return s;
}

// A string as the index files store it (for texts under 64 bytes).
std::string str(const std::string& text) { return bytes({int(text.size() * 2)}) + text; }

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
  void storeFileList(const std::vector<std::string>& paths) {
    std::map<std::string, Directory> dirs;
    for (const std::string& p : paths) kel::file::scanDirectory(dirs, p, false, false, acceptHtml, nullptr);
    kel::file::BinaryFile file(fileList, 1);
    kel::file::storeDirectories(dirs, file);
    file.close();
  }
  std::string update(bool verbose = false) {
    testing::internal::CaptureStderr();
    try {
      updateGlobalIndex(fileList, tmp / "idx", globalIndex, verbose);
    } catch (const kel::err::Error& e) {
      testing::internal::GetCapturedStderr();
      return std::string("error: ") + e.what();
    }
    return testing::internal::GetCapturedStderr();
  }

  testutil::TempDir tmp;
  const std::string fileList = tmp / "idx/files";
  const std::string globalIndex = tmp / "idx/global_index";
};

TEST_F(GlobalIndex, NumbersFilesInTableOrderAndListsWordsInByteOrder) {
  storeFileList({tmp / "r/d2", tmp / "r/d1"});
  EXPECT_EQ(update(), "");
  // Upper-case words sort first; a word twice in a file lists it once; the empty page keeps
  // its number.
  EXPECT_EQ(testutil::readFile(globalIndex),
            bytes({0x03}) + str(tmp / "r/d1/a.html") + str(tmp / "r/d1/b.html") + str(tmp / "r/d2/c.html") +
                bytes({0x04}) + str("Garten") + bytes({0x01, 0x02}) + str("Haus") + bytes({0x02, 0x00, 0x02}) +
                str("haus") + bytes({0x01, 0x00}) + str("mit") + bytes({0x01, 0x00}));
}

TEST_F(GlobalIndex, ReportsProgressWithVerbose) {
  storeFileList({tmp / "r/d1", tmp / "r/d2"});
  const std::string d1List = tmp / ("idx/2_" + mangleDirectoryName(tmp / "r/d1") + ".index");
  const std::string d2List = tmp / ("idx/1_" + mangleDirectoryName(tmp / "r/d2") + ".index");
  EXPECT_EQ(update(true),
            "Updating index " + d1List + "\nScanning 'a.html' (1/2)\nScanning 'b.html' (2/2)\n" +
                "Updating index " + d2List + "\nScanning 'c.html' (1/1)\n" +
                "Updating global index " + globalIndex + "\n" +
                "words = 3 " + tmp / "r/d1" + "\nwords = 4 " + tmp / "r/d2" + "\n");
  // The second update reuses both word lists.
  EXPECT_EQ(update(true), "Updating global index " + globalIndex + "\n" + "words = 3 " + tmp / "r/d1" +
                              "\nwords = 4 " + tmp / "r/d2" + "\n");
}

TEST_F(GlobalIndex, AnIndexOverNoFilesIsTwoZeroBytes) {
  storeFileList({});
  EXPECT_EQ(update(), "");
  EXPECT_EQ(testutil::readFile(globalIndex), bytes({0x00, 0x00}));
}

TEST_F(GlobalIndex, RefusesMissingOrForeignFileListsAndChangesNothing) {
  storeFileList({tmp / "r/d1"});
  const std::string list = testutil::readFile(fileList);
  const struct {
    const char* what;
    std::string content;  // empty: no file list at all
    std::string error;
  } cases[] = {
      {"missing", "", "error: No such file or directory ('" + fileList + "')"},
      {"foreign", str("NOT_A_FILELIST") + bytes({0x02, 0x00}), "error: Illegal filetype ('" + fileList + "')"},
      {"cut short", list.substr(0, list.size() - 3), "error: End of file reached (" + fileList + ")"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(globalIndex, "old index");
    std::remove(fileList.c_str());
    if (!c.content.empty()) testutil::writeFile(fileList, c.content);
    EXPECT_EQ(update(), c.error) << c.what;
    EXPECT_EQ(testutil::readFile(globalIndex), "old index") << c.what;
    EXPECT_EQ(testutil::listDirectory(tmp / "idx").size(), c.content.empty() ? 2u : 3u) << c.what;
  }
}

TEST_F(GlobalIndex, KeepsTheOldIndexWhenTheNewOneCannotBeWritten) {
  storeFileList({tmp / "r/d1"});
  // The index path is a directory: the rename over it fails.
  testutil::writeFile(globalIndex + "/inside", "");
  const std::string result = update();
  EXPECT_EQ(result.substr(0, 7), "error: ") << result;
  EXPECT_EQ(testutil::listDirectory(globalIndex), std::vector<std::string>{"inside"});
  for (const std::string& name : testutil::listDirectory(tmp / "idx")) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  }
}

}  // namespace

namespace {

// An update that starts from the previous global index must write exactly the bytes of a build
// from all word lists (which the progress output of -v forces), through any sequence of changes.
TEST(GlobalIndexUpdate, StartingFromThePreviousIndexGivesTheSameBytes) {
  testutil::TempDir tmp;
  std::mt19937 random(11);
  const char* const words[] = {"Haus", "haus", "Garten", "M\xFCller", "Stra\xDF" "e", "mit", "und", "Baum",
                               "Wald", "Feld", "Zeit", "Weg", "Land", "Berg", "Tal", "See"};
  auto text = [&] {
    std::string t = "<body>";
    for (unsigned i = random() % 6; i > 0; --i) t += std::string(words[random() % 16]) + " ";
    return t + "</body>\n";
  };
  std::set<std::string> pages;
  auto writePage = [&](const std::string& name, long futureSeconds) {
    testutil::writeFile(tmp / ("r/" + name), text());
    if (futureSeconds > 0) testutil::setFileTime(tmp / ("r/" + name), time(nullptr) + futureSeconds);
    pages.insert(name);
  };
  for (int d = 0; d < 6; ++d) {
    for (int f = 0; f < 4; ++f) writePage("d" + std::to_string(d) + "/p" + std::to_string(f) + ".html", 0);
  }
  testutil::writeFile(tmp / "idx/keep", "");
  const std::string fileList = tmp / "idx/files";
  const std::string incremental = tmp / "idx/global_index";
  const std::string full = tmp / "idx/full_global_index";

  for (int round = 0; round < 40; ++round) {
    if (round > 0) {
      for (unsigned changes = random() % 4; changes > 0; --changes) {
        const std::string dir = "d" + std::to_string(random() % 8);
        const std::string page = dir + "/p" + std::to_string(random() % 6) + ".html";
        switch (random() % 4) {
          case 0:  // a new or changed page
            writePage(page, 10 + round);
            break;
          case 1:  // a page removed
            std::remove((tmp / ("r/" + page)).c_str());
            pages.erase(page);
            break;
          case 2:  // a page renamed, keeping its time
            if (pages.count(page)) {
              const std::string to = dir + "/q" + std::to_string(random() % 6) + ".html";
              std::rename((tmp / ("r/" + page)).c_str(), (tmp / ("r/" + to)).c_str());
              pages.erase(page);
              pages.insert(to);
            }
            break;
          default:  // nothing changed
            break;
        }
      }
    }
    std::map<std::string, Directory> dirs;
    kel::file::scanDirectory(dirs, tmp / "r", true, false, acceptHtml, nullptr);
    {
      kel::file::BinaryFile file(fileList, 1);
      kel::file::storeDirectories(dirs, file);
      file.close();
    }
    updateGlobalIndex(fileList, tmp / "idx", incremental, false);
    testing::internal::CaptureStderr();
    updateGlobalIndex(fileList, tmp / "idx", full, true);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(testutil::readFile(incremental), testutil::readFile(full)) << "round " << round;
  }
}

// A previous index that is damaged, or names a path twice, is not trusted: the update builds
// from the word lists.
TEST(GlobalIndexUpdate, DoesNotBuildOnADamagedPreviousIndex) {
  testutil::TempDir tmp;
  testutil::writeFile(tmp / "r/d/a.html", "<body>Haus mit</body>\n");
  testutil::writeFile(tmp / "r/d/b.html", "<body>Baum</body>\n");
  testutil::setFileTime(tmp / "r/d/a.html", 900000000);
  testutil::setFileTime(tmp / "r/d/b.html", 900000000);
  testutil::writeFile(tmp / "idx/keep", "");
  std::map<std::string, Directory> dirs;
  kel::file::scanDirectory(dirs, tmp / "r/d", false, false, acceptHtml, nullptr);
  const std::string fileList = tmp / "idx/files";
  {
    kel::file::BinaryFile file(fileList, 1);
    kel::file::storeDirectories(dirs, file);
    file.close();
  }
  const std::string index = tmp / "idx/global_index";
  updateGlobalIndex(fileList, tmp / "idx", index, false);
  const std::string good = testutil::readFile(index);
  const std::string a = str(tmp / "r/d/a.html");
  const std::string b = str(tmp / "r/d/b.html");
  ASSERT_EQ(good, bytes({0x02}) + a + b + bytes({0x03}) + str("Baum") + bytes({0x01, 0x01}) + str("Haus") +
                      bytes({0x01, 0x00}) + str("mit") + bytes({0x01, 0x00}));
  const std::string damaged[] = {
      good.substr(0, good.size() - 1),
      good + "x",
      bytes({0x02}) + a + a + bytes({0x01}) + str("Baum") + bytes({0x01, 0x01}),           // a path twice
      bytes({0x02}) + a + b + bytes({0x01}) + str("Baum") + bytes({0x01, 0x02}),           // no such file
      bytes({0x02}) + a + b + bytes({0x01}) + str("Baum") + bytes({0x02, 0x01, 0x00}),     // descending
      bytes({0x02}) + a + b + bytes({0x02}) + str("mit") + bytes({0x01, 0x00}) + str("Baum") +
          bytes({0x01, 0x01}),                                                             // unsorted
      bytes({0x02}) + a + b + bytes({0x01}) + str("Baum") + bytes({0x00}),                 // no file
      bytes({0x02}) + a + b + bytes({0x01}) + bytes({0x08}) + std::string("Ba\0m", 4) + bytes({0x01, 0x01}),
  };
  for (const std::string& content : damaged) {
    testutil::writeFile(index, content);
    // Make the word list older than the damaged index, so that it would be taken from there.
    for (const std::string& name : testutil::listDirectory(tmp / "idx")) {
      if (name.find(".index") != std::string::npos) testutil::setFileTime(tmp / ("idx/" + name), 1000000000);
    }
    updateGlobalIndex(fileList, tmp / "idx", index, false);
    EXPECT_EQ(testutil::readFile(index), good) << content.size();
  }
}

}  // namespace

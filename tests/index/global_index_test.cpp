#include "index/global_index.h"

#include <gtest/gtest.h>

#include <map>
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

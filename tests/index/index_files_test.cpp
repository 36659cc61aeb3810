#include "index/index_files.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "kel/file/directory.h"

using kel::file::Directory;

namespace {

Directory makeDirectory(const std::string& path, std::initializer_list<const char*> files) {
  Directory dir;
  dir.path = path;
  for (const char* f : files) dir.add(f, 1000);
  return dir;
}

TEST(IndexFiles, WordListNamesAreTheMangledPathOrForCollisionsADistinctOne) {
  const struct {
    std::string path;
    unsigned files;
    bool distinct;
    std::string name;
  } cases[] = {
      {"/srv/web/docs", 12, false, "12__srv_web_docs.index"},
      {"C:\\web\\docs", 12, false, "12_C__web_docs.index"},
      {"a b-c:d.e", 0, false, "0_a_b_c_d_e.index"},
      {"x/a-b", 2, true, "2_x_a_b.sh.index"},
      {"x/a.b", 2, true, "2_x_a_b.sd.index"},
      {"C:\\a_b", 1, true, "1_C__a_b.cbu.index"},
  };
  for (const auto& c : cases) {
    Directory dir;
    dir.path = c.path;
    for (unsigned i = 0; i < c.files; ++i) dir.files.insert(std::to_string(i));
    EXPECT_EQ(wordListName(dir, c.distinct), c.name) << c.path;
  }
  std::map<std::string, Directory> dirs;
  for (const char* p : {"x/a-b", "x/a.b", "y/a-b"}) dirs[p] = makeDirectory(p, {"i.html"});
  const WordListNames names(dirs);
  EXPECT_TRUE(names.isDistinct(dirs["x/a-b"]));
  EXPECT_TRUE(names.isDistinct(dirs["x/a.b"]));
  EXPECT_FALSE(names.isDistinct(dirs["y/a-b"]));
  // Directories of other indices count; the same path twice is no collision.
  const std::map<std::string, Directory> one{{"y/a-b", dirs["y/a-b"]}};
  EXPECT_FALSE(WordListNames(one, {"y/a-b", "x/a-b"}).isDistinct(dirs["y/a-b"]));
  EXPECT_TRUE(WordListNames(one, {"y/a b"}).isDistinct(dirs["y/a-b"]));
}

TEST(IndexFiles, RecognisesEachKindOfName) {
  const struct {
    const char* name;
    bool fileList, wordList, sameDirectoryAs12x;
    long owner;
  } cases[] = {
      {"files", true, false, false, 0},
      {"news_files", true, false, false, 0},
      {"12_x.index", false, true, true, 0},
      {"3_x.index", false, true, true, 0},
      {"3_y_x.index", false, true, false, 0},
      {"_x.index", false, true, false, 0},
      {"global_index.tmp.4711.0", false, false, false, 4711},
      {"3_x.index.tmp.12.7", false, false, false, 12},
      {"global_index.tmp.1234567890.0", false, false, false, 0},  // no process id that long
      {"a.tmp.12", false, false, false, 0},
      {"a.tmp.12.x", false, false, false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isFileListName(c.name), c.fileList) << c.name;
    EXPECT_EQ(isWordListName(c.name), c.wordList) << c.name;
    EXPECT_EQ(isSameDirectoryWordList(c.name, "12_x.index"), c.sameDirectoryAs12x) << c.name;
    EXPECT_EQ(temporaryOwner(c.name), c.owner) << c.name;
  }
}

}  // namespace

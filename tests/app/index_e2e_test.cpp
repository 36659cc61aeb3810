// The index as the program builds and uses it: the bytes of the file list, the word lists and
// the global index for small trees, the rules that decide what is rebuilt, damaged index files,
// and runs killed in the middle of an update.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "kel/file/fingerprint.h"
#include "test_util.h"

namespace {

using testutil::bytes;
using testutil::str;

// The index files by name, but for the lookup tables: they name their global index's inode and
// time, so their bytes differ from run to run (their own tests check them).
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const std::string& name : testutil::listDirectory(dir)) {
    if (name.size() < 7 || name.compare(name.size() - 7, 7, ".lookup") != 0) {
      files[name] = testutil::readFile(dir + "/" + name);
    }
  }
  return files;
}

class IndexRun : public ::testing::Test {
 protected:
  IndexRun() {
    testutil::writeFile(tmp / "idx/.keep", "");
    testutil::writeFile(tmp / "roots", "web\n-web/skip\n\n");
    page("web/docs/a.html",
         "<html><head><title>Titel</title></head><body>Das Haus mit M&uuml;ller</body></html>\n",
         1000000000);
    page("web/docs/b.html", "<body>haus</body>\n", 1000000100);
    page("web/docs/notes.txt", "<body>Text</body>\n", 1000000000);
    page("web/skip/s.html", "<body>Haus</body>\n", 1000000000);
    page("web/news/n.html", "<body>Haus Neu</body>\n", 1000000200);
    page("web/big.html", "<body>Riesig " + std::string(2048, 'x') + "</body>\n", 1000000000);
  }
  void page(const std::string& name, const std::string& content, long time) {
    testutil::writeFile(tmp / name, content);
    testutil::setFileTime(tmp / name, time);
  }
  testutil::ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), CORVEX_BINARY);
    args.push_back("idx");
    args.push_back("roots");
    return testutil::runProcess(args, tmp.path());
  }
  std::string idx(const std::string& name) const { return tmp / ("idx/" + name); }

  testutil::TempDir tmp;

  const std::string fileList =
      str("KEL_FILELIST") + bytes({0x02, 0x03}) + str("web") +
      bytes({0x00, 0, 0, 0, 0, 0, 0, 0, 0}) + str("web/docs") + bytes({0x02}) + str("a.html") +
      str("b.html") + bytes({0x00, 0xCA, 0x9A, 0x3B, 0x64, 0xCA, 0x9A, 0x3B}) + str("web/news") +
      bytes({0x01}) + str("n.html") + bytes({0xC8, 0xCA, 0x9A, 0x3B, 0xC8, 0xCA, 0x9A, 0x3B});
  const std::string docsList = bytes({0x01}) + str("a.html") + bytes({0x04}) + str("Das") +
                               str("Haus") + str("M\xFCller") + str("mit") + bytes({0x01}) +
                               str("b.html") + bytes({0x01}) + str("haus") + bytes({0x00});
  const std::string newsList =
      bytes({0x01}) + str("n.html") + bytes({0x02}) + str("Haus") + str("Neu") + bytes({0x00});
  const std::string globalIndex =
      bytes({0x03}) + str("web/docs/a.html") + str("web/docs/b.html") + str("web/news/n.html") +
      bytes({0x06}) + str("Das") + bytes({0x01, 0x00}) + str("Haus") + bytes({0x02, 0x00, 0x02}) +
      str("M\xFCller") + bytes({0x01, 0x00}) + str("Neu") + bytes({0x01, 0x02}) + str("haus") +
      bytes({0x01, 0x01}) + str("mit") + bytes({0x01, 0x00});
  // What the global index was built from: its own fingerprint, then each directory's word list's.
  const std::string fingerprints = str("CORVEX_FINGERPRINTS") +
                                   kel::file::fingerprintOf(globalIndex) + bytes({0x02}) +
                                   str("web/docs") + kel::file::fingerprintOf(docsList) +
                                   str("web/news") + kel::file::fingerprintOf(newsList);
};

TEST_F(IndexRun, WritesTheIndexFilesByteForByte) {
  const testutil::ProcessResult r = run({"-b", "2", "Haus"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Overall results: 0 2 \n"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(tmp / "idx"),
            (std::map<std::string, std::string>{{".keep", ""},
                                                {"1_web_news.index", newsList},
                                                {"2_web_docs.index", docsList},
                                                {"files", fileList},
                                                {"global_index", globalIndex},
                                                {"global_index.fingerprints", fingerprints}}));

  // A prefix names other file lists and global indices over the same word lists.
  const testutil::ProcessResult prefixed = run({"-b", "2", "-I", "news", "haus"});
  EXPECT_EQ(prefixed.status, 0) << prefixed.err;
  EXPECT_NE(prefixed.err.find("Overall results: 1 \n"), std::string::npos) << prefixed.err;
  const auto files = snapshot(tmp / "idx");
  EXPECT_EQ(files.size(), 9u);
  EXPECT_EQ(files.at("news_files"), fileList);
  EXPECT_EQ(files.at("news_global_index"), globalIndex);
  EXPECT_EQ(files.at("news_global_index.fingerprints"), fingerprints);
}

TEST_F(IndexRun, ReportsTheUpdateWithVerbose) {
  const testutil::ProcessResult r = run({"-v", "-b", "2", "-i", "HAUS"});
  EXPECT_EQ(r.status, 0) << r.err;
  // The scan lists directories in the order the system gives them.
  EXPECT_EQ(r.err.substr(0, 25), "Scanning directory 'web'\n") << r.err;
  EXPECT_NE(r.err.find("\nSkipping unwanted sub-directory 'web/skip'\n"), std::string::npos)
      << r.err;
  const std::string update =
      "\nUpdating index idx/2_web_docs.index\nScanning 'a.html' (1/2)\nScanning 'b.html' (2/2)\n"
      "Updating index idx/1_web_news.index\nScanning 'n.html' (1/1)\n"
      "Updating global index idx/global_index\nwords = 5 web/docs\nwords = 6 web/news\n"
      "Searching in global index..\nHaus haus done\nResults for 'haus': 0 1 2 \nOverall results: 0 "
      "1 2 \n";
  EXPECT_NE(r.err.find(update), std::string::npos) << r.err;
}

TEST_F(IndexRun, CollectsOnlyRegularFilesAsPages) {
  // A FIFO would block the update, a link to a device feed it without end; a link to a page is
  // a page. The run is stopped after a while should one of them be read after all.
  ASSERT_EQ(::mkfifo((tmp / "web/docs/fifo.html").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/zero", (tmp / "web/docs/zero.html").c_str()), 0);
  ASSERT_EQ(::symlink("a.html", (tmp / "web/docs/link.html").c_str()), 0);
  const testutil::ProcessResult r = testutil::runProcess(
      {"/usr/bin/timeout", "60", CORVEX_BINARY, "-v", "-b", "2", "Haus", "idx", "roots"},
      tmp.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("\nSkipping 'web/docs/fifo.html' (not a regular file)\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\nSkipping 'web/docs/zero.html' (not a regular file)\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Overall results: 0 2 3 \n"), std::string::npos) << r.err;
}

TEST_F(IndexRun, RebuildsOnlyWhatTheRulesAsk) {
  ASSERT_EQ(run({"-b", "2", "Haus"}).status, 0);
  const auto first = snapshot(tmp / "idx");

  // Without -u an existing index is used as it is: a new page is not seen.
  page("web/docs/c.html", "<body>Haus Neu</body>\n", 1000000300);
  testutil::ProcessResult r = run({"-b", "2", "Neu"});
  EXPECT_NE(r.err.find("Overall results: 2 \n"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(tmp / "idx"), first);

  // A missing global index is rebuilt from the stored file list, without a rescan.
  std::remove(idx("global_index").c_str());
  r = run({"-b", "2", "Neu"});
  EXPECT_NE(r.err.find("Overall results: 2 \n"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(tmp / "idx"), first);

  // Touching one page rewrites only its directory's word list.
  std::remove((tmp / "web/docs/c.html").c_str());
  testutil::setFileTime(idx("2_web_docs.index"), 1100000000);
  testutil::setFileTime(idx("1_web_news.index"), 1100000000);
  testutil::setFileTime(tmp / "web/news/n.html", 1200000000);
  r = run({"-u", "-b", "2", "Neu"});
  EXPECT_EQ(testutil::readFile(idx("1_web_news.index")), newsList);
  struct stat info;
  ASSERT_EQ(::stat(idx("2_web_docs.index").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1100000000);
  ASSERT_EQ(::stat(idx("1_web_news.index").c_str(), &info), 0);
  EXPECT_NE(info.st_mtime, 1100000000);

  // A page more: the directory's word list gets the new count in its name.
  page("web/docs/c.html", "<body>Haus Neu</body>\n", 1000000300);
  r = run({"-u", "-b", "2", "Neu"});
  EXPECT_NE(r.err.find("Overall results: 2 3 \n"), std::string::npos) << r.err;
  EXPECT_TRUE(testutil::fileExists(idx("3_web_docs.index")));
  EXPECT_FALSE(testutil::fileExists(idx("2_web_docs.index")));

  // A directory that lost its pages loses its word lists.
  std::remove((tmp / "web/news/n.html").c_str());
  r = run({"-u", "-b", "2", "Neu"});
  EXPECT_NE(r.err.find("Overall results: 2 \n"), std::string::npos) << r.err;
  EXPECT_EQ(testutil::listDirectory(tmp / "idx"),
            (std::vector<std::string>{".keep", "3_web_docs.index", "files", "global_index",
                                      "global_index.fingerprints", "global_index.lookup"}));
}

TEST_F(IndexRun, RefusesDamagedIndexFilesAndChangesNothing) {
  ASSERT_EQ(run({"-b", "2", "Haus"}).status, 0);
  const struct {
    const char* what;
    const char* file;
    std::string content;  // the damaged file; the global index is removed when file is "files"
    std::string error;
  } cases[] = {
      {"global index cut short", "global_index", globalIndex.substr(0, globalIndex.size() - 2),
       "\nError in Corvex: End of file reached (idx/global_index)\n"},
      {"foreign global index", "global_index", "just text\n",
       "\nError in Corvex: End of file reached (idx/global_index)\n"},
      {"foreign file list", "files", str("NOT_A_FILELIST") + bytes({0x02, 0x00}),
       "\nError in Corvex: Illegal filetype ('idx/files')\n"},
      {"file list cut short", "files", fileList.substr(0, fileList.size() - 5),
       "\nError in Corvex: End of file reached (idx/files)\n"},
  };
  for (const auto& c : cases) {
    const auto good = snapshot(tmp / "idx");
    testutil::writeFile(idx(c.file), c.content);
    if (std::string(c.file) == "files") std::remove(idx("global_index").c_str());
    const auto before = snapshot(tmp / "idx");
    const testutil::ProcessResult r = run({"-b", "2", "Haus"});
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.err, c.error) << c.what;
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_EQ(snapshot(tmp / "idx"), before) << c.what;
    for (const auto& [name, content] : good) testutil::writeFile(idx(name), content);
  }
}

TEST_F(IndexRun, AKilledUpdateLeavesAnIndexThatIsUsedCorrectlyOrRebuilt) {
  // Enough pages that an update takes a while.
  std::string words;
  for (int d = 0; d < 40; ++d) {
    for (int f = 0; f < 10; ++f) {
      std::string text = "<body>";
      for (int w = 0; w < 200; ++w)
        text += "wort" + std::to_string((d * 7 + f * 13 + w * 31) % 997) + "x ";
      if ((d + f) % 3 == 0) text += "Treffer";
      testutil::writeFile(
          tmp / ("web/many" + std::to_string(d) + "/p" + std::to_string(f) + ".html"),
          text + "</body>\n");
    }
  }
  testutil::writeFile(tmp / "roots", "web\n");
  testutil::writeFile(tmp / "ref/.keep", "");
  const testutil::ProcessResult reference =
      testutil::runProcess({CORVEX_BINARY, "-u", "Treffer", "ref", "roots"}, tmp.path());
  ASSERT_EQ(reference.status, 0) << reference.err;

  for (const int delayMs : {0, 1, 2, 4, 8, 15, 25, 40, 70, 120}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (chdir(tmp.path().c_str()) != 0) _exit(126);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(CORVEX_BINARY, CORVEX_BINARY, "-u", "Treffer", "idx", "roots",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    usleep(delayMs * 1000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);

    const testutil::ProcessResult after = run({"Treffer"});
    EXPECT_EQ(after.status, 0) << delayMs << after.err;
    EXPECT_EQ(after.err, reference.err) << delayMs;
    for (const std::string& name : testutil::listDirectory(tmp / "idx")) {
      if (name.size() > 6 && name.substr(name.size() - 6) == ".index") {
        EXPECT_TRUE(testutil::fileExists(tmp / ("ref/" + name))) << delayMs << " " << name;
      }
    }
  }
  EXPECT_EQ(testutil::readFile(idx("global_index")), testutil::readFile(tmp / "ref/global_index"));
}

}  // namespace

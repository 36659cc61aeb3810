#include "search/candidate_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

// Paths into a folder; file numbers divisible by 7 are not in the index.
class FolderPaths : public PathSource {
 public:
  explicit FolderPaths(const testutil::TempDir& dir) : dir_(dir) {}
  std::string path(unsigned file) const override {
    if (file % 7 == 0) throw kel::err::Error("End of file reached (index)");
    return dir_ / ("p" + std::to_string(file) + ".html");
  }

 private:
  const testutil::TempDir& dir_;
};

std::string describe(const CandidateOutcome& o) {
  std::string failure;
  if (o.failure) {
    try {
      std::rethrow_exception(o.failure);
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  return o.path + "|" + o.result.title + "|" + o.result.text + "|" + o.log + "|" + failure;
}

// Whatever the number of threads, the outcomes and their log lines are those of reading the
// candidates one after the other, and a reader dropped early stops cleanly.
TEST(CandidateReader, OutcomesInCandidateOrder) {
  testutil::TempDir dir;
  std::vector<unsigned> numbers;
  for (unsigned i = 1; i <= 120; ++i) {
    numbers.push_back(i);
    if (i % 5 == 0) continue;  // missing page: no result
    std::ofstream(dir / ("p" + std::to_string(i) + ".html"))
        << "<title>T" << i << "</title><body>" << (i % 3 == 0 ? "haus " : "baum ") << i
        << "</body>";
  }
  const Candidates candidates(std::make_shared<FolderPaths>(dir), numbers);
  std::list<SearchTerm> terms;
  terms.emplace_back("haus", boost::regex::normal);
  std::ostringstream log;
  ResultTextOptions options;
  options.log = &log;

  std::vector<std::string> alone;
  CandidateReader one(candidates, terms, options, 1);
  for (std::size_t i = 0; i < candidates.size(); ++i) alone.push_back(describe(one.take(i)));
  EXPECT_NE(alone[2].find("Search in "), std::string::npos) << alone[2];
  EXPECT_NE(alone[6].find("End of file reached"), std::string::npos) << alone[6];

  for (unsigned threads : {2u, 3u, 8u}) {
    for (std::size_t sure : {std::size_t{0}, std::size_t{50}, candidates.size()}) {
      CandidateReader many(candidates, terms, options, threads, sure);
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        ASSERT_EQ(describe(many.take(i)), alone[i])
            << threads << " threads, " << sure << " sure, candidate " << i;
      }
      CandidateReader dropped(candidates, terms, options, threads, sure);
      for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(describe(dropped.take(i)), alone[i]);
    }
  }
  EXPECT_EQ(log.str(), "");  // every line went to its candidate's own log
}

}  // namespace

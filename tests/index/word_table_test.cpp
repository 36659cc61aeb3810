#include "index/word_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kel/file/byte_codec.h"

namespace {

// Against the plain model of what the table holds: random words (short ones kept in their
// entries, long ones beside them), file numbers in all encoded lengths, words repeated within a
// file, enough postings for several batches and for the table to grow many times.
TEST(WordTable, HoldsWhatAMapOfSetsHolds) {
  std::mt19937 random(7);
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 20000; ++i) {
    std::string word(1 + random() % (i % 10 == 0 ? 60 : 12), 'a');
    for (char& c : word) c = static_cast<char>('A' + random() % 58);
    vocabulary.push_back(word);
  }
  std::map<std::string, std::set<unsigned>> model;
  WordTable table;
  unsigned file = 0;
  for (int pages = 0; pages < 600; ++pages) {
    file += 1 + random() % 100;
    for (int k = 0; k < 400; ++k) {
      const std::string& word = vocabulary[random() % (1 + random() % 20000)];
      table.add(word, file);
      model[word].insert(file);
    }
    if (random() % 4 == 0) table.drain();
  }
  table.finish();

  ASSERT_EQ(table.size(), model.size());
  const std::vector<WordTable::View> sorted = table.sorted();
  auto expected = model.begin();
  for (const WordTable::View& entry : sorted) {
    ASSERT_EQ(entry.word, expected->first);
    ASSERT_EQ(entry.count, expected->second.size()) << entry.word;
    kel::file::ByteReader reader(entry.numbers, "numbers");
    for (const unsigned number : expected->second) ASSERT_EQ(reader.readUInt(), number);
    EXPECT_TRUE(reader.atEnd());
    ++expected;
  }
}

}  // namespace

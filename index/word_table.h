// The word table of the global index while it is built: every distinct word once, with the
// ascending numbers of the files that hold it.
#ifndef CORVEX_INDEX_WORD_TABLE_H
#define CORVEX_INDEX_WORD_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// word -> ascending file numbers, each number once per word; filled posting by posting.
//
// Use: add() the postings of a word list, drain() when its bytes go away, and finish() once all
// are added; then sorted() gives the table.
class WordTable {
 public:
  WordTable();

  // Counts word for file: word's file numbers gain file unless it is already the last of them.
  // REQUIRES: file is not less than any file added before.
  // REQUIRES: word's bytes stay valid until the next drain() or finish().
  void add(std::string_view word, unsigned file);

  // Takes in every word added so far; their bytes may go away after it.
  void drain();

  // Completes every word's file numbers. REQUIRES: before sorted(); no add() after it.
  void finish();

  // The number of distinct words added before the last drain() or finish().
  std::size_t size() const { return entries_.size(); }

  // One word with its file count and its file numbers in the unsigned encoding.
  struct View {
    std::string_view word;
    unsigned count;
    std::string_view numbers;
  };

  // Every word in ascending byte order; the views stay valid as long as the table.
  // REQUIRES: finish() was called.
  std::vector<View> sorted() const;

 private:
  // Speed, each trick measured with WORD_TABLE_PAGES=100000 build/bench/word_table_bench (28 M
  // postings; the least of three runs on a shared machine: 1.74 s with all of them):
  // - words are found through an open-addressing table of small slots over cache-line entries
  //   that hold a short word themselves, so a lookup touches two cache lines at most (1.99 s
  //   with every word kept apart from its entry);
  // - add() queues a word for a few calls and fetches its slot, then its entry, ahead (1.87 s
  //   without the queue);
  // - postings are appended in batches sorted by entry, each entry's numbers already encoded,
  //   instead of one by one in the random order the words come in (2.36 s without the batches).
  struct Slot {
    std::uint32_t tag = 0;    // low bits of the word's hash
    std::uint32_t entry = 0;  // 1 + index into entries_; 0: free
  };
  struct alignas(64) Entry {
    // The word itself when it fits, else where it starts in words_.
    union {
      char inlineWord[24];
      std::size_t wordStart;
    } text = {};
    std::uint32_t wordLength = 0;
    std::uint32_t count = 0;
    std::uint32_t last = 0;
    std::vector<unsigned char> numbers;  // the file numbers, encoded
  };
  static_assert(sizeof(Entry) == 64, "an entry fills exactly one cache line");
  struct Posting {
    std::uint32_t entry;
    std::uint32_t file;
  };
  struct Queued {
    std::string_view word;
    std::uint64_t hash;
    unsigned file;
  };
  static constexpr std::size_t kBatch = 1 << 16;
  static constexpr std::size_t kQueue = 16;

  std::string_view wordOf(const Entry& entry) const;
  void insert(std::string_view word, unsigned file, std::uint64_t hash);
  void post(std::uint32_t entry, unsigned file);
  void appendPending();
  static void append(Entry& entry, unsigned file);
  void grow();

  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::vector<Entry> entries_;
  std::string words_;  // the words too long for their entry
  std::vector<Posting> pending_;
  std::vector<Posting> scratch_;
  Queued queue_[kQueue] = {};
  std::size_t front_ = 0;
  std::size_t queued_ = 0;
  bool finished_ = false;
};

#endif

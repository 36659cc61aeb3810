#include "index/global_index.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <unordered_map>
#include <string_view>
#include <utility>
#include <vector>

#include "app/options.h"
#include "kel/file/byte_codec.h"
#include "kel/file/file_util.h"
#include "kel/file/mapped_file.h"
#include "index/index_files.h"
#include "index/word_list.h"
#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/directory.h"
#include "kel/file/fingerprint.h"

using kel::file::Directory;

namespace {

// A hash of a word, reading it eight bytes at a time.
std::uint64_t hashWord(std::string_view word) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ word.size();
  const char* p = word.data();
  std::size_t n = word.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    h = (h ^ v) * 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 31;
  }
  if (n > 0) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, n);
    h = (h ^ v) * 0x94D049BB133111EBULL;
    h ^= h >> 29;
  }
  h *= 0xFF51AFD7ED558CCDULL;
  return h ^ (h >> 32);
}

// The word table of the global index while it is built: every distinct word once, with the
// numbers of the files that hold it. File numbers arrive in ascending order, so each word's
// numbers are appended, already encoded, to its own byte vector; no node per posting.
// Words live in one character arena and are found through an open-addressing hash table.
class WordTable {
 public:
  WordTable() : slots_(1024) {}

  // Counts word for file. The word's bytes must stay valid until the next drain(): words wait
  // in a short queue, so that their slots and entries can be fetched from memory while the
  // words in front of them are looked up.
  void add(std::string_view word, unsigned file) {
    const std::uint64_t hash = hashWord(word);
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    if (queued_ == kQueue) {
      const Queued& first = queue_[front_];
      insert(first.word, first.file, first.hash);
      front_ = (front_ + 1) % kQueue;
      --queued_;
    }
    queue_[(front_ + queued_) % kQueue] = Queued{word, hash, file};
    ++queued_;
    if (queued_ > kQueue / 2) {
      // Half-way through the queue the slot has arrived; fetch the entry it names.
      const Queued& middle = queue_[(front_ + queued_ - 1 - kQueue / 2) % kQueue];
      const Slot slot = slots_[middle.hash & (slots_.size() - 1)];
      if (slot.entry != 0) __builtin_prefetch(&entries_[slot.entry - 1]);
    }
  }

  // Looks up every queued word. size() and sorted() count only words added before a drain().
  void drain() {
    for (; queued_ > 0; --queued_) {
      const Queued& first = queue_[front_];
      insert(first.word, first.file, first.hash);
      front_ = (front_ + 1) % kQueue;
    }
  }

 private:
  void insert(std::string_view word, unsigned file, std::uint64_t hash) {
    const auto tag = static_cast<std::uint32_t>(hash);
    std::size_t i = hash & (slots_.size() - 1);
    for (;; i = (i + 1) & (slots_.size() - 1)) {
      const Slot slot = slots_[i];
      if (slot.entry == 0) break;
      if (slot.tag == tag) {
        Entry& entry = entries_[slot.entry - 1];
        if (wordOf(entry) == word) {
          post(slot.entry - 1, file);
          return;
        }
      }
    }
    Entry entry;
    entry.wordLength = word.size();
    if (word.size() <= sizeof entry.text.inlineWord) {
      std::copy(word.begin(), word.end(), entry.text.inlineWord);
    } else {
      entry.text.wordStart = words_.size();
      words_.append(word.data(), word.size());
    }
    entries_.push_back(std::move(entry));
    slots_[i] = Slot{tag, static_cast<std::uint32_t>(entries_.size())};
    post(static_cast<std::uint32_t>(entries_.size() - 1), file);
    if (entries_.size() * 2 > slots_.size()) grow();
  }


 public:
  std::size_t size() const { return entries_.size(); }

  // One word with its file count and encoded file numbers.
  struct View {
    std::string_view word;
    unsigned count;
    std::string_view numbers;
  };

  // The entries in ascending byte order of the words.
  std::vector<View> sorted() const {
    flush();
    std::vector<View> views;
    views.reserve(entries_.size());
    for (const Entry& entry : entries_) {
      views.push_back(View{wordOf(entry), entry.count,
                           std::string_view(reinterpret_cast<const char*>(entry.numbers.data()),
                                            entry.numbers.size())});
    }
    std::sort(views.begin(), views.end(),
              [](const View& a, const View& b) { return a.word < b.word; });
    return views;
  }

 private:
  struct Slot {
    std::uint32_t tag = 0;    // low bits of the word's hash
    std::uint32_t entry = 0;  // 1 + index into entries_; 0: free
  };
  // One cache line: a short word is kept here, so that finding it touches nothing else.
  struct alignas(64) Entry {
    // The word itself when it fits, else where it starts in words_. Sharing the space keeps the
    // entry within its cache line.
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

  std::string_view wordOf(const Entry& entry) const {
    if (entry.wordLength <= sizeof entry.text.inlineWord) {
      return {entry.text.inlineWord, entry.wordLength};
    }
    return std::string_view(words_).substr(entry.text.wordStart, entry.wordLength);
  }

  // Postings are gathered and appended in batches ordered by entry: appending them one by one
  // would visit the entries, and the ends of their numbers, in random order.
  struct Posting {
    std::uint32_t entry;
    std::uint32_t file;
  };
  static constexpr std::size_t kBatch = 1 << 16;

  void post(std::uint32_t entry, unsigned file) {
    pending_.push_back(Posting{entry, file});
    if (pending_.size() >= kBatch) flush();
  }

  // Appends the pending postings, sorted by entry (a stable radix sort, so each entry's files
  // keep their ascending order).
  void flush() const {
    if (pending_.empty()) return;
    scratch_.resize(pending_.size());
    for (unsigned shift = 0; (entries_.size() - 1) >> shift != 0; shift += 11) {
      std::size_t counts[2049] = {};
      for (const Posting& p : pending_) ++counts[((p.entry >> shift) & 0x7FF) + 1];
      for (int b = 0; b < 2048; ++b) counts[b + 1] += counts[b];
      for (const Posting& p : pending_) scratch_[counts[(p.entry >> shift) & 0x7FF]++] = p;
      pending_.swap(scratch_);
    }
    // The entries come in ascending order but far apart, and the ends of their numbers lie
    // anywhere on the heap: fetch the entries some postings ahead, the ends of their numbers
    // when they are half-way.
    constexpr std::size_t kAhead = 8;
    const std::size_t n = pending_.size();
    for (std::size_t k = 0; k < n; ++k) {
      if (k + 2 * kAhead < n) __builtin_prefetch(&entries_[pending_[k + 2 * kAhead].entry]);
      if (k + kAhead < n) {
        const std::vector<unsigned char>& ahead = entries_[pending_[k + kAhead].entry].numbers;
        __builtin_prefetch(ahead.data() + ahead.size());
      }
      append(entries_[pending_[k].entry], pending_[k].file);
    }
    pending_.clear();
  }

  static void append(Entry& entry, unsigned file) {
    // A word twice in one record lists its file once.
    if (entry.count != 0 && entry.last == file) return;
    entry.last = file;
    ++entry.count;
    std::vector<unsigned char>& out = entry.numbers;
    if (file < 0x80) {
      out.push_back(static_cast<unsigned char>(file));
    } else if (file < 0x4000) {
      out.push_back(static_cast<unsigned char>(0x80 | (file >> 8)));
      out.push_back(static_cast<unsigned char>(file));
    } else {
      std::string encoded;
      kel::file::appendUInt(encoded, file);
      out.insert(out.end(), encoded.begin(), encoded.end());
    }
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.entry == 0) continue;
      const std::uint64_t hash = hashWord(wordOf(entries_[slot.entry - 1]));
      std::size_t i = hash & (slots_.size() - 1);
      while (slots_[i].entry != 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  // Mutable: the pending postings are appended on the first look at the entries.
  mutable std::vector<Entry> entries_;
  std::string words_;
  mutable std::vector<Posting> pending_;
  mutable std::vector<Posting> scratch_;

  struct Queued {
    std::string_view word;
    std::uint64_t hash;
    unsigned file;
  };
  static constexpr std::size_t kQueue = 16;
  Queued queue_[kQueue] = {};
  std::size_t front_ = 0;
  std::size_t queued_ = 0;
};

// What a global index was built from, kept beside it in "<global index>.fingerprints": the
// fingerprint of the global index's bytes, and for every directory whose files it holds the
// fingerprint of the word list it read them from. Format (primitives of kel::file::BinaryFile):
//   "CORVEX_FINGERPRINTS" (string), index fingerprint (16 bytes), directory count D (uint),
//   D times: directory path (string), word-list fingerprint (16 bytes).
// The fingerprints are raw bytes, not strings: a string would end at a NUL byte.
// The postings of a directory in a previous index can be taken over only when its index
// fingerprint is that of the index's bytes and the directory's word list has the fingerprint
// recorded for it: they then come from exactly that word list.
class Fingerprints {
 public:
  void add(const std::string& directory, std::string_view wordList) {
    directories_[directory] = kel::file::fingerprintOf(wordList);
  }

  // The fingerprint recorded for directory, or "" when there is none.
  std::string of(const std::string& directory) const {
    const auto found = directories_.find(directory);
    return found == directories_.end() ? std::string() : found->second;
  }
  const std::string& index() const { return index_; }

  // False when path is missing or not a complete fingerprints file.
  bool load(const std::string& path) {
    try {
      kel::file::BinaryFile file(path, 0);
      std::string text;
      kel::file::read(file, text);
      if (text != kMagic) return false;
      index_ = readDigest(file);
      for (unsigned n = file.readUInt(); n > 0; --n) {
        kel::file::read(file, text);
        directories_[text] = readDigest(file);
      }
      return file.atEnd();
    } catch (const kel::err::Error&) {
      return false;
    }
  }

  // Replaces the file path with these fingerprints and index as the index fingerprint.
  void write(const std::string& path, const std::string& index) const {
    kel::file::BinaryFile file(path, 1);
    kel::file::write(file, kMagic);
    file.writeBytes(index.data(), index.size());
    file.writeUInt(static_cast<unsigned>(directories_.size()));
    for (const auto& [directory, fingerprint] : directories_) {
      kel::file::write(file, directory);
      file.writeBytes(fingerprint.data(), fingerprint.size());
    }
    file.close();
  }

 private:
  static std::string readDigest(kel::file::BinaryFile& file) {
    std::string digest(16, '\0');
    file.readBytes(digest.data(), digest.size());
    return digest;
  }

  static constexpr const char* kMagic = "CORVEX_FINGERPRINTS";
  std::string index_;
  std::map<std::string, std::string> directories_;
};

// Collects the file paths and the word table from the word lists.
class GlobalIndexBuilder : public WordListConsumer {
 public:
  bool beginDirectory(const Directory& dir, bool, std::string_view bytes) override {
    fingerprints_.add(dir.path, bytes);
    return true;
  }

  void file(const Directory& dir, std::string_view name) override {
    paths_.push_back(dir.fullName(std::string(name)));
    current_ = static_cast<unsigned>(paths_.size() - 1);
  }

  void word(std::string_view word) override { table_.add(word, current_); }

  void endDirectory(const Directory& dir) override {
    table_.drain();  // the directory's word list goes away
    progress_.emplace_back(table_.size(), dir.path);
  }

  void printProgress(std::ostream& os) const {
    std::string text;
    for (const auto& [words, path] : progress_) {
      text += "words = " + std::to_string(words) + " " + path + "\n";
    }
    os << text;
  }

  // Writes the index to path, and beside it the fingerprints of what it was built from.
  void write(const std::string& path) const {
    kel::file::BinaryFile file(path, 1);
    const auto flush = [&file](std::string& buffer) {
      file.writeBytes(buffer.data(), buffer.size());
      buffer.clear();
    };
    std::string buffer;
    kel::file::appendUInt(buffer, static_cast<unsigned>(paths_.size()));
    for (const std::string& p : paths_) {
      kel::file::appendString(buffer, p);
      if (buffer.size() >= (1u << 20)) flush(buffer);
    }
    kel::file::appendUInt(buffer, static_cast<unsigned>(table_.size()));
    for (const WordTable::View& entry : table_.sorted()) {
      kel::file::appendString(buffer, entry.word);
      kel::file::appendUInt(buffer, entry.count);
      buffer += entry.numbers;
      if (buffer.size() >= (1u << 20)) flush(buffer);
    }
    flush(buffer);
    file.close();
    fingerprints_.write(fingerprintsPath(path), file.writtenFingerprint());
  }

 private:
  std::vector<std::string> paths_;
  unsigned current_ = 0;
  WordTable table_;
  std::vector<std::pair<std::size_t, std::string>> progress_;
  Fingerprints fingerprints_;
};

// The global index an update replaces, when it can serve as the base of the new one: the index
// its fingerprints describe, complete, every path once, words strictly ascending, each word's
// file numbers valid and strictly ascending.
class PreviousIndex {
 public:
  // False when path does not exist or is not such an index.
  bool load(const std::string& path) {
    try {
      if (!fingerprints_.load(fingerprintsPath(path))) return false;
      file_ = std::make_unique<kel::file::MappedFile>(path);
      bytes_ = file_->view();
      // Restored from a backup, copied in, cut short, written by a run that did not finish:
      // nothing vouches for its postings.
      if (kel::file::fingerprintOf(bytes_) != fingerprints_.index()) return false;
      kel::file::ByteReader reader(bytes_, path);
      fileCount_ = reader.readUInt();
      for (unsigned i = 0; i < fileCount_; ++i) {
        if (!numbers_.emplace(reader.readString(), i).second) return false;
      }
      wordCount_ = reader.readUInt();
      entriesStart_ = reader.position();
      std::string_view previous;
      for (unsigned w = 0; w < wordCount_; ++w) {
        const std::size_t start = reader.position();
        const std::string_view word = reader.readString();
        // A word cut at a NUL byte would not be written back as it stands.
        if (reader.position() - start != kel::file::uintLength(static_cast<unsigned char>(bytes_[start])) + word.size()) {
          return false;
        }
        if (w > 0 && !(previous < word)) return false;
        previous = word;
        const unsigned count = reader.readUInt();
        if (count == 0) return false;
        unsigned last = 0;
        for (unsigned k = 0; k < count; ++k) {
          const unsigned number = reader.readUInt();
          if (number >= fileCount_ || (k > 0 && number <= last)) return false;
          last = number;
        }
      }
      return reader.atEnd();
    } catch (const kel::err::Error&) {
      return false;
    }
  }

  const Fingerprints& fingerprints() const { return fingerprints_; }
  unsigned fileCount() const { return fileCount_; }
  // The number of a full path, or -1.
  long find(const std::string& path) const {
    const auto found = numbers_.find(path);
    return found == numbers_.end() ? -1 : static_cast<long>(found->second);
  }
  kel::file::ByteReader entries(const std::string& name) const {
    kel::file::ByteReader reader(bytes_, name);
    reader.skipTo(entriesStart_);
    return reader;
  }
  unsigned wordCount() const { return wordCount_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::unique_ptr<kel::file::MappedFile> file_;
  std::string_view bytes_;
  Fingerprints fingerprints_;
  unsigned fileCount_ = 0;
  unsigned wordCount_ = 0;
  std::size_t entriesStart_ = 0;
  std::unordered_map<std::string_view, unsigned> numbers_;
};

// Builds the new global index from the previous one: the postings of every directory whose
// word list is the one the previous index was built from (by its fingerprint) are taken from the
// previous index with their files renumbered; only the other directories' word lists are read.
// Gives the same bytes as building from all word lists, at the cost of one pass over the
// previous index instead of a hash lookup per posting.
class IncrementalBuilder : public WordListConsumer {
 public:
  explicit IncrementalBuilder(const PreviousIndex& previous)
      : previous_(previous), renumbered_(previous.fileCount(), unused) {}

  bool beginDirectory(const Directory& dir, bool, std::string_view bytes) override {
    fingerprints_.add(dir.path, bytes);
    if (fingerprints_.of(dir.path) != previous_.fingerprints().of(dir.path)) return true;
    std::vector<unsigned> old;
    for (const std::string& name : dir.files) {
      const long number = previous_.find(dir.fullName(name));
      if (number < 0 || renumbered_[number] != unused) return true;
      old.push_back(static_cast<unsigned>(number));
    }
    for (std::size_t i = 0; i < old.size(); ++i) {
      renumbered_[old[i]] = static_cast<unsigned>(paths_.size() + i);
    }
    for (const std::string& name : dir.files) paths_.push_back(dir.fullName(name));
    return false;
  }

  void file(const Directory& dir, std::string_view name) override {
    paths_.push_back(dir.fullName(std::string(name)));
    current_ = static_cast<unsigned>(paths_.size() - 1);
  }

  void word(std::string_view word) override { fresh_.add(word, current_); }

  void endDirectory(const Directory&) override { fresh_.drain(); }

  // Writes the index to path, and beside it the fingerprints of what it was built from.
  void write(const std::string& path) const {
    std::string entries;
    entries.reserve(previous_.size() + previous_.size() / 8);
    unsigned wordCount = 0;
    const std::vector<WordTable::View> fresh = fresh_.sorted();
    auto next = fresh.begin();
    std::vector<unsigned> numbers;
    std::vector<unsigned> merged;
    auto emit = [&](std::string_view word, const std::vector<unsigned>& list) {
      if (list.empty()) return;
      kel::file::appendString(entries, word);
      kel::file::appendUInt(entries, static_cast<unsigned>(list.size()));
      for (const unsigned n : list) kel::file::appendUInt(entries, n);
      ++wordCount;
    };
    auto decode = [](std::string_view encoded, unsigned count, std::vector<unsigned>& out) {
      kel::file::ByteReader reader(encoded, std::string());
      for (unsigned k = 0; k < count; ++k) out.push_back(reader.readUInt());
    };

    kel::file::ByteReader reader = previous_.entries(path);
    for (unsigned w = previous_.wordCount(); w > 0; --w) {
      const std::string_view word = reader.readString();
      numbers.clear();
      for (unsigned k = reader.readUInt(); k > 0; --k) {
        const unsigned renumbered = renumbered_[reader.readUInt()];
        if (renumbered != unused) numbers.push_back(renumbered);
      }
      for (; next != fresh.end() && next->word < word; ++next) {
        merged.clear();
        decode(next->numbers, next->count, merged);
        emit(next->word, merged);
      }
      merged.clear();
      if (next != fresh.end() && next->word == word) {
        decode(next->numbers, next->count, merged);
        ++next;
      }
      // Renumbering keeps the order unless two directories trade places; then sort.
      if (!std::is_sorted(numbers.begin(), numbers.end())) std::sort(numbers.begin(), numbers.end());
      const std::size_t middle = merged.size();
      merged.insert(merged.end(), numbers.begin(), numbers.end());
      std::inplace_merge(merged.begin(), merged.begin() + middle, merged.end());
      emit(word, merged);
    }
    for (; next != fresh.end(); ++next) {
      merged.clear();
      decode(next->numbers, next->count, merged);
      emit(next->word, merged);
    }

    kel::file::BinaryFile file(path, 1);
    std::string head;
    kel::file::appendUInt(head, static_cast<unsigned>(paths_.size()));
    for (const std::string& p : paths_) kel::file::appendString(head, p);
    kel::file::appendUInt(head, wordCount);
    file.writeBytes(head.data(), head.size());
    // In pieces, so that the file's own buffer stays small.
    constexpr std::size_t piece = 1 << 20;
    for (std::size_t start = 0; start < entries.size(); start += piece) {
      file.writeBytes(entries.data() + start, std::min(piece, entries.size() - start));
    }
    file.close();
    fingerprints_.write(fingerprintsPath(path), file.writtenFingerprint());
  }

 private:
  static constexpr unsigned unused = ~0u;
  const PreviousIndex& previous_;
  std::vector<unsigned> renumbered_;  // new number of each file of the previous index
  std::vector<std::string> paths_;
  unsigned current_ = 0;
  WordTable fresh_;
  Fingerprints fingerprints_;
};

}  // namespace

void updateGlobalIndex(const std::string& filesListPath, const std::string& indexDir,
                       const std::string& globalPath, bool verbose) {
  std::map<std::string, Directory> dirs;
  {
    kel::file::BinaryFile file(filesListPath, 0);
    kel::file::loadDirectories(dirs, file);
    file.close();
  }
  // The progress lines count the words directory by directory, which only a build from all
  // word lists knows; without them the previous index saves hashing words of unchanged word
  // lists. Both give the same bytes.
  PreviousIndex previous;
  if (!verbose && previous.load(globalPath)) {
    IncrementalBuilder builder(previous);
    updateWordLists(indexDir, dirs, verbose, &builder);
    builder.write(globalPath);
    return;
  }
  GlobalIndexBuilder builder;
  updateWordLists(indexDir, dirs, verbose, &builder);
  if (verbose) {
    std::cerr << "Updating global index " << globalPath << "\n";
    builder.printProgress(std::cerr);
  }
  builder.write(globalPath);
}

void updateGlobalIndex(const std::string& filesListPath) {
  updateGlobalIndex(filesListPath, argIndexDir.value(), globalIndexPath(), optVerbose.isActive());
}

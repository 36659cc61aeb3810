#include "index/global_index.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/options.h"
#include "index/fingerprints.h"
#include "index/lookup_table.h"
#include "index/word_list.h"
#include "index/word_table.h"
#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/byte_codec.h"
#include "kel/file/directory.h"
#include "kel/file/fingerprint.h"
#include "kel/file/mapped_file.h"

using kel::file::Directory;

namespace {

// Writes a global index: its file paths and word count, then its entries; once the index is in
// place, the lookup table derived from it, then the record of what it was built from.
class GlobalIndexWriter {
 public:
  GlobalIndexWriter(const std::string& path, const std::vector<std::string>& paths,
                    unsigned wordCount)
      : path_(path), file_(path, 1) {
    kel::file::appendUInt(buffer_, static_cast<unsigned>(paths.size()));
    for (const std::string& p : paths) {
      lookup_.addPath(offset());
      kel::file::appendString(buffer_, p);
      flushWhenFull();
    }
    kel::file::appendUInt(buffer_, wordCount);
  }

  // One entry: word, count and its file numbers already in the unsigned encoding.
  void entry(std::string_view word, unsigned count, std::string_view numbers) {
    const std::uint64_t start = offset();
    kel::file::appendString(buffer_, word);
    kel::file::appendUInt(buffer_, count);
    buffer_ += numbers;
    lookup_.addEntry(word, start, offset() - start);
    flushWhenFull();
  }

  // Entries already encoded, of the given byte lengths.
  void entries(std::string_view encoded, const std::vector<std::uint32_t>& lengths) {
    flush();
    kel::file::ByteReader reader(encoded, path_);
    for (const std::uint32_t length : lengths) {
      const std::size_t start = reader.position();
      lookup_.addEntry(reader.readString(), written_ + start, length);
      reader.skipTo(start + length);
    }
    write(encoded);
  }

  // Puts the index in place, then the lookup table and the record of what it was built from.
  void close(const Fingerprints& fingerprints) {
    flush();
    struct stat status;
    file_.close(&status);
    lookup_.write(lookupTablePath(path_), status);
    fingerprints.write(fingerprintsPath(path_), fingerprint_.digest());
  }

 private:
  std::uint64_t offset() const { return written_ + buffer_.size(); }
  void flushWhenFull() {
    if (buffer_.size() >= (1u << 20)) flush();
  }
  void flush() {
    write(buffer_);
    buffer_.clear();
  }
  void write(std::string_view bytes) {
    lookup_.addBytes(bytes);
    // Taken from the bytes as they are written, so it describes this index and no other that
    // may replace it meanwhile.
    fingerprint_.add(bytes);
    file_.writeBytes(bytes.data(), bytes.size());
    written_ += bytes.size();
  }

  const std::string path_;
  kel::file::BinaryFile file_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  LookupTableBuilder lookup_;
  kel::file::Fingerprint fingerprint_;
};

// The progress lines of an update: for every directory with pages, in table order, the number
// of distinct words known once its pages are counted.
using WordProgress = std::vector<std::pair<std::size_t, std::string>>;

void printProgress(const std::string& globalPath, const WordProgress& progress) {
  std::string text = "Updating global index " + globalPath + "\n";
  for (const auto& [words, path] : progress) {
    text += "words = " + std::to_string(words) + " " + path + "\n";
  }
  std::cerr << text;
}

// Collects the file paths and the word table from every word list.
class FullBuilder : public WordListConsumer {
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

  const WordProgress& progress() const { return progress_; }

  void write(const std::string& path) {
    table_.finish();
    GlobalIndexWriter writer(path, paths_, static_cast<unsigned>(table_.size()));
    for (const WordTable::View& entry : table_.sorted()) {
      writer.entry(entry.word, entry.count, entry.numbers);
    }
    writer.close(fingerprints_);
  }

 private:
  std::vector<std::string> paths_;
  unsigned current_ = 0;
  WordTable table_;
  WordProgress progress_;
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
      return check(path);
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
  // REQUIRES: name outlives the reader.
  kel::file::ByteReader entries(std::string_view name) const {
    kel::file::ByteReader reader(bytes_, name);
    reader.skipTo(entriesStart_);
    return reader;
  }
  unsigned wordCount() const { return wordCount_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  // Reads the whole index; false unless it has the shape above.
  bool check(const std::string& path) {
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
      const auto lengthBytes = kel::file::uintLength(static_cast<unsigned char>(bytes_[start]));
      if (reader.position() - start != lengthBytes + word.size()) return false;
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
  }

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
// Gives the same bytes and progress lines as FullBuilder, at the cost of one pass over the
// previous index instead of a hash lookup per posting.
class IncrementalBuilder : public WordListConsumer {
 public:
  explicit IncrementalBuilder(const PreviousIndex& previous)
      : previous_(previous), renumbered_(previous.fileCount(), unused) {}

  bool beginDirectory(const Directory& dir, bool, std::string_view bytes) override {
    fingerprints_.add(dir.path, bytes);
    directories_.emplace_back(static_cast<unsigned>(paths_.size()), dir.path);
    return !takeOver(dir);
  }

  void file(const Directory& dir, std::string_view name) override {
    paths_.push_back(dir.fullName(std::string(name)));
    current_ = static_cast<unsigned>(paths_.size() - 1);
  }

  void word(std::string_view word) override { fresh_.add(word, current_); }

  void endDirectory(const Directory&) override { fresh_.drain(); }

  // Merges the previous index's renumbered postings with the fresh ones into the new entries.
  void merge() {
    fresh_.finish();
    entries_.reserve(previous_.size() + previous_.size() / 8);
    firstDirectoryCounts_.assign(directories_.size(), 0);
    const std::vector<WordTable::View> fresh = fresh_.sorted();
    auto next = fresh.begin();
    std::vector<unsigned> taken;
    std::vector<unsigned> merged;
    kel::file::ByteReader reader = previous_.entries({});
    for (unsigned w = previous_.wordCount(); w > 0; --w) {
      const std::string_view word = reader.readString();
      taken.clear();
      for (unsigned k = reader.readUInt(); k > 0; --k) {
        const unsigned renumbered = renumbered_[reader.readUInt()];
        if (renumbered != unused) taken.push_back(renumbered);
      }
      for (; next != fresh.end() && next->word < word; ++next) emitFresh(*next, merged);
      merged.clear();
      if (next != fresh.end() && next->word == word) decode(*next++, merged);
      // Renumbering keeps the order unless two directories trade places; then sort.
      if (!std::is_sorted(taken.begin(), taken.end())) std::sort(taken.begin(), taken.end());
      const std::size_t middle = merged.size();
      merged.insert(merged.end(), taken.begin(), taken.end());
      std::inplace_merge(merged.begin(), merged.begin() + middle, merged.end());
      emit(word, merged);
    }
    for (; next != fresh.end(); ++next) emitFresh(*next, merged);
  }

  // The progress lines of FullBuilder: a word is first known in the directory of its lowest
  // file number. REQUIRES: merge() was called.
  WordProgress progress() const {
    WordProgress progress;
    std::size_t known = 0;
    for (std::size_t d = 0; d < directories_.size(); ++d) {
      known += firstDirectoryCounts_[d];
      progress.emplace_back(known, directories_[d].second);
    }
    return progress;
  }

  // REQUIRES: merge() was called.
  void write(const std::string& path) const {
    GlobalIndexWriter writer(path, paths_, wordCount_);
    writer.entries(entries_, entryLengths_);
    writer.close(fingerprints_);
  }

 private:
  // Numbers dir's pages as the previous index's postings of them when they are those of dir's
  // current word list; false when they are not (its word list is then read).
  bool takeOver(const Directory& dir) {
    if (fingerprints_.of(dir.path) != previous_.fingerprints().of(dir.path)) return false;
    std::vector<unsigned> old;
    for (const std::string& name : dir.files) {
      const long number = previous_.find(dir.fullName(name));
      if (number < 0 || renumbered_[number] != unused) return false;
      old.push_back(static_cast<unsigned>(number));
    }
    for (std::size_t i = 0; i < old.size(); ++i) {
      renumbered_[old[i]] = static_cast<unsigned>(paths_.size() + i);
    }
    for (const std::string& name : dir.files) paths_.push_back(dir.fullName(name));
    return true;
  }

  static void decode(const WordTable::View& fresh, std::vector<unsigned>& out) {
    kel::file::ByteReader reader(fresh.numbers, {});
    for (unsigned k = 0; k < fresh.count; ++k) out.push_back(reader.readUInt());
  }

  void emitFresh(const WordTable::View& fresh, std::vector<unsigned>& scratch) {
    scratch.clear();
    decode(fresh, scratch);
    emit(fresh.word, scratch);
  }

  void emit(std::string_view word, const std::vector<unsigned>& numbers) {
    if (numbers.empty()) return;
    const std::size_t start = entries_.size();
    kel::file::appendString(entries_, word);
    kel::file::appendUInt(entries_, static_cast<unsigned>(numbers.size()));
    for (const unsigned n : numbers) kel::file::appendUInt(entries_, n);
    entryLengths_.push_back(static_cast<std::uint32_t>(entries_.size() - start));
    ++wordCount_;
    // The directory of the lowest number: the last whose first number is not above it.
    const auto first = std::upper_bound(
        directories_.begin(), directories_.end(), numbers.front(),
        [](unsigned n, const std::pair<unsigned, std::string>& d) { return n < d.first; });
    ++firstDirectoryCounts_[static_cast<std::size_t>(first - directories_.begin()) - 1];
  }

  static constexpr unsigned unused = ~0u;
  const PreviousIndex& previous_;
  std::vector<unsigned> renumbered_;  // new number of each file of the previous index
  std::vector<std::string> paths_;
  unsigned current_ = 0;
  WordTable fresh_;
  Fingerprints fingerprints_;
  // Every directory with pages: its first file number and its path, in table order.
  std::vector<std::pair<unsigned, std::string>> directories_;
  std::vector<std::size_t> firstDirectoryCounts_;  // per directory: words first known there
  std::string entries_;
  std::vector<std::uint32_t> entryLengths_;
  unsigned wordCount_ = 0;
};

std::map<std::string, Directory> loadFileList(const std::string& filesListPath) {
  std::map<std::string, Directory> dirs;
  kel::file::BinaryFile file(filesListPath, 0);
  kel::file::loadDirectories(dirs, file);
  file.close();
  return dirs;
}

}  // namespace

void updateGlobalIndex(const std::string& filesListPath, const std::string& indexDir,
                       const std::string& globalPath, bool verbose, IndexBuild build) {
  const std::map<std::string, Directory> dirs = loadFileList(filesListPath);
  PreviousIndex previous;
  if (build == IndexBuild::incremental && previous.load(globalPath)) {
    IncrementalBuilder builder(previous);
    updateWordLists(indexDir, dirs, verbose, &builder);
    builder.merge();
    if (verbose) printProgress(globalPath, builder.progress());
    builder.write(globalPath);
    return;
  }
  FullBuilder builder;
  updateWordLists(indexDir, dirs, verbose, &builder);
  if (verbose) printProgress(globalPath, builder.progress());
  builder.write(globalPath);
}

void updateGlobalIndex(const std::string& filesListPath) {
  updateGlobalIndex(filesListPath, argIndexDir.value(), globalIndexPath(), optVerbose.isActive(),
                    IndexBuild::incremental);
}

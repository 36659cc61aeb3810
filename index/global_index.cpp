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
#include "index/byte_codec.h"
#include "index/word_list.h"
#include "kel/file/binary_file.h"
#include "kel/file/directory.h"

using kel::file::Directory;

namespace {

// Copies of the words, kept in large blocks so that a word costs no allocation of its own.
class WordArena {
 public:
  std::string_view store(std::string_view word) {
    if (word.size() > blockSize_ - used_) {
      const std::size_t size = std::max(blockSize, word.size());
      blocks_.push_back(std::make_unique<char[]>(size));
      blockSize_ = size;
      used_ = 0;
    }
    char* start = blocks_.back().get() + used_;
    std::copy(word.begin(), word.end(), start);
    used_ += word.size();
    return {start, word.size()};
  }

 private:
  static constexpr std::size_t blockSize = 1 << 20;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockSize_ = 0;
  std::size_t used_ = 0;
};

// The word table of the global index while it is built. File numbers arrive in ascending
// order, so each word's numbers are appended, already encoded, to one byte string.
class GlobalIndexBuilder : public WordListConsumer {
 public:
  void file(const Directory& dir, std::string_view name) override {
    paths_.push_back(dir.fullName(std::string(name)));
    current_ = static_cast<unsigned>(paths_.size() - 1);
  }

  void word(std::string_view word) override {
    auto found = ids_.find(word);
    if (found == ids_.end()) {
      const std::string_view stored = arena_.store(word);
      found = ids_.emplace(stored, static_cast<unsigned>(entries_.size())).first;
      entries_.push_back(Entry{stored, {}, 0, 0});
    }
    Entry& entry = entries_[found->second];
    // A word twice in one record lists its file once.
    if (entry.count != 0 && entry.last == current_) return;
    appendUInt(entry.numbers, current_);
    entry.last = current_;
    ++entry.count;
  }

  void endDirectory(const Directory& dir) override {
    progress_.emplace_back(entries_.size(), dir.path);
  }

  void printProgress(std::ostream& os) const {
    for (const auto& [words, path] : progress_) os << "words = " << words << " " << path << "\n";
  }

  void write(const std::string& path) const {
    std::vector<unsigned> order(entries_.size());
    for (unsigned i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [this](unsigned a, unsigned b) { return entries_[a].word < entries_[b].word; });

    kel::file::BinaryFile file(path, 1);
    std::string buffer;
    auto flushIfFull = [&] {
      if (buffer.size() >= (1u << 20)) {
        file.writeBytes(buffer.data(), buffer.size());
        buffer.clear();
      }
    };
    appendUInt(buffer, static_cast<unsigned>(paths_.size()));
    for (const std::string& p : paths_) {
      appendString(buffer, p);
      flushIfFull();
    }
    appendUInt(buffer, static_cast<unsigned>(entries_.size()));
    for (const unsigned i : order) {
      const Entry& entry = entries_[i];
      appendString(buffer, entry.word);
      appendUInt(buffer, entry.count);
      buffer += entry.numbers;
      flushIfFull();
    }
    file.writeBytes(buffer.data(), buffer.size());
    file.close();
  }

 private:
  struct Entry {
    std::string_view word;  // in arena_
    std::string numbers;    // the file numbers, encoded
    unsigned count;
    unsigned last;
  };

  std::vector<std::string> paths_;
  unsigned current_ = 0;
  WordArena arena_;
  std::unordered_map<std::string_view, unsigned> ids_;
  std::vector<Entry> entries_;
  std::vector<std::pair<std::size_t, std::string>> progress_;
};

}  // namespace

std::string indexFilePath(const char* base) {
  std::string name = optIndexPrefix.isGiven() ? optIndexPrefix.value() + "_" + base : base;
  return kel::file::joinPath(argIndexDir.value(), name);
}

std::string globalIndexPath() {
  static const std::string path = indexFilePath("global_index");
  return path;
}

void updateGlobalIndex(const std::string& fileListPath, const std::string& indexDir,
                       const std::string& globalPath, bool verbose) {
  std::map<std::string, Directory> dirs;
  {
    kel::file::BinaryFile file(fileListPath, 0);
    kel::file::loadDirectories(dirs, file);
    file.close();
  }
  GlobalIndexBuilder builder;
  updateWordLists(indexDir, dirs, verbose, &builder);
  if (verbose) {
    std::cerr << "Updating global index " << globalPath << "\n";
    builder.printProgress(std::cerr);
  }
  builder.write(globalPath);
}

void updateGlobalIndex(const std::string& fileListPath) {
  updateGlobalIndex(fileListPath, argIndexDir.value(), globalIndexPath(), optVerbose.isActive());
}

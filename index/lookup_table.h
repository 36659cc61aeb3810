// The lookup table: a file derived from a global index and kept beside it (lookupTablePath), with
// which a search finds the entries of the words it needs, and the paths of the files it shows,
// without reading the rest of the global index.
//
// Format (fixed fields of 4 or 8 bytes, least significant first; uint: the unsigned encoding):
//   "CVXLKUP1"
//   the global index it belongs to: its size (8), modification time in seconds (8) and
//     nanoseconds (8), inode (8), and the fingerprint of its first and last 4,096 bytes (16)
//   file count N (4), word count W (4)
//   path starts: ceil(N / 16) times the offset in the global index of path 0, 16, 32, ... (8)
//   word blocks: ceil(W / 32) times the offset in the global index of entry 0, 32, 64, ... (8)
//     and the position in the length list of that entry's length (4)
//   length list: W uints, the byte length of every entry in the global index
//   the fingerprint of all bytes before (16)
//
// A table is written only for a global index whose words ascend strictly in byte order and hold
// no NUL byte (every index an update writes), so that a binary search over it finds what a scan
// finds. It describes one global index: the size, time and inode change with every replacement
// of the file, and the fingerprint of its ends with a rewrite in place.
#ifndef CORVEX_INDEX_LOOKUP_TABLE_H
#define CORVEX_INDEX_LOOKUP_TABLE_H

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Collects the table while a global index is written, from its bytes in order and the offsets of
// its parts.
class LookupTableBuilder {
 public:
  // Every byte written to the global index, in order.
  void addBytes(std::string_view bytes);
  // The offset of the next path's string; once per file, in file order.
  void addPath(std::uint64_t offset);
  // An entry of word at offset, length bytes long; once per word, in index order.
  void addEntry(std::string_view word, std::uint64_t offset, std::uint64_t length);

  // Replaces the table path with the one for the global index just written, whose status as it
  // replaced its target is index. Writes nothing when the words did not ascend strictly or held
  // a NUL byte. Throws kel::err::IOError when path cannot be written.
  void write(const std::string& path, const struct stat& index) const;

 private:
  std::string head_;  // the first bytes of the index
  std::string tail_;  // the last bytes of the index (up to twice the sample, trimmed as it grows)
  std::uint64_t size_ = 0;
  std::vector<std::uint64_t> pathStarts_;
  unsigned paths_ = 0;
  std::vector<std::uint64_t> blockStarts_;
  std::vector<std::uint32_t> blockLengths_;
  std::string lengths_;
  unsigned words_ = 0;
  std::string lastWord_;
  bool ordered_ = true;
};

// A table read for one global index.
class LookupTable {
 public:
  // Every path start names the path of a file number divisible by kPathBlock, every word block
  // the entry of a word number divisible by kWordBlock.
  static constexpr unsigned kPathBlock = 16;
  static constexpr unsigned kWordBlock = 32;

  // The table at path when it belongs to the global index whose bytes are index and whose status
  // is status; otherwise null, with why saying it is missing, damaged or of another index.
  static std::unique_ptr<LookupTable> open(const std::string& path, std::string_view index,
                                           const struct stat& status, std::string& why);

  unsigned fileCount() const { return fileCount_; }
  unsigned wordCount() const { return wordCount_; }

  // Walks the entries from one word on, giving each entry's offset in the global index.
  class Cursor {
   public:
    std::uint64_t offset() const { return offset_; }
    std::uint64_t length() const { return length_; }
    // REQUIRES: the cursor is not past the last word.
    void next();

   private:
    friend class LookupTable;
    Cursor(const LookupTable& table, unsigned word);
    const LookupTable* table_;
    unsigned word_;
    std::size_t lengthPosition_;  // of the next word's length
    std::uint64_t offset_;
    std::uint64_t length_;
  };

  // A cursor at word. REQUIRES: word < wordCount().
  Cursor at(unsigned word) const { return Cursor(*this, word); }

  // The offset in the global index of the path of file kPathBlock * (file / kPathBlock); the
  // paths in between follow it in the index.
  std::uint64_t pathBlockStart(unsigned file) const;

 private:
  LookupTable() = default;
  // The length at position in bytes_, advancing position; throws kel::err::Error "Damaged lookup
  // table" past the length list.
  std::uint64_t lengthAt(std::size_t& position) const;
  std::string bytes_;
  unsigned fileCount_ = 0;
  unsigned wordCount_ = 0;
  std::size_t pathStarts_ = 0;  // positions in bytes_
  std::size_t blocks_ = 0;
  std::size_t lengths_ = 0;
  std::size_t end_ = 0;
};

// The fingerprint of a global index's first and last 4,096 bytes (all of a smaller one), as a
// lookup table names it.
std::string sampleFingerprint(std::string_view head, std::string_view tail, std::uint64_t size);

#endif

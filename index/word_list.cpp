#include "index/word_list.h"

#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <iostream>
#include <string_view>
#include <utility>
#include <vector>

#include "app/options.h"
#include "index/word_extraction.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/file/binary_file.h"
#include "kel/file/byte_codec.h"
#include "kel/file/file_util.h"
#include "kel/file/mapped_file.h"

using kel::file::Directory;

namespace {

bool acceptIndexDirectoryEntry(const std::string&, const char* name, const struct stat&) {
  const std::string_view n(name);
  return isWordListName(n) || isFileListName(n) || temporaryOwner(n) != 0;
}

// Removes the temporaries that runs killed while writing an index file left behind: those
// whose process no longer exists. A live writer's temporary stays.
void removeOrphanedTemporaries(const std::string& indexDir, const std::set<std::string>& names) {
  for (const std::string& name : names) {
    const auto owner = static_cast<pid_t>(temporaryOwner(name));
    if (owner > 0 && owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH) {
      std::remove(kel::file::joinPath(indexDir, name).c_str());
    }
  }
}

// The directory paths named by the file lists among names; lists that cannot be read are
// not file lists of this program and are passed over.
std::set<std::string> pathsOfFileLists(const std::string& indexDir,
                                       const std::set<std::string>& names) {
  std::set<std::string> paths;
  for (const std::string& name : names) {
    if (!isFileListName(name)) continue;
    std::map<std::string, Directory> dirs;
    try {
      kel::file::BinaryFile file(kel::file::joinPath(indexDir, name), 0);
      kel::file::loadDirectories(dirs, file);
    } catch (const kel::err::Error&) {
      // Records read before the damage still name directories that may exist.
    }
    for (const auto& entry : dirs) paths.insert(entry.first);
  }
  return paths;
}

// The names of the index directory's own files.
std::set<std::string> listIndexDirectory(const std::string& indexDir) {
  std::map<std::string, Directory> listing;
  kel::file::scanDirectory(listing, indexDir, false, false, acceptIndexDirectoryEntry, nullptr);
  std::set<std::string> names;
  for (const auto& entry : listing)
    names.insert(entry.second.files.begin(), entry.second.files.end());
  return names;
}

// The bytes of dir's word list path, read into buffer, when it is current: no older than the
// directory's newest page and a complete word list of its current pages. Empty otherwise.
std::string_view currentWordList(const std::string& path, const Directory& dir,
                                 std::string& buffer) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || info.st_mtim.tv_sec == 0 ||
      info.st_mtim.tv_sec < dir.newest) {
    return {};
  }
  try {
    const std::string_view bytes = kel::file::readFileInto(path, buffer);
    if (isWordListOf(bytes, dir)) return bytes;
  } catch (const kel::err::Error&) {
    // vanished or unreadable since the stat: build it anew
  }
  return {};
}

void handOver(std::string_view bytes, const Directory& dir, bool written,
              WordListConsumer& consumer) {
  if (consumer.beginDirectory(dir, written, bytes)) feedWordList(bytes, dir, consumer);
  consumer.endDirectory(dir);
}

// Removes the word lists that the directory of the word list name had under other page counts.
void removeEarlierWordLists(const std::string& indexDir, const std::set<std::string>& existing,
                            const std::string& name) {
  for (const std::string& other : existing) {
    if (other == name || !isSameDirectoryWordList(other, name)) continue;
    const std::string otherPath = kel::file::joinPath(indexDir, other);
    if (std::remove(otherPath.c_str()) != 0) {
      std::cerr << "Warning: remove " << otherPath << "failed!\n";
    }
  }
}

}  // namespace

std::string wordListPath(const Directory& dir) {
  return kel::file::joinPath(argIndexDir.value(), wordListName(dir));
}

std::string buildWordList(const Directory& dir, std::ostream* log) {
  const std::vector<std::string_view> noWords;  // the record of an unreadable page
  std::string bytes;
  PageWords page;
  unsigned i = 0;
  const unsigned count = static_cast<unsigned>(dir.files.size());
  for (const std::string& name : dir.files) {
    ++i;
    if (log) *log << "Scanning '" << name << "' (" << i << "/" << count << ")\n";
    const std::vector<std::string_view>* words = &noWords;
    try {
      words = &page.read(dir.fullName(name));
    } catch (const kel::err::Error&) {
      // An unreadable page is indexed as a page without words.
    }
    bytes += '\x01';
    kel::file::appendString(bytes, name);
    kel::file::appendUInt(bytes, static_cast<unsigned>(words->size()));
    for (const std::string_view word : *words) kel::file::appendString(bytes, word);
  }
  bytes += '\0';
  return bytes;
}

std::string writeWordList(const std::string& path, const Directory& dir, std::ostream* log) {
  if (log) *log << "Updating index " << path << "\n";
  std::string bytes = buildWordList(dir, log);
  kel::file::BinaryFile file(path, 1);
  file.writeBytes(bytes.data(), bytes.size());
  file.close();
  return bytes;
}

void writeWordList(const std::string& path, const Directory& dir) {
  writeWordList(path, dir, optVerbose.isActive() ? &std::cerr : nullptr);
}

bool isWordListOf(std::string_view bytes, const Directory& dir) {
  try {
    kel::file::ByteReader reader(bytes, {});
    for (const std::string& name : dir.files) {
      if (reader.readByte() == 0) return false;
      if (reader.readString() != name) return false;
      for (unsigned n = reader.readUInt(); n > 0; --n) reader.skipString();
    }
    return reader.readByte() == 0 && reader.atEnd();
  } catch (const kel::err::Error&) {
    return false;
  }
}

void feedWordList(std::string_view bytes, const Directory& dir, WordListConsumer& consumer) {
  kel::file::ByteReader reader(bytes, {});
  for (std::size_t i = dir.files.size(); i > 0; --i) {
    reader.readByte();
    consumer.file(dir, reader.readString());
    for (unsigned n = reader.readUInt(); n > 0; --n) consumer.word(reader.readString());
  }
}

unsigned updateWordLists(const std::string& indexDir, const std::map<std::string, Directory>& dirs,
                         bool verbose, WordListConsumer* consumer) {
  const std::set<std::string> existing = listIndexDirectory(indexDir);
  removeOrphanedTemporaries(indexDir, existing);
  const WordListNames names(dirs, pathsOfFileLists(indexDir, existing));
  std::ostream* log = verbose ? &std::cerr : nullptr;
  std::string buffer;  // the word list being read, reused from directory to directory
  unsigned total = 0;
  for (const auto& entry : dirs) {
    const Directory& dir = entry.second;
    const std::string name = names.name(dir);
    const std::string path = kel::file::joinPath(indexDir, name);
    if (dir.files.empty()) {
      std::remove(path.c_str());
    } else {
      total += static_cast<unsigned>(dir.files.size());
      std::string built;
      std::string_view bytes = currentWordList(path, dir, buffer);
      const bool written = bytes.empty();
      if (written) bytes = built = writeWordList(path, dir, log);
      if (consumer) handOver(bytes, dir, written, *consumer);
    }
    removeEarlierWordLists(indexDir, existing, name);
  }
  return total;
}

unsigned updateWordLists(const std::map<std::string, Directory>& dirs) {
  return updateWordLists(argIndexDir.value(), dirs, optVerbose.isActive(), nullptr);
}

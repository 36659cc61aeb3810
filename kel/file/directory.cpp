#include "kel/file/directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/file/file_util.h"
#include "kel/file/lnk.h"
#include "kel/file/path_separator.h"

namespace kel::file {

namespace {

const char* const kMagic = "KEL_FILELIST";
constexpr int kVersion = 1;

// A time field of the file list: the low 32 bits of the time, least significant byte first.
void writeTime(BinaryFile& file, time_t time) {
  const auto value = static_cast<std::uint32_t>(time);
  const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF),
                         static_cast<char>((value >> 24) & 0xFF)};
  file.writeBytes(bytes, sizeof bytes);
}

// Read back as unsigned, so times after 2038 stay correct until 2106.
time_t readTime(BinaryFile& file) {
  char bytes[4];
  file.readBytes(bytes, sizeof bytes);
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes[k]);
  return static_cast<time_t>(value);
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// The text of a symbolic link, however long; false when path is no symbolic link.
bool readLinkText(const std::string& path, std::string& text) {
  std::vector<char> buffer(260);
  for (;;) {
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      text.assign(buffer.data(), static_cast<std::size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string joinPath(const std::string& a, const std::string& b) {
  std::string joined;
  joined.reserve(a.size() + 1 + b.size());
  joined.append(a).push_back(pathSeparator);
  joined.append(b);
  return joined;
}

void Directory::add(const std::string& name, time_t mtime) {
  if (files.empty()) {
    oldest = mtime;
    newest = mtime;
  } else {
    if (mtime < oldest) oldest = mtime;
    if (mtime > newest) newest = mtime;
  }
  files.insert(name);
}

std::string Directory::fullName(const std::string& name) const {
  if (name.find(pathSeparator) != std::string::npos) return name;
  return joinPath(path, name);
}

void Directory::writeTo(BinaryFile& file) const {
  write(file, path);
  file.writeUInt(static_cast<unsigned>(files.size()));
  for (const std::string& name : files) write(file, name);
  writeTime(file, oldest);
  writeTime(file, newest);
}

void Directory::readFrom(BinaryFile& file, int /*version*/) {
  read(file, path);
  const unsigned count = file.readUInt();
  files.clear();
  std::string name;
  // Each name takes at least one byte, so a damaged count ends at the end of the file.
  for (unsigned k = 0; k < count; ++k) {
    read(file, name);
    files.insert(name);
  }
  oldest = readTime(file);
  newest = readTime(file);
}

bool acceptAnyDirectory(const std::string&, const char*, const struct stat&) { return true; }

bool resolveLink(const std::string& path, std::string& target) {
  // Only the entry's own name marks a shortcut: the files inside a directory named "x.lnk" are
  // none, and neither is such a directory itself.
  if (baseName(path).find(".lnk") != std::string::npos && isFile(path)) {
    const Lnk shortcut(path);
    if (shortcut.hasLinkInfo()) {
      target = shortcut.target();
      return true;
    }
  }
  const std::string posixPath = toPosixPath(path);
  std::string text;
  if (!readLinkText(posixPath, text)) return false;
  // A relative link counts from the directory that holds the link, not from the working
  // directory.
  if (!text.empty() && text[0] != '/') text = dirName(posixPath) + "/" + text;
  target = toWindowsPath(text);
  return true;
}

void scanDirectory(std::map<std::string, Directory>& dirs, const std::string& path, bool recursive,
                   bool followLinks, const FileFilter& acceptFile, const DirFilter& acceptDir,
                   std::ostream* log) {
  Directory& entry = dirs[path];
  entry.path = path;
  if (log) *log << path << std::endl;

  std::vector<std::string> subdirectories;
  {
    const std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
    if (!dir) throw kel::err::IOError(format("opendir '%s' failed", path.c_str()));
    std::string target;
    while (const dirent* item = readdir(dir.get())) {
      const char* name = item->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      const std::string full = joinPath(path, name);
      struct stat info;
      if (stat(full.c_str(), &info) != 0) throw kel::err::IOError(full, "stat failed");

      if (followLinks && resolveLink(full, target)) {
        struct stat targetInfo;
        if (stat(target.c_str(), &targetInfo) != 0) {
          throw kel::err::IOError(target, "stat to target of '" + full + "' failed");
        }
        const std::string targetDir = dirName(target);
        const std::string targetName = baseName(target);
        if (S_ISDIR(targetInfo.st_mode)) {
          // Accepted directory targets are deliberately not entered: a link may lead back into
          // the tree, and the program never scans with links followed.
          acceptDir(targetDir, targetName.c_str(), targetInfo);
        } else if (acceptFile(targetDir, targetName.c_str(), targetInfo)) {
          entry.add(target, targetInfo.st_mtime);
        }
      } else if (S_ISDIR(info.st_mode)) {
        if (acceptDir(path, name, info)) subdirectories.emplace_back(name);
      } else if (acceptFile(path, name, info)) {
        entry.add(name, info.st_mtime);
      }
    }
  }

  if (!recursive) return;
  for (const std::string& name : subdirectories) {
    scanDirectory(dirs, joinPath(path, name), recursive, followLinks, acceptFile, acceptDir, log);
  }
}

void scanDirectory(std::map<std::string, Directory>& dirs, const std::string& path, bool recursive,
                   bool followLinks, const FileFilter& acceptFile, std::ostream* log) {
  scanDirectory(dirs, path, recursive, followLinks, acceptFile, acceptAnyDirectory, log);
}

void storeDirectories(const std::map<std::string, Directory>& dirs, BinaryFile& file) {
  write(file, kMagic);
  write(file, kVersion);
  file.writeUInt(static_cast<unsigned>(dirs.size()));
  for (const auto& item : dirs) item.second.writeTo(file);
}

void loadDirectories(std::map<std::string, Directory>& dirs, BinaryFile& file) {
  std::string magic;
  read(file, magic);
  if (magic != kMagic) {
    throw kel::err::Error(format("Illegal filetype ('%s')", file.name().c_str()));
  }
  int version = 0;
  read(file, version);
  const unsigned count = file.readUInt();
  for (unsigned k = 0; k < count; ++k) {
    Directory record;
    record.readFrom(file, version);
    std::string key = record.path;
    dirs[std::move(key)] = std::move(record);
  }
}

}  // namespace kel::file

// What a global index was built from, kept beside it (fingerprintsPath): the fingerprint of the
// global index's own bytes, and for every directory whose pages it holds the fingerprint of the
// word list it read them from.
//
// Format (primitives of kel::file::BinaryFile):
//   "CORVEX_FINGERPRINTS" (string), index fingerprint (16 raw bytes), directory count D (uint),
//   D times: directory path (string), word-list fingerprint (16 raw bytes).
// The fingerprints are raw bytes, not strings: a string would end at a NUL byte.
#ifndef CORVEX_INDEX_FINGERPRINTS_H
#define CORVEX_INDEX_FINGERPRINTS_H

#include <map>
#include <string>
#include <string_view>

class Fingerprints {
 public:
  // Records the fingerprint of directory's word list wordList.
  void add(const std::string& directory, std::string_view wordList);

  // The fingerprint recorded for directory, or "" when there is none.
  std::string of(const std::string& directory) const;

  // The fingerprint of the global index these belong to ("" until loaded).
  const std::string& index() const { return index_; }

  // Reads the file path; false (the object then holds what was read) when it is missing or not
  // a complete fingerprints file.
  bool load(const std::string& path);

  // Replaces the file path, naming index as the fingerprint of the global index.
  // Throws kel::err::IOError when it cannot be written; the file is then unchanged.
  void write(const std::string& path, const std::string& index) const;

 private:
  std::string index_;
  std::map<std::string, std::string> directories_;
};

#endif

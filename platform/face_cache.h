#pragma once
// The font layer's answers from fontconfig, kept between runs so that a render need not start
// fontconfig (reading its XML configuration costs more than the rest of a small render).
//
// The file ($XDG_CACHE_HOME/quorbel/faces, default ~/.cache/quorbel/faces) records, besides the
// answers, what they depend on: the fontconfig version, the environment variables fontconfig
// reads, and the identity (inode, size, modification time) of every configuration file and
// folder and every font folder fontconfig used, including folders that did not exist. Installing
// a font or editing the configuration changes one of those, and the whole file is then ignored.
// Checking costs one stat per recorded path. A missing, unreadable, corrupt or stale file reads as
// empty; a failure to write is ignored: the cache only ever saves time.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A face as the font layer resolved it; an empty file means "no installed face".
struct CachedFace {
  std::string file;
  int index = 0;
  bool bold = false;
  bool italic = false;
  bool colorBitmap = false;
  bool operator==(const CachedFace&) const = default;
};

class FaceCache {
 public:
  // path: the cache file; empty disables the cache (nothing is read or written).
  explicit FaceCache(std::string path);
  // $XDG_CACHE_HOME/quorbel/faces, or ~/.cache/quorbel/faces; empty when neither is known.
  static std::string DefaultPath();

  // The stored answer for key, reading the file on first use.
  std::optional<CachedFace> Find(const std::string& key);
  // Records a new answer; written by Flush.
  void Store(const std::string& key, const CachedFace& face);
  // The paths the answers depend on, as the live fontconfig reports them. Answers read from a
  // file recorded with other identities for them are dropped.
  void SetWatched(std::vector<std::string> paths);
  // Writes the file atomically when answers were stored since the last flush.
  void Flush();

 private:
  struct Stamp {
    std::string path;
    bool exists = false;
    unsigned long long inode = 0, size = 0;
    long long mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Stamp Take(const std::string& path);
  static std::string Environment();
  void Load();

  std::string path_;
  bool loaded_ = false;
  bool dirty_ = false;
  bool watchedKnown_ = false;  // stamps_ come from the live fontconfig
  std::vector<Stamp> stamps_;
  std::map<std::string, CachedFace> entries_;
};

}  // namespace platform

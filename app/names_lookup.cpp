#include "app/names_lookup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "app/cli_error.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool HasExtension(const std::string& name, const std::string& extension) {
  return name.size() > extension.size() &&
         Lower(name.substr(name.size() - extension.size())) == Lower(extension);
}

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

size_t EditDistance(const std::string& a0, const std::string& b0) {
  const std::string a = Lower(a0), b = Lower(b0);
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

std::vector<std::string> NearNames(const std::string& name, const std::vector<std::string>& candidates,
                                   size_t limit) {
  const std::string key = Lower(name);
  std::vector<std::pair<size_t, std::string>> scored;
  const size_t allowed = std::max<size_t>(2, key.size() / 3);
  for (const std::string& c : candidates) {
    const std::string lc = Lower(c);
    size_t score = EditDistance(key, lc);
    // A name typed in part ("gold" for "golden") is near whatever its distance.
    if (!key.empty() && (lc.rfind(key, 0) == 0 || lc.find(key) != std::string::npos)) score = std::min<size_t>(score, 1);
    if (score <= allowed) scored.emplace_back(score, c);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> out;
  for (const auto& s : scored) {
    if (std::find(out.begin(), out.end(), s.second) != out.end()) continue;
    out.push_back(s.second);
    if (out.size() == limit) break;
  }
  return out;
}

std::vector<std::string> FilesInFolder(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (IsFile(it->path())) out.push_back(it->path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> NamesInFolder(const std::string& folder, const std::string& extension) {
  std::vector<std::string> out;
  for (const std::string& f : FilesInFolder(folder))
    if (HasExtension(f, extension)) out.push_back(f.substr(0, f.size() - extension.size()));
  return out;
}

std::string ResolveNamedFile(const std::string& argument, const std::string& extension, const std::string& what,
                             const std::string& dataFolder) {
  if (IsFile(argument)) return argument;
  const bool bare = fs::path(argument).filename().string() == argument;
  std::vector<fs::path> tries;
  const std::string withExtension = HasExtension(argument, extension) ? argument : argument + extension;
  tries.emplace_back(withExtension);
  if (bare && !dataFolder.empty()) {
    tries.push_back(fs::path(dataFolder) / argument);
    tries.push_back(fs::path(dataFolder) / withExtension);
  }
  for (const fs::path& p : tries)
    if (IsFile(p)) return p.string();

  std::set<std::string> known;
  for (const std::string& n : NamesInFolder(".", extension)) known.insert(n);
  if (!dataFolder.empty())
    for (const std::string& n : NamesInFolder(dataFolder, extension)) known.insert(n);
  const std::string stem = HasExtension(argument, extension)
                               ? argument.substr(0, argument.size() - extension.size())
                               : argument;
  const auto near = NearNames(fs::path(stem).filename().string(), {known.begin(), known.end()});
  std::string reason = "no such " + what + " file or name";
  if (!near.empty()) {
    reason += "; did you mean ";
    for (size_t i = 0; i < near.size(); ++i) reason += (i ? ", " : "") + near[i];
    reason += "?";
  }
  reason += " (quorbel list " + what + "s)";
  throw CliError(argument, reason);
}

#pragma once
// What fontconfig offers, for the command line's font listing and its note on unmatched faces.
#include <string>
#include <vector>

namespace platform {

// The families of every scalable face fontconfig knows, sorted, each once.
std::vector<std::string> FontFamilies();
// The family fontconfig's best match for the face name has ("" when fontconfig has no fonts).
std::string BestMatchingFamily(const std::string& face);
// True when the face name is one of the names (any language) of an installed family.
bool FamilyIsInstalled(const std::string& face);

}  // namespace platform

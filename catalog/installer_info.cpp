#include "catalog/installer_info.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Language lists are read in place, piece by piece, the way Split at commas
// and TrimLeft would cut them.
size_t PieceCount(std::wstring_view list) {
  return list.empty() ? 0 : static_cast<size_t>(std::count(list.begin(), list.end(), L',')) + 1;
}

// The piece from `at` to the next comma, without its leading blanks; `at`
// moves on to the next piece.
std::wstring_view NextPiece(std::wstring_view list, size_t& at) {
  const size_t comma = list.find(L',', at);
  std::wstring_view piece = list.substr(at, comma == std::wstring_view::npos ? comma : comma - at);
  at = comma == std::wstring_view::npos ? list.size() : comma + 1;
  const size_t first = piece.find_first_not_of(L" \t\n\r");
  return first == std::wstring_view::npos ? std::wstring_view() : piece.substr(first);
}

// Every language number of the receiver's list must take one equal number out
// of the candidate's list, and nothing may be left over: the two lists hold the
// same numbers, in any order, duplicates counted. A piece that is not a number
// on either side means no match as soon as it is met: the receiver's pieces
// are taken in order, and for each the candidate's pieces not yet taken are
// looked at in order until an equal number turns up.
bool LanguagesMatch(const WsString& receiver, const WsString& candidate) {
  if (receiver.empty()) return true;
  const size_t count = PieceCount(receiver);
  if (count != PieceCount(candidate)) return false;
  // The candidate's pieces taken so far: bits of a word for lists of up to
  // 64 pieces, which is all lists in practice.
  uint64_t takenBits = 0;
  std::vector<bool> takenMany(count > 64 ? count : 0);
  const auto taken = [&](size_t i) {
    return takenMany.empty() ? (takenBits >> i & 1) != 0 : static_cast<bool>(takenMany[i]);
  };
  size_t wantedAt = 0;
  for (size_t wanted = 0; wanted < count; ++wanted) {
    uint32_t language = 0;
    if (!WsString::ParseUInt32(NextPiece(receiver, wantedAt), language)) return false;
    bool found = false;
    size_t offeredAt = 0;
    for (size_t i = 0; i < count && !found; ++i) {
      const std::wstring_view piece = NextPiece(candidate, offeredAt);
      if (taken(i)) continue;
      uint32_t other = 0;
      if (!WsString::ParseUInt32(piece, other)) return false;
      if (other != language) continue;
      found = true;
      if (takenMany.empty()) {
        takenBits |= uint64_t{1} << i;
      } else {
        takenMany[i] = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

// The candidate's range [candLower, candUpper] must lie inside the receiver's.
// An exclusive receiver bound only shuts out an inclusive candidate bound that
// sits on it; an exclusive candidate bound on the same value is inside.
template <typename Version, typename Compare>
bool RangeContains(const Version& lower, bool lowerInclusive, const Version& upper,
                   bool upperInclusive, const Version& candLower, bool candLowerInclusive,
                   const Version& candUpper, bool candUpperInclusive, Compare compare) {
  const int low = compare(lower, candLower);
  if (!lowerInclusive && candLowerInclusive ? low >= 0 : low > 0) return false;
  const int high = compare(upper, candUpper);
  if (!upperInclusive && candUpperInclusive ? high <= 0 : high < 0) return false;
  return true;
}

// ---- Package version text comparison ----

bool IsDigit(int c) {
  return c >= '0' && c <= '9';
}
bool IsAsciiLetter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Weight of one character outside a digit run: the end of the text is 0, "~"
// sorts before everything, letters before punctuation.
int CharacterWeight(const std::string& s, size_t i) {
  if (i >= s.size()) return 0;
  const int c = static_cast<unsigned char>(s[i]);
  if (c == '~') return -1;
  if (IsDigit(c) || IsAsciiLetter(c)) return c;
  return c + 256;
}

// Compares two version segments: digit runs met on both sides at once compare
// as numbers, every other position by CharacterWeight.
int CompareSegments(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && j < b.size() && IsDigit(a[i]) && IsDigit(b[j])) {
      while (i < a.size() && a[i] == '0') ++i;
      while (j < b.size() && b[j] == '0') ++j;
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      const size_t lengthA = endA - i;
      const size_t lengthB = endB - j;
      if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
      for (; i < endA; ++i, ++j) {
        if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
      }
      continue;
    }
    const int weightA = CharacterWeight(a, i);
    const int weightB = CharacterWeight(b, j);
    if (weightA != weightB) return weightA < weightB ? -1 : 1;
    ++i;
    ++j;
  }
  return 0;
}

// Length of the epoch prefix (the digits before a ":"), or npos when the text
// does not start with one.
size_t EpochLength(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == 0 || i >= s.size() || s[i] != ':') return std::string::npos;
  return i;
}

bool AllZeros(const std::string& s) {
  return s.find_first_not_of('0') == std::string::npos;
}

int CompareVersionTexts(std::string a, std::string b) {
  const size_t epochA = EpochLength(a);
  const size_t epochB = EpochLength(b);
  if (epochA != std::string::npos && epochB != std::string::npos) {
    const int epochs = CompareSegments(a.substr(0, epochA), b.substr(0, epochB));
    if (epochs != 0) return epochs;
    a.erase(0, epochA + 1);
    b.erase(0, epochB + 1);
  } else if (epochA != std::string::npos) {
    if (!AllZeros(a.substr(0, epochA))) return 1;
    a.erase(0, epochA + 1);
  } else if (epochB != std::string::npos) {
    if (!AllZeros(b.substr(0, epochB))) return -1;
    b.erase(0, epochB + 1);
  }

  const size_t dashA = a.rfind('-');
  const size_t dashB = b.rfind('-');
  const bool revisionA = dashA != std::string::npos;
  const bool revisionB = dashB != std::string::npos;
  const int upstream =
      CompareSegments(revisionA ? a.substr(0, dashA) : a, revisionB ? b.substr(0, dashB) : b);
  if (upstream != 0) return upstream;
  if (!revisionA && !revisionB) return 0;
  if (!revisionB) return 1;
  if (!revisionA) return -1;
  return CompareSegments(a.substr(dashA + 1), b.substr(dashB + 1));
}

}  // namespace

InstallerInfo::InstallerInfo(const Guid& key, ItemType type, InstallStatus status)
    : key_(key), type_(type), status_(status) {}

bool InstallerInfo::MatchesIdentity(const InstallerInfo& candidate) const {
  return type_ == candidate.type_ && key_ == candidate.key_ &&
         LanguagesMatch(languages_, candidate.languages_);
}

bool InstallerInfo::Matches(const InstallerInfo& candidate) const {
  return MatchesIdentity(candidate);
}

MetaInstallerInfo::MetaInstallerInfo(const Guid& key, ItemType type, InstallStatus status,
                                     const VersionNumber& lower, bool lowerInclusive,
                                     const VersionNumber& upper, bool upperInclusive)
    : InstallerInfo(key, type, status),
      lower_(lower),
      lowerInclusive_(lowerInclusive),
      upper_(upper),
      upperInclusive_(upperInclusive) {}

bool MetaInstallerInfo::Matches(const InstallerInfo& candidate) const {
  if (!MatchesIdentity(candidate)) return false;
  const auto* other = dynamic_cast<const MetaInstallerInfo*>(&candidate);
  if (other == nullptr) return false;
  return RangeContains(lower_, lowerInclusive_, upper_, upperInclusive_, other->lower_,
                       other->lowerInclusive_, other->upper_, other->upperInclusive_,
                       [](const VersionNumber& a, const VersionNumber& b) { return a.Compare(b); });
}

PackageVersion PackageVersion::Lowest() {
  PackageVersion version;
  version.lowest_ = true;
  return version;
}

PackageVersion PackageVersion::Highest() {
  PackageVersion version;
  version.highest_ = true;
  return version;
}

int PackageVersion::Compare(const PackageVersion& a, const PackageVersion& b) {
  if (b.lowest_) return a.lowest_ ? 0 : 1;
  if (b.highest_) return a.highest_ ? 0 : -1;
  // b is a text version: the open ends lie beyond every text.
  if (a.lowest_) return -1;
  if (a.highest_) return 1;
  std::string textA;
  std::string textB;
  WsString::ToMultiByte(a.text_.c_str(), textA, 0);
  WsString::ToMultiByte(b.text_.c_str(), textB, 0);
  return CompareVersionTexts(std::move(textA), std::move(textB));
}

PackageInfo::PackageInfo(const Guid& key, InstallStatus status, const PackageVersion& lower,
                         bool lowerInclusive, const PackageVersion& upper, bool upperInclusive)
    : InstallerInfo(key, ItemType::Package, status),
      lower_(lower),
      lowerInclusive_(lowerInclusive),
      upper_(upper),
      upperInclusive_(upperInclusive) {}

bool PackageInfo::Matches(const InstallerInfo& candidate) const {
  if (!MatchesIdentity(candidate)) return false;
  const auto* other = dynamic_cast<const PackageInfo*>(&candidate);
  if (other == nullptr) return false;
  return RangeContains(lower_, lowerInclusive_, upper_, upperInclusive_, other->lower_,
                       other->lowerInclusive_, other->upper_, other->upperInclusive_,
                       PackageVersion::Compare);
}

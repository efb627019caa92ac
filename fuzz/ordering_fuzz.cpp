// Fuzz target of the parsers and orders of versions, GUID keys, package
// versions and numbers: any text parses without a crash, and each order is a
// strict weak ordering over every triple of parsed values (irreflexive,
// asymmetric, transitive, and "neither is less" is transitive too).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "catalog/installer_info.h"
#include "foundation/guid.h"
#include "foundation/version_number.h"
#include "fuzz_input.h"

namespace {

template <class T, class Less>
void CheckStrictWeakOrder(const std::vector<T>& values, Less less) {
  for (const T& a : values) {
    if (less(a, a)) std::abort();
    for (const T& b : values) {
      const bool ab = less(a, b);
      if (ab && less(b, a)) std::abort();
      for (const T& c : values) {
        const bool bc = less(b, c);
        if (ab && bc && !less(a, c)) std::abort();
        const bool equivalentAB = !ab && !less(b, a);
        const bool equivalentBC = !bc && !less(c, b);
        if (equivalentAB && equivalentBC && (less(a, c) || less(c, a))) std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<WsString> texts = fuzz::NarrowPieces(data, size, 4);

  std::vector<VersionNumber> versions;
  std::vector<Guid> guids;
  std::vector<PackageVersion> packages{PackageVersion::Lowest(), PackageVersion::Highest()};
  for (const WsString& text : texts) {
    VersionNumber version(text);
    if (version.count < -1 || version.count > 4) std::abort();
    // The text form reads back as the same version.
    if (version.IsValid() && VersionNumber(version.ToString(false)).Compare(version) != 0) {
      std::abort();
    }
    versions.push_back(version);
    guids.emplace_back(text);
    // A GUID's text form parses back to the same key.
    if (guids.back().IsGuid() && Guid(guids.back().ToString()) != guids.back()) std::abort();
    packages.emplace_back(text);

    uint32_t u = 0;
    int64_t i = 0;
    text.ToUInt32(u);
    text.ToInt64(i);
  }
  // The wide reading of the same bytes reaches code units beyond ASCII.
  versions.emplace_back(fuzz::WideText(data, size));
  guids.emplace_back(fuzz::WideText(data, size));
  packages.emplace_back(fuzz::WideText(data, size));

  CheckStrictWeakOrder(
      versions, [](const VersionNumber& a, const VersionNumber& b) { return a.Compare(b) < 0; });
  CheckStrictWeakOrder(guids, [](const Guid& a, const Guid& b) { return a < b; });
  CheckStrictWeakOrder(packages,
                       [](const PackageVersion& a, const PackageVersion& b) { return a < b; });
  for (const PackageVersion& p : packages) {
    if (PackageVersion::Compare(PackageVersion::Lowest(), p) > 0) std::abort();
    if (PackageVersion::Compare(p, PackageVersion::Highest()) > 0) std::abort();
  }
  return 0;
}

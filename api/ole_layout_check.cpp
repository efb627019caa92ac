// Where the platform layer stands in for Windows, include/ravenlink.h
// declares VARIANT for callers while the library's own code uses the platform
// layer's declaration. Both must describe the same bytes.
#include <cstddef>

#include "compat/win32.h"

#ifdef RAVENLINK_COMPAT
namespace caller_view {
#include "ravenlink_ole_types.h"
}  // namespace caller_view

static_assert(sizeof(caller_view::VARIANT) == sizeof(VARIANT));
static_assert(alignof(caller_view::VARIANT) == alignof(VARIANT));
static_assert(offsetof(caller_view::VARIANT, vt) == offsetof(VARIANT, vt));
static_assert(sizeof(caller_view::VARIANT::vt) == sizeof(VARIANT::vt));
static_assert(offsetof(caller_view::VARIANT, bstrVal) == offsetof(VARIANT, bstrVal));
static_assert(int{caller_view::VT_EMPTY} == int{VT_EMPTY} &&
              int{caller_view::VT_BSTR} == int{VT_BSTR});
static_assert(sizeof(caller_view::OLECHAR) == sizeof(OLECHAR));
#endif

# Compiler flags shared by every target of the project, and the system
# libraries each platform links.

function(ravenlink_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wno-missing-field-initializers)
  # GCC 12 at -O3 reports overlapping copies inside libstdc++'s inlined string
  # concatenation that cannot happen (fixed in GCC 13).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict>)
  endif()
endfunction()

# Release builds are optimised across source files (the parser's accessors
# and the small helpers the catalog calls for every element are inlined into
# their callers).
include(CheckIPOSupported)
check_ipo_supported(RESULT ravenlink_ipo LANGUAGES CXX)
if(ravenlink_ipo)
  set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
endif()

if(RAVENLINK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(RAVENLINK_FUZZ)
  # Everything the fuzz targets link is instrumented for coverage and checked
  # by ASan and UBSan; only the targets themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(RAVENLINK_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

add_library(ravenlink_platform_libs INTERFACE)
if(WIN32)
  # The product depends on Windows system DLLs only: the compiler's runtime
  # (libgcc, libstdc++, winpthread) is linked in statically.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
  target_link_libraries(ravenlink_platform_libs INTERFACE wininet oleaut32 ole32 user32 advapi32 ws2_32)
else()
  add_compile_options(-fvisibility=hidden -fvisibility-inlines-hidden)
  find_package(Threads REQUIRED)
  find_package(CURL REQUIRED)
  target_link_libraries(ravenlink_platform_libs INTERFACE CURL::libcurl Threads::Threads ${CMAKE_DL_LIBS})
endif()

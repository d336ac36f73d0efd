# One interface target carries the warning and hardening flags every target links.
add_library(quenvor_flags INTERFACE)
target_compile_options(quenvor_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow
  # The casts, conversions and class shapes that hide faults rather than show them.
  -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align -Wcast-qual -Wconversion
  -Wnull-dereference
  -fstack-protector-strong)
if(QUENVOR_WERROR)
  target_compile_options(quenvor_flags INTERFACE -Werror)
endif()
if(NOT WIN32)
  target_compile_definitions(quenvor_flags INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  target_link_options(quenvor_flags INTERFACE -Wl,-z,relro -Wl,-z,now -pie)
else()
  # mingw's canary check lives in libssp: without the flag at link time __stack_chk_fail is missing.
  target_link_options(quenvor_flags INTERFACE -fstack-protector-strong)
  # The wide-character API only, nothing of windows.h that clashes with the standard library.
  target_compile_definitions(quenvor_flags INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601)
endif()
if(QUENVOR_SANITIZE)
  target_compile_options(quenvor_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  # Bounds and precondition checks in the standard library (operator[], front(), optional's *).
  target_compile_definitions(quenvor_flags INTERFACE _GLIBCXX_ASSERTIONS)
  target_link_options(quenvor_flags INTERFACE -fsanitize=address,undefined)
endif()

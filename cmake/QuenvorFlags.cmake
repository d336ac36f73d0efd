# One interface target carries the warning and hardening flags every target links.
add_library(quenvor_flags INTERFACE)
target_compile_options(quenvor_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow
  -fstack-protector-strong)
if(QUENVOR_WERROR)
  target_compile_options(quenvor_flags INTERFACE -Werror)
endif()
if(NOT WIN32)
  target_compile_definitions(quenvor_flags INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  target_link_options(quenvor_flags INTERFACE -Wl,-z,relro -Wl,-z,now -pie)
endif()
if(QUENVOR_SANITIZE)
  target_compile_options(quenvor_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  # Bounds and precondition checks in the standard library (operator[], front(), optional's *).
  target_compile_definitions(quenvor_flags INTERFACE _GLIBCXX_ASSERTIONS)
  target_link_options(quenvor_flags INTERFACE -fsanitize=address,undefined)
endif()

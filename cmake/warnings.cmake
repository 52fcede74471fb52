# One warning set for every target of ours, native and MinGW alike. A
# warning fails the build: the tree is kept warning-free, so a new one is
# seen at once instead of scrolling past. Turn ZUNAVERI_WERROR off to try a
# compiler the project has not been checked with.
option(ZUNAVERI_WERROR "Treat compiler warnings as errors" ON)
function(zunaveri_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(ZUNAVERI_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

option(ZUNAVERI_SANITIZE "Build native targets with ASan and UBSan" OFF)
function(zunaveri_sanitize target)
  if(ZUNAVERI_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

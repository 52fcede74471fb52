# One warning set for every target of ours, native and MinGW alike.
function(zunaveri_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
endfunction()

option(ZUNAVERI_SANITIZE "Build native targets with ASan and UBSan" OFF)
function(zunaveri_sanitize target)
  if(ZUNAVERI_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

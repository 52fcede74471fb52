# The release key a build trusts: the cache setting, or with
# ZUNAVERI_RELEASE_THROWAWAY_KEY a pair made here once per build folder
# (the private half stays in the build folder, never in the repository). The
# throwaway pair's folder is named for what it is, so that nobody mistakes
# it for a publisher's key: a build that trusts it must never be published.
# Sets ZUNAVERI_RELEASE_KEY_TEXT for the generated header, and
# ZUNAVERI_RELEASE_PRIVATE_KEY to the throwaway private key, if any.
set(ZUNAVERI_RELEASE_KEY_TEXT "${ZUNAVERI_RELEASE_PUBLIC_KEY}")
set(ZUNAVERI_RELEASE_PRIVATE_KEY "")
if(ZUNAVERI_RELEASE_THROWAWAY_KEY)
  if(NOT ZUNAVERI_RELEASE_PUBLIC_KEY STREQUAL "")
    message(FATAL_ERROR "Set either ZUNAVERI_RELEASE_PUBLIC_KEY or ZUNAVERI_RELEASE_THROWAWAY_KEY, not both")
  endif()
  find_program(ZUNAVERI_OPENSSL openssl REQUIRED)
  set(_throwaway_folder ${CMAKE_BINARY_DIR}/chave-de-teste-descartavel)
  set(ZUNAVERI_RELEASE_PRIVATE_KEY ${_throwaway_folder}/chave_privada.pem)
  if(NOT EXISTS ${ZUNAVERI_RELEASE_PRIVATE_KEY})
    file(MAKE_DIRECTORY ${_throwaway_folder})
    execute_process(
      COMMAND ${ZUNAVERI_OPENSSL} genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256
              -out ${ZUNAVERI_RELEASE_PRIVATE_KEY}
      RESULT_VARIABLE _keygen_result OUTPUT_QUIET ERROR_QUIET)
    if(NOT _keygen_result EQUAL 0)
      message(FATAL_ERROR "openssl could not make the throwaway release key")
    endif()
    file(CHMOD ${ZUNAVERI_RELEASE_PRIVATE_KEY} PERMISSIONS OWNER_READ OWNER_WRITE)
  endif()
  execute_process(
    COMMAND ${ZUNAVERI_OPENSSL} pkey -in ${ZUNAVERI_RELEASE_PRIVATE_KEY} -pubout -outform DER
    COMMAND ${ZUNAVERI_OPENSSL} base64 -A
    OUTPUT_VARIABLE ZUNAVERI_RELEASE_KEY_TEXT RESULT_VARIABLE _pubout_result OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT _pubout_result EQUAL 0)
    message(FATAL_ERROR "openssl could not read the throwaway release key ${ZUNAVERI_RELEASE_PRIVATE_KEY}")
  endif()
  message(STATUS "Release key: throwaway pair for tests in ${_throwaway_folder}")
endif()

# Every P-256 key in this form starts with the same 36 characters.
if(NOT ZUNAVERI_RELEASE_KEY_TEXT STREQUAL "" AND
   NOT ZUNAVERI_RELEASE_KEY_TEXT MATCHES "^MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE[A-Za-z0-9+/]+==$")
  message(FATAL_ERROR "ZUNAVERI_RELEASE_PUBLIC_KEY is not the base64 of a P-256 public key; make it with "
                      "'openssl pkey -in chave_privada.pem -pubout -outform DER | openssl base64 -A' "
                      "(scripts/release keygen prints it)")
endif()

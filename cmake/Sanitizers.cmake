# Sanitizer and fuzzing builds, each in a build folder of its own
# (scripts/ci-sanitizers.sh, `make fuzz`):
#   -DZINDLE_SANITIZE=address,undefined   everything under ASan and UBSan
#   -DZINDLE_SANITIZE=thread              everything under ThreadSanitizer
#   -DZINDLE_FUZZ=ON                      (clang) also the libFuzzer target in fuzz/,
#                                         ASan and UBSan implied
# Every finding stops the program: nothing is merely logged and recovered from.
set(ZINDLE_SANITIZE "" CACHE STRING "Sanitizers for the whole build, e.g. address,undefined or thread")
option(ZINDLE_FUZZ "Build the libFuzzer target in fuzz/ (clang only)" OFF)

if(ZINDLE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZINDLE_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(NOT ZINDLE_SANITIZE)
    set(ZINDLE_SANITIZE address,undefined)
  endif()
endif()

if(ZINDLE_SANITIZE)
  add_compile_options(-fsanitize=${ZINDLE_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ZINDLE_SANITIZE})
endif()
if(ZINDLE_FUZZ)
  # Coverage feedback for every module the fuzzer reaches; the libFuzzer
  # runtime itself is linked into the fuzz target only.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

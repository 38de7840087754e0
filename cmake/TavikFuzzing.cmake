# tavik_add_fuzzer(NAME fuzz_x SOURCES a.cpp ... LIBS lib ... CORPUS dir)
# Builds a libFuzzer target (TAVIK_FUZZ=ON with clang) and records its seed corpus, so that
# tools/fuzz.sh can run every target it finds in the build's fuzzers.txt.
function(tavik_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  # fuzzsupport.h: the shared check and one-time set-up.
  target_include_directories(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/config/fuzz)
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY TAVIK_FUZZERS "${F_NAME}|$<TARGET_FILE:${F_NAME}>|${F_CORPUS}")
endfunction()

# Coverage instrumentation for a library whose code the fuzz targets exercise.
function(tavik_fuzz_instrument target)
  if(TAVIK_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# Writes <build>/fuzzers.txt: one "name|executable|corpus" line per target.
function(tavik_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY TAVIK_FUZZERS)
  list(JOIN fuzzers "\n" text)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${text}\n")
endfunction()

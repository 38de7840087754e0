# tavik_add_test(NAME tst_x SOURCES a.cpp ... LIBS lib ... [UMOCKDEV] [TIMEOUT s])
# Builds a QtTest executable and registers it with CTest under the offscreen
# platform. UMOCKDEV tests run under umockdev-wrapper, whose preload must not
# trip AddressSanitizer's link-order check.
function(tavik_add_test)
  cmake_parse_arguments(T "UMOCKDEV" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
  if(T_UMOCKDEV)
    target_link_libraries(${T_NAME} PRIVATE PkgConfig::UMOCKDEV)
    add_test(NAME ${T_NAME} COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;TAVIK_BUILD_DIR=${CMAKE_BINARY_DIR};${T_ENV}")
endfunction()

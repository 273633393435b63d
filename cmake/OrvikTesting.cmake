# orvik_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# One CTest test per executable. Tests get the label of their side ("host" natively, "wine" for
# Windows executables, which CTest runs through the Wine emulator) plus the given slice labels.
function(orvik_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main orvik_warnings)
  if(WIN32)
    set(side wine)
    # The Wine side runs each test program once per slice, so it prints no per-test lines.
  else()
    set(side host)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${side}.${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${side}.${name} PROPERTIES LABELS "${side};${T_LABELS}" TIMEOUT ${T_TIMEOUT})
endfunction()

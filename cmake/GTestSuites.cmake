# Registers a GoogleTest program with ctest one test suite at a time: each suite runs in one
# process. Starting a 32-bit program under Wine and qemu costs about half a second, which for
# the quick in-process cases is most of their time; a suite in one process still names what
# failed, and `ctest -R <suite>` still picks it. The suites are listed when ctest starts, so a
# rebuilt program brings its new suites along. PROPERTIES are set on every suite, as
# gtest_discover_tests sets them on every case.
function(nicupdate_add_suites target)
  cmake_parse_arguments(ARG "" "" "PROPERTIES" ${ARGN})
  set(properties "")
  foreach(item IN LISTS ARG_PROPERTIES)
    string(APPEND properties " [==[${item}]==]")
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  file(GENERATE OUTPUT ${script} CONTENT "
execute_process(COMMAND \"${CMAKE_CROSSCOMPILING_EMULATOR}\" \"$<TARGET_FILE:${target}>\" --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE result TIMEOUT 120)
if(NOT result EQUAL 0)
  add_test(${target}_listing \"${CMAKE_COMMAND}\" -E echo \"${target}: --gtest_list_tests failed: \${result}\")
  set_tests_properties(${target}_listing PROPERTIES WILL_FAIL TRUE)
  return()
endif()
string(REPLACE \"\\r\" \"\" listing \"\${listing}\")
string(REPLACE \"\\n\" \";\" lines \"\${listing}\")
foreach(line IN LISTS lines)
  # A suite line starts in the first column and ends with a dot; a parameter comment may follow.
  if(line MATCHES \"^([^ #][^ ]*)\\\\.( |$)\")
    set(suite \"\${CMAKE_MATCH_1}\")
    add_test(\"\${suite}\" \"${CMAKE_CROSSCOMPILING_EMULATOR}\" \"$<TARGET_FILE:${target}>\" \"--gtest_filter=\${suite}.*\")
    set_tests_properties(\"\${suite}\" PROPERTIES${properties})
  endif()
endforeach()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

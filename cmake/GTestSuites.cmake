# Registers a GoogleTest program with ctest one test suite at a time: each suite runs in one
# process. Starting a 32-bit program under Wine and qemu costs about half a second, more than
# most cases take themselves; a suite in one process still names what failed, and
# `ctest -R <suite>` still picks it (`-R` and `--gtest_filter` pick a case within it). Every
# case's fixture sets its own world up and takes it down again, so cases that share a process
# share nothing else.
#
# The suites are listed when ctest starts, under the emulator; the listing is kept beside the
# program and made again only when the program is newer, so a rebuilt program brings its new
# suites along and an unchanged one costs no start. PROPERTIES are set on every suite;
# WAITING_SUITES, which spend their time waiting for a program they started rather than working,
# get WAITING_PROPERTIES instead.
function(nicupdate_add_suites target)
  cmake_parse_arguments(ARG "" "" "PROPERTIES;WAITING_SUITES;WAITING_PROPERTIES" ${ARGN})
  foreach(list PROPERTIES WAITING_PROPERTIES)
    set(${list} "")
    foreach(item IN LISTS ARG_${list})
      string(APPEND ${list} " [==[${item}]==]")
    endforeach()
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  set(listing_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.txt)
  file(GENERATE OUTPUT ${script} CONTENT "
set(program \"$<TARGET_FILE:${target}>\")
set(listing_file \"${listing_file}\")
if(\"\${program}\" IS_NEWER_THAN \"\${listing_file}\")
  execute_process(COMMAND \"${CMAKE_CROSSCOMPILING_EMULATOR}\" \"\${program}\" --gtest_list_tests
                  OUTPUT_VARIABLE listing RESULT_VARIABLE result TIMEOUT 120)
  if(NOT result EQUAL 0)
    file(REMOVE \"\${listing_file}\")
    add_test(${target}_listing \"${CMAKE_COMMAND}\" -E echo \"${target}: --gtest_list_tests failed: \${result}\")
    set_tests_properties(${target}_listing PROPERTIES WILL_FAIL TRUE)
    return()
  endif()
  file(WRITE \"\${listing_file}\" \"\${listing}\")
else()
  file(READ \"\${listing_file}\" listing)
endif()
set(waiting_suites [==[${ARG_WAITING_SUITES}]==])
string(REPLACE \"\\r\" \"\" listing \"\${listing}\")
string(REPLACE \"\\n\" \";\" lines \"\${listing}\")
foreach(line IN LISTS lines)
  # A suite line starts in the first column and ends with a dot; a parameter comment may follow.
  if(line MATCHES \"^([^ #][^ ]*)\\\\.( |$)\")
    set(suite \"\${CMAKE_MATCH_1}\")
    add_test(\"\${suite}\" \"${CMAKE_CROSSCOMPILING_EMULATOR}\" \"\${program}\" \"--gtest_filter=\${suite}.*\")
    list(FIND waiting_suites \"\${suite}\" waiting)
    if(waiting GREATER -1)
      set_tests_properties(\"\${suite}\" PROPERTIES${WAITING_PROPERTIES})
    else()
      set_tests_properties(\"\${suite}\" PROPERTIES${PROPERTIES})
    endif()
  endif()
endforeach()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

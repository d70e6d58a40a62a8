# purlwave_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>] [ALONE])
#
# One Qt Test executable registered with CTest. Every test runs on the offscreen
# platform, so no display is needed, and knows where the test-only stand-in
# encoder and the build's binaries are. ALONE leaves out the test support (and
# the libraries it links), for a test of which libraries a process loads.
function(purlwave_add_test name)
  cmake_parse_arguments(ARG "ALONE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  qt_add_executable(${name} ${ARG_SOURCES})
  if(ARG_ALONE)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  else()
    target_link_libraries(${name} PRIVATE purlwave_testsupport)
  endif()
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  add_dependencies(${name} standin_encoder)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# quorvel_library(NAME DIR <dir> [DEPS ...])
# One static library from every .cpp in DIR (not recursive). Each library
# states the layers it may use; anything else fails to link or include.
function(quorvel_library name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${ARG_DIR}/*.h)
  if(NOT sources)
    # A layer that has no code yet still takes part in the dependency chain.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${ARG_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${ARG_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# quorvel_test(NAME DIR <dir> [DEPS ...])
# One GoogleTest executable from every .cpp in DIR, registered with CTest.
function(quorvel_test name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quorvel_testsupport GTest::gtest GTest::gmock)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  # Tests that talk to the desktop over D-Bus get a session bus of their own.
  if(name IN_LIST QUORVEL_SESSION_BUS_TESTS)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "dbus-run-session;--")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;QUORVEL_TEST_TOOLS=1")
endfunction()

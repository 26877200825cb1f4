# Every header under src/ is included by its path from src/, the one include
# root ("platform/store/SqliteDatabase.h"), so a reader sees its layer. The
# root lets any file name any header, so the compiler no longer fences the
# layers: the layer check does (tools/layercheck, the test "layer_check"). It
# reads the graph quorvel_write_layer_graph writes: each layer's folder and
# the targets it links. The desktop program's and quorvel-cli's own libraries
# (app/lib, cli/lib) are layers outside src/: they keep their folder as their
# include directory and are named by bare names, as are the tests' helpers
# (tests/support, tests/journeys/hook, fuzz/).
set(QUORVEL_INCLUDE_ROOT ${PROJECT_SOURCE_DIR}/src)

# quorvel_record_layer(NAME KIND DIR)
# KIND is "library" (its headers belong to its layer), "test" or "program"
# (their files are checked, their headers belong to no layer).
function(quorvel_record_layer name kind dir)
  set_property(GLOBAL APPEND PROPERTY QUORVEL_LAYERS ${name})
  set_property(GLOBAL PROPERTY QUORVEL_LAYER_${name} "${kind}" "${dir}")
endfunction()

# quorvel_write_layer_graph(FILE)
# One line per target: KIND NAME DIR DEPS (tab-separated, DIR relative to the
# source tree, DEPS ;-separated). DEPS are the project's own targets it links,
# read from the targets themselves once every folder is configured, so a link
# added after quorvel_library counts too. Targets reached only as
# dependencies (the umbrella quorvel_platform, the test helpers) have no folder.
function(quorvel_write_layer_graph file)
  get_property(queue GLOBAL PROPERTY QUORVEL_LAYERS)
  set(seen ${queue})
  set(graph "")
  while(queue)
    list(POP_FRONT queue name)
    get_property(entry GLOBAL PROPERTY QUORVEL_LAYER_${name})
    set(kind "dependency")
    set(dir "")
    if(entry)
      list(GET entry 0 kind)
      list(GET entry 1 dir)
      file(RELATIVE_PATH dir ${PROJECT_SOURCE_DIR} ${dir})
    endif()
    get_target_property(direct ${name} LINK_LIBRARIES)
    get_target_property(public ${name} INTERFACE_LINK_LIBRARIES)
    set(deps "")
    foreach(dep IN LISTS direct public)
      if(NOT TARGET "${dep}" OR dep IN_LIST deps)
        continue()
      endif()
      get_target_property(imported ${dep} IMPORTED)
      if(imported)
        continue()
      endif()
      list(APPEND deps ${dep})
      if(NOT dep IN_LIST seen)
        list(APPEND seen ${dep})
        list(APPEND queue ${dep})
      endif()
    endforeach()
    string(JOIN ";" deps ${deps})
    string(APPEND graph "${kind}\t${name}\t${dir}\t${deps}\n")
  endwhile()
  file(CONFIGURE OUTPUT ${file} CONTENT "${graph}" @ONLY)
endfunction()

# quorvel_library(NAME DIR <dir> [DEPS ...])
# One static library from every .cpp in DIR (not recursive). Each library
# states the layers it may use: anything else fails to link, and including
# another layer's header fails the layer check.
function(quorvel_library name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${ARG_DIR}/*.h)
  quorvel_record_layer(${name} library ${ARG_DIR})
  cmake_path(IS_PREFIX QUORVEL_INCLUDE_ROOT "${ARG_DIR}" under_root)
  if(under_root)
    set(include_dir ${QUORVEL_INCLUDE_ROOT})
  else()
    set(include_dir ${ARG_DIR})
  endif()
  if(NOT sources)
    # A layer that has no code yet still takes part in the dependency chain.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${include_dir})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${include_dir})
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
  quorvel_record_layer(${name} test ${ARG_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quorvel_testsupport GTest::gtest GTest::gmock)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  # Tests that talk to the desktop over D-Bus get a session bus of their own.
  if(name IN_LIST QUORVEL_SESSION_BUS_TESTS)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "dbus-run-session;--")
  endif()
  # Texts in English (the sources' language) whatever the locale of the machine.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;QUORVEL_TEST_TOOLS=1;LC_ALL=C.UTF-8;LANGUAGE=")
endfunction()

# tarnbeck_library(<subsystem> DEPS <targets...>)
# Builds src/<subsystem>/*.cpp into the library tarnbeck_<subsystem>. Each
# library's include root holds only its own folder (a link in the build tree),
# and it sees the roots of what it links and nothing else: an include from a
# layer above, or from a sibling it does not link, fails to compile.
function(tarnbeck_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wimplicit-fallthrough -Wno-missing-field-initializers)
  if(TARNBECK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(TARNBECK_SANITIZE)
    # GCC 12 reports uninitialised reads inside libstdc++'s <regex> once the
    # sanitizers change inlining; they are not ours.
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()

function(tarnbeck_library name)
  cmake_parse_arguments(ARG "QT" "" "DEPS" ${ARGN})
  set(include_root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${include_root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${include_root}/${name} SYMBOLIC)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  set(cpp ${sources})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(NOT cpp)
    # Nothing built here yet: a header-only placeholder.
    add_library(tarnbeck_${name} INTERFACE)
    target_include_directories(tarnbeck_${name} INTERFACE ${include_root})
    target_link_libraries(tarnbeck_${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(tarnbeck_${name} STATIC ${sources})
  target_include_directories(tarnbeck_${name} PUBLIC ${include_root})
  target_link_libraries(tarnbeck_${name} PUBLIC ${ARG_DEPS})
  if(ARG_QT)
    set_target_properties(tarnbeck_${name} PROPERTIES AUTOMOC ON)
  endif()
  tarnbeck_warnings(tarnbeck_${name})
endfunction()

# tarnbeck_tests(<name> DEPS <targets...>): tests/<name>/*_test.cpp -> one binary.
function(tarnbeck_tests name)
  cmake_parse_arguments(ARG "QT" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(tarnbeck_${name}_tests ${sources})
  target_link_libraries(tarnbeck_${name}_tests PRIVATE ${ARG_DEPS} tarnbeck_testsupport GTest::gtest GTest::gmock)
  # A suite with its own main.cpp (an event loop, say) replaces gtest's.
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/main.cpp)
    target_link_libraries(tarnbeck_${name}_tests PRIVATE GTest::gtest_main)
  endif()
  if(ARG_QT)
    set_target_properties(tarnbeck_${name}_tests PROPERTIES AUTOMOC ON)
  endif()
  tarnbeck_warnings(tarnbeck_${name}_tests)
  add_test(NAME ${name} COMMAND tarnbeck_${name}_tests)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 900)
endfunction()

# Helpers shared by every folder's CMakeLists.txt.
#
# Each library is declared as wb_<name> and exported as the alias wb::<name>;
# dependants link the alias, so that a dependency that is missing fails the
# configure step instead of surfacing as a link error (or not at all).

# Our own code: warnings on, and they are errors.
set(WB_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)
if(WIN32)
  # Pedantic mode rejects the anonymous unions of the Windows headers.
  list(REMOVE_ITEM WB_WARNINGS -Wpedantic)
  # A self-contained DLL or executable: no mingw runtime DLLs beside it.
  set(WB_WIN_LINK -static -static-libgcc -static-libstdc++)
endif()

# wb_target(<name>): applies the project's warning set to one of our targets.
function(wb_target name)
  target_compile_options(${name} PRIVATE ${WB_WARNINGS})
endfunction()

# wb_library(<name> [STATIC|INTERFACE] <sources>...): the library wb_<name>
# with the alias wb::<name>, our warnings, and the source root as its public
# include directory (headers are included as "folder/file.h").
function(wb_library name)
  set(kind STATIC)
  set(sources ${ARGN})
  if(ARGV1 STREQUAL "STATIC" OR ARGV1 STREQUAL "INTERFACE")
    set(kind ${ARGV1})
    list(REMOVE_AT sources 0)
  endif()
  add_library(wb_${name} ${kind} ${sources})
  add_library(wb::${name} ALIAS wb_${name})
  if(kind STREQUAL "INTERFACE")
    target_include_directories(wb_${name} INTERFACE "${PROJECT_SOURCE_DIR}")
  else()
    wb_target(wb_${name})
    target_include_directories(wb_${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  endif()
endfunction()

# wb_dist(<target>): copies a deliverable into the dist directory after the build.
function(wb_dist name)
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${WB_DIST_DIR}"
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:${name}>" "${WB_DIST_DIR}/"
    VERBATIM)
endfunction()

# wb_native_test(<name> SOURCES ... LIBS ...): a GoogleTest executable run by
# ctest (native builds only).
function(wb_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  wb_target(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# wb::json: nlohmann-json, for the reference suite and the test programs that
# read its journal. The cross compiler gets a directory that holds nothing but
# a link to the host's copy, so that no other host header can shadow the
# mingw ones.
add_library(wb_json INTERFACE)
add_library(wb::json ALIAS wb_json)
if(WIN32)
  set(WB_JSON_INCLUDE "${CMAKE_BINARY_DIR}/json_include")
  file(MAKE_DIRECTORY "${WB_JSON_INCLUDE}")
  file(CREATE_LINK /usr/include/nlohmann "${WB_JSON_INCLUDE}/nlohmann" SYMBOLIC)
  target_include_directories(wb_json SYSTEM INTERFACE "${WB_JSON_INCLUDE}")
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(wb_json INTERFACE nlohmann_json::nlohmann_json)
endif()

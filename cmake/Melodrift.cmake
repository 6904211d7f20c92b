# Helpers that give every library the same shape: a static PIC core that the
# tests link, a shared library that holds only the C boundary, tests beside the
# code, fuzz targets and benchmarks registered the same way everywhere.

# melodrift_version_script(<target> <header>)
# Exports from the shared library <target> exactly the C functions <header>
# declares with MELODRIFT_API or MELODRIFT_EXPORT; everything else, the weak
# template code of the standard library included, stays local.
function(melodrift_version_script target header)
  file(READ ${header} text)
  string(REGEX MATCHALL "MELODRIFT_(API|EXPORT)[^;(]*[^A-Za-z0-9_;(][A-Za-z_][A-Za-z0-9_]*[ \t\r\n]*\\(" declarations "${text}")
  set(names "")
  foreach(declaration ${declarations})
    string(REGEX REPLACE ".*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)[ \t\r\n]*\\($" "\\1" name "${declaration}")
    string(APPEND names "    ${name};\n")
  endforeach()
  if(names STREQUAL "")
    message(FATAL_ERROR "${header} declares no exported function")
  endif()
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  file(CONFIGURE OUTPUT ${map} CONTENT "{\n  global:\n${names}  local:\n    *;\n};\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
endfunction()

# melodrift_library(NAME <Name> CORE <sources...> ABI <sources...> [LIBS <libs...>] [HEADER <header>])
# Makes <name>_core (static) and lib<Name>.so (shared, exporting only the C
# entry points its header, by default include/<Name>.h, declares).
function(melodrift_library)
  cmake_parse_arguments(ML "" "NAME;HEADER" "CORE;ABI;LIBS" ${ARGN})
  if(NOT ML_HEADER)
    set(ML_HEADER ${CMAKE_SOURCE_DIR}/include/${ML_NAME}.h)
  endif()
  string(TOLOWER ${ML_NAME} lower)
  add_library(${lower}_core STATIC ${ML_CORE})
  target_include_directories(${lower}_core PUBLIC ${CMAKE_SOURCE_DIR}/include ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${lower}_core PUBLIC ${ML_LIBS})
  add_library(${ML_NAME} SHARED ${ML_ABI})
  target_link_libraries(${ML_NAME} PRIVATE ${lower}_core)
  target_compile_definitions(${ML_NAME} PRIVATE MELODRIFT_BUILDING_LIBRARY)
  target_compile_definitions(${lower}_core PRIVATE MELODRIFT_BUILDING_LIBRARY)
  target_link_options(${ML_NAME} PRIVATE -Wl,--no-undefined)
  melodrift_version_script(${ML_NAME} ${ML_HEADER})
endfunction()

# melodrift_test(NAME <name> SOURCES <...> LIBS <...>)
function(melodrift_test)
  if(NOT MELODRIFT_TESTS)
    return()
  endif()
  cmake_parse_arguments(MT "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${MT_NAME} ${MT_SOURCES})
  target_link_libraries(${MT_NAME} PRIVATE ${MT_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${MT_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${MT_NAME}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES ENVIRONMENT "MELODRIFT_BIN_DIR=${MELODRIFT_BIN_DIR}"
               ENVIRONMENT_MODIFICATION "MELODRIFT_SOURCE_DIR=set:${CMAKE_SOURCE_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# melodrift_fuzzer(NAME <name> SOURCES <...> LIBS <...> [CORPUS <dir>])
# Built only in the clang fuzz build; scripts/fuzz-smoke runs every one briefly.
function(melodrift_fuzzer)
  if(NOT MELODRIFT_FUZZ)
    return()
  endif()
  cmake_parse_arguments(MF "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${MF_NAME} ${MF_SOURCES})
  target_link_libraries(${MF_NAME} PRIVATE ${MF_LIBS})
  target_link_options(${MF_NAME} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${MF_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(MF_CORPUS)
    file(APPEND ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${MF_NAME} ${MF_CORPUS}\n")
  else()
    file(APPEND ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${MF_NAME} -\n")
  endif()
endfunction()

# melodrift_benchmark(NAME <name> SOURCES <...> LIBS <...>)
function(melodrift_benchmark)
  if(NOT MELODRIFT_BENCH)
    return()
  endif()
  cmake_parse_arguments(MB "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${MB_NAME} ${MB_SOURCES})
  target_link_libraries(${MB_NAME} PRIVATE ${MB_LIBS} benchmark::benchmark benchmark::benchmark_main)
  set_target_properties(${MB_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

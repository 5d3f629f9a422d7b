# zel_library(NAME DIR DEPS...): a static library from DIR/src/*.cpp with DIR/include public.
function(zel_library name dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/src/*.cpp)
  if(_src)
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${dir}/include)
    target_link_libraries(${name} PUBLIC ${ARGN} Threads::Threads)
  else()
    # Headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${dir}/include)
    target_link_libraries(${name} INTERFACE ${ARGN} Threads::Threads)
  endif()
endfunction()

# zel_tests(NAME DIR DEPS...): one GoogleTest binary from DIR/tests/*.cpp, registered with CTest
# (zel_test_binary, which also links the shared test support zeltesting).
function(zel_tests name dir)
  if(NOT ZEL_TESTS)
    return()
  endif()
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/tests/*.cpp)
  if(NOT _src)
    return()
  endif()
  zel_test_binary(${name} "${_src}" ${ARGN} GTest::gtest_main)
endfunction()

# zel_strict_warnings(TARGET): -Wshadow -Wconversion on a target whose folder is clean enough to
# carry them, and -Werror when ZEL_WERROR is on.
function(zel_strict_warnings target)
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion)
  # clang's -Wconversion also warns of every signed index; GCC's, which the test build uses, not.
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:Clang>:-Wno-sign-conversion>)
  if(ZEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# zel_fuzzers(DIR DEPS...): one libFuzzer target per DIR/fuzz/*.cpp, named after the file.
function(zel_fuzzers dir)
  file(GLOB _fuzz CONFIGURE_DEPENDS ${dir}/fuzz/*.cpp)
  foreach(f ${_fuzz})
    get_filename_component(n ${f} NAME_WE)
    zel_fuzzer(${n} ${f} ${ARGN})
  endforeach()
endfunction()

# zel_fuzzer(NAME SOURCE DEPS...): a libFuzzer target when ZEL_FUZZ is on (clang only).
function(zel_fuzzer name source)
  if(NOT ZEL_FUZZ)
    return()
  endif()
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARGN})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

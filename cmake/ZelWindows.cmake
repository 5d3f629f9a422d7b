# Window programs (Qt 6 Widgets). Every window program folder DIR holds:
#   DIR/model/*.cpp        plain C++ (no Qt): what a person sees computed
#   DIR/model/tests/*.cpp  GoogleTest of the model, no widgets
#   DIR/*.cpp              the Qt windows and dialogs (main.cpp excluded)
#   DIR/main.cpp           builds the window and runs the application
#   DIR/tests/*.cpp        window tests: GoogleTest with a QApplication on the offscreen platform
#
# zel_window_parts(PREFIX DIR DEPS...) builds PREFIX_model, PREFIX_ui and their tests.
# zel_window_program(NAME MAIN main.cpp LIBS ... [DEFINES ...]) builds one program.
# zel_window_program_from(NAME DIR DEPS...) does both for the ordinary one-program folder.

function(zel_window_parts prefix dir)
  # The model is plain C++: it is built (and fuzzed, and tested) even without Qt.
  file(GLOB _model_src CONFIGURE_DEPENDS ${dir}/model/*.cpp)
  if(_model_src)
    add_library(${prefix}_model STATIC ${_model_src})
    target_link_libraries(${prefix}_model PUBLIC ${ARGN} Threads::Threads)
  else()
    add_library(${prefix}_model INTERFACE)
    target_link_libraries(${prefix}_model INTERFACE ${ARGN} Threads::Threads)
  endif()
  if(_model_src)
    target_include_directories(${prefix}_model PUBLIC ${dir})
  else()
    target_include_directories(${prefix}_model INTERFACE ${dir})
  endif()
  if(ZEL_TESTS)
    file(GLOB _mt CONFIGURE_DEPENDS ${dir}/model/tests/*.cpp)
    if(_mt)
      zel_test_binary(${prefix}_model_tests "${_mt}" ${prefix}_model GTest::gtest_main)
    endif()
  endif()
  if(NOT ZEL_GUI)
    return()
  endif()

  file(GLOB _ui_src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  list(FILTER _ui_src EXCLUDE REGEX "/main\\.cpp$")
  add_library(${prefix}_ui STATIC ${_ui_src})
  set_target_properties(${prefix}_ui PROPERTIES AUTOMOC ON)
  target_include_directories(${prefix}_ui PUBLIC ${dir})
  target_link_libraries(${prefix}_ui PUBLIC ${prefix}_model zelgui Qt6::Widgets)

  if(ZEL_TESTS)
    file(GLOB _wt CONFIGURE_DEPENDS ${dir}/tests/*.cpp)
    if(_wt)
      zel_test_binary(${prefix}_window_tests "${_wt}" ${prefix}_ui zelgui_testing Qt6::Test)
      set_target_properties(${prefix}_window_tests PROPERTIES AUTOMOC ON)
    endif()
  endif()
endfunction()

# zel_test_binary(NAME "SOURCES" LIBS...): one GoogleTest binary registered with CTest, with the
# shared test support (zeltesting) linked in.
function(zel_test_binary name sources)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} zeltesting GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    ZEL_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    ZEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ZEL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

function(zel_window_program name)
  if(NOT ZEL_GUI)
    return()
  endif()
  cmake_parse_arguments(W "" "MAIN" "LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${W_MAIN})
  target_link_libraries(${name} PRIVATE ${W_LIBS})
  if(W_DEFINES)
    target_compile_definitions(${name} PRIVATE ${W_DEFINES})
  endif()
endfunction()

function(zel_window_program_from name dir)
  zel_window_parts(${name} ${dir} ${ARGN})
  zel_window_program(${name} MAIN ${dir}/main.cpp LIBS ${name}_ui)
endfunction()

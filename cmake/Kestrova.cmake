# Helpers shared by every module of the tree.
#
# A module is a folder under src/core/ or src/net/ with its own CMakeLists.txt that calls
# kestrova_core_module() or kestrova_net_module(). Sources are taken from the folder itself.
# The aggregate targets kestrova_core and kestrova_net link every module of their layer.

set(KESTROVA_WARNINGS -Wall -Wextra -Wno-unused-parameter)

function(_kestrova_module layer name)
  cmake_parse_arguments(M "" "" "DEPS;LIBS;EXTRA_SOURCES" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(APPEND _srcs ${M_EXTRA_SOURCES})
  set(_target kestrova_${layer}_${name})
  if(_srcs)
    add_library(${_target} STATIC ${_srcs})
    target_include_directories(${_target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${_target} PRIVATE ${KESTROVA_WARNINGS})
    set(_vis PUBLIC)
  else()
    add_library(${_target} INTERFACE)
    target_include_directories(${_target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    set(_vis INTERFACE)
  endif()
  foreach(dep ${M_DEPS})
    target_link_libraries(${_target} ${_vis} ${dep})
  endforeach()
  if(M_LIBS)
    target_link_libraries(${_target} ${_vis} ${M_LIBS})
  endif()
  set_property(GLOBAL APPEND PROPERTY KESTROVA_${layer}_MODULES ${_target})
endfunction()

# Core modules: standard C++20 and pugixml only (no Qt, no sockets, no threads).
function(kestrova_core_module name)
  _kestrova_module(core ${name} ${ARGN})
endfunction()

# Net modules: blocking I/O with time-outs; may use core, libcurl and POSIX sockets.
function(kestrova_net_module name)
  _kestrova_module(net ${name} ${ARGN})
endfunction()

# Adds every sub-folder holding a CMakeLists.txt.
macro(kestrova_add_subdirs)
  file(GLOB _children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _children)
  foreach(_child ${_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()

# kestrova_add_test(name SOURCES a.cpp b.cpp LIBS kestrova_core_x ... [LABELS l] [TIMEOUT s] [QT])
# A GoogleTest executable registered with CTest (each TEST is one CTest case).
function(kestrova_add_test name)
  cmake_parse_arguments(T "QT;NO_DISCOVER" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    KESTROVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KESTROVA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT T_TIMEOUT)
    # A hang costs a minute; the slowest case takes a few seconds even on a loaded machine.
    set(T_TIMEOUT 60)
  endif()
  if(NOT T_LABELS)
    # An empty value would swallow the next property name.
    set(T_LABELS kestrova)
  endif()
  set(_env "QT_QPA_PLATFORM=offscreen")
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" ENVIRONMENT "${_env}")
endfunction()

# kestrova_add_fuzz(name SOURCES fuzz.cpp LIBS ... CORPUS dir)
# The harness defines LLVMFuzzerTestOneInput. Always built as a corpus replayer that CTest runs
# over every file of the corpus folder; with KESTROVA_FUZZ=ON (clang) also as a libFuzzer binary.
function(kestrova_add_fuzz name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  target_include_directories(${name}_replay PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
  add_test(NAME fuzz_corpus.${name} COMMAND ${name}_replay ${F_CORPUS})
  set_tests_properties(fuzz_corpus.${name} PROPERTIES LABELS fuzz TIMEOUT 300)
  file(APPEND ${PROJECT_BINARY_DIR}/fuzzers.txt "${name} ${CMAKE_CURRENT_BINARY_DIR}/${name}_fuzzer ${F_CORPUS}\n")
  if(KESTROVA_FUZZ)
    add_executable(${name}_fuzzer ${F_SOURCES})
    target_include_directories(${name}_fuzzer PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name}_fuzzer PRIVATE ${F_LIBS})
  endif()
endfunction()

# kestrova_add_tsan_test(name SOURCES t.cpp MODULES kestrova_net_x ... [LIBS ...] [LABELS ...])
# The test once more with ThreadSanitizer: the test and the sources of the listed modules are
# compiled into one executable with -fsanitize=thread (the modules' own libraries stay as they
# are), so that a race in that code fails the test. Registered as one CTest case.
function(kestrova_add_tsan_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;MODULES;LIBS;LABELS" ${ARGN})
  if(KESTROVA_FUZZ)
    return()  # the fuzz build instruments everything with AddressSanitizer, which excludes it
  endif()
  set(_srcs ${T_SOURCES})
  # The listed modules and every project module they depend on, so that the list names only
  # the code under test, not each module that code happens to use.
  set(_todo ${T_MODULES})
  set(_seen)
  set(_extern)
  while(_todo)
    list(POP_FRONT _todo m)
    if(m IN_LIST _seen OR NOT TARGET ${m} OR NOT m MATCHES "^kestrova_(core|net)_")
      continue()
    endif()
    list(APPEND _seen ${m})
    get_target_property(_type ${m} TYPE)
    if(_type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(_deps ${m} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(_ms ${m} SOURCES)
      list(APPEND _srcs ${_ms})
      get_target_property(_deps ${m} LINK_LIBRARIES)
    endif()
    if(_deps)
      foreach(d ${_deps})
        if(d MATCHES "^kestrova_(core|net)_")
          list(APPEND _todo ${d})
        else()
          list(APPEND _extern ${d})  # a system library the module links (curl, pugixml ...)
        endif()
      endforeach()
    endif()
  endwhile()
  add_executable(${name} ${_srcs})
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS} -fsanitize=thread -g -O1)
  target_link_options(${name} PRIVATE -fsanitize=thread)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  list(REMOVE_DUPLICATES _extern)
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${_extern} GTest::gtest GTest::gtest_main Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
endfunction()

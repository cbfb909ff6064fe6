# Shared compiler settings for every Reelsmith target, carried by one INTERFACE target.
add_library(reelsmith_compiler_options INTERFACE)
target_compile_features(reelsmith_compiler_options INTERFACE cxx_std_20)
target_compile_options(reelsmith_compiler_options INTERFACE
  -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
target_compile_definitions(reelsmith_compiler_options INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

if(REELSMITH_WERROR)
  target_compile_options(reelsmith_compiler_options INTERFACE -Werror)
endif()

# REELSMITH_SANITIZE: empty, "address,undefined" or "thread".
set(REELSMITH_SANITIZE "" CACHE STRING "Sanitizers to build with (address,undefined | thread)")
if(REELSMITH_SANITIZE)
  target_compile_options(reelsmith_compiler_options INTERFACE
    -fsanitize=${REELSMITH_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(reelsmith_compiler_options INTERFACE -fsanitize=${REELSMITH_SANITIZE})
endif()

# One test executable per test file.
#   reelsmith_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Under ThreadSanitizer only the tests labelled "concurrency" are built.
function(reelsmith_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(REELSMITH_SANITIZE STREQUAL "thread" AND NOT "concurrency" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE reelsmith_compiler_options reelsmith_test_support ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;REELSMITH_TEST_DATA=${CMAKE_CURRENT_BINARY_DIR}/data"
    LABELS "${T_LABELS}")
endfunction()

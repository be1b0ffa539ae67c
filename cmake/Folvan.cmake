# Helpers shared by the folders' CMakeLists.

# folvan_library(NAME SOURCES... [DEPS ...]): a static library for src/NAME,
# named folvan_NAME, with src/ on the include path so that code includes
# "platform/Paths.h", "engine/PdfDocument.h", ...
function(folvan_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(folvan_${name} STATIC ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_include_directories(folvan_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(folvan_${name} PUBLIC ${ARG_DEPS})
endfunction()

# folvan_test(NAME SOURCES... DEPS ...): one GoogleTest program, registered
# with CTest case by case.
function(folvan_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} folvan_testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox"
    DISCOVERY_TIMEOUT 60)
endfunction()

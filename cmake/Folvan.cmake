# Helpers shared by the folders' CMakeLists.

# folvan_expose_headers(TARGET NAME FOLDER): puts FOLDER, and nothing else,
# on the include path of TARGET and of what links it, as "NAME/...". Each
# library gets a folder of its own under the build tree holding one link,
# NAME -> FOLDER, so that code still includes "platform/Paths.h",
# "engine/PdfDocument.h", ... but only from the libraries it links: an
# include against the layers fails to compile.
function(folvan_expose_headers target name folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${folder} ${root}/${name} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# folvan_library(NAME SOURCES... [DEPS ...]): a static library for src/NAME,
# named folvan_NAME, whose headers are included as "NAME/...".
function(folvan_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(folvan_${name} STATIC ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  folvan_expose_headers(folvan_${name} ${name} ${CMAKE_SOURCE_DIR}/src/${name})
  target_link_libraries(folvan_${name} PUBLIC ${ARG_DEPS})
endfunction()

# folvan_test(NAME SOURCES... DEPS ...): one GoogleTest program, registered
# with CTest case by case.
function(folvan_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} folvan_testsupport folvan_testfixtures
                        GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox"
    DISCOVERY_TIMEOUT 60)
endfunction()

# folvan_web_page_files(PAGE OUT FILE...): the paths of FILEs in web/PAGE, in
# OUT. Any of them missing (the page's npm packages, or what its install makes
# from them, not there yet) stops the configure with the one message every
# page gives.
function(folvan_web_page_files page out)
  set(paths "")
  set(missing "")
  foreach(file IN LISTS ARGN)
    set(path ${CMAKE_SOURCE_DIR}/web/${page}/${file})
    if(NOT EXISTS ${path})
      list(APPEND missing ${file})
    endif()
    list(APPEND paths ${path})
  endforeach()
  if(missing)
    list(JOIN missing ", " missing)
    message(FATAL_ERROR "web/${page} needs its npm packages (missing: ${missing}): run scripts/setup.sh")
  endif()
  set(${out} ${paths} PARENT_SCOPE)
endfunction()

# folvan_find_node(): FOLVAN_NODE, the node program that runs the pages'
# own tests (scripts/setup.sh installs it). Without one the configure stops,
# as it does without the pages' npm packages, rather than leave the pages
# untested or their tests failing at run time.
function(folvan_find_node)
  find_program(FOLVAN_NODE node DOC "node, which runs the web pages' tests")
  if(NOT FOLVAN_NODE)
    message(FATAL_ERROR "the web pages' tests need node (Node.js), not found: run scripts/setup.sh "
                        "(or configure with -DFOLVAN_BUILD_TESTS=OFF)")
  endif()
endfunction()

# folvan_web_shared_files(OUT): the files every page shares (web/shared: the
# modules and the names they share with the native side), in OUT, each built
# into a page's resources as shared/NAME; the pages import them as
# ../shared/NAME, which from a page at the root of its scheme is shared/NAME.
function(folvan_web_shared_files out)
  set(paths "")
  foreach(file bridge.js contract.js contract.json)
    set(path ${CMAKE_SOURCE_DIR}/web/shared/${file})
    set_source_files_properties(${path} PROPERTIES QT_RESOURCE_ALIAS shared/${file})
    list(APPEND paths ${path})
  endforeach()
  set(${out} ${paths} PARENT_SCOPE)
endfunction()

# folvan_contract_header(TARGET PAGE HEADER NAMESPACE [ONLY member...]
# [SKIP member...]): makes HEADER ("folder/Name.h") of TARGET at build time
# from web/PAGE/contract.json, the names and values the page and the native
# side share (cmake/ContractHeader.cmake says how). TARGET and what links it
# include it as "folder/Name.h".
function(folvan_contract_header target page header namespace)
  cmake_parse_arguments(ARG "" "" "ONLY;SKIP" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/contract/${target})
  set(out ${root}/${header})
  set(contract ${CMAKE_SOURCE_DIR}/web/${page}/contract.json)
  list(JOIN ARG_ONLY "," only)
  list(JOIN ARG_SKIP "," skip)
  get_filename_component(out_dir ${out} DIRECTORY)
  file(MAKE_DIRECTORY ${out_dir})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DCONTRACT=${contract} -DHEADER=${out} -DNAMESPACE=${namespace}
            -DONLY=${only} -DSKIP=${skip} -P ${CMAKE_SOURCE_DIR}/cmake/ContractHeader.cmake
    DEPENDS ${contract} ${CMAKE_SOURCE_DIR}/cmake/ContractHeader.cmake
    COMMENT "Writing ${header} from web/${page}/contract.json"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# folvan_web_page_served(TARGET HEADER NAMESPACE BASE FILE...): writes
# HEADER (a name such as BookPageFiles.h) on TARGET's include path, holding
# `NAMESPACE::pageFiles`: the names under which the page's scheme serves
# FILEs, each its resource alias or its path below BASE. The scheme handler
# serves these and nothing else from the page's folder, so the list is kept
# in one place: the page's resources.
function(folvan_web_page_served target header namespace base)
  set(entries "")
  foreach(path IN LISTS ARGN)
    get_source_file_property(name ${path} QT_RESOURCE_ALIAS)
    if(NOT name)
      file(RELATIVE_PATH name ${base} ${path})
    endif()
    string(APPEND entries "    QStringLiteral(\"${name}\"),\n")
  endforeach()
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/served)
  file(CONFIGURE OUTPUT ${folder}/${header} @ONLY CONTENT
"#pragma once

// Made by the build from the page's resource list: the names its scheme
// serves from the page's folder, and no other.

#include <QStringList>

namespace @namespace@ {

inline const QStringList pageFiles = {
@entries@};

} // namespace @namespace@
")
  target_include_directories(${target} PUBLIC ${folder})
endfunction()

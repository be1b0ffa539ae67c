# cmake -DFOLDER=DIR -P NoNode.cmake
# Looks for node with nothing but the empty folder DIR on the PATH: the
# look-up the configure makes must stop there, with its message. Passes
# when the output holds that message (see tests/CMakeLists.txt).
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Folvan.cmake)
file(MAKE_DIRECTORY ${FOLDER})
set(ENV{PATH} ${FOLDER})
folvan_find_node()
message(FATAL_ERROR "the configure went on without node, found: ${FOLVAN_NODE}")

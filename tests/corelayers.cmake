# Keeps the engine free of the window's libraries: fails when a file under
# src/core includes a Qt Gui or Qt Widgets header, or when bootline_core links
# either library. Also fails when two folders of src/core include each other:
# each folder builds on the ones below it, never the other way round. Run by CTest with `cmake -DINPUTS=<file> -P`; the inputs are
# written at configure time by tests/CMakeLists.txt.

cmake_minimum_required(VERSION 3.25)
include(${INPUTS})

include(${CMAKE_CURRENT_LIST_DIR}/layerrules.cmake)

gui_headers("${GUI_HEADER_DIRS}" forbidden)

file(GLOB_RECURSE sources ${CORE_DIR}/*)
if(NOT sources)
    message(FATAL_ERROR "no source found under ${CORE_DIR}")
endif()
forbidden_includes("${sources}" "${forbidden}" "^Qt(Gui|Widgets)/" faults)
set(folder_edges "")
foreach(source IN LISTS sources)
    file(RELATIVE_PATH relative ${CORE_DIR} ${source})
    string(REGEX REPLACE "/.*" "" folder "${relative}")
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "[<\"]([^>\"]+)[>\"]")
            set(header ${CMAKE_MATCH_1})
            if(header MATCHES "^([a-z]+)/" AND EXISTS ${CORE_DIR}/${CMAKE_MATCH_1}
               AND NOT CMAKE_MATCH_1 STREQUAL folder)
                list(APPEND folder_edges "${folder}>${CMAKE_MATCH_1}")
            endif()
        endif()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES folder_edges)
foreach(edge IN LISTS folder_edges)
    string(REPLACE ">" ";" ends "${edge}")
    list(GET ends 0 from)
    list(GET ends 1 to)
    if("${to}>${from}" IN_LIST folder_edges AND from STRLESS to)
        list(APPEND faults "src/core/${from} and src/core/${to} include each other")
    endif()
endforeach()

forbidden_links(bootline_core "${CORE_LINKS}" "Qt[0-9]*::(Gui|Widgets)" link_faults)
list(APPEND faults ${link_faults})

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The engine must not reach the window's libraries:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files under src/core, no Qt Gui or Widgets header; "
               "bootline_core links ${CORE_LINKS}")

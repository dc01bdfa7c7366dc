# Keeps the engine free of the window's libraries: fails when a file under
# src/core includes a Qt Gui or Qt Widgets header, or when bootline_core links
# either library. Also fails when two folders of src/core include each other:
# each folder builds on the ones below it, never the other way round. Run by CTest with `cmake -DINPUTS=<file> -P`; the inputs are
# written at configure time by tests/CMakeLists.txt.

cmake_minimum_required(VERSION 3.25)
include(${INPUTS})

# Every header the two libraries install, by the name an #include would use.
set(forbidden "")
foreach(dir IN LISTS GUI_HEADER_DIRS)
    file(GLOB names RELATIVE ${dir} ${dir}/*)
    list(APPEND forbidden ${names})
endforeach()
# A guard that knows no header would pass anything.
foreach(known QColor QGuiApplication QPainter QWidget QApplication)
    if(NOT known IN_LIST forbidden)
        message(FATAL_ERROR "${known} is missing from the Qt Gui and Widgets headers found in "
                            "'${GUI_HEADER_DIRS}'")
    endif()
endforeach()

set(faults "")
file(GLOB_RECURSE sources ${CORE_DIR}/*)
if(NOT sources)
    message(FATAL_ERROR "no source found under ${CORE_DIR}")
endif()
set(folder_edges "")
foreach(source IN LISTS sources)
    file(RELATIVE_PATH relative ${CORE_DIR} ${source})
    string(REGEX REPLACE "/.*" "" folder "${relative}")
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "[<\"]([^>\"]+)[>\"]")
            set(header ${CMAKE_MATCH_1})
            if(header MATCHES "^Qt(Gui|Widgets)/" OR header IN_LIST forbidden)
                list(APPEND faults "${source} includes ${header}")
            endif()
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

if(NOT CORE_LINKS)
    message(FATAL_ERROR "bootline_core's link libraries were not given")
endif()
foreach(library IN LISTS CORE_LINKS)
    if(library MATCHES "Qt[0-9]*::(Gui|Widgets)")
        list(APPEND faults "bootline_core links ${library}")
    endif()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The engine must not reach the window's libraries:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files under src/core, no Qt Gui or Widgets header; "
               "bootline_core links ${CORE_LINKS}")

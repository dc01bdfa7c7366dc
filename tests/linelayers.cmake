# Keeps the production line free of any face: fails when a file under
# src/line includes a Qt Gui or Qt Widgets header, a header of the window
# (window/) or of the terminal face (cli/), or the terminal's own headers,
# or when bootline_line links Qt Gui or Qt Widgets. Run by CTest with
# `cmake -DINPUTS=<file> -P`; the inputs are written at configure time by
# tests/CMakeLists.txt.

cmake_minimum_required(VERSION 3.25)
include(${INPUTS})

set(forbidden termios.h)
foreach(dir IN LISTS GUI_HEADER_DIRS)
    file(GLOB names RELATIVE ${dir} ${dir}/*)
    list(APPEND forbidden ${names})
endforeach()
if(NOT QWidget IN_LIST forbidden)
    message(FATAL_ERROR "QWidget is missing from the Qt Widgets headers found in "
                        "'${GUI_HEADER_DIRS}'")
endif()

file(GLOB sources ${LINE_DIR}/*)
if(NOT sources)
    message(FATAL_ERROR "no source found under ${LINE_DIR}")
endif()
set(faults "")
foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "[<\"]([^>\"]+)[>\"]")
            set(header ${CMAKE_MATCH_1})
            if(header MATCHES "^(Qt(Gui|Widgets)|window|cli)/" OR header IN_LIST forbidden)
                list(APPEND faults "${source} includes ${header}")
            endif()
        endif()
    endforeach()
endforeach()
if(NOT LINE_LINKS)
    message(FATAL_ERROR "bootline_line's link libraries were not given")
endif()
foreach(library IN LISTS LINE_LINKS)
    if(library MATCHES "Qt[0-9]*::(Gui|Widgets)|bootline_(window|cli)")
        list(APPEND faults "bootline_line links ${library}")
    endif()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The production line must not reach a face:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files under src/line, no face's header; bootline_line links "
               "${LINE_LINKS}")

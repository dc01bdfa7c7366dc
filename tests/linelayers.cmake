# Keeps the production line free of any face: fails when a file under
# src/line includes a Qt Gui or Qt Widgets header, a header of the window
# (window/) or of the terminal face (cli/), or the terminal's own termios.h,
# or when bootline_line links either face or Qt Gui or Widgets. Run by CTest
# with `cmake -DINPUTS=<file> -P`; the inputs are written at configure time
# by tests/CMakeLists.txt.

cmake_minimum_required(VERSION 3.25)
include(${INPUTS})
include(${CMAKE_CURRENT_LIST_DIR}/layerrules.cmake)

gui_headers("${GUI_HEADER_DIRS}" forbidden)
list(APPEND forbidden termios.h)
file(GLOB sources ${LINE_DIR}/*)
if(NOT sources)
    message(FATAL_ERROR "no source found under ${LINE_DIR}")
endif()
forbidden_includes("${sources}" "${forbidden}" "^(Qt(Gui|Widgets)|window|cli)/" faults)
forbidden_links(bootline_line "${LINE_LINKS}" "Qt[0-9]*::(Gui|Widgets)|bootline_(window|cli)"
                link_faults)
list(APPEND faults ${link_faults})

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The production line must not reach a face:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files under src/line, no face's header; bootline_line links "
               "${LINE_LINKS}")

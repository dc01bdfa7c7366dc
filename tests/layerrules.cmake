# What the layer tests share, for `cmake -P` scripts.

# Every header Qt Gui and Qt Widgets install, by the name an #include would
# use; a guard that knows none of them would pass anything.
function(gui_headers dirs out)
    set(names "")
    foreach(dir IN LISTS dirs)
        file(GLOB found RELATIVE ${dir} ${dir}/*)
        list(APPEND names ${found})
    endforeach()
    foreach(known QColor QGuiApplication QPainter QWidget QApplication)
        if(NOT known IN_LIST names)
            message(FATAL_ERROR "${known} is missing from the Qt Gui and Widgets headers found "
                                "in '${dirs}'")
        endif()
    endforeach()
    set(${out} ${names} PARENT_SCOPE)
endfunction()

# Each include of the sources that names a forbidden header, or one whose
# path matches the pattern, as "FILE includes HEADER".
function(forbidden_includes sources forbidden pattern out)
    set(faults "")
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            if(line MATCHES "[<\"]([^>\"]+)[>\"]")
                set(header ${CMAKE_MATCH_1})
                if(header MATCHES "${pattern}" OR header IN_LIST forbidden)
                    list(APPEND faults "${source} includes ${header}")
                endif()
            endif()
        endforeach()
    endforeach()
    set(${out} ${faults} PARENT_SCOPE)
endfunction()

# Each library that matches the pattern, as "TARGET links LIBRARY".
function(forbidden_links target links pattern out)
    if(NOT links)
        message(FATAL_ERROR "${target}'s link libraries were not given")
    endif()
    set(faults "")
    foreach(library IN LISTS links)
        if(library MATCHES "${pattern}")
            list(APPEND faults "${target} links ${library}")
        endif()
    endforeach()
    set(${out} ${faults} PARENT_SCOPE)
endfunction()

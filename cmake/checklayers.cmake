# Fails when a file of the logic layer reaches up into a front end or aside
# into what only surrounds it: an app/, cli/, site/ or tests/ header, or a
# Widgets, Multimedia or D-Bus header (the logic target does not link those,
# but a path spelt with its module folder would still be found).
# Run as: cmake -DROOT=<source dir> -P checklayers.cmake
set(offences "")
foreach(folder config page player download works update video)
    file(GLOB_RECURSE files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(file ${files})
        file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line ${lines})
            if(line MATCHES "\"(app|cli|site|tests)/|<Qt(Widgets|Multimedia|MultimediaWidgets|DBus)/|<Q(Widget|Application|MediaPlayer|AudioOutput|DBus[A-Za-z]*)>")
                file(RELATIVE_PATH rel "${ROOT}" "${file}")
                string(APPEND offences "\n  ${rel}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(offences)
    message(FATAL_ERROR "The logic layer includes front-end, site or test headers:${offences}")
endif()
message(STATUS "The logic layer includes no front-end, site or test header.")

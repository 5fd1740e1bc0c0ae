# The daily sync's systemd user units, installed by `cmake --install` once the
# prefix is known: cantora_install_units(SOURCE_DIR BINDIR UNIT_DIR), where
# BINDIR is relative to the prefix and an empty UNIT_DIR is chosen below.
#
# The folder is one `systemctl --user` reads: lib/systemd/user under a system
# prefix, but under a prefix in the home folder (`--prefix ~/.local`) the
# user's own $XDG_DATA_HOME/systemd/user, since ~/.local/lib/systemd/user is
# never looked at.
function(cantora_install_units source_dir bindir unit_dir)
    if(unit_dir STREQUAL "")
        set(home "$ENV{HOME}")
        string(REGEX REPLACE "/+$" "" home "${home}")
        string(FIND "${CMAKE_INSTALL_PREFIX}/" "${home}/" in_home)
        if(NOT "$ENV{DESTDIR}" STREQUAL "" OR home STREQUAL "" OR NOT in_home EQUAL 0)
            set(unit_dir "${CMAKE_INSTALL_PREFIX}/lib/systemd/user")
        elseif(NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
            set(unit_dir "$ENV{XDG_DATA_HOME}/systemd/user")
        else()
            set(unit_dir "${home}/.local/share/systemd/user")
        endif()
    endif()

    # The program's path as one word of ExecStart, whatever the prefix holds:
    # systemd reads "%" as a specifier and splits at blanks; it runs no
    # program whose path has a quote, a backslash, a tab or a line break.
    set(program "${CMAKE_INSTALL_PREFIX}/${bindir}/cantora-cli")
    if(program MATCHES "[\"'\\\\\t\n\r]")
        message(WARNING "No systemd units for the daily sync: systemd cannot run ${program}")
        return()
    endif()
    string(REPLACE "%" "%%" program "${program}")
    if(program MATCHES " ")
        set(program "\"${program}\"")
    endif()

    file(READ "${source_dir}/cantora-helper-sync.service" unit)
    string(REPLACE "@CANTORA_CLI_EXEC@" "${program}" unit "${unit}")
    set(target "$ENV{DESTDIR}${unit_dir}")
    message(STATUS "Installing: ${target}/cantora-helper-sync.service")
    file(WRITE "${target}/cantora-helper-sync.service" "${unit}")
    # file(INSTALL) puts DESTDIR in front itself.
    file(INSTALL "${source_dir}/cantora-helper-sync.timer" DESTINATION "${unit_dir}")
endfunction()

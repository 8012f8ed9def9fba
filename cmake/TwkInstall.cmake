# Installing like a Linux desktop program: the two programs in bin/, a menu entry with
# its icons and AppStream data under one application id, manual pages and bash
# completion; and Debian packages of all that (scripts/package.sh). Everything belongs to
# one of two components, which become two packages: twk (the command-line tool, for a
# server without a display) and tallowick (the desktop program, which needs twk).
include(GNUInstallDirs)

set(TWK_APP_ID org.example.tallowick)
set(TWK_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS twk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT twk)
if(TWK_GUI)
    install(TARGETS tallowick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tallowick)
    install(FILES ${TWK_RESOURCES}/${TWK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT tallowick)
    install(FILES ${TWK_RESOURCES}/icons/${TWK_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT tallowick)
    install(FILES ${TWK_RESOURCES}/icons/${TWK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT tallowick)
    configure_file(${TWK_RESOURCES}/${TWK_APP_ID}.metainfo.xml
        ${PROJECT_BINARY_DIR}/share/${TWK_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/share/${TWK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT tallowick)
endif()
install(FILES ${TWK_RESOURCES}/completion/twk
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT twk)

# Manual pages carry the version and are installed compressed, as Debian wants them.
find_program(GZIP_EXE gzip REQUIRED)
set(TWK_MAN_PAGES twk)
if(TWK_GUI)
    list(APPEND TWK_MAN_PAGES tallowick)
endif()
set(TWK_MAN_OUTPUTS "")
foreach(page ${TWK_MAN_PAGES})
    set(source ${TWK_RESOURCES}/man/${page}.1)
    set(configured ${PROJECT_BINARY_DIR}/share/man/${page}.1)
    configure_file(${source} ${configured} @ONLY)
    add_custom_command(OUTPUT ${configured}.gz
        COMMAND ${GZIP_EXE} -9nkf ${configured}
        DEPENDS ${configured}
        COMMENT "Compressing the manual page ${page}(1)")
    list(APPEND TWK_MAN_OUTPUTS ${configured}.gz)
    # Each page goes with its program: twk.1 into twk, tallowick.1 into tallowick.
    install(FILES ${configured}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${page})
endforeach()
add_custom_target(twk_man_pages ALL DEPENDS ${TWK_MAN_OUTPUTS})

# Debian's copyright and changelog files, which every package carries in a folder named
# after itself.
configure_file(${TWK_RESOURCES}/debian/changelog ${PROJECT_BINARY_DIR}/share/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/share/changelog.gz
    COMMAND ${GZIP_EXE} -9nkf ${PROJECT_BINARY_DIR}/share/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/share/changelog)
add_custom_target(twk_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/share/changelog.gz)
set(TWK_COMPONENTS twk)
if(TWK_GUI)
    list(APPEND TWK_COMPONENTS tallowick)
endif()
foreach(component ${TWK_COMPONENTS})
    install(FILES ${TWK_RESOURCES}/debian/copyright ${PROJECT_BINARY_DIR}/share/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
endforeach()

# The scripts the program knows, in the order help, manual pages and AppStream name them;
# the package descriptions are made from this list so that they stay in step.
set(TWK_SCRIPT_NAMES Discourse IPBoard MyBB NodeBB phpBB SMF vBulletin)
list(POP_BACK TWK_SCRIPT_NAMES TWK_LAST_SCRIPT)
list(JOIN TWK_SCRIPT_NAMES ", " TWK_SCRIPT_TEXT)
string(APPEND TWK_SCRIPT_TEXT " or ${TWK_LAST_SCRIPT}")
list(APPEND TWK_SCRIPT_NAMES ${TWK_LAST_SCRIPT})

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${TWK_COMPONENTS})
set(CPACK_PACKAGE_NAME tallowick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brennholt Inc <packages@tallowick.example.org>")
set(CPACK_PACKAGE_VENDOR "Brennholt Inc")
# Fills the words of text into lines of at most 79 characters, as Debian wants them.
function(twk_wrap_text text out)
    string(REPLACE " " ";" words "${text}")
    set(result "")
    set(line "")
    foreach(word ${words})
        string(LENGTH "${line} ${word}" length)
        if(line STREQUAL "")
            set(line "${word}")
        elseif(length GREATER 79)
            string(APPEND result "${line}\n")
            set(line "${word}")
        else()
            string(APPEND line " ${word}")
        endif()
    endforeach()
    set(${out} "${result}${line}" PARENT_SCOPE)
endfunction()
# Each package's description: its summary line, then the text (CPack prepends no shared
# summary while CPACK_PACKAGE_DESCRIPTION_SUMMARY keeps its default).
twk_wrap_text("Tallowick posts one prepared message as a new topic to many web forums \
running ${TWK_SCRIPT_TEXT}, several at a time, and keeps the results."
    TWK_DESCRIPTION_COMMON)
set(CPACK_COMPONENT_TWK_DESCRIPTION
    "post one message as a new topic to many web forums (command line)\n"
    "${TWK_DESCRIPTION_COMMON}\n"
    "This package holds twk, the command-line tool, for scripts, cron jobs and\n"
    "servers without a display.")
set(CPACK_COMPONENT_TALLOWICK_DESCRIPTION
    "post one message as a new topic to many web forums (desktop program)\n"
    "${TWK_DESCRIPTION_COMMON}\n"
    "This package holds tallowick, the Qt desktop program, with its menu entry.")
foreach(component TWK TALLOWICK)
    string(REPLACE ";" "" CPACK_COMPONENT_${component}_DESCRIPTION
        "${CPACK_COMPONENT_${component}_DESCRIPTION}")
endforeach()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_TWK_PACKAGE_NAME twk)
set(CPACK_DEBIAN_TALLOWICK_PACKAGE_NAME tallowick)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tallowick.example.org/)
# dpkg-shlibdeps runs on each package's own programs, so twk depends on curl, SQLite and
# htmlcxx only, and tallowick adds Qt; tallowick depends on twk of the same version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the certificates that https
# needs, Qt's window-system plugins, and xdg-open for addresses and logs.
set(CPACK_DEBIAN_TWK_PACKAGE_DEPENDS "ca-certificates")
set(CPACK_DEBIAN_TALLOWICK_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_TALLOWICK_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
if(TWK_GUI)
    cpack_add_component(tallowick DEPENDS twk)
endif()

# Installing like a Linux desktop program: the two programs in bin/, a menu entry with
# its icons and AppStream data under one application id, manual pages and bash
# completion; and a Debian package of all that (scripts/package.sh).
include(GNUInstallDirs)

set(TWK_APP_ID org.example.tallowick)
set(TWK_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS twk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TWK_GUI)
    install(TARGETS tallowick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${TWK_RESOURCES}/${TWK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TWK_RESOURCES}/icons/${TWK_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
    install(FILES ${TWK_RESOURCES}/icons/${TWK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    configure_file(${TWK_RESOURCES}/${TWK_APP_ID}.metainfo.xml
        ${PROJECT_BINARY_DIR}/share/${TWK_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/share/${TWK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
install(FILES ${TWK_RESOURCES}/completion/twk
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

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
    install(FILES ${configured}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(twk_man_pages ALL DEPENDS ${TWK_MAN_OUTPUTS})

# Debian's copyright and changelog files, which every package carries.
set(TWK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tallowick)
configure_file(${TWK_RESOURCES}/debian/changelog ${PROJECT_BINARY_DIR}/share/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/share/changelog.gz
    COMMAND ${GZIP_EXE} -9nkf ${PROJECT_BINARY_DIR}/share/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/share/changelog)
add_custom_target(twk_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/share/changelog.gz)
install(FILES ${TWK_RESOURCES}/debian/copyright DESTINATION ${TWK_DOC_DIR})
install(FILES ${PROJECT_BINARY_DIR}/share/changelog.gz DESTINATION ${TWK_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallowick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brennholt Inc <packages@tallowick.example.org>")
set(CPACK_PACKAGE_VENDOR "Brennholt Inc")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "post one message as a new topic to many web forums")
# The scripts the description names, written once here; tests/install holds this list to
# the program's own (KnownScripts() in src/core/engines/ScriptNames.cpp).
set(TWK_SCRIPT_NAMES Discourse IPBoard MyBB NodeBB phpBB SMF vBulletin)
set(twk_scripts_but_last ${TWK_SCRIPT_NAMES})
list(POP_BACK twk_scripts_but_last twk_last_script)
list(JOIN twk_scripts_but_last ", " TWK_SCRIPT_NAMES_TEXT)
string(APPEND TWK_SCRIPT_NAMES_TEXT " or ${twk_last_script}")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallowick posts one prepared message as a new topic to many web forums running\n"
    "${TWK_SCRIPT_NAMES_TEXT}, several at a time,\n"
    "and keeps the results. It comes as a Qt desktop program (tallowick) and a\n"
    "command-line tool (twk).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tallowick.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's window-system plugins, the
# certificates that https needs, and xdg-open for addresses and logs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)

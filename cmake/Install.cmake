# What `cmake --install` puts in place and what `cpack -G DEB` packs: the programs, the desktop
# entry with its icon and AppStream metadata, the manual pages and the licence.
include(GNUInstallDirs)

set(TROVEX_APP_ID io.github.trovex.Trovex)
set(TROVEX_DESKTOP_DIR ${CMAKE_CURRENT_SOURCE_DIR}/resources/desktop)
set(TROVEX_MAN_PAGES trovex-scan.1)

install(TARGETS trovex-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TROVEX_GUI)
    list(APPEND TROVEX_MAN_PAGES trovex.1)
    install(TARGETS trovex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${TROVEX_DESKTOP_DIR}/${TROVEX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TROVEX_DESKTOP_DIR}/${TROVEX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${TROVEX_DESKTOP_DIR}/${TROVEX_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # The bitmap sizes are rendered from the drawing, so there is one picture to keep up to date.
    add_executable(render_icon scripts/render_icon.cpp)
    target_link_libraries(render_icon PRIVATE Qt6::Svg Qt6::Gui)
    set(TROVEX_ICON_SIZES 16 22 24 32 48 64 128 256)
    set(TROVEX_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons)
    set(TROVEX_ICON_PNGS)
    foreach(size IN LISTS TROVEX_ICON_SIZES)
        list(APPEND TROVEX_ICON_PNGS ${TROVEX_ICON_DIR}/${size}/${TROVEX_APP_ID}.png)
        install(FILES ${TROVEX_ICON_DIR}/${size}/${TROVEX_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_command(OUTPUT ${TROVEX_ICON_PNGS}
                       COMMAND render_icon ${TROVEX_DESKTOP_DIR}/${TROVEX_APP_ID}.svg ${TROVEX_ICON_DIR}
                               ${TROVEX_ICON_SIZES}
                       DEPENDS render_icon ${TROVEX_DESKTOP_DIR}/${TROVEX_APP_ID}.svg
                       COMMENT "Rendering the icon sizes")
    add_custom_target(trovex_icons ALL DEPENDS ${TROVEX_ICON_PNGS})
endif()

# Manual pages go out compressed, as Debian keeps them; -n leaves the time out, so builds repeat.
set(TROVEX_MAN_GZ)
foreach(page IN LISTS TROVEX_MAN_PAGES)
    set(gz ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${gz}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                       COMMAND gzip -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/resources/man/${page} > ${gz}
                       DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/resources/man/${page})
    list(APPEND TROVEX_MAN_GZ ${gz})
endforeach()
add_custom_target(trovex_man ALL DEPENDS ${TROVEX_MAN_GZ})
install(FILES ${TROVEX_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trovex RENAME copyright)

set(CPACK_PACKAGE_NAME trovex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Trovex developers")
set(CPACK_PACKAGE_CONTACT "The Trovex developers <trovex@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file search and file-type summary for Linux desktops")
# Debian shows the description as written, so its lines are kept short.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Trovex summarises a folder tree by file type, with the count and total size of\n"
       "each type, and lists the files that match a type, name, date, size or\n"
       "attribute condition, in a window with commands on the files found.\n"
       "trovex-scan gives the same summaries and lists without a display, as tables,\n"
       "CSV, TSV or JSON.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries come from dpkg-shlibdeps; the window also needs a platform plugin and the MIME
# database, which it loads at run time and so no linker sees.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TROVEX_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, shared-mime-info")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
endif()
include(CPack)

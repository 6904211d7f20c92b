# The install tree: programs in bin/, the libraries they load by name in
# lib/melodrift/ (found through an RPATH relative to the program, so the tree
# can move), read-only data under share/melodrift/, and what a desktop needs
# to show the program in its menus. CPack turns the same tree into a .deb.
include(GNUInstallDirs)

set(MELODRIFT_INSTALL_LIBDIR lib/melodrift)
set(MELODRIFT_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/melodrift)

set(melodrift_programs melodrift melodrift-cli melodrift-service)
set(melodrift_libraries MelodriftPlatform Tonalyze Pitchlore Tunescan Patbank Arrangix Sonobox Tidelink Glyphmint)

set_target_properties(${melodrift_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${MELODRIFT_INSTALL_LIBDIR}")
set_target_properties(${melodrift_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${melodrift_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${melodrift_libraries} LIBRARY DESTINATION ${MELODRIFT_INSTALL_LIBDIR})

# The shipped style library (not the two small styles the tests use), the
# default timbre library, the sample take and the manual.
install(DIRECTORY ${MELODRIFT_BIN_DIR}/styles/ DESTINATION ${MELODRIFT_INSTALL_DATADIR}/styles
        FILES_MATCHING PATTERN "*.mds" PATTERN "pop-ballad.mds" EXCLUDE PATTERN "country-waltz.mds" EXCLUDE)
install(DIRECTORY ${MELODRIFT_BIN_DIR}/Fonts/ DESTINATION ${MELODRIFT_INSTALL_DATADIR}/Fonts)
install(DIRECTORY ${MELODRIFT_BIN_DIR}/samples/ DESTINATION ${MELODRIFT_INSTALL_DATADIR}/samples)
install(DIRECTORY ${MELODRIFT_BIN_DIR}/Help/ DESTINATION ${MELODRIFT_INSTALL_DATADIR}/Help)

# Desktop integration.
set(melodrift_app_id org.melodrift.Melodrift)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${melodrift_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${melodrift_app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/app/skin/art/melodrift.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${melodrift_app_id}.svg)
foreach(size ${MELODRIFT_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}/${melodrift_app_id}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/melodrift-cli.1 ${CMAKE_SOURCE_DIR}/packaging/melodrift-service.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/melodrift-service.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/melodrift-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME melodrift.xml)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME melodrift)
set(CPACK_PACKAGE_VENDOR "The Melodrift developers")
set(CPACK_PACKAGE_CONTACT "The Melodrift developers <melodrift@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "song-writing tool for people who cannot write music down")
set(CPACK_PACKAGE_DESCRIPTION "Sing a melody into the microphone: Melodrift recognises the notes, decides the key, finds chords and sections, composes an accompaniment in a chosen style, and records, mixes and exports the finished song. Includes melodrift-cli and the reference server melodrift-service.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Our own libraries are found beside each other, not in the system's paths.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Loaded at run time, so shlibdeps cannot see them: Qt's X11 platform and SVG
# plugins, and the CJK font the skin draws its texts with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, fonts-wqy-microhei")
set(CPACK_STRIP_FILES TRUE)
include(CPack)

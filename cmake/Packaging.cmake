# Installation and the Debian package. `cmake --install` puts the three programs, the launcher the
# desktop menu starts, the files a new program directory starts with, the desktop entry, the data
# file type, the icons and the manual pages under the prefix; `scripts/package` builds the package.
include(GNUInstallDirs)

set(NIMBREL_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/nimbrel)
set(packaging_src ${CMAKE_SOURCE_DIR}/packaging)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)

# The programs link only system libraries: they need no run path, in the build tree or installed.
# Otherwise the build tree's programs carry an empty one, kept as room for the installed path, and an
# empty entry makes the loader look for every library in the current directory first: the program
# directory a user runs them in.
set_target_properties(nimbrel nimbrel-cli tbr4470-sim PROPERTIES INSTALL_RPATH "" BUILD_WITH_INSTALL_RPATH ON)
install(TARGETS nimbrel nimbrel-cli tbr4470-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${packaging_src}/nimbrel-desktop DESTINATION ${CMAKE_INSTALL_BINDIR})

# What the launcher copies into a user's program directory on the first start.
install(FILES ${packaging_src}/Nimbrel.ini ${CMAKE_SOURCE_DIR}/License.txt DESTINATION ${NIMBREL_SHARE_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/handbook/ DESTINATION ${NIMBREL_SHARE_DIR}/Help_Nimbrel OPTIONAL)
install(FILES ${CMAKE_SOURCE_DIR}/License.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel RENAME copyright)

install(FILES ${packaging_src}/nimbrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_src}/nimbrel-rlg.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME nimbrel.xml)

# The desktop icons are drawn by the program's own picture code, so they match the window icon.
qt_add_executable(nimbrel-make-icons ${packaging_src}/make_icons.cpp)
target_link_libraries(nimbrel-make-icons PRIVATE nimbrel_ui nimbrel_warnings)
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icon_files ${packaging_out}/icons/hicolor/scalable/apps/nimbrel.svg)
foreach(n IN LISTS icon_sizes)
  list(APPEND icon_files ${packaging_out}/icons/hicolor/${n}x${n}/apps/nimbrel.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:nimbrel-make-icons> --hicolor ${packaging_out}/icons
  DEPENDS nimbrel-make-icons
  COMMENT "Drawing the desktop icons" VERBATIM)

set(man_files)
foreach(page nimbrel-cli.1 tbr4470-sim.1)
  add_custom_command(OUTPUT ${packaging_out}/${page}.gz
    COMMAND sh -c "gzip -9n -c '${packaging_src}/man/${page}' > '${packaging_out}/${page}.gz'"
    DEPENDS ${packaging_src}/man/${page} VERBATIM)
  list(APPEND man_files ${packaging_out}/${page}.gz)
endforeach()

add_custom_target(nimbrel_package_files ALL DEPENDS ${icon_files} ${man_files})
install(DIRECTORY ${packaging_out}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Everything the package holds, for building it without the tests.
add_custom_target(packaged DEPENDS nimbrel nimbrel-cli tbr4470-sim nimbrel_package_files)

set(NIMBREL_PACKAGE_CONTACT "Nimbrel developers <nimbrel@localhost>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${NIMBREL_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of the TBR4470 tipping-bucket rain gauge")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Nimbrel finds a TBR4470 rain gauge on a serial line, reads and writes its settings and clock,\n"
  "clears its counters and downloads its rain and temperature memory into .rlg data files. It\n"
  "shows any .rlg file as a table grouped by one of 23 intervals and as a zoomable chart, copies,\n"
  "prints and exports it as a spreadsheet.\n"
  ".\n"
  "The package holds the desktop program, nimbrel-cli for scripted downloads and conversions,\n"
  "and tbr4470-sim, a simulated instrument on a pseudo-terminal.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt 6 and libxlsxwriter run-time libraries the programs link, with what their build files add
# to every link (zlib for libxlsxwriter, OpenGL and GLX for Qt Gui), the Qt platform plugins the
# desktop program needs to open a window, and the C and C++ run-time libraries.
string(CONCAT CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), "
  "qt6-qpa-plugins (>= 6.4), libxlsxwriter4, zlib1g, libopengl0, libglx0, libc6, libstdc++6, libgcc-s1")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The package test: builds the package of NIMBREL_PACKAGE_FROM (this build unless told another,
# such as a Release build) with cpack, unpacks it and runs what it installed.
set(NIMBREL_PACKAGE_FROM ${CMAKE_BINARY_DIR} CACHE PATH "Build directory whose programs the package test packs")
add_test(NAME package
  COMMAND ${CMAKE_SOURCE_DIR}/tests/package/package_test.sh ${NIMBREL_PACKAGE_FROM} ${CMAKE_CURRENT_BINARY_DIR}/package_test)
set_tests_properties(package PROPERTIES LABELS "package" TIMEOUT 600)

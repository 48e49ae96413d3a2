# Huevane as an installed desktop application, and its Debian package.
#
#   cmake --install build [--prefix DIR]   the executable, desktop entry, icons,
#                                          AppStream metadata, manual page, copyright
#   cpack -G DEB (in the build folder)     huevane_<version>_<arch>.deb, prefix /usr
#
# The files themselves are in packaging/; the icons are made at build time from
# res/app.ico (the icon the window shows) by tools/make_icon_theme.py. Included
# from the top-level CMakeLists.txt after the huevane target.

include(GNUInstallDirs)

set(HUEVANE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(HUEVANE_APP_ID example.korvell.Huevane)
set(HUEVANE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/huevane)

# A umask of 002 would otherwise give group-writable folders, which neither a
# package nor a system prefix should have.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS huevane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${HUEVANE_PACKAGING_DIR}/huevane.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)

configure_file(${HUEVANE_PACKAGING_DIR}/${HUEVANE_APP_ID}.metainfo.xml
  ${CMAKE_CURRENT_BINARY_DIR}/${HUEVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${HUEVANE_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

# The .ico holds 32 x 32 only: 16 is its 2 x 2 average, 48 its exact-area
# enlargement, 64 and 128 its pixels doubled and quadrupled (whole-number
# steps keep the pixel art sharp; the 128 one is what software centres show).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  set(HUEVANE_ICON_THEME_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons/hicolor)
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/icons.stamp
    # Emptied first, so a size the .ico no longer holds is not installed.
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${HUEVANE_ICON_THEME_DIR}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_icon_theme.py
            ${PROJECT_SOURCE_DIR}/res/app.ico ${HUEVANE_ICON_THEME_DIR} --name huevane --sizes 16,32,48,64,128
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/icons.stamp
    DEPENDS ${PROJECT_SOURCE_DIR}/res/app.ico ${PROJECT_SOURCE_DIR}/tools/make_icon_theme.py
    COMMENT "Making the hicolor icons from res/app.ico"
    VERBATIM)
  add_custom_target(huevane_icons ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/icons.stamp)
  install(DIRECTORY ${HUEVANE_ICON_THEME_DIR} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)
else()
  message(WARNING "python3 not found: the application icons will not be installed")
endif()

# Debian wants the manual page and the changelog compressed with gzip -9n (no
# name, no time stamp, so the same input gives the same bytes); man and zless
# read them as they are on any other system too.
find_program(HUEVANE_GZIP gzip)
set(HUEVANE_MAN_PAGE ${HUEVANE_PACKAGING_DIR}/huevane.1)
set(HUEVANE_CHANGELOG ${HUEVANE_PACKAGING_DIR}/changelog)
if(HUEVANE_GZIP)
  set(HUEVANE_COMPRESSED ${CMAKE_CURRENT_BINARY_DIR}/compressed)
  foreach(page IN ITEMS huevane.1 changelog)
    add_custom_command(
      OUTPUT ${HUEVANE_COMPRESSED}/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${HUEVANE_COMPRESSED}
      COMMAND ${CMAKE_COMMAND} -E copy ${HUEVANE_PACKAGING_DIR}/${page} ${HUEVANE_COMPRESSED}/${page}
      COMMAND ${HUEVANE_GZIP} -9nf ${HUEVANE_COMPRESSED}/${page}
      DEPENDS ${HUEVANE_PACKAGING_DIR}/${page}
      VERBATIM)
  endforeach()
  add_custom_target(huevane_compressed_documents ALL
    DEPENDS ${HUEVANE_COMPRESSED}/huevane.1.gz ${HUEVANE_COMPRESSED}/changelog.gz)
  set(HUEVANE_MAN_PAGE ${HUEVANE_COMPRESSED}/huevane.1.gz)
  set(HUEVANE_CHANGELOG ${HUEVANE_COMPRESSED}/changelog.gz)
endif()
install(FILES ${HUEVANE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${HUEVANE_PACKAGING_DIR}/copyright ${HUEVANE_CHANGELOG} DESTINATION ${HUEVANE_DOC_DIR})

# The Debian package. Its version has no Debian revision: Huevane is packaged
# by its makers, so it is a native package, whose changelog is changelog.gz.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME huevane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvell Software")
set(CPACK_PACKAGE_CONTACT "Edwin Hale <edwin.hale@korvell.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "colour finder for any pixel on the screen")
set(CPACK_PACKAGE_DESCRIPTION
  "Huevane reads the colour under the pointer anywhere on the screen: press the\n"
  "mouse button on the target in its window, drag the crosshair and read the\n"
  "red, green and blue values, the HTML code (#RRGGBB) and a box of the colour\n"
  "as it moves.\n"
  "\n"
  "Up to 16 custom colours are kept in a list, saved between runs and shared\n"
  "with the colour dialog. They are stored in a REGEDIT4 registry file that the\n"
  "Windows version of Huevane can import.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Edwin Hale <edwin.hale@korvell.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.korvell.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layer draws dialog text in Liberation Sans (metrics of Arial, which
# Windows substitutes for MS Shell Dlg) and opens the About box's link with
# xdg-open; neither is a library, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2 | fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

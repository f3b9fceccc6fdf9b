# Installation in the usual places and a Debian package:
#   cmake --install BUILD [--prefix /usr/local]
#   cd BUILD && cpack -G DEB          (scripts/package.sh does both steps from a clean build)
include(GNUInstallDirs)

install(TARGETS vellumark vellumark-print vellumark-photos vellumark-demo
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vellumark.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(icons ${PROJECT_SOURCE_DIR}/src/app/icons)
foreach(size 16 32 48 64 128 256)
    install(FILES ${icons}/vellumark-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME vellumark.png)
endforeach()
install(FILES ${icons}/vellumark.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Project files open with the program from a file manager. The shared MIME database and the
# desktop entries' cache are brought up to date by the dpkg triggers of shared-mime-info and
# desktop-file-utils, where those are installed: the package needs no maintainer scripts.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vellumark.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vellumark)

set(CPACK_PACKAGE_NAME vellumark)
set(CPACK_PACKAGE_VENDOR "Vellumark")
set(CPACK_PACKAGE_CONTACT "Vellumark maintainers <maintainers@vellumark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Designs and prints identity badges for the records of a database")
# Lines of the description stay within 80 characters, as Debian asks.
set(CPACK_PACKAGE_DESCRIPTION
    "Binds a database (SQLite, Access .mdb/.accdb read-only, or PostgreSQL) to\n\
badge layouts with a front and a back side, shows the chosen badge filled with\n\
a record's values, photograph and signature, and prints badges singly or on\n\
print pages. vellumark-print renders badges without a window;\n\
vellumark-photos imports a folder of photographs; vellumark-demo makes a demo\n\
project.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vellumark)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries linked are found by dpkg-shlibdeps. What is loaded rather than linked is named
# here: Qt's SQLite and PostgreSQL drivers (plugins), a font, without which Qt draws no text, and
# the face finder's cascades.
# The X11 platform plugin comes with libqt6gui6; under Wayland the program runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, fonts-dejavu-core, opencv-data")
include(CPack)

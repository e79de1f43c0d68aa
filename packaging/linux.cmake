# Installation extras and the Debian package of the Linux build.

# Start at login in every XDG desktop (GNOME, KDE Plasma, XFCE, ...).
# Desktops read autostart entries from /etc/xdg only (XDG_CONFIG_DIRS), so the
# usual prefixes put it there; other prefixes keep it under their own etc.
configure_file(${CMAKE_SOURCE_DIR}/packaging/kestrine.desktop.in
               ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop @ONLY)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
  set(KESTRINE_AUTOSTART_DIR "/etc/xdg/autostart")
else()
  set(KESTRINE_AUTOSTART_DIR "${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart")
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop DESTINATION ${KESTRINE_AUTOSTART_DIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_PACKAGE_NAME "kestrine")
set(CPACK_PACKAGE_VENDOR "Kestrine")
set(CPACK_PACKAGE_CONTACT "Kestrine maintainers <kestrine@localhost>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Tray battery saver: switches to the power-saver profile when the battery runs low")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The binaries name their stand-ins by the configured prefix: package there.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the tray app needs at run time beyond the shared libraries found by
# dpkg-shlibdeps: the daemons it asks, the emoji font it draws its icon with,
# and the two ways of getting administrator rights.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "upower, power-profiles-daemon, libayatana-appindicator3-1, libnotify4, fonts-noto-color-emoji, sudo, pkexec")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "notification-daemon | notify-osd | xfce4-notifyd")
include(CPack)

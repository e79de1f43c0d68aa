# Installation extras and the Debian package of the Linux build.

# Start at login in every XDG desktop (GNOME, KDE Plasma, XFCE, ...).
# Desktops read system autostart entries from /etc/xdg/autostart only (the
# default XDG_CONFIG_DIRS), so system-wide prefixes (under /usr or /opt) put it
# there. Any other prefix keeps it in <prefix>/etc/xdg/autostart, which no
# session reads: docs/linux.md says how to enable it for one user.
configure_file(${CMAKE_SOURCE_DIR}/packaging/kestrine.desktop.in
               ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop @ONLY)
if(CMAKE_INSTALL_PREFIX MATCHES "^/(usr|opt)(/|$)")
  set(KESTRINE_AUTOSTART_DIR "/etc/xdg/autostart")
else()
  set(KESTRINE_AUTOSTART_DIR "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
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
# The menu and autostart entries name the binary by the configured prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the tray app needs at run time beyond the shared libraries found by
# dpkg-shlibdeps: the daemons it asks and the emoji font it draws its icon with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "upower, power-profiles-daemon, libayatana-appindicator3-1, libnotify4, fonts-noto-color-emoji")
# Earlier versions had the user install a sudoers rule; the package removes it
# on upgrade, removal and purge when it is exactly that rule.
foreach(script postinst prerm postrm)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/remove-old-sudoers-rule
                 ${CMAKE_CURRENT_BINARY_DIR}/debian/${script} COPYONLY)
  list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "notification-daemon | notify-osd | xfce4-notifyd")
include(CPack)

# What the Linux build installs besides the binaries: the menu and autostart
# entries, the icon, the AppStream metadata, the manual pages and (po/) the
# message catalogues. These rules
# are the one list of what is installed; `make install` and the Debian
# package (debian/) both go through them.

# Start at login in every XDG desktop (GNOME, KDE Plasma, XFCE, ...).
# Desktops read system autostart entries from /etc/xdg/autostart only (the
# default XDG_CONFIG_DIRS), so system-wide prefixes (under /usr or /opt) put it
# there. Any other prefix keeps it in <prefix>/etc/xdg/autostart, which no
# session reads: docs/linux.md says how to enable it for one user.
# Its words, and the AppStream metadata's, come translated from the message
# catalogues (po/).
configure_file(${CMAKE_SOURCE_DIR}/packaging/kestrine.desktop.in
               ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop.in @ONLY)
set(KESTRINE_METAINFO ${CMAKE_CURRENT_BINARY_DIR}/org.kestrine.Kestrine.metainfo.xml)
file(GLOB KESTRINE_PO_FILES ${CMAKE_SOURCE_DIR}/po/*.po)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop
  COMMAND ${KESTRINE_MSGFMT} --desktop --template=${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop.in
          -d ${CMAKE_SOURCE_DIR}/po -o ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop.in ${KESTRINE_PO_FILES}
          ${CMAKE_SOURCE_DIR}/po/LINGUAS
  VERBATIM)
add_custom_command(
  OUTPUT ${KESTRINE_METAINFO}
  COMMAND ${KESTRINE_MSGFMT} --xml
          --template=${CMAKE_SOURCE_DIR}/packaging/org.kestrine.Kestrine.metainfo.xml
          -d ${CMAKE_SOURCE_DIR}/po -o ${KESTRINE_METAINFO}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/org.kestrine.Kestrine.metainfo.xml ${KESTRINE_PO_FILES}
          ${CMAKE_SOURCE_DIR}/po/LINGUAS
  VERBATIM)
add_custom_target(kestrine_desktop_files ALL
                  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop ${KESTRINE_METAINFO})
if(CMAKE_INSTALL_PREFIX MATCHES "^/(usr|opt)(/|$)")
  set(KESTRINE_AUTOSTART_DIR "/etc/xdg/autostart")
else()
  set(KESTRINE_AUTOSTART_DIR "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop DESTINATION ${KESTRINE_AUTOSTART_DIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrine.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/kestrine.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${KESTRINE_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages, turned from scdoc into roff at build time.
find_program(KESTRINE_SCDOC scdoc REQUIRED)
foreach(page kestrine.1 kestrine-sim.1)
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${page}
    COMMAND ${KESTRINE_SCDOC} < ${CMAKE_SOURCE_DIR}/packaging/man/${page}.scd
            > ${CMAKE_CURRENT_BINARY_DIR}/${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${page}.scd
    VERBATIM)
  list(APPEND KESTRINE_MAN_PAGES ${CMAKE_CURRENT_BINARY_DIR}/${page})
endforeach()
add_custom_target(kestrine_man_pages ALL DEPENDS ${KESTRINE_MAN_PAGES})
install(FILES ${KESTRINE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

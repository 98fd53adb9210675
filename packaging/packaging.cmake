# Installing Pregonal as a desktop program, and its Debian package (CPack).
#   cmake --install build [--prefix /usr]      the program, desktop entry, icons, AppStream metainfo,
#                                              manual page, copyright and changelog
#   (cd build && cpack -G DEB)                 pregonal_<version>_<arch>.deb
# Included from the top-level CMakeLists.txt after the pregonal target exists.
include(GNUInstallDirs)

set(PREGONAL_APP_ID "org.pregonal.Pregonal")
set(PREGONAL_EXEC "pregonal")
set(PREGONAL_RELEASE_DATE "2026-12-08")
set(PREGONAL_ICON_SVG "${PROJECT_SOURCE_DIR}/ui/resources/icons/pregonal.svg")
set(PREGONAL_ICON_SIZES 16 32 48)
set(_pkg_dir "${CMAKE_CURRENT_LIST_DIR}")
set(_pkg_out "${PROJECT_BINARY_DIR}/packaging")

# Build-time tools: the icon renderer (SVG -> PNG) and the screen grabber of scripts/screenshot.sh.
qt_add_executable(pregonal_iconrender "${_pkg_dir}/tools/iconrender.cpp")
target_link_libraries(pregonal_iconrender PRIVATE Qt6::Gui Qt6::Svg)
qt_add_executable(pregonal_screengrab "${_pkg_dir}/tools/screengrab.cpp")
target_link_libraries(pregonal_screengrab PRIVATE Qt6::Gui)
set_target_properties(pregonal_iconrender pregonal_screengrab PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${_pkg_out}")

set(_icon_args)
set(_icon_pngs)
foreach(size ${PREGONAL_ICON_SIZES})
    set(png "${_pkg_out}/icons/${size}x${size}/${PREGONAL_APP_ID}.png")
    list(APPEND _icon_args ${size} "${png}")
    list(APPEND _icon_pngs "${png}")
endforeach()
set(_icon_dirs ${_icon_pngs})
list(TRANSFORM _icon_dirs REPLACE "/[^/]*$" "")
add_custom_command(OUTPUT ${_icon_pngs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_icon_dirs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:pregonal_iconrender> "${PREGONAL_ICON_SVG}" ${_icon_args}
    DEPENDS pregonal_iconrender "${PREGONAL_ICON_SVG}"
    COMMENT "Iconos PNG de Pregonal (${PREGONAL_ICON_SIZES} px)"
    VERBATIM)
add_custom_target(pregonal_icons ALL DEPENDS ${_icon_pngs})

configure_file("${_pkg_dir}/${PREGONAL_APP_ID}.desktop.in"
    "${_pkg_out}/${PREGONAL_APP_ID}.desktop" @ONLY)
configure_file("${_pkg_dir}/${PREGONAL_APP_ID}.metainfo.xml.in"
    "${_pkg_out}/${PREGONAL_APP_ID}.metainfo.xml" @ONLY)

# The manual page and the changelog of this native package, compressed as Debian wants them
# (gzip -9, no name or time stamp inside, so the same sources give the same bytes).
set(PREGONAL_CHANGELOG_DATE "Tue, 08 Dec 2026 12:00:00 +0000") # the release date, RFC 5322
configure_file("${_pkg_dir}/pregonal.1.in" "${_pkg_out}/pregonal.1" @ONLY)
configure_file("${_pkg_dir}/debian/changelog.in" "${_pkg_out}/changelog" @ONLY)
find_program(PREGONAL_GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${_pkg_out}/pregonal.1.gz" "${_pkg_out}/changelog.gz"
    COMMAND "${PREGONAL_GZIP}" -9 -n -k -f "${_pkg_out}/pregonal.1" "${_pkg_out}/changelog"
    DEPENDS "${_pkg_out}/pregonal.1" "${_pkg_out}/changelog"
    COMMENT "Página de manual y registro de cambios comprimidos"
    VERBATIM)
add_custom_target(pregonal_docs ALL DEPENDS "${_pkg_out}/pregonal.1.gz" "${_pkg_out}/changelog.gz")

# What `cmake --install` puts in place.
# The Qt libraries are the system's: no run path ($ORIGIN) in the installed program.
set_target_properties(pregonal PROPERTIES INSTALL_RPATH "")
install(TARGETS pregonal RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${_pkg_out}/${PREGONAL_APP_ID}.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${_pkg_out}/${PREGONAL_APP_ID}.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
foreach(size ${PREGONAL_ICON_SIZES})
    install(FILES "${_pkg_out}/icons/${size}x${size}/${PREGONAL_APP_ID}.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${PREGONAL_ICON_SVG}"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
    RENAME "${PREGONAL_APP_ID}.svg")
# The page is Spanish, as the program is: it goes where man looks first, not under man/es only.
install(FILES "${_pkg_out}/pregonal.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
# The schedule as a user service (systemctl --user enable --now pregonal). Its ExecStart names
# the program where this install puts it, so the unit is made when installing (the package's
# prefix is /usr, whatever the build was configured with).
install(CODE "
    set(PREGONAL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    configure_file(\"${_pkg_dir}/pregonal.service.in\" \"${_pkg_out}/service/pregonal.service\" @ONLY)
    file(INSTALL \"${_pkg_out}/service/pregonal.service\"
        DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\")
")
install(FILES "${_pkg_dir}/debian/copyright" "${_pkg_out}/changelog.gz"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/pregonal")

# The Debian package.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "pregonal")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Proyecto Pregonal")
set(CPACK_PACKAGE_CONTACT "Proyecto Pregonal <pregonal@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "emisión de mensajes hablados por radio")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_NAME "pregonal")
set(CPACK_DEBIAN_PACKAGE_SECTION "hamradio")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Proyecto Pregonal <pregonal@example.org>")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pregonal emite un mensaje hablado por un transmisor de radio: activa el
transmisor con las líneas DTR y RTS de un puerto serie, reproduce el mensaje
por la tarjeta de sonido y suelta el transmisor al acabar, una vez o en bucle
con una pausa entre emisiones. Pensado para radioaficionados, repetidores,
balizas y redes de emergencia. Interfaz en español.
.
Pregonal broadcasts a spoken message over a radio transmitter keyed through
the DTR/RTS lines of a serial port.")
# dpkg-shlibdeps finds the libraries the program links (Qt Widgets, Multimedia, Serial Port,
# Svg, libsndfile, and for keying libudev, libgpiod and Hamlib). What Qt opens at run time it cannot see: Qt 6.4 Multimedia talks to the sound
# server through libpulse (PulseAudio, or PipeWire through pipewire-pulse), and the platform
# plugins; the SVG icon engine comes with libqt6svg6, which shlibdeps already lists. Qt's own
# texts (standard dialogs and buttons) read Spanish from qt6-translations-l10n.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpulse0, qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
# rigctld, for a radio keyed through its CAT command by a Hamlib daemon ("equipo" 2).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libhamlib-utils")
include(CPack)

# The Debian package: `make deb` runs CPack in the build folder and writes
# build/zorvik-player_VERSION_ARCH.deb, holding what `make install` installs,
# under /usr. dpkg-shlibdeps works out the libraries it depends on.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvik-player)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zorvik Player")
set(ZORVIK_DEB_MAINTAINER "Zorvik Player <zorvik-player@example.org>"
    CACHE STRING "The Maintainer of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZORVIK_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "console player for Zorvik tracker songs
Zorvik Player plays the songs of a tiny tracker format: one pattern of 96
steps for three channels, whose instruments come from a bank of 16
samples, as 16-bit mono sound at 32004 Hz.

zorvikpla plays a song in an endless loop and draws its piano roll in the
terminal. zorvik plays songs with keys to pause, seek, mute and change the
volume; renders them to WAV, FLAC, AIFF, Ogg Vorbis, Opus or MP3 files
and their notes to MIDI files; turns songs into text and back; and builds
and inspects sample banks.

The package holds a default bank of 16 synthesised instruments, demo songs,
and libzorvik, a C library that renders songs.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file for libzorvik.so.1, and the ldconfig trigger lintian asks
# for. CPack's own postinst and postrm run ldconfig too: replacing them
# with empty scripts would only trade one lintian warning for another.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Installed with CMAKE_INSTALL_PREFIX=/usr into a staging DESTDIR, so that
# what is written at install time (zorvik.pc) names /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The documents Debian wants, and the static library stripped.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/finish.cmake)
set(CPACK_ZORVIK_DEBIAN_DIR ${CMAKE_CURRENT_LIST_DIR}/debian)

include(CPack)

# Installation in the Debian layout, and the .deb: `cmake --install build --prefix P` puts the
# programs in P/bin, the font and the demo ROMs in P/share/hummbox, the desktop entry in
# P/share/applications with its icon, the manual pages in P/share/man/man1 and the copyright
# and changelog in P/share/doc/hummbox; `cpack -G DEB` in the build directory packs the same
# into a .deb.
include(GNUInstallDirs)

set(HUMMBOX_VERSION ${PROJECT_VERSION})
set(HUMMBOX_DATA_DIR ${CMAKE_INSTALL_FULL_DATADIR}/hummbox)
# The program looks for its font in the working directory, beside itself, in
# ../share/hummbox beside itself (any prefix), and last in the data directory named here.
set_property(SOURCE app/App.cpp APPEND PROPERTY COMPILE_DEFINITIONS
    "HUMMBOX_DATA_DIR=\"${HUMMBOX_DATA_DIR}\"")

install(TARGETS hummbox RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${HUMMBOX_FONT_BMP} DESTINATION ${CMAKE_INSTALL_DATADIR}/hummbox)
install(FILES ${CMAKE_SOURCE_DIR}/tools/hummbox.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# What a Debian package carries besides the programs: the manual pages and the changelog
# gzipped (-9n: no name or time inside, the same bytes every build), the copyright, and the
# desktop entry's icon, drawn at build time by tools/mkicon.py with Pillow.
set(HUMMBOX_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
find_program(HUMMBOX_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(HUMMBOX_PYTHON python3 REQUIRED)
execute_process(COMMAND ${HUMMBOX_PYTHON} -c "import PIL.ImageDraw" RESULT_VARIABLE no_pillow
    OUTPUT_QUIET ERROR_QUIET)
if(no_pillow)
    message(FATAL_ERROR "The icon is drawn with ${HUMMBOX_PYTHON} and the Debian package "
        "'python3-pil' (tools/deps.sh installs it).")
endif()
set(HUMMBOX_PAGES hummbox.1)
if(HUMMBOX_BUILD_TOOLS)
    list(APPEND HUMMBOX_PAGES hummbox-render.1)
endif()
set(HUMMBOX_PACKAGE_FILES ${HUMMBOX_PACKAGE_DIR}/changelog.gz ${HUMMBOX_PACKAGE_DIR}/hummbox.png)
set(sources ${CMAKE_SOURCE_DIR}/tools/mkicon.py ${HUMMBOX_PACKAGE_DIR}/changelog)
foreach(page ${HUMMBOX_PAGES})
    configure_file(docs/man/${page} ${HUMMBOX_PACKAGE_DIR}/${page} @ONLY)
    list(APPEND HUMMBOX_PACKAGE_FILES ${HUMMBOX_PACKAGE_DIR}/${page}.gz)
    list(APPEND sources ${HUMMBOX_PACKAGE_DIR}/${page})
endforeach()
configure_file(tools/debian/changelog ${HUMMBOX_PACKAGE_DIR}/changelog COPYONLY)
add_custom_command(OUTPUT ${HUMMBOX_PACKAGE_FILES}
    COMMAND gzip -9nkf changelog ${HUMMBOX_PAGES}
    COMMAND ${HUMMBOX_PYTHON} ${CMAKE_SOURCE_DIR}/tools/mkicon.py 64 hummbox.png
    DEPENDS ${sources} WORKING_DIRECTORY ${HUMMBOX_PACKAGE_DIR} VERBATIM)
add_custom_target(hummbox_package_files ALL DEPENDS ${HUMMBOX_PACKAGE_FILES})
install(FILES ${CMAKE_SOURCE_DIR}/tools/debian/copyright ${HUMMBOX_PACKAGE_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
list(TRANSFORM HUMMBOX_PAGES APPEND .gz OUTPUT_VARIABLE gzipped_pages)
list(TRANSFORM gzipped_pages PREPEND ${HUMMBOX_PACKAGE_DIR}/)
install(FILES ${gzipped_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${HUMMBOX_PACKAGE_DIR}/hummbox.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
if(HUMMBOX_BUILD_TOOLS)
    install(TARGETS hummbox-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${HUMMBOX_ROM_IMAGES} ${HUMMBOX_ROM_LISTINGS}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/hummbox)
endif()

set(CPACK_PACKAGE_NAME hummbox)
set(CPACK_PACKAGE_VERSION ${HUMMBOX_VERSION})
set(CPACK_PACKAGE_CONTACT "hummbox developers <hummbox@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "emulator of an arcade sound board (MC6802, MC6821 DAC) with a debugger")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "hummbox runs the 2 KiB sound ROM of an arcade sound board on an
emulated MC6802 whose PIA drives an 8-bit DAC, plays it as audio and shows the
processor in a debugger: registers, listing, memory tinted by access,
breakpoints, watchpoints and traces. hummbox-render renders the sounds offline
to WAV files, a catalogue page with waveforms and spectrograms, or a check
against an earlier catalogue.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps names the packages of the libraries the programs link against, with their
# least versions (libsdl2-2.0-0, libsndfile1, libc6, ...); without it, name them by hand.
find_program(HUMMBOX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(HUMMBOX_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0, libstdc++6, zlib1g")
    if(HUMMBOX_BUILD_TOOLS)
        string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libsndfile1, libpng16-16, libfftw3-double3, libnettle8")
    endif()
endif()
include(CPack)

if(HUMMBOX_BUILD_TESTS)
    add_test(NAME install_runs_from_anywhere
        COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(install_runs_from_anywhere PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
    # As for the walk-through: SDL's loaded drivers keep memory until exit.
    if(HUMMBOX_SANITIZE)
        set_tests_properties(install_runs_from_anywhere PROPERTIES ENVIRONMENT
            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
    endif()
endif()

# hummbox-render: renders a sound ROM offline into a WAV file through the board's audio path.

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(SNDFILE QUIET IMPORTED_TARGET sndfile)
endif()
if(NOT SNDFILE_FOUND)
    message(FATAL_ERROR "libsndfile, which hummbox-render writes WAV files with, was not found "
        "through pkg-config. Install the Debian packages 'pkg-config' and 'libsndfile1-dev' "
        "(tools/deps.sh does).")
endif()

file(GLOB HUMMBOX_RENDER_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../tools/render/*.cpp)
add_executable(hummbox-render ${HUMMBOX_RENDER_SOURCES})
target_include_directories(hummbox-render PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(hummbox-render PRIVATE hummbox_core PkgConfig::SNDFILE)


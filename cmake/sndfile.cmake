# libsndfile, through which the program records and hummbox-render renders WAV files.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(SNDFILE QUIET IMPORTED_TARGET sndfile)
endif()
if(NOT SNDFILE_FOUND)
    message(FATAL_ERROR "libsndfile, which hummbox writes WAV files with, was not found "
        "through pkg-config. Install the Debian packages 'pkg-config' and 'libsndfile1-dev' "
        "(tools/deps.sh does).")
endif()

# One static library per room. Each links only the rooms it may use, and sees only their
# headers, so an include that crosses the wrong way fails to build:
#
#   ring     the single-producer ring (headers only)
#   cpu      the processor and its disassembler; no SDL
#   debug    stop rules, trace records and lines, listing labels       -> cpu, ring
#   audio    the engine and its callback, the mailbox, the keys        -> debug, cpu, ring, SDL
#   capture  files written from a running machine; the state files     -> audio, debug, SDL, sndfile,
#            read back too                                                zlib
#   ui       the font, the debugger screen, the panels                 -> debug, cpu, SDL
#   rom      the ROM list, image reading, the selection screen          -> ui, debug, cpu, SDL
#   app      the App and its main loop                                 -> every room
#   catalog  the pictures and digest of hummbox-render's catalogue     -> capture, audio, debug,
#            (with the tools only; libpng, FFTW and nettle)               cpu, ring
#
# A room's headers are reached as "room/Name.h" from the repository root; every library
# gets the root as its include directory, and the include check below keeps each room to
# the rooms it links.
function(hummbox_room name)
    cmake_parse_arguments(ROOM "" "" "SOURCES;LINKS" ${ARGN})
    if(ROOM_SOURCES)
        add_library(hummbox_${name} STATIC ${ROOM_SOURCES})
        target_include_directories(hummbox_${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(hummbox_${name} PUBLIC ${ROOM_LINKS})
    else()
        add_library(hummbox_${name} INTERFACE)
        target_include_directories(hummbox_${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(hummbox_${name} INTERFACE ${ROOM_LINKS})
    endif()
endfunction()

hummbox_room(ring)
hummbox_room(cpu
    SOURCES cpu/Board.cpp cpu/CompleteSet.cpp cpu/Disassembler.cpp cpu/History.cpp cpu/Mc6802.cpp)
hummbox_room(debug
    SOURCES debug/Command.cpp debug/DataReads.cpp debug/Debugger.cpp debug/Expression.cpp debug/Labels.cpp
            debug/TraceLine.cpp
    LINKS hummbox_cpu hummbox_ring)
hummbox_room(audio
    SOURCES audio/AudioEngine.cpp audio/ControlBlock.cpp audio/Input.cpp
            audio/OfflineRenderer.cpp audio/TypedEntry.cpp
    LINKS hummbox_debug hummbox_cpu hummbox_ring SDL2::SDL2)
hummbox_room(capture
    SOURCES capture/NumberedFile.cpp capture/Recorder.cpp capture/ReplacingFile.cpp
            capture/RingFileWriter.cpp capture/StateFile.cpp capture/TraceWriter.cpp
            capture/WavFile.cpp
    LINKS hummbox_audio hummbox_debug SDL2::SDL2 PkgConfig::SNDFILE ZLIB::ZLIB)
# The version, in one place: the project's. The window title shows major.minor.
configure_file(cmake/Version.h.in ${CMAKE_BINARY_DIR}/generated/ui/Version.h @ONLY)
hummbox_room(ui
    SOURCES ui/BitmapFont.cpp ui/CommandBar.cpp ui/DebugPanel.cpp ui/DebuggerScreen.cpp
            ui/HelpOverlay.cpp ui/Listing.cpp ui/Scope.cpp ui/StatusLine.cpp
    LINKS hummbox_debug hummbox_cpu SDL2::SDL2)
target_include_directories(hummbox_ui PUBLIC ${CMAKE_BINARY_DIR}/generated)
hummbox_room(rom
    SOURCES rom/ImageWatcher.cpp rom/RomBrowser.cpp rom/RomImage.cpp
    LINKS hummbox_ui hummbox_debug hummbox_cpu SDL2::SDL2)
hummbox_room(app
    SOURCES app/App.cpp app/CommandLine.cpp app/Commands.cpp app/Reload.cpp app/RomScreen.cpp app/Settings.cpp
    LINKS hummbox_rom hummbox_capture hummbox_audio hummbox_ui hummbox_debug hummbox_cpu
          SDL2::SDL2)
if(HUMMBOX_BUILD_TOOLS)
    pkg_check_modules(CATALOG_LIBS QUIET IMPORTED_TARGET libpng fftw3 nettle)
    if(NOT CATALOG_LIBS_FOUND)
        message(FATAL_ERROR "hummbox-render's catalogue needs libpng, FFTW and nettle through "
            "pkg-config: install the Debian packages 'libpng-dev', 'libfftw3-dev' and "
            "'nettle-dev' (tools/deps.sh does), or turn HUMMBOX_BUILD_TOOLS off.")
    endif()
    hummbox_room(catalog
        SOURCES catalog/Pictures.cpp catalog/Sha256.cpp
        LINKS hummbox_capture PkgConfig::CATALOG_LIBS)
endif()

# The rooms each room may include, checked on every configure; a wrong-way include stops
# the build with the file and the line.
set(HUMMBOX_ROOM_RULES
    "cpu:cpu" "ring:ring" "debug:debug,cpu,ring" "audio:audio,debug,cpu,ring"
    "capture:capture,audio,debug,cpu,ring" "ui:ui,debug,cpu" "rom:rom,ui,debug,cpu"
    "app:app,rom,capture,audio,ui,debug,cpu,ring" "catalog:catalog,capture,audio,debug,cpu,ring")
foreach(rule ${HUMMBOX_ROOM_RULES})
    string(REPLACE ":" ";" parts ${rule})
    list(GET parts 0 room)
    list(GET parts 1 allowed)
    string(REPLACE "," ";" allowed "${allowed}")
    file(GLOB room_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${room}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/${room}/*.cpp)
    foreach(source ${room_files})
        file(STRINGS ${source} includes REGEX "^#include \"[a-z]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" used "${line}")
            if(NOT used IN_LIST allowed)
                message(FATAL_ERROR "${source}: the ${room} room may not include ${used}/ "
                    "(${line}); see cmake/rooms.cmake")
            endif()
        endforeach()
    endforeach()
endforeach()

# The audio room opens and writes no files: what the running machine writes goes through a
# tap to capture/.
file(GLOB audio_files ${CMAKE_CURRENT_SOURCE_DIR}/audio/*.h ${CMAKE_CURRENT_SOURCE_DIR}/audio/*.cpp)
foreach(source ${audio_files})
    file(STRINGS ${source} opens REGEX "fopen|fstream|<fcntl.h>|SDL_RWFromFile|sf_open")
    if(opens)
        message(FATAL_ERROR "${source}: the audio room opens no files (${opens})")
    endif()
endforeach()

# Fuzz targets (fuzz/*Fuzz.cpp), built with clang's libFuzzer. Configure with clang and the
# sanitizers, e.g.
#   CXX=clang++ cmake -S . -B build-fuzz -DHUMMBOX_FUZZ=ON \
#       -DHUMMBOX_SANITIZE=fuzzer-no-link,address,undefined
# tools/fuzz.sh does this and runs every target.
option(HUMMBOX_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(HUMMBOX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "HUMMBOX_FUZZ needs clang's libFuzzer: configure with CXX=clang++")
    endif()
    file(GLOB HUMMBOX_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../fuzz/*Fuzz.cpp)
    set(HUMMBOX_FUZZ_TARGETS)
    foreach(source ${HUMMBOX_FUZZ_SOURCES})
        get_filename_component(name ${source} NAME_WE)
        string(REGEX REPLACE "Fuzz$" "" name ${name})
        string(TOLOWER ${name} name)
        add_executable(fuzz_${name} ${source})
        target_include_directories(fuzz_${name} PRIVATE ${CMAKE_SOURCE_DIR})
        # Each target links the room of what it feeds: the disassembler is the processor's,
        # the font the screen's, the processor runs under the audio clock, a ROM loads
        # through the App, a state file is read by capture/.
        set(room_of_command debug)
        set(room_of_disassembler cpu)
        set(room_of_expression debug)
        set(room_of_font ui)
        set(room_of_processor audio)
        set(room_of_rom app)
        set(room_of_state capture)
        target_link_libraries(fuzz_${name} PRIVATE hummbox_${room_of_${name}})
        # The rooms are instrumented through HUMMBOX_SANITIZE (fuzzer-no-link); only the
        # fuzz executables link libFuzzer's main.
        target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        list(APPEND HUMMBOX_FUZZ_TARGETS fuzz_${name})
    endforeach()
    add_custom_target(hummbox_fuzz DEPENDS ${HUMMBOX_FUZZ_TARGETS})
endif()

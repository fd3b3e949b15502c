# The demo sound ROMs: roms/*.asm assembled with crasm into S-records, turned into raw
# 2,048-byte images for 0xF800..0xFFFF with srec_cat and placed in the run directory
# beside font.bmp, each with its crasm listing (demo.lst beside demo.snd) for the labels.

find_program(CRASM_EXECUTABLE crasm)
find_program(SREC_CAT_EXECUTABLE srec_cat)
if(NOT CRASM_EXECUTABLE)
    message(FATAL_ERROR "crasm, the 6800 assembler that builds the demo ROMs, was not found. "
        "Install the Debian package 'crasm' (tools/deps.sh does).")
endif()
if(NOT SREC_CAT_EXECUTABLE)
    message(FATAL_ERROR "srec_cat, which turns the assembled ROMs into raw images, was not found. "
        "Install the Debian package 'srecord' (tools/deps.sh does).")
endif()

set(HUMMBOX_ROM_BUILD_DIR ${CMAKE_BINARY_DIR}/roms)

file(GLOB HUMMBOX_ROM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../roms/*.asm)
set(HUMMBOX_ROM_IMAGES)
set(HUMMBOX_ROM_LISTINGS)
foreach(source ${HUMMBOX_ROM_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    set(image ${HUMMBOX_RUN_DIR}/${name}.snd)
    set(listing ${HUMMBOX_RUN_DIR}/${name}.lst)
    add_custom_command(
        OUTPUT ${image} ${listing}
        COMMAND ${CMAKE_COMMAND}
            -DCRASM=${CRASM_EXECUTABLE} -DSREC_CAT=${SREC_CAT_EXECUTABLE}
            -DSOURCE=${source} -DIMAGE=${image} -DLISTING=${listing}
            -DWORK_DIR=${HUMMBOX_ROM_BUILD_DIR}
            -P ${CMAKE_CURRENT_LIST_DIR}/../tools/assemble_rom.cmake
        DEPENDS ${source} ${CMAKE_CURRENT_LIST_DIR}/../tools/assemble_rom.cmake
        COMMENT "Assembling ROM ${name}.snd"
        VERBATIM)
    list(APPEND HUMMBOX_ROM_IMAGES ${image})
    list(APPEND HUMMBOX_ROM_LISTINGS ${listing})
endforeach()

add_custom_target(hummbox_roms ALL DEPENDS ${HUMMBOX_ROM_IMAGES})


# Assembles one 6800 source into a raw 2,048-byte ROM image (run with cmake -P).
# Inputs: CRASM, SREC_CAT, SOURCE, IMAGE, LISTING, WORK_DIR.
# crasm exits 0 even when the source has errors, so its error and warning counts and its
# output file are checked here, and the image size after srec_cat.

get_filename_component(name ${SOURCE} NAME_WE)
set(srec ${WORK_DIR}/${name}.s19)
get_filename_component(image_dir ${IMAGE} DIRECTORY)
file(MAKE_DIRECTORY ${WORK_DIR} ${image_dir})
file(REMOVE ${srec} ${IMAGE} ${LISTING})

execute_process(
    COMMAND ${CRASM} -o ${srec} ${SOURCE}
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE progress
    RESULT_VARIABLE status)
string(REGEX MATCH "ERRORS: *([0-9]+)" _ "${listing}")
set(errors "${CMAKE_MATCH_1}")
string(REGEX MATCH "WARNINGS: *([0-9]+)" _ "${listing}")
set(warnings "${CMAKE_MATCH_1}")
# Warnings (operand overflow, ignored parentheses) change the code silently: fail on them too.
if(NOT status EQUAL 0 OR NOT errors STREQUAL "0" OR NOT warnings STREQUAL "0" OR NOT EXISTS ${srec})
    string(REGEX MATCHALL ">>>>[^\n]*" messages "${listing}")
    string(REPLACE ";" "\n" messages "${messages}")
    message(FATAL_ERROR "crasm failed on ${SOURCE} (errors: '${errors}', warnings: '${warnings}', exit ${status}):\n${messages}")
endif()
file(WRITE ${LISTING} "${listing}")

execute_process(
    COMMAND ${SREC_CAT} ${srec} -Motorola -fill 0xFF 0xF800 0x10000 -offset -0xF800
        -o ${IMAGE} -Binary
    ERROR_VARIABLE srec_messages
    RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS ${IMAGE})
    message(FATAL_ERROR "srec_cat failed on ${srec}:\n${srec_messages}")
endif()
file(SIZE ${IMAGE} size)
if(NOT size EQUAL 2048)
    file(REMOVE ${IMAGE})
    message(FATAL_ERROR "${IMAGE} is ${size} bytes, not the 2048 bytes of the PROM")
endif()

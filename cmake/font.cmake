# The screen font. tools/mkfont draws tools/font/glyphs.txt into font.bmp inside the run
# directory, from where the program is started (it opens font.bmp in its working
# directory). The program's own target puts its executable into HUMMBOX_RUN_DIR as well.
set(HUMMBOX_FONT_BMP ${HUMMBOX_RUN_DIR}/font.bmp)

add_executable(mkfont tools/mkfont.cpp)

add_custom_command(
    OUTPUT ${HUMMBOX_FONT_BMP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HUMMBOX_RUN_DIR}
    COMMAND mkfont ${PROJECT_SOURCE_DIR}/tools/font/glyphs.txt ${HUMMBOX_FONT_BMP}
    DEPENDS mkfont ${PROJECT_SOURCE_DIR}/tools/font/glyphs.txt
    COMMENT "Drawing the screen font into ${HUMMBOX_FONT_BMP}"
    VERBATIM)
add_custom_target(hummbox_font ALL DEPENDS ${HUMMBOX_FONT_BMP})

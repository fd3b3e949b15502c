# hummbox-render: renders a sound ROM offline into a WAV file through the board's audio path,
# with the program's own WAV writer (capture/WavFile). Its command line is a library of its
# own, which the tests read in-process.
set(HUMMBOX_RENDER_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/render)
add_library(hummbox_render_options STATIC ${HUMMBOX_RENDER_DIR}/RenderOptions.cpp)
target_include_directories(hummbox_render_options PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(hummbox_render_options PUBLIC hummbox_capture)
add_executable(hummbox-render ${HUMMBOX_RENDER_DIR}/render_main.cpp)
target_link_libraries(hummbox-render PRIVATE hummbox_render_options hummbox_capture hummbox_rom)

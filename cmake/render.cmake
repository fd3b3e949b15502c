# hummbox-render: renders a sound ROM offline into a WAV file through the board's audio path,
# with the program's own WAV writer (capture/WavFile).
file(GLOB HUMMBOX_RENDER_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../tools/render/*.cpp)
add_executable(hummbox-render ${HUMMBOX_RENDER_SOURCES})
target_include_directories(hummbox-render PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(hummbox-render PRIVATE hummbox_capture hummbox_rom)

# hummbox-render: renders a sound ROM offline into a WAV file through the board's audio path,
# with the program's own WAV writer (capture/WavFile). Its command line is a library of its
# own, which the tests read in-process. --catalog and --check (Catalogue.cpp) draw with the
# catalog room's libraries and read catalogue.json with nlohmann's JSON (header only).
set(HUMMBOX_RENDER_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/render)
add_library(hummbox_render_options STATIC ${HUMMBOX_RENDER_DIR}/RenderOptions.cpp)
target_include_directories(hummbox_render_options PUBLIC ${CMAKE_SOURCE_DIR}
    PRIVATE ${CMAKE_BINARY_DIR}/generated) # ui/Version.h
target_link_libraries(hummbox_render_options PUBLIC hummbox_capture)
find_package(nlohmann_json 3 REQUIRED)
add_executable(hummbox-render ${HUMMBOX_RENDER_DIR}/render_main.cpp
    ${HUMMBOX_RENDER_DIR}/Catalogue.cpp)
target_link_libraries(hummbox-render PRIVATE hummbox_render_options hummbox_capture hummbox_rom
    hummbox_catalog nlohmann_json::nlohmann_json)

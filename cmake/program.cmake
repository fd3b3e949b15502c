# The hummbox program, built into the run directory beside font.bmp.
add_executable(hummbox app/main.cpp)
target_link_libraries(hummbox PRIVATE hummbox_app)
if(TARGET SDL2::SDL2main)
    target_link_libraries(hummbox PRIVATE SDL2::SDL2main)
endif()
set_target_properties(hummbox PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HUMMBOX_RUN_DIR})
add_dependencies(hummbox hummbox_font)


# The hummbox program, built into the run directory beside font.bmp.
if(NOT DEFINED HUMMBOX_RUN_DIR)
    set(HUMMBOX_RUN_DIR ${CMAKE_BINARY_DIR}/run)
endif()
add_executable(hummbox app/main.cpp)
target_link_libraries(hummbox PRIVATE hummbox_core)
if(TARGET SDL2::SDL2main)
    target_link_libraries(hummbox PRIVATE SDL2::SDL2main)
endif()
set_target_properties(hummbox PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HUMMBOX_RUN_DIR})
if(TARGET hummbox_font)
    add_dependencies(hummbox hummbox_font)
endif()

# Without a display the program must say why and exit with status 1.
add_test(NAME hummbox_exits_without_display
    COMMAND sh -c "out=$(\"$0\" 2>&1); status=$?; echo \"$out\"; test $status -eq 1 && echo \"$out\" | grep -q \"not available\""
            $<TARGET_FILE:hummbox>
    WORKING_DIRECTORY ${HUMMBOX_RUN_DIR})
set_tests_properties(hummbox_exits_without_display PROPERTIES
    ENVIRONMENT "SDL_VIDEODRIVER=nosuchdriver;SDL_AUDIODRIVER=dummy")

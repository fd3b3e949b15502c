# The tests: GoogleTest unit tests (tests/*), the program's command-line checks, the
# end-to-end walk-through (tests/e2e) and, when Google Benchmark is installed, the benchmarks.
# They read the font, the demo ROMs and their listings from the build tree and run
# hummbox-render, so the targets of the other cmake/ files exist by now.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
add_executable(hummbox_tests ${TEST_SOURCES})
target_include_directories(hummbox_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(hummbox_tests PRIVATE hummbox_app hummbox_render_options GTest::gtest
    GTest::gtest_main)
target_compile_definitions(hummbox_tests PRIVATE
    "HUMMBOX_FONT_BMP=\"${HUMMBOX_FONT_BMP}\""
    "HUMMBOX_ROM_DIR=\"${HUMMBOX_RUN_DIR}\"" "HUMMBOX_ROM_LISTING_DIR=\"${HUMMBOX_RUN_DIR}\""
    "HUMMBOX_RENDER_EXE=\"$<TARGET_FILE:hummbox-render>\"")
add_dependencies(hummbox_tests hummbox_font hummbox_roms hummbox-render)
gtest_discover_tests(hummbox_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;SDL_RENDER_DRIVER=software")

# Without a display the program must say why and exit with status 1.
add_test(NAME hummbox_exits_without_display
    COMMAND sh -c "out=$(\"$0\" 2>&1); status=$?; echo \"$out\"; test $status -eq 1 && echo \"$out\" | grep -q \"not available\""
            $<TARGET_FILE:hummbox>
    WORKING_DIRECTORY ${HUMMBOX_RUN_DIR})
set_tests_properties(hummbox_exits_without_display PROPERTIES
    ENVIRONMENT "SDL_VIDEODRIVER=nosuchdriver;SDL_AUDIODRIVER=dummy")

include(cmake/e2e.cmake)

# demo.snd's catalogue page as headless Chromium (tools/deps.sh installs it) loads it: every
# picture decoded whole, every player's WAV file there, no scripts. Fails without Chromium.
add_test(NAME demo_catalogue
    COMMAND ${HUMMBOX_E2E_PYTHON} ${CMAKE_SOURCE_DIR}/tests/tools/demo_catalogue.py
            $<TARGET_FILE:hummbox-render> ${HUMMBOX_RUN_DIR}/demo.snd
            ${CMAKE_BINARY_DIR}/demo-catalogue)
set_tests_properties(demo_catalogue PROPERTIES TIMEOUT 180)

find_package(benchmark QUIET)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS bench/*.cpp)
if(benchmark_FOUND AND BENCH_SOURCES)
    add_executable(hummbox_bench ${BENCH_SOURCES})
    target_link_libraries(hummbox_bench PRIVATE hummbox_app benchmark::benchmark benchmark::benchmark_main)
    target_compile_definitions(hummbox_bench PRIVATE "HUMMBOX_FONT_BMP=\"${HUMMBOX_FONT_BMP}\"")
    add_dependencies(hummbox_bench hummbox_font)
endif()

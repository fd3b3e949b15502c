# The end-to-end walk-through (tests/e2e, on the desktop-driving library in tools/desktop):
# the real hummbox in a private X server (Xvfb), driven by keys typed through XTEST, checked
# by screenshots and by the audio that SDL's disk driver writes. It runs on Debian's own
# python3, which the packages python3-xlib and python3-pil extend (tools/deps.sh installs
# them, xvfb and xauth, which writes the server's cookie). Screenshots and audio land in build/e2e.
find_program(HUMMBOX_E2E_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(HUMMBOX_E2E_PYTHON python3 REQUIRED)
execute_process(COMMAND ${HUMMBOX_E2E_PYTHON} -c "import Xlib.ext.xtest, PIL.Image"
    RESULT_VARIABLE missing_modules OUTPUT_QUIET ERROR_QUIET)
find_program(HUMMBOX_XVFB Xvfb)
find_program(HUMMBOX_XAUTH xauth)
if(missing_modules OR NOT HUMMBOX_XVFB OR NOT HUMMBOX_XAUTH)
    message(FATAL_ERROR "The walk-through needs Xvfb, xauth and ${HUMMBOX_E2E_PYTHON} with the modules "
        "of the Debian packages 'python3-xlib' and 'python3-pil' (tools/deps.sh installs them).")
endif()
add_test(NAME e2e_walkthrough
    COMMAND ${HUMMBOX_E2E_PYTHON} ${CMAKE_SOURCE_DIR}/tests/e2e/walkthrough.py
            --hummbox $<TARGET_FILE:hummbox> --run-dir ${HUMMBOX_RUN_DIR} --out ${CMAKE_BINARY_DIR}/e2e)
# It times real audio and key hand-over, so it runs alone, not beside the heavy tests.
set_tests_properties(e2e_walkthrough PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE LABELS e2e)
# In sanitizer builds the program draws with SDL's software renderer and no GL window
# surface (Mesa's threads are not instrumented) and leaves leak checking to the in-process
# tests (D-Bus and the drivers that SDL loads keep memory until exit).
if(HUMMBOX_SANITIZE)
    set_tests_properties(e2e_walkthrough PROPERTIES ENVIRONMENT
        "SDL_RENDER_DRIVER=software;SDL_FRAMEBUFFER_ACCELERATION=0;ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
endif()

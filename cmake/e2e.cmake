# The end-to-end walk-through (tests/e2e, on the desktop-driving library in tools/desktop):
# the real hummbox in a private X server (Xvfb), driven by keys sent with xdotool, checked by
# screenshots and by the audio that SDL's disk driver writes. Packages: xvfb, xdotool,
# python3 (tools/deps.sh installs them). Screenshots and audio land in build/e2e.
if(NOT DEFINED HUMMBOX_RUN_DIR)
    set(HUMMBOX_RUN_DIR ${CMAKE_BINARY_DIR}/run)
endif()
find_program(HUMMBOX_PYTHON3 python3 REQUIRED)
# In sanitizer builds the program draws with SDL's software renderer and no GL window
# surface (Mesa's threads are not instrumented) and leaves leak checking to the in-process
# tests (D-Bus and the drivers that SDL loads keep memory until exit).
set(HUMMBOX_E2E_SANITIZED)
if(HUMMBOX_SANITIZE)
    set(HUMMBOX_E2E_SANITIZED --sanitized)
endif()
add_test(NAME e2e_walkthrough
    COMMAND ${HUMMBOX_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/../tests/e2e/walkthrough.py
            --hummbox $<TARGET_FILE:hummbox> --run-dir ${HUMMBOX_RUN_DIR}
            --out ${CMAKE_BINARY_DIR}/e2e ${HUMMBOX_E2E_SANITIZED})
# It times real audio and key hand-over, so it runs alone, not beside the heavy tests.
set_tests_properties(e2e_walkthrough PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS e2e)

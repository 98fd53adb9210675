# The real serial line on pseudo-terminals. tst_serialline_shim runs the same tests again with
# the modem-line shim preloaded, so the DTR/RTS levels can be checked too.
add_library(ptyshim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/shim/ptyshim.c)
target_link_libraries(ptyshim PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(ptyshim PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

pregonal_add_test(tst_serialline SOURCES tst_serialline.cpp LIBS pregonal_serial pregonal_testsupport
    LABELS serial)
add_dependencies(tst_serialline ptyshim)

add_test(NAME tst_serialline_shim COMMAND tst_serialline)
set_tests_properties(tst_serialline_shim PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LD_PRELOAD=$<TARGET_FILE:ptyshim>;PREGONAL_REQUIRE_SHIM=1"
    LABELS serial
    TIMEOUT 300)

# The pure functions: error causes, keying-line forms, tolerant settings. No window, no device.
pregonal_add_test(tst_pure SOURCES tst_pure.cpp LIBS pregonal_devices pregonal_settings)
# The receiver's audio heard as busy or clear, from tables of block levels.
pregonal_add_test(tst_busydetector SOURCES tst_busydetector.cpp LIBS pregonal_busy)
# What the command line asks for.
pregonal_add_test(tst_commandline SOURCES tst_commandline.cpp LIBS pregonal_cli)

# The line sources of "busy": a pty's status lines driven through the shim, CM108 reports from a
# FIFO, a GPIO stand-in, and the radio simulator's squelch.
pregonal_add_test(tst_busy SOURCES tst_busy.cpp
    LIBS pregonal_busy pregonal_radiosim pregonal_testsupport LABELS serial cat)
add_dependencies(tst_busy ptyshim)
set_tests_properties(tst_busy PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LD_PRELOAD=$<TARGET_FILE:ptyshim>")

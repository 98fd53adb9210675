# The window with the real devices: sound on the test server, serial on a pty through the shim.
pregonal_add_test(tst_endtoend SOURCES tst_endtoend.cpp
    LIBS pregonal_ui pregonal_backends pregonal_fakes pregonal_testsupport)
add_dependencies(tst_endtoend ptyshim)
set_tests_properties(tst_endtoend PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;LD_PRELOAD=$<TARGET_FILE:ptyshim>;PREGONAL_LINESHIM_OPEN=0;PREGONAL_LINELOG=${CMAKE_CURRENT_BINARY_DIR}/endtoend-lines.log")

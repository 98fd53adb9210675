set(UI_TEST_LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_startup SOURCES tst_startup.cpp windowfixture.h LIBS ${UI_TEST_LIBS})


pregonal_add_test(tst_commands SOURCES tst_commands.cpp windowfixture.h LIBS ${UI_TEST_LIBS})
pregonal_add_test(tst_transmission SOURCES tst_transmission.cpp windowfixture.h LIBS ${UI_TEST_LIBS})
pregonal_add_test(tst_keying SOURCES tst_keying.cpp windowfixture.h LIBS ${UI_TEST_LIBS})

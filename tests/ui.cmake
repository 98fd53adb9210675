set(UI_TEST_LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_startup SOURCES tst_startup.cpp windowfixture.h LIBS ${UI_TEST_LIBS})



# The options dialog, the recorder and the About box, on the real main window built on fakes.
pregonal_add_test(tst_options SOURCES tst_options.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_recorder SOURCES tst_recorder.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_about SOURCES tst_about.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)

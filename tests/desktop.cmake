# The program on the desktop: Qt's texts in Spanish on an English desktop, and where the main
# window first appears (two offscreen screens and the language, set up by the test's own main).
pregonal_add_test(tst_desktop SOURCES tst_desktop.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)

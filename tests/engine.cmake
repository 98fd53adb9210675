# The transmission engine against the fakes, with no window and no widget library.
pregonal_add_test(tst_engine SOURCES tst_engine.cpp LIBS pregonal_engine pregonal_fakes)
# Keying through the other methods: their settings, the cycle waiting for a confirmed key-up, and
# the window choosing the method (on fakes).
pregonal_add_test(tst_keyers SOURCES tst_keyers.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)

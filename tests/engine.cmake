# The transmission engine against the fakes, with no window and no widget library.
pregonal_add_test(tst_engine SOURCES tst_engine.cpp LIBS pregonal_engine pregonal_fakes)

# The options dialog, the recorder, the About box, the station dialog, the schedule and the log windows, on the real main window built on fakes.
pregonal_add_test(tst_options SOURCES tst_options.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_recorder SOURCES tst_recorder.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_about SOURCES tst_about.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_station SOURCES tst_station.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
pregonal_add_test(tst_schedulewindows SOURCES tst_schedulewindows.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
# The schedule, entry and log dialogs opened on screens of 800x600 and 1280x800.
pregonal_add_test(tst_screenfit SOURCES tst_screenfit.cpp LIBS pregonal_ui pregonal_fakes)

# The scheduled broadcasts and the transmission log, with no window and no device.
pregonal_add_test(tst_schedule SOURCES tst_schedule.cpp LIBS pregonal_schedule)
pregonal_add_test(tst_transmissionlog SOURCES tst_transmissionlog.cpp LIBS pregonal_transmissionlog)
# The engine's transmissions in the log and the schedule driving the engine, on fakes.
pregonal_add_test(tst_stationlog SOURCES tst_stationlog.cpp LIBS pregonal_station pregonal_fakes)
# The station identifying itself on its own every so often, on fakes and a test clock.
pregonal_add_test(tst_identrunner SOURCES tst_identrunner.cpp LIBS pregonal_station pregonal_fakes)

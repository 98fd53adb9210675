# The scheduled broadcasts and the transmission log, with no window and no device.
pregonal_add_test(tst_schedule SOURCES tst_schedule.cpp LIBS pregonal_schedule)
pregonal_add_test(tst_transmissionlog SOURCES tst_transmissionlog.cpp LIBS pregonal_transmissionlog)

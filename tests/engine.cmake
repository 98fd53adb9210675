# The transmission engine against the fakes, with no window and no widget library.
pregonal_add_test(tst_engine SOURCES tst_engine.cpp LIBS pregonal_engine pregonal_fakes)
# Keying through the other methods: their settings, the cycle waiting for a confirmed key-up, and
# the window choosing the method (on fakes).
pregonal_add_test(tst_keyers SOURCES tst_keyers.cpp windowfixture.h LIBS pregonal_ui pregonal_fakes)
# The CM108 keyer: its report, its lookup from the sound card, and the cycle on a FIFO.
pregonal_add_test(tst_cm108 SOURCES tst_cm108.cpp LIBS pregonal_keyers pregonal_engine pregonal_fakes)
# The GPIO keyer through a stand-in for the chip, and libgpiod on gpio-sim where it is there.
pregonal_add_test(tst_gpio SOURCES tst_gpio.cpp LIBS pregonal_keyers pregonal_engine pregonal_fakes)
# The station's identification: Morse as sound and its settings, read back by a decoder.
pregonal_add_test(tst_morse SOURCES tst_morse.cpp support/morsedecoder.h LIBS pregonal_devices)
# The wait for a clear channel: its decisions as tables, and the engine, log and schedule around it.
pregonal_add_test(tst_channelwait SOURCES tst_channelwait.cpp LIBS pregonal_station pregonal_fakes)

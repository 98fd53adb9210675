# The real audio device against the test sound server (scripts/testpulse.sh).
pregonal_add_test(tst_audiodevice SOURCES tst_audiodevice.cpp
    LIBS pregonal_audio pregonal_testsupport PkgConfig::SNDFILE)

# The real audio device against the test sound server (scripts/testpulse.sh).
pregonal_add_test(tst_audiodevice SOURCES tst_audiodevice.cpp
    LIBS pregonal_audio pregonal_testsupport PkgConfig::SNDFILE)
# Its parts that need no sound server: the sound-file handle, the play's timing, the header reading.
pregonal_add_test(tst_soundfile SOURCES tst_soundfile.cpp LIBS pregonal_audio PkgConfig::SNDFILE)

# The real audio device against the test sound server (scripts/testpulse.sh, and again
# scripts/testpipewire.sh: label "sound").
pregonal_add_test(tst_audiodevice SOURCES tst_audiodevice.cpp
    LIBS pregonal_audio pregonal_testsupport PkgConfig::SNDFILE LABELS sound)

# The test capture's own clock and its gap finding (no sound server needed).
pregonal_add_test(tst_soundcapture SOURCES tst_soundcapture.cpp LIBS pregonal_testsupport)
# Its parts that need no sound server: the sound-file handle, the play's timing, the header reading.
pregonal_add_test(tst_soundfile SOURCES tst_soundfile.cpp LIBS pregonal_audio PkgConfig::SNDFILE)
# The input meter following an input that goes away and comes back.
pregonal_add_test(tst_levelmeter SOURCES tst_levelmeter.cpp LIBS pregonal_audio pregonal_testsupport LABELS sound)
# The identification written as sound files (no sound server needed).
pregonal_add_test(tst_identsound SOURCES tst_identsound.cpp LIBS pregonal_audio PkgConfig::SNDFILE)
# The level on the air: the measure, the one-gain rule, its settings and cache (no sound server).
pregonal_add_test(tst_loudness SOURCES tst_loudness.cpp LIBS pregonal_audio pregonal_settings PkgConfig::SNDFILE PkgConfig::EBUR128)
# The receiver's audio heard as busy or clear, on the test sound server.
pregonal_add_test(tst_audiobusy SOURCES tst_audiobusy.cpp LIBS pregonal_busy pregonal_testsupport LABELS sound)
# A send during a conversation on the receiver's input: the real source, audio device and engine.
pregonal_add_test(tst_clearchannel SOURCES tst_clearchannel.cpp
    LIBS pregonal_station pregonal_fakes pregonal_testsupport PkgConfig::SNDFILE LABELS sound)

# Tests on the real rig. The end-to-end run of a loop, and the faults: the sound server dying, the serial device vanishing, long loops, broken WAV files and
# broken settings, on the real window with the real devices (sound on the test server, serial on
# a pty through the modem-line shim). The slow ones carry the label "long" (scripts/test.sh
# leaves them out; .ci/run runs them separately).
add_library(pregonal_realrig STATIC support/realrig.h support/realrig.cpp support/faultkit.h support/faultkit.cpp)
target_compile_definitions(pregonal_realrig PRIVATE PREGONAL_SCRIPTS="${PROJECT_SOURCE_DIR}/scripts")
target_include_directories(pregonal_realrig PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(pregonal_realrig PUBLIC pregonal_ui pregonal_backends pregonal_fakes pregonal_testsupport
    PRIVATE ${CMAKE_DL_LIBS})

function(pregonal_add_rig_test name)
    cmake_parse_arguments(F "" "TIMEOUT" "SOURCES;LABELS" ${ARGN})
    pregonal_add_test(${name} SOURCES ${F_SOURCES} LIBS pregonal_realrig PkgConfig::SNDFILE LABELS ${F_LABELS})
    add_dependencies(${name} ptyshim)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.multimedia*=false;LD_PRELOAD=$<TARGET_FILE:ptyshim>;PREGONAL_LINESHIM_OPEN=0;PREGONAL_LINELOG=${CMAKE_CURRENT_BINARY_DIR}/${name}-lines.log")
    if(F_TIMEOUT)
        # Qt Test stops a test function after 300 s of its own; CTest's limit is the one that counts.
        math(EXPR function_ms "${F_TIMEOUT} * 1000")
        set_tests_properties(${name} PROPERTIES TIMEOUT ${F_TIMEOUT})
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "QTEST_FUNCTION_TIMEOUT=${function_ms}")
    endif()
endfunction()

# Label "sound": scripts/test.sh runs these (and tst_audiodevice) once more on a PipeWire server.
pregonal_add_rig_test(tst_endtoend SOURCES tst_endtoend.cpp LABELS sound)
pregonal_add_rig_test(tst_faults_sound SOURCES tst_faults_sound.cpp LABELS faults sound)
pregonal_add_rig_test(tst_faults_serial SOURCES tst_faults_serial.cpp LABELS faults)
pregonal_add_rig_test(tst_faults_wav SOURCES tst_faults_wav.cpp LABELS faults)
pregonal_add_rig_test(tst_faults_settings SOURCES tst_faults_settings.cpp LABELS faults)
pregonal_add_rig_test(tst_faults_soak SOURCES tst_faults_soak.cpp LABELS faults long TIMEOUT 1800)
# The program itself from the command line, with no display, on the same pty and sound server.
pregonal_add_rig_test(tst_cli SOURCES tst_cli.cpp LABELS faults)
target_compile_definitions(tst_cli PRIVATE PREGONAL_PROGRAM="$<TARGET_FILE:pregonal>")
target_link_libraries(tst_cli PRIVATE pregonal_transmissionlog)
add_dependencies(tst_cli pregonal)
# The command line run to its end again and again while other sound comes and goes; the guard
# preloaded into it stops it when the sound server's connection is torn down unsafely.
add_library(pulseguard SHARED ${CMAKE_CURRENT_SOURCE_DIR}/shim/pulseguard.c)
target_include_directories(pulseguard PRIVATE ${PULSE_INCLUDE_DIRS})
target_link_libraries(pulseguard PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(pulseguard PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
pregonal_add_rig_test(tst_cliloop SOURCES tst_cliloop.cpp LABELS faults long TIMEOUT 300)
target_compile_definitions(tst_cliloop PRIVATE PREGONAL_PROGRAM="$<TARGET_FILE:pregonal>"
    PREGONAL_PULSEGUARD="$<TARGET_FILE:pulseguard>")
target_link_libraries(tst_cliloop PRIVATE pregonal_transmissionlog)
add_dependencies(tst_cliloop pregonal pulseguard)

# The CAT keyer through real Hamlib and the TS-2000 simulator (python3), directly and via rigctld.
# Hamlib holds the CAT port's DTR and RTS low, which a pty only allows through the shim; its log
# shows that they never rise.
pregonal_add_test(tst_cat SOURCES tst_cat.cpp
    LIBS pregonal_keyers pregonal_engine pregonal_fakes pregonal_radiosim pregonal_testsupport
    LABELS cat)
add_dependencies(tst_cat ptyshim)
set_tests_properties(tst_cat PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LD_PRELOAD=$<TARGET_FILE:ptyshim>;PREGONAL_LINESHIM_OPEN=0;PREGONAL_LINELOG=${CMAKE_CURRENT_BINARY_DIR}/tst_cat-lines.log")

# The window keying through CAT (the simulator), a CM108 pin (a FIFO) and VOX around real sound.
pregonal_add_rig_test(tst_endtoend_keyers SOURCES tst_endtoend_keyers.cpp LABELS sound cat)
target_link_libraries(tst_endtoend_keyers PRIVATE pregonal_radiosim)
# One station per user: the schedule's lock, and the owner on a session bus of the test's own.
pregonal_add_rig_test(tst_owner SOURCES tst_owner.cpp LABELS faults)
target_compile_definitions(tst_owner PRIVATE PREGONAL_PROGRAM="$<TARGET_FILE:pregonal>")
target_link_libraries(tst_owner PRIVATE pregonal_transmissionlog pregonal_dbus)
add_dependencies(tst_owner pregonal)

# The installed desktop program and its Debian package (packaging/packaging.cmake). Shell-script
# tests: they install into, and unpack under, scratch folders inside the build tree.
add_test(NAME tst_package_install
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tst_package_install.sh ${PROJECT_BINARY_DIR})
add_test(NAME tst_package_deb
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tst_package_deb.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(tst_package_install tst_package_deb PROPERTIES LABELS package TIMEOUT 300
    ENVIRONMENT "CMAKE=${CMAKE_COMMAND};CPACK=${CMAKE_CPACK_COMMAND}")

# The audio device test once more, against PipeWire through pipewire-pulse (scripts/testpipewire.sh).
# Off by default: it needs pipewire, pipewire-pulse and wireplumber installed. Turn it on with
#   cmake -B build -DPREGONAL_PIPEWIRE_TESTS=ON && (cd build && ctest -L pipewire)
option(PREGONAL_PIPEWIRE_TESTS "Also run tst_audiodevice against PipeWire (pipewire-pulse)" OFF)
if(PREGONAL_PIPEWIRE_TESTS AND TARGET tst_audiodevice)
    add_test(NAME tst_audiodevice_pipewire
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/testpipewire.sh run $<TARGET_FILE:tst_audiodevice>)
    set_tests_properties(tst_audiodevice_pipewire PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.multimedia*=false"
        LABELS pipewire RUN_SERIAL TRUE TIMEOUT 300)
endif()

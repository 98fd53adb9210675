# The installed desktop program and its Debian package (packaging/packaging.cmake). Shell-script
# tests: they install into, and unpack under, scratch folders inside the build tree.
add_test(NAME tst_package_install
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tst_package_install.sh ${PROJECT_BINARY_DIR})
add_test(NAME tst_package_deb
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tst_package_deb.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(tst_package_install tst_package_deb PROPERTIES LABELS package TIMEOUT 300
    ENVIRONMENT "CMAKE=${CMAKE_COMMAND};CPACK=${CMAKE_CPACK_COMMAND}")

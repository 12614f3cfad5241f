# Runs at install time, so "cmake --install --prefix <dir>" gets files that
# name the program where it really lands. DESTDIR is left out on purpose: a
# staged package still runs from the prefix.
set(ORLEK_PROGRAM "${CMAKE_INSTALL_PREFIX}/${ORLEK_BINDIR}/orlek-plugin")
# Both the bus and systemd split the line at blanks unless it is quoted.
if(ORLEK_PROGRAM MATCHES "[ \t]")
    set(ORLEK_PROGRAM "\"${ORLEK_PROGRAM}\"")
endif()
configure_file("${ORLEK_DATA_SOURCE_DIR}/org.velari.sorvex.orlek.service.in" "${ORLEK_DATA_BINARY_DIR}/install/org.velari.sorvex.orlek.service" @ONLY)
configure_file("${ORLEK_DATA_SOURCE_DIR}/orlek-plugin.service.in" "${ORLEK_DATA_BINARY_DIR}/install/orlek-plugin.service" @ONLY)

# Run at install time: the desktop entry names the program by its full path below the prefix
# being installed to (/usr for the package, CMAKE_INSTALL_PREFIX or --prefix otherwise).
set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TAVREL_DESKTOP_DIR}/tavrel.desktop")
set(TAVREL_PROGRAM_PATH "${CMAKE_INSTALL_PREFIX}/${TAVREL_PROGRAM_DIR}/tavrel")
message(STATUS "Installing: ${entry}")
configure_file("${TAVREL_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")

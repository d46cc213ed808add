# The Debian 12 package kelvra, made with `cpack -G DEB` in a build directory: the three programs,
# their manual pages, the desktop entries and icons of the two window programs, and the dispatch
# server's systemd unit with its environment file. Included after the programs' directories.

set(KELVRA_PACKAGE_DIR ${PROJECT_SOURCE_DIR}/tools/package)

install(TARGETS brisant quaylink gateway-sim RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/desk/brisant.desktop ${PROJECT_SOURCE_DIR}/server/quaylink.desktop
    DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/desk/brisant.svg ${PROJECT_SOURCE_DIR}/server/quaylink.svg
    DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/server/quaylink.service DESTINATION lib/systemd/system)
# Holds the gateway password: root's alone.
install(FILES ${PROJECT_SOURCE_DIR}/server/quaylink.env DESTINATION /etc/kelvra
    PERMISSIONS OWNER_READ OWNER_WRITE)

# Manual pages made from each program's --help and --version. The programs run under the offscreen
# platform with a scratch settings folder, so that making a page needs no display and touches no
# user's settings.
find_program(KELVRA_HELP2MAN help2man)
find_program(KELVRA_GZIP gzip)
if(KELVRA_SANITIZE)
    # Sanitizer builds are never packaged, and a leak report would fail help2man.
elseif(KELVRA_HELP2MAN AND KELVRA_GZIP)
    set(brisant_MAN_NAME "desk program: trade confirmations and statements as queued SMS texts")
    set(quaylink_MAN_NAME "dispatch server: sends the queued SMS texts to the SMS gateway")
    set(gateway-sim_MAN_NAME "local stand-in for the SMS gateway, for demos and tests")
    set(manDir ${PROJECT_BINARY_DIR}/man)
    set(manEnv ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=${manDir}/scratch
        KELVRA_HOME=${manDir}/scratch)
    # brisant's --help lists its commands; each command's own --help gives the page's COMMANDS section.
    add_custom_command(OUTPUT ${manDir}/brisant-commands.h2m
        COMMAND ${CMAKE_COMMAND} -E make_directory ${manDir}/scratch
        COMMAND ${manEnv} sh ${KELVRA_PACKAGE_DIR}/brisant-commands.sh $<TARGET_FILE:brisant>
            ${manDir}/brisant-commands.h2m
        DEPENDS brisant ${KELVRA_PACKAGE_DIR}/brisant-commands.sh
        VERBATIM)
    set(brisant_MAN_INCLUDES ${manDir}/brisant-commands.h2m)
    # gateway-sim's --help ends in reference text with tables that help2man would take for options:
    # help2man reads the options alone, and that text becomes the page's DETAILS section.
    add_custom_command(OUTPUT ${manDir}/gateway-sim-details.h2m
        COMMAND ${CMAKE_COMMAND} -E make_directory ${manDir}/scratch
        COMMAND ${manEnv} sh ${KELVRA_PACKAGE_DIR}/gateway-sim-man.sh details $<TARGET_FILE:gateway-sim>
            ${manDir}/gateway-sim-details.h2m
        DEPENDS gateway-sim ${KELVRA_PACKAGE_DIR}/gateway-sim-man.sh
        VERBATIM)
    set(gateway-sim_MAN_INCLUDES ${manDir}/gateway-sim-details.h2m)
    set(gateway-sim_MAN_PROGRAM "sh ${KELVRA_PACKAGE_DIR}/gateway-sim-man.sh help $<TARGET_FILE:gateway-sim>")
    set(gateway-sim_MAN_DEPENDS ${KELVRA_PACKAGE_DIR}/gateway-sim-man.sh)
    set(manPages "")
    foreach(program brisant quaylink gateway-sim)
        set(page ${manDir}/${program}.1)
        set(includes ${KELVRA_PACKAGE_DIR}/${program}.h2m ${${program}_MAN_INCLUDES})
        list(TRANSFORM includes PREPEND --include= OUTPUT_VARIABLE includeOptions)
        set(command $<TARGET_FILE:${program}>)
        if(DEFINED ${program}_MAN_PROGRAM)
            set(command ${${program}_MAN_PROGRAM})
        endif()
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${manDir}/scratch
            COMMAND ${manEnv} ${KELVRA_HELP2MAN} --no-info --section=1 --name=${${program}_MAN_NAME}
                ${includeOptions} --output=${page} "${command}"
            COMMAND ${KELVRA_GZIP} -n -9 -f ${page}
            DEPENDS ${program} ${includes} ${${program}_MAN_DEPENDS}
            COMMENT "Manual page ${program}.1"
            VERBATIM)
        list(APPEND manPages ${page}.gz)
    endforeach()
    add_custom_target(manpages ALL DEPENDS ${manPages})
    install(FILES ${manPages} DESTINATION share/man/man1)
else()
    message(WARNING "help2man or gzip not found: no manual pages (the package goes without them)")
endif()

# cpack packs what has been built and builds nothing itself, so that packing (the package test
# among them) never starts a build of its own beside a running one.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvra)
set(CPACK_PACKAGE_VENDOR "Kelvra Solutions")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kelvra Solutions <support@kelvra.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SMS trade confirmations and statements for stockbrokers' back offices")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvra sends a stockbroker's clients SMS texts that confirm the day's trades
and report their balances and holdings. The desk program, brisant, turns the
exchanges' trade files, ledger and stock spreadsheets and typed texts into one
queued text per client in a shared message store (SQLite, or PostgreSQL for
several machines). The dispatch server, quaylink, uploads the queued texts to
the SMS provider's HTTP gateway and records the outcome; it runs in a window
or as the systemd service quaylink. gateway-sim is a local stand-in for the
gateway, for demonstrations and tests.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, not linked: the store's SQL drivers, the window system plugin, and adduser for
# the service's user.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins, adduser")
# LibreOffice reads .xls sheets with formulas; PostgreSQL holds a store shared by several machines.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-calc-nogui, postgresql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${KELVRA_PACKAGE_DIR}/postinst ${KELVRA_PACKAGE_DIR}/prerm ${KELVRA_PACKAGE_DIR}/postrm
    ${KELVRA_PACKAGE_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

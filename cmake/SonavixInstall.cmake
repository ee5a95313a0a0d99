# Installation under any prefix (GNUInstallDirs): the programs in bin/, their data in
# share/sonavix/ (the program finds it at ../share/sonavix from its executable), the menu entry,
# icons, AppStream metainfo and man pages where desktops and man(1) look for them.
include(GNUInstallDirs)

set(SONAVIX_APP_ID "io.github.sonavix.Sonavix")
set(SONAVIX_DATA_INSTALL_DIR "${CMAKE_INSTALL_DATADIR}/sonavix")
set(_desktop "${PROJECT_SOURCE_DIR}/desktop")

# Tools of other modules join the list by existing; each answers --help and --version, from which
# its man page is made.
set(SONAVIX_INSTALLED_TOOLS sonavix-decode sonavix-play sonavix-analyse sonavix-recognise)
set(_summary_sonavix-decode "decode an MP3 recording to a WAV file")
set(_summary_sonavix-play "play an MP3 recording through the sound device")
set(_summary_sonavix-analyse "measure the duration, pitch and formants of a recording of speech")
set(_summary_sonavix-recognise "tell which word of a minimal pair a recording says")

find_program(HELP2MAN_EXE help2man)
set(_man_pages)
set(SONAVIX_PROVIDED_BINARIES "    <binary>sonavix</binary>\n")
foreach(tool IN LISTS SONAVIX_INSTALLED_TOOLS)
    if(NOT TARGET ${tool})
        continue()
    endif()
    string(APPEND SONAVIX_PROVIDED_BINARIES "    <binary>${tool}</binary>\n")
    install(TARGETS ${tool} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    if(HELP2MAN_EXE)
        set(_page "${PROJECT_BINARY_DIR}/man/${tool}.1")
        # help2man dates the page from SOURCE_DATE_EPOCH when set, so package builds repeat.
        add_custom_command(OUTPUT "${_page}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
            COMMAND ${HELP2MAN_EXE} --no-info --section=1 "--name=${_summary_${tool}}"
                    "--source=Sonavix ${PROJECT_VERSION}" "--output=${_page}"
                    "$<TARGET_FILE:${tool}>"
            DEPENDS ${tool}
            COMMENT "Man page of ${tool}"
            VERBATIM)
        list(APPEND _man_pages "${_page}")
    endif()
endforeach()
if(_man_pages)
    add_custom_target(man_pages ALL DEPENDS ${_man_pages})
    install(FILES ${_man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
elseif(SONAVIX_INSTALLED_TOOLS AND NOT HELP2MAN_EXE)
    message(STATUS "help2man not found: the command-line tools are installed without man pages")
endif()

if(TARGET sonavix)
    install(TARGETS sonavix RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    install(FILES "${PROJECT_SOURCE_DIR}/man/sonavix.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

    # The same data the build's program directory holds beside the executable.
    foreach(dir pho pairs Styles web)
        if(EXISTS "${PROJECT_SOURCE_DIR}/assets/${dir}")
            install(DIRECTORY "${PROJECT_SOURCE_DIR}/assets/${dir}"
                DESTINATION "${SONAVIX_DATA_INSTALL_DIR}" PATTERN ".keep" EXCLUDE)
        endif()
    endforeach()
    # The font's licence goes into the package's copyright file instead of beside it.
    install(FILES "${PROJECT_SOURCE_DIR}/assets/font/Svphonet.ttf"
        DESTINATION "${SONAVIX_DATA_INSTALL_DIR}")

    install(FILES "${_desktop}/${SONAVIX_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    # The metainfo lists the binaries this build installs.
    set(SONAVIX_METAINFO "${PROJECT_BINARY_DIR}/desktop/${SONAVIX_APP_ID}.metainfo.xml")
    configure_file("${_desktop}/${SONAVIX_APP_ID}.metainfo.xml.in" "${SONAVIX_METAINFO}" @ONLY)
    install(FILES "${SONAVIX_METAINFO}"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(DIRECTORY "${_desktop}/icons/hicolor" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons")
endif()

# How the framework's shared libraries are installed: the same for each, so that a library added
# later is found by find_package and pkg-config as the others are.

# Writes NAME.pc for a library installed as libNAME.so, which its consumers compile with CFLAGS and
# which needs the pkg-config modules REQUIRES.
function(qmf_install_pkg_config)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;TITLE;DESCRIPTION;REQUIRES;CFLAGS" "")
    set(QMF_PC_NAME "${arg_NAME}")
    set(QMF_PC_TITLE "${arg_TITLE}")
    set(QMF_PC_DESCRIPTION "${arg_DESCRIPTION}")
    set(QMF_PC_REQUIRES "${arg_REQUIRES}")
    set(QMF_PC_CFLAGS "${arg_CFLAGS}")
    configure_file(${PROJECT_SOURCE_DIR}/framework/quillmeremakefont.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}.pc.in @ONLY)
    # The prefix is known only at install time.
    install(CODE "configure_file(\"${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}.pc.in\" \"${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}.pc\" @ONLY)")
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

# Makes TARGET, a shared library of the current folder, a library of the framework package: the folder
# as its include directory (include/<framework>/SUBDIR once installed, without the _p.h headers),
# only what the version script MAP names exported, the file name OUTPUT_NAME with the project's
# version as SONAME, the CMake target <package>::EXPORT_NAME and a pkg-config file that requires the
# libraries and Qt modules REQUIRES.
function(qmf_install_library target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "SUBDIR;MAP;OUTPUT_NAME;EXPORT_NAME;DESCRIPTION;REQUIRES" "")
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/${QMF_LIBRARY_NAME}/${arg_SUBDIR}>
    )
    target_link_options(${target} PRIVATE "-Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/${arg_MAP}")
    set_target_properties(${target} PROPERTIES
        LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${arg_MAP}
        OUTPUT_NAME ${arg_OUTPUT_NAME}
        EXPORT_NAME ${arg_EXPORT_NAME}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
    )
    install(TARGETS ${target} EXPORT ${QMF_PACKAGE_NAME}Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    )
    install(DIRECTORY ./ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${QMF_LIBRARY_NAME}/${arg_SUBDIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "*_p.h" EXCLUDE
    )
    qmf_install_pkg_config(NAME ${arg_OUTPUT_NAME}
        TITLE "${QMF_PACKAGE_NAME} ${arg_SUBDIR}"
        DESCRIPTION "${arg_DESCRIPTION}"
        REQUIRES "${arg_REQUIRES}"
        CFLAGS "-I\${includedir}/${arg_SUBDIR}"
    )
endfunction()

# cmake -DPROGRAM=<file> -DQT_MAJOR=<5 or 6> -P nowidgets.cmake: fails when the program loads Qt Widgets,
# directly or through a library it links, so that a headless program runs where only Qt Core and Gui are
# installed.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT libraries MATCHES "libQt${QT_MAJOR}Core")
    message(FATAL_ERROR "ldd could not list the libraries of ${PROGRAM}: ${errors}")
endif()
if(libraries MATCHES "libQt[0-9]+Widgets")
    message(FATAL_ERROR "${PROGRAM} loads Qt Widgets:\n${libraries}")
endif()

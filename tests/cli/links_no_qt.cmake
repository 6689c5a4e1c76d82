# Fails when PROGRAM needs a Qt library: dotwright-cli starts without the
# toolkit, so that a build script pays only for reading its pictures.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries ERROR_VARIABLE errors
                RESULT_VARIABLE status)
# A listing without the C library is no listing at all: the check saw nothing.
if(NOT status EQUAL 0 OR NOT libraries MATCHES "libc\\.so")
    message(FATAL_ERROR "ldd ${PROGRAM} gave no list of libraries (${status}): ${errors}")
endif()
if(libraries MATCHES "libQt6[^ \t\n]*")
    message(FATAL_ERROR "${PROGRAM} needs ${CMAKE_MATCH_0}:\n${libraries}")
endif()

# Windows side: GoogleTest built from Debian's sources with mingw, and the
# Wine runner that gives every test program a prefix of its own.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_language(RC)
set(VRO_WINE_RUN ${VRO_ROOT}/tools/wine-test-run.sh)
set(VRO_TEMPLATE_PREFIX ${CMAKE_BINARY_DIR}/wine-template)
set(VRO_SHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)

# The template prefix is made once per test run; each test copies it.
add_test(NAME wine_template_prefix
    COMMAND ${VRO_ROOT}/tools/make-prefix.sh ${VRO_TEMPLATE_PREFIX})
set_tests_properties(wine_template_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 180)

# vro_wine_test(NAME name COMMAND target [args...] [WINVER win95|win98|nt40]
#               [LANG locale] [TIMEOUT s] [DISPLAY])
# Runs a Windows test program under Wine in a fresh copy of the template
# prefix. WINVER sets the family Wine reports, LANG the system language;
# DISPLAY runs it under its own Xvfb server.
function(vro_wine_test)
    cmake_parse_arguments(T "DISPLAY" "NAME;WINVER;LANG;TIMEOUT" "COMMAND" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    list(POP_FRONT T_COMMAND exe)
    set(env "VRO_TEMPLATE_PREFIX=${VRO_TEMPLATE_PREFIX}" "VRO_TIMEOUT=${T_TIMEOUT}"
            "VRO_SHOT_DIR=${VRO_SHOT_DIR}" "VRO_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
    if(T_WINVER)
        list(APPEND env "VRO_WINVER=${T_WINVER}")
    endif()
    if(T_LANG)
        list(APPEND env "VRO_LANG=${T_LANG}")
    endif()
    if(T_DISPLAY)
        list(APPEND env "VRO_XVFB=1")
    endif()
    add_test(NAME ${T_NAME} COMMAND ${VRO_WINE_RUN} $<TARGET_FILE:${exe}> ${T_COMMAND})
    math(EXPR outer "${T_TIMEOUT} + 30")
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}"
        FIXTURES_REQUIRED wine_prefix TIMEOUT ${outer})
endfunction()

# Every deliverable lands in one folder so tests find them side by side.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)


# kestrel_add_test(NAME SOURCES file... LIBS lib... [ENV VAR=value...] [LABELS label...])
# Every test runs without a display and finds the programs in the build's bin folder.
# Each has a home folder of its own, emptied at the start of every test run, so that
# nothing in the user's home (recent files, toolbar layout, settings of other programs)
# changes what a test sees, and no test changes the user's.
set(KESTREL_TEST_HOMES ${CMAKE_BINARY_DIR}/test-homes)
add_test(NAME test_homes_empty COMMAND ${CMAKE_COMMAND} -E rm -rf ${KESTREL_TEST_HOMES})
set_tests_properties(test_homes_empty PROPERTIES FIXTURES_SETUP test_homes)

function(kestrel_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
    target_compile_definitions(${name} PRIVATE
        KESTREL_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
        KESTREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        KESTREL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures"
        KESTREL_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(home ${KESTREL_TEST_HOMES}/${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_CACHE_HOME=${home}/.cache;XDG_DATA_HOME=${home}/.local/share;${T_ENV}"
        FIXTURES_REQUIRED test_homes
        TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# kestrel_add_test(NAME SOURCES file... LIBS lib... [ENV VAR=value...] [LABELS label...])
# Every test runs without a display and finds the programs in the build's bin folder.
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
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false;${T_ENV}"
        TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

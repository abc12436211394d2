kestrel_add_fuzzer(fuzz_variable_scanner
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_variable_scanner.cpp ${CMAKE_SOURCE_DIR}/editor/VariableScanner.cpp
    LIBS Qt6::Core)
target_include_directories(fuzz_variable_scanner PRIVATE ${CMAKE_SOURCE_DIR})
